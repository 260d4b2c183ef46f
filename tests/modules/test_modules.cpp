// The modules through the stand-in host: the worked examples, the shapes no
// data bounds, and every rejection with the calls that cause it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "all_subsets.hpp"
#include "case_names.hpp"
#include "contract/contracts.hpp"
#include "module_calls.hpp"
#include "rejections.hpp"

namespace {

TEST(Modules, ForwardWorkedExample) {
    Example x;
    EXPECT_EQ(result({"Zellmor_raw_mex", {x.T3, x.ones, x.S, x.P}}, 4, 1), (std::vector<double>{0, 1, 1, 6}));
    EXPECT_EQ(result({"Zellmor_mex", {x.T3, x.ones, x.S, x.P}}, 4, 1), (std::vector<double>{0, 0.125, 0.125, 0.75}));
    const mxArray* T1 = x.arrays.dbl(1, 1, {1});
    for (const char* name : {"Zellmor_mex", "Zellmor_raw_mex"}) {
        EXPECT_EQ(result({name, {T1, x.ones, x.S, x.P}}, 4, 1), (std::vector<double>{0, 1, 1, 0})) << name;
        EXPECT_EQ(result({name, {T1, x.ones, x.arrays.dbl(0, 2), x.P}}, 0, 1), std::vector<double>{}) << name;
    }
}

// The most likely path of the forward example with observations that pick
// one: the path's log weight, its symbols and the states it passes through;
// w turns it to the heaviest one-member path; a batch gives each sequence's.
TEST(Modules, PathWorkedExample) {
    Example x;
    const mxArray* O = x.arrays.dbl(2, 3, {0.9, 0.1, 0.2, 0.8, 0.5, 0.4});
    const mxArray* w = x.arrays.row({0, 1, 1, 0});
    struct Case {
        const char* label;
        Call call;
        double logp;
        std::vector<double> symbols, states;
    } cases[] = {
        {"all states", {"Zellmor_path_mex", {x.T3, O, x.S, x.P}, 3}, std::log(0.9 * 0.8 * 0.5), {1, 2, 1}, {2, 4, 4}},
        {"one-member states by w",
         {"Zellmor_path_mex", {x.T3, O, x.S, x.P, w}, 3},
         std::log(0.9 * 0.2 * 0.5),
         {1, 1, 1},
         {2, 2, 2}},
    };
    for (const Case& c : cases) {
        standin::CallOutcome outcome = run(c.call);
        ASSERT_FALSE(outcome.failed()) << c.label << ": " << outcome.errorMessage;
        EXPECT_NEAR(standin::values(outcome.result)[0], c.logp, 1e-15) << c.label;
        EXPECT_EQ(standin::values(outcome.otherResults[0]), c.symbols) << c.label;
        EXPECT_EQ(standin::values(outcome.otherResults[1]), c.states) << c.label;
        standin::destroyArray(outcome.result);
        for (mxArray* other : outcome.otherResults) standin::destroyArray(other);
    }
    const mxArray* batch = x.arrays.keep(standin::createCell(
        2, 1, {standin::createDouble(2, 3, {0.9, 0.1, 0.2, 0.8, 0.5, 0.4}), standin::createDouble(2, 1, {0.3, 0.7})}));
    standin::CallOutcome outcome = run({"Zellmor_path_mex", {x.arrays.row({3, 1}), batch, x.S, x.P}, 2});
    ASSERT_FALSE(outcome.failed()) << outcome.errorMessage;
    EXPECT_EQ(mxGetN(outcome.result), 2u);
    EXPECT_TRUE(mxIsCell(outcome.otherResults[0]));
    EXPECT_EQ(mxGetM(outcome.otherResults[0]), 2u);
    EXPECT_EQ(standin::values(mxGetCell(outcome.otherResults[0], 1)), std::vector<double>{2});
    standin::destroyArray(outcome.result);
    for (mxArray* other : outcome.otherResults) standin::destroyArray(other);
}

// The weights and log scales of chosen steps, in the caller's order.
TEST(Modules, ForwardChosenSteps) {
    Example x;
    const double l4 = std::log(4.0), l8 = std::log(4.0) + std::log(2.0);
    const std::vector<double> step[4] = {{}, {0, 1, 1, 0}, {0, 0.25, 0.25, 0.5}, {0, 0.125, 0.125, 0.75}};
    const mxArray* noSymbols = x.arrays.dbl(3, 0);
    const mxArray* noObservations = x.arrays.dbl(0, 0);
    struct Case {
        const char* label;
        Call call;
        std::vector<double> F, logScale;
        std::size_t rows, columns;
    } cases[] = {
        {"shuffled with a repeat",
         {"Zellmor_mex", {x.T3, x.ones, x.S, x.P, x.arrays.row({3, 1, 2, 3})}, 2},
         {0, 0.125, 0.125, 0.75, 0, 1, 1, 0, 0, 0.25, 0.25, 0.5, 0, 0.125, 0.125, 0.75},
         {l8, 0, l4, l8},
         4,
         4},
        {"step T alone", {"Zellmor_mex", {x.T3, x.ones, x.S, x.P}, 2}, step[3], {l8}, 4, 1},
        {"none", {"Zellmor_mex", {x.T3, x.ones, x.S, x.P, x.arrays.dbl(0, 0)}, 2}, {}, {}, 4, 0},
        {"raw, as a column",
         {"Zellmor_raw_mex", {x.T3, x.ones, x.S, x.P, x.arrays.column({2, 1})}},
         {0, 1, 1, 2, 0, 1, 1, 0},
         {},
         4,
         2},
        {"no states",
         {"Zellmor_mex", {x.T3, x.ones, x.arrays.dbl(0, 2), x.P, x.arrays.row({1, 2})}, 2},
         {},
         {0, 0},
         0,
         2},
    };
    for (const Case& c : cases) {
        standin::CallOutcome outcome = run(c.call);
        ASSERT_FALSE(outcome.failed()) << c.label << ": " << outcome.errorMessage;
        EXPECT_EQ(mxGetM(outcome.result), c.rows) << c.label;
        EXPECT_EQ(mxGetN(outcome.result), c.columns) << c.label;
        EXPECT_TRUE(sameBits(standin::values(outcome.result), c.F)) << c.label;
        if (c.call.nlhs > 1) {
            EXPECT_EQ(mxGetN(outcome.otherResults[0]), c.columns) << c.label;
            EXPECT_TRUE(sameBits(standin::values(outcome.otherResults[0]), c.logScale)) << c.label;
        }
        standin::destroyArray(outcome.result);
        for (mxArray* other : outcome.otherResults) standin::destroyArray(other);
    }
    // Without symbols every step after the first repeats the second, however
    // far the chosen steps reach.
    std::vector<double> second =
        result({"Zellmor_mex", {x.arrays.dbl(1, 1, {2}), noObservations, noSymbols, noSymbols}}, 3, 1);
    std::vector<double> far = result(
        {"Zellmor_mex",
         {x.arrays.dbl(1, 1, {2147483647}), noObservations, noSymbols, noSymbols, x.arrays.row({2147483647, 2})}},
        3, 2);
    EXPECT_TRUE(sameBits(std::vector<double>(far.begin(), far.begin() + 3), second));
    EXPECT_TRUE(sameBits(std::vector<double>(far.begin() + 3, far.end()), second));
}

// Each input of each worked example in every numeric class and logical: the
// same outcome, bit for bit, as the call with double(x), which is read in
// place while the other classes take exactly one double copy of scratch.
TEST(Modules, EveryNumericClassReadsAsDouble) {
    using A = standin::ArrayClass;
    for (const contract::Module* module : contract::kModules) {
        for (A cls : {A::Logical, A::Single, A::Int8, A::UInt8, A::Int16, A::UInt16, A::Int32, A::UInt32, A::Int64,
                      A::UInt64}) {
            Example x;
            const Call accepted = acceptedCall(module->name, x);
            for (std::size_t slot = 0; slot < accepted.inputs.size(); ++slot) {
                if (module->inputs[slot].kind != contract::InputKind::Numbers) continue;
                const mxArray* in = accepted.inputs[slot];
                const mxArray* converted =
                    x.arrays.keep(standin::createNumeric(cls, mxGetM(in), mxGetN(in), standin::values(in)));
                Call asClass = accepted, asDouble = accepted;
                asClass.inputs[slot] = converted;
                asDouble.inputs[slot] = x.arrays.dbl(mxGetM(in), mxGetN(in), standin::values(converted));
                standin::CallOutcome got = run(asClass), want = run(asDouble);
                const std::string label =
                    std::string(module->name) + " input " + std::to_string(slot + 1) + " " + standin::className(cls);
                EXPECT_EQ(got.errorMessage, want.errorMessage) << label;
                if (got.failed() || want.failed()) continue;
                EXPECT_TRUE(sameBits(standin::values(got.result), standin::values(want.result))) << label;
                EXPECT_EQ(got.scratchBytes, want.scratchBytes + mxGetNumberOfElements(in) * sizeof(double)) << label;
                standin::destroyArray(got.result);
                standin::destroyArray(want.result);
            }
        }
    }
}

TEST(Modules, ResultStoredWhenNoOutputRequested) {
    Example x;
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.S}, 0}, 2, 1), (std::vector<double>{3, 3}));
}

