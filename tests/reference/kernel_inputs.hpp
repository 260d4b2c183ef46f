// The kernels' inputs over test data held in vectors.
#ifndef TESTS_REFERENCE_KERNEL_INPUTS_HPP
#define TESTS_REFERENCE_KERNEL_INPUTS_HPP

#include <vector>

#include "arrays/array_view.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/instruction_sets.hpp"
#include "state_spaces.hpp"

// values as a rows x cols array, column-major; rows * cols == values.size().
inline ArrayView viewOf(const std::vector<double>& values, std::int32_t rows, std::int32_t cols) {
    return {values.empty() ? nullptr : values.data(), rows, cols, static_cast<std::int64_t>(values.size())};
}

inline ArrayView columnOf(const std::vector<double>& values) {
    return viewOf(values, static_cast<std::int32_t>(values.size()), 1);
}

// The forward recursion's inputs over a state space: T steps (T a scalar the
// caller keeps) of the observations O, L x T, and the chosen steps when given.
inline ForwardInputs forwardInputsOf(const StateSpace& space, const std::vector<double>& O, const double& T,
                                     const std::vector<double>* steps = nullptr) {
    return {{&T, 1, 1, 1},
            viewOf(O, space.L, static_cast<std::int32_t>(O.size() / (space.L > 0 ? space.L : 1))),
            viewOf(space.S, space.n, space.L),
            viewOf(space.P, space.n, space.K),
            steps ? viewOf(*steps, 1, static_cast<std::int32_t>(steps->size())) : ArrayView{},
            steps != nullptr};
}

// The copies of the kernels this processor runs, and the one a call picks.
inline std::vector<InstructionSet> runnableCopies() {
    std::vector<InstructionSet> sets = {InstructionSet::automatic};
    for (InstructionSet set : kInstructionSets) {
        if (processorRuns(set)) sets.push_back(set);
    }
    return sets;
}

// What a planned forward call returns: the chosen steps' weights (n x m) and
// their log scales (1 x m), as the gateway hands them out.
struct ForwardOutcome {
    std::vector<double> weights;
    std::vector<double> logScale;
};

inline ForwardOutcome runPlanned(const ForwardPlan& plan, bool normalize) {
    const std::size_t columns = static_cast<std::size_t>(plan.chosen.count);
    ForwardOutcome outcome{std::vector<double>(columns * static_cast<std::size_t>(plan.states)),
                           std::vector<double>(columns)};
    Fault fault;
    if (plan.states > 0) forwardRecursion(plan, normalize, {outcome.weights.data(), outcome.logScale.data()}, &fault);
    return outcome;
}

#endif
