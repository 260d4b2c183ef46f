// The Windows modules as a Windows host sees them: each loaded by file name
// (LoadLibrary, GetProcAddress), called through mexFunction on the worked
// examples (a sparse result filled out) and on one call it must reject, with
// the host's libmx.dll and libmex.dll being the stand-in's. Prints a line per call and "N passed,
// M failed"; exits 1 when any call went wrong.
//
// A rejected call is a C++ exception thrown in the stand-in's libmx.dll
// through the module's frames, each image with its own static copy of the
// C++ runtime. That is sound on 64-bit Windows: unwinding is driven by the
// system from each image's own unwind tables, each frame is handled by the
// personality routine of the image it belongs to, and the exception is caught
// at the stand-in's call boundary, in the image that threw it.
// Usage: run_module <folder holding the .mexw64 files>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "standin_host.hpp"

namespace {

// Column-major values of a rows x cols double array.
struct Matrix {
    std::size_t rows;
    std::size_t cols;
    std::vector<double> values;
};

struct Call {
    const char* module;
    const char* what;
    std::vector<Matrix> inputs;
    Matrix expected;           // when the call succeeds
    std::string rejectedWith;  // the error identifier, when it must not
    bool interrupted = false;  // the stand-in's Ctrl-C flag up for the call
};

const Matrix kStates{4, 2, {0, 1, 0, 1, 0, 0, 1, 1}};
const Matrix kPredecessors{4, 2, {-1, 1, -1, 3, -1, -1, 1, 2}};
const Matrix kObservations{2, 3, {1, 1, 1, 1, 1, 1}};
const Matrix kUnused{0, 0, {}};
const Matrix kCounts{2, 1, {3, 3}};
const Matrix kCodes{1, 6, {1000001, 3000002, 3000003, 2000002, 3000001, 3000003}};
const Matrix kSize{1, 3, {0, 0, 0}};
const Matrix kWeights{1, 2, {0.25, 0.75}};
const Matrix kList{2, 1, {1, 2}};
const Matrix kCum{1, 2, {3, 6}};
const Matrix kRawWeights{4, 1, {0, 1, 1, 6}};
const Matrix kRescaledWeights{4, 1, {0, 0.125, 0.125, 0.75}};
const Matrix kTransitionMatrix{3, 3, {0.25, 0, 0.75, 0, 0.75, 0.25, 0, 0, 1}};
const Matrix kLogEight{1, 1, {2.0794415416798357}};  // log(8): the raw weights of step 3 sum to 8
const Matrix kNoResult{0, 0, {}};

Matrix scalar(double value) { return {1, 1, {value}}; }

const Call kCalls[] = {
    {"Zellmor_raw_mex", "worked example", {scalar(3), kObservations, kStates, kPredecessors}, kRawWeights, ""},
    {"Zellmor_mex", "worked example", {scalar(3), kObservations, kStates, kPredecessors}, kRescaledWeights, ""},
    {"Zellmor_grad_mex", "worked example", {scalar(3), kObservations, kStates, kPredecessors}, kLogEight, ""},
    // Every path of step 3 weighs 1: log(1) = 0.
    {"Zellmor_path_mex", "worked example", {scalar(3), kObservations, kStates, kPredecessors}, scalar(0), ""},
    {"Ortesk_count_mex", "worked example", {kUnused, kStates}, kCounts, ""},
    {"Ortesk_slots_mex", "worked example", {kUnused, kStates, kCounts}, kCodes, ""},
    {"Quivane_mex", "worked example", {kSize, kWeights, kList, kCodes, kCum}, kTransitionMatrix, ""},
    {"Quivane_states_mex", "worked example", {kStates, kWeights}, kTransitionMatrix, ""},
    {"Zellmor_raw_mex",
     "T = 0",
     {scalar(0), kObservations, kStates, kPredecessors},
     kNoResult,
     "Zellmor_raw_mex:badStepCount"},
    {"Zellmor_mex",
     "T = 2.5",
     {scalar(2.5), kObservations, kStates, kPredecessors},
     kNoResult,
     "Zellmor_mex:badStepCount"},
    {"Zellmor_grad_mex",
     "w of the wrong count",
     {scalar(3), kObservations, kStates, kPredecessors, scalar(1)},
     kNoResult,
     "Zellmor_grad_mex:badFinalWeights"},
    {"Zellmor_path_mex",
     "a negative observation",
     {scalar(3), {2, 3, {1, 1, 1, -1, 1, 1}}, kStates, kPredecessors},
     kNoResult,
     "Zellmor_path_mex:negativeWeight"},
    {"Ortesk_count_mex", "S missing", {kUnused}, kNoResult, "Ortesk_count_mex:notEnoughInputs"},
    {"Ortesk_slots_mex",
     "counts of another S",
     {kUnused, kStates, {2, 1, {2, 3}}},
     kNoResult,
     "Ortesk_slots_mex:countMismatch"},
    {"Quivane_mex", "symbol 3 of 2", {kSize, kWeights, scalar(3), kCodes, kCum}, kNoResult, "Quivane_mex:badSymbol"},
    {"Quivane_states_mex",
     "S entry 2",
     {{4, 2, {0, 1, 0, 1, 0, 0, 2, 1}}, kWeights},
     kNoResult,
     "Quivane_states_mex:notZeroOne"},
    // The flag found among the loaded DLLs, in the stand-in's libmx.dll.
    {"Ortesk_count_mex", "Ctrl-C", {kUnused, kStates}, kNoResult, "Ortesk_count_mex:interrupted", true},
};

// What went wrong with the call, or "" when it did what it should.
std::string runCall(const std::string& moduleDir, const Call& call) {
    standin::MexFunction entry = standin::loadModule(moduleDir + "/" + call.module + ".mexw64");
    std::vector<mxArray*> arrays;
    for (const Matrix& input : call.inputs)
        arrays.push_back(standin::createDouble(input.rows, input.cols, input.values));
    standin::setInterrupt(call.interrupted);
    standin::CallOutcome outcome =
        standin::callGateway(entry, call.module, 1, std::vector<const mxArray*>(arrays.begin(), arrays.end()));
    standin::setInterrupt(false);
    for (mxArray* array : arrays) standin::destroyArray(array);

    std::string problem;
    if (!call.rejectedWith.empty()) {
        if (outcome.errorId != call.rejectedWith) {
            problem = "expected " + call.rejectedWith + ", got '" + outcome.errorId + "'";
        }
    } else if (outcome.failed()) {
        problem = outcome.errorId + ": " + outcome.errorMessage;
    } else if (mxGetM(outcome.result) != call.expected.rows || mxGetN(outcome.result) != call.expected.cols ||
               standin::fullValues(outcome.result) != call.expected.values) {
        problem = "result differs from the worked example";
    }
    standin::destroyArray(outcome.result);
    return problem;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: run_module <folder holding the .mexw64 files>\n");
        return 2;
    }
    int passed = 0;
    int failed = 0;
    for (const Call& call : kCalls) {
        std::string problem;
        try {
            problem = runCall(argv[1], call);
        } catch (const std::exception& error) {
            problem = error.what();
        }
        if (problem.empty()) {
            ++passed;
            std::printf("ok   %s, %s\n", call.module, call.what);
        } else {
            ++failed;
            std::printf("FAIL %s, %s: %s\n", call.module, call.what, problem.c_str());
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