TEST(Modules, TransitionPipelineWorkedExample) {
    Example x;
    std::vector<double> codes = {1000001, 3000002, 3000003, 2000002, 3000001, 3000003};
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.S}}, 2, 1), (std::vector<double>{3, 3}));
    EXPECT_EQ(result({"Ortesk_slots_mex", {x.unused, x.S, x.counts}}, 1, 6), codes);
    EXPECT_EQ(result({"Ortesk_slots_mex", {x.unused, x.S, x.arrays.row({3, 3})}}, 1, 6), codes);
    EXPECT_EQ(result({"Quivane_mex", {x.a3, x.w, x.arrays.column({1, 2}), x.codes, x.cum}}, 3, 3),
              (std::vector<double>{0.25, 0, 0.75, 0, 0.75, 0.25, 0, 0, 1.0}));
    EXPECT_EQ(result({"Quivane_mex", {x.a3, x.w, x.arrays.row({2, 1}), x.codes, x.cum}}, 3, 3),
              (std::vector<double>{0, 0, 0.75, 0, 0.75, 0, 0, 0, 0.75}));
    EXPECT_EQ(result({"Quivane_mex", {x.a3, x.w, x.arrays.dbl(1, 0), x.codes, x.cum}}, 3, 3),
              std::vector<double>(9, 0.0));
}

