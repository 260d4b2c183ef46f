// The kernels' inputs over test data held in vectors.
#ifndef TESTS_REFERENCE_KERNEL_INPUTS_HPP
#define TESTS_REFERENCE_KERNEL_INPUTS_HPP

#include <vector>

#include "arrays/array_view.hpp"
#include "forward/forward_recursion.hpp"
#include "state_spaces.hpp"

// values as a rows x cols array, column-major; rows * cols == values.size().
inline ArrayView viewOf(const std::vector<double>& values, std::int32_t rows, std::int32_t cols) {
    return {values.empty() ? nullptr : values.data(), rows, cols, static_cast<std::int64_t>(values.size())};
}

inline ArrayView columnOf(const std::vector<double>& values) {
    return viewOf(values, static_cast<std::int32_t>(values.size()), 1);
}

// The forward recursion's inputs over a state space: T steps (T a scalar the
// caller keeps) of the observations O, L x T.
inline ForwardInputs forwardInputsOf(const StateSpace& space, const std::vector<double>& O, const double& T) {
    return {{&T, 1, 1, 1},
            viewOf(O, space.L, static_cast<std::int32_t>(O.size() / (space.L > 0 ? space.L : 1))),
            viewOf(space.S, space.n, space.L),
            viewOf(space.P, space.n, space.K)};
}

#endif
