// The kernels that a call rejected at its start never reaches: with the
// host's Ctrl-C flag up, each must stop before any work shows and say so.
// (The module tests cover the counts, the codes and the assembly's check.)
#include <functional>
#include <string>
#include <vector>

#include "assembly/matrix_from_states.hpp"
#include "assembly/transition_matrix.hpp"
#include "kernel_inputs.hpp"
#include "scratch_check.hpp"
#include "transitions/enumerate_transitions.hpp"

namespace {

// Every subset of two symbols and its transition codes, all listed.
const std::vector<double> kS = {0, 1, 0, 1, 0, 0, 1, 1};
const std::vector<double> kCodes = {1000001, 3000002, 3000003, 2000002, 3000001, 3000003};
const std::vector<double> kCum = {3, 6}, kWeights = {0.25, 0.75}, kList = {1, 2};
const AssemblyInputs kAssembly{3, columnOf(kWeights), columnOf(kList), columnOf(kCodes), columnOf(kCum)};
const StatesAssemblyInputs kStatesAssembly{viewOf(kS, 4, 2), columnOf(kWeights), columnOf(kList), true, 0};

struct StoppedKernel {
    std::string label;
    // Runs the kernel with the flag up; true when it stopped and left no work.
    std::function<bool()> stopsAtOnce;
};

template <class Walk>
bool walkStops(Walk walk) {
    InterruptPoll poll;
    int events = 0;
    walk(poll, [&events](std::int32_t, std::int32_t, std::int32_t) { ++events; });
    return poll.stopped() && events == 0;
}

bool reportsInterrupted(bool finished, const Fault& fault) {
    return !finished && fault && std::string(fault.mnemonic) == "interrupted" && fault.input == nullptr;
}

const StoppedKernel kStoppedKernels[] = {
    {"pairwise walk",
     [] {
         return walkStops(
             [](InterruptPoll& poll, auto onEvent) { enumerateTransitionsPairwise(kS.data(), 4, 2, poll, onEvent); });
     }},
    {"lookup walk",
     [] {
         return walkStops(
             [](InterruptPoll& poll, auto onEvent) { enumerateTransitionsByLookup(kS.data(), 4, 2, poll, onEvent); });
     }},
    {"dense assembly",
     [] {
         std::vector<double> A(9, 0.0);
         Fault fault;
         return reportsInterrupted(assembleTransitionMatrix(kAssembly, A.data(), &fault), fault) &&
                A == std::vector<double>(9, 0.0);
     }},
    {"sparse assembly",
     [] {
         SparseColumns matrix{};
         Fault fault;
         return reportsInterrupted(assembleSparseTransitionMatrix(kAssembly, &matrix, &fault), fault);
     }},
    {"count from states",
     [] {
         StatesColumns columns{};
         Fault fault;
         return reportsInterrupted(countStatesColumns(kStatesAssembly, &columns, &fault), fault);
     }},
    {"fill from states",
     [] {
         standin::setInterrupt(false);
         StatesColumns columns{};
         Fault fault;
         if (!countStatesColumns(kStatesAssembly, &columns, &fault)) return false;
         standin::setInterrupt(true);
         std::vector<std::int32_t> rows(static_cast<std::size_t>(columns.entries), -1);
         std::vector<double> values(rows.size(), 0.0);
         return reportsInterrupted(fillStatesColumns(columns, rows.data(), values.data(), &fault), fault) &&
                values == std::vector<double>(rows.size(), 0.0);
     }},
};

class StopsOnCtrlC : public KernelCaseTest<StoppedKernel> {
protected:
    void TearDown() override {
        standin::setInterrupt(false);
        KernelCaseTest<StoppedKernel>::TearDown();
    }
};

TEST_P(StopsOnCtrlC, BeforeAnyWork) {
    standin::setInterrupt(true);
    EXPECT_TRUE(GetParam().stopsAtOnce());
}

INSTANTIATE_CASES(StopsOnCtrlC, kStoppedKernels);

}  // namespace