// The sparse form, asked for as text or as a string scalar, in any case,
// holds the bits of the dense one; "full" is the default spelt out.
TEST(Modules, AssemblyFormsAgree) {
    Example x;
    for (const mxArray* list : {x.list, x.arrays.row({2, 1}), x.arrays.column({2, 2, 1}), x.arrays.dbl(0, 1)}) {
        const Call dense{"Quivane_mex", {x.a3, x.w, list, x.codes, x.cum}};
        const std::vector<double> expected = result(dense, 3, 3);
        Call full = dense;
        full.inputs.push_back(x.arrays.keep(standin::createText("full")));
        EXPECT_TRUE(sameBits(result(full, 3, 3), expected));
        for (standin::ArrayClass text : {standin::ArrayClass::Char, standin::ArrayClass::String}) {
            Call sparse = dense;
            const char* word = text == standin::ArrayClass::Char ? "Sparse" : "SPARSE";
            sparse.inputs.push_back(x.arrays.keep(standin::createText(word, text)));
            standin::CallOutcome outcome = run(sparse);
            ASSERT_FALSE(outcome.failed()) << outcome.errorMessage;
            EXPECT_TRUE(mxIsSparse(outcome.result));
            EXPECT_TRUE(sameBits(standin::fullValues(outcome.result), expected));
            standin::destroyArray(outcome.result);
        }
    }
}

// Straight from S, any list read whole (absent: every symbol once), the
// sparse matrix holds the bits of the pipeline's dense one for list(:).
TEST(Modules, StatesAssemblyMatchesThePipeline) {
    Example x;
    const std::vector<std::vector<double>> lists = {{1, 2}, {2, 1}, {2, 2, 1}, {}};
    for (std::size_t k = 0; k <= lists.size(); ++k) {
        const std::vector<double> list = k < lists.size() ? lists[k] : std::vector<double>{1, 2};
        const std::vector<double> expected =
            result({"Quivane_mex", {x.a3, x.w, x.arrays.column(list), x.codes, x.cum}}, 3, 3);
        Call states{"Quivane_states_mex", {x.S, x.w}};
        if (k < lists.size()) states.inputs.push_back(x.arrays.row(list));
        standin::CallOutcome outcome = run(states);
        ASSERT_FALSE(outcome.failed()) << outcome.errorMessage;
        EXPECT_TRUE(mxIsSparse(outcome.result));
        EXPECT_TRUE(sameBits(standin::fullValues(outcome.result), expected)) << "list " << k;
        standin::destroyArray(outcome.result);
    }
}

TEST(Modules, EmptyShapes) {
    Example x;
    const mxArray* noSymbols = x.arrays.dbl(3, 0);
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, noSymbols}}, 0, 1), std::vector<double>{});
    EXPECT_EQ(result({"Ortesk_slots_mex", {x.unused, noSymbols, x.unused}}, 1, 0), std::vector<double>{});
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.arrays.dbl(1, 3, {1, 1, 1})}}, 3, 1),
              (std::vector<double>{0, 0, 0}));
    // No rows, one row (which takes no part), and no symbols: nothing stored.
    EXPECT_EQ(result({"Quivane_states_mex", {x.arrays.dbl(0, 2), x.w}}, 0, 0), std::vector<double>{});
    EXPECT_EQ(result({"Quivane_states_mex", {x.arrays.dbl(1, 2, {1, 1}), x.w}}, 0, 0), std::vector<double>{});
    EXPECT_EQ(result({"Quivane_states_mex", {noSymbols, x.unused, x.unused}}, 2, 2), std::vector<double>{});
}

// With no symbols (L = 0) no input data bounds T or the number of states, so
// the work must not grow with them: these calls came back only after hours.
TEST(Modules, NoSymbolsFinishWhateverTheSizes) {
    Example x;
    const mxArray* noSymbols = x.arrays.dbl(3, 0);
    const mxArray* noObservations = x.arrays.dbl(0, 0);
    for (const char* name : {"Zellmor_mex", "Zellmor_raw_mex"}) {
        std::vector<double> twoSteps =
            result({name, {x.arrays.dbl(1, 1, {2}), noObservations, noSymbols, noSymbols}}, 3, 1);
        std::vector<double> mostSteps =
            result({name, {x.arrays.dbl(1, 1, {2147483647}), noObservations, noSymbols, noSymbols}}, 3, 1);
        EXPECT_TRUE(sameBits(mostSteps, twoSteps)) << name;
    }
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.arrays.dbl(2147483647, 0)}}, 0, 1), std::vector<double>{});
}

TEST(Modules, ForwardScratchIndependentOfSteps) {
    Example x;
    std::size_t bytes[2];
    const double steps[2] = {3, 100000};
    for (int i = 0; i < 2; ++i) {
        const mxArray* O = x.arrays.dbl(2, static_cast<std::size_t>(steps[i]),
                                        std::vector<double>(2 * static_cast<std::size_t>(steps[i]), 0.5));
        standin::CallOutcome outcome = run({"Zellmor_raw_mex", {x.arrays.dbl(1, 1, {steps[i]}), O, x.S, x.P}});
        ASSERT_FALSE(outcome.failed()) << outcome.errorMessage;
        standin::destroyArray(outcome.result);
        bytes[i] = outcome.scratchBytes;
    }
    EXPECT_EQ(bytes[0], bytes[1]);
}

// Calls that would run for many seconds, Ctrl-C raised 100 ms in from
// another thread as the host's signal handling raises it: each is rejected
// within a second of it, not at its end.
TEST(Modules, LongCallsStopSoonAfterCtrlC) {
    Example x;
    const std::size_t codes = 100000;
    const StateSpace subsets = allSubsets(13);  // 8192 states: two threads
    const double steps = 100000;
    const std::vector<Call> calls = {
        {"Zellmor_mex",
         {x.arrays.dbl(1, 1, {steps}), x.arrays.dbl(13, 100000, std::vector<double>(13 * 100000, 0.5)),
          x.arrays.dbl(8192, 13, subsets.S), x.arrays.dbl(8192, 13, subsets.P)}},
        // 20000 equal rows of 0.5: pair by pair, every entry compared.
        {"Ortesk_count_mex", {x.unused, x.arrays.dbl(20000, 20, std::vector<double>(400000, 0.5))}},
        // The most likely path over the same, its trace kept a column every
        // 317 steps.
        {"Zellmor_path_mex",
         {x.arrays.dbl(1, 1, {steps}), x.arrays.dbl(13, 100000, std::vector<double>(13 * 100000, 0.5)),
          x.arrays.dbl(8192, 13, subsets.S), x.arrays.dbl(8192, 13, subsets.P)},
         3},
        // One bucket of 10^5 codes, listed 10^5 times.
        {"Quivane_mex",
         {x.a3, x.w, x.arrays.column(std::vector<double>(codes, 1)), x.arrays.row(std::vector<double>(codes, 1000001)),
          x.arrays.column({double(codes), double(codes)})}},
        // Each of 8191 contents summing a list of 10^6 symbols.
        {"Quivane_states_mex",
         {x.arrays.dbl(8192, 13, subsets.S), x.arrays.row(std::vector<double>(13, 1.0)),
          x.arrays.row(std::vector<double>(1000000, 1.0))}},
    };
    using Clock = std::chrono::steady_clock;
    for (const Call& call : calls) {
        Clock::time_point raised;
        std::thread raiser([&raised] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            raised = Clock::now();
            standin::setInterrupt(true);
        });
        standin::CallOutcome outcome = run(call);
        const Clock::time_point returned = Clock::now();
        raiser.join();
        EXPECT_EQ(outcome.errorId, call.module + ":interrupted");
        EXPECT_LT(std::chrono::duration<double>(returned - raised).count(), 1.0) << call.module << ", seconds";
    }
}

class RejectedCall : public ::testing::TestWithParam<Rejection> {};

TEST_P(RejectedCall, ByIdentifier) {
    const Rejection& r = GetParam();
    Example x;
    standin::CallOutcome outcome = run(r.call(x));
    EXPECT_EQ(outcome.errorId, r.id);
    EXPECT_EQ(outcome.result, nullptr);
    EXPECT_FALSE(outcome.errorMessage.empty());
}

std::vector<Rejection> labelledByModule() {
    std::vector<Rejection> table = rejectionTable();
    for (Rejection& r : table) r.label = r.id.substr(0, r.id.find(':')) + " " + r.label;
    return table;
}

INSTANTIATE_CASES(RejectedCall, labelledByModule());

// The contracts and the table of calls agree: each declared rejection is
// caused by some call, and each call's identifier is declared.
TEST(Modules, EveryDeclaredRejectionHasACall) {
    std::set<std::string> declared;
    for (const contract::Module* module : contract::kModules) {
        for (const auto* list : {&module->callRejections, &module->rejections}) {
            for (const contract::Rejection& r : *list) declared.insert(std::string(module->name) + ":" + r.mnemonic);
        }
    }
    std::set<std::string> caused;
    for (const Rejection& r : rejectionTable()) {
        EXPECT_TRUE(declared.count(r.id)) << r.label << ": " << r.id << " is not in its module's contract";
        caused.insert(r.id);
    }
    for (const std::string& id : declared) EXPECT_TRUE(caused.count(id)) << id << " has no call in the table";
}

// The contracts cover the modules modules/MODULES lists, in its order.
TEST(Modules, AContractForEveryBuiltModule) {
    std::string names;
    for (const contract::Module* module : contract::kModules)
        names += std::string(names.empty() ? "" : ",") + module->name;
    EXPECT_EQ(names, MEX_MODULE_LIST);
}

TEST(Modules, RobustnessDocListsEveryRejection) {
    std::ifstream in(ROBUSTNESS_DOC);
    const std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(doc, withRejectionTable(doc))
        << ROBUSTNESS_DOC << " is out of date: bash tools/update_robustness_doc.sh rewrites it";
}

TEST(Modules, MismatchNamesFirstDifferingSymbol) {
    Example x;
    standin::CallOutcome outcome = run({"Ortesk_slots_mex", {x.unused, x.S, x.arrays.column({3, 4})}});
    EXPECT_NE(outcome.errorMessage.find("symbol 2 has 3 transitions in S but counts gives 4"), std::string::npos)
        << outcome.errorMessage;
}

}  // namespace
