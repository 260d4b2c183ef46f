// Membership matrices and predecessor tables for tests and benchmarks.
#ifndef TESTS_REFERENCE_STATE_SPACES_HPP
#define TESTS_REFERENCE_STATE_SPACES_HPP

#include <cstdint>
#include <random>
#include <vector>

#include "arrays/array_view.hpp"
#include "forward/forward_recursion.hpp"

// values as a rows x cols array, column-major; rows * cols == values.size().
inline ArrayView viewOf(const std::vector<double>& values, std::int32_t rows, std::int32_t cols) {
    return {values.empty() ? nullptr : values.data(), rows, cols, static_cast<std::int64_t>(values.size())};
}

inline ArrayView columnOf(const std::vector<double>& values) {
    return viewOf(values, static_cast<std::int32_t>(values.size()), 1);
}

struct StateSpace {
    std::int32_t n = 0;  // states (rows)
    std::int32_t L = 0;  // symbols (columns)
    std::int32_t K = 0;  // symbols of the last state: the columns of P
    std::vector<double> S;  // n x L, column-major
    std::vector<double> P;  // n x K, column-major, 1-based rows or -1
};

// The forward recursion's inputs over a state space: T steps (T a scalar the
// caller keeps) of the observations O, L x T.
inline ForwardInputs forwardInputsOf(const StateSpace& space, const std::vector<double>& O, const double& T) {
    return {{&T, 1, 1, 1},
            viewOf(O, space.L, static_cast<std::int32_t>(O.size() / (space.L > 0 ? space.L : 1))),
            viewOf(space.S, space.n, space.L),
            viewOf(space.P, space.n, space.K)};
}

// Rows as given (n x L, column-major), with P: for each state and each symbol
// of the last state, the first row equal to the state less that symbol, or -1
// when the state lacks the symbol or no such row exists.
StateSpace withPredecessors(std::vector<double> S, std::int32_t n, std::int32_t L);

// All subsets of L symbols, row i holding the bits of i: the empty set first,
// the full set last.
StateSpace powerset(std::int32_t L);

// The rows of S in a random order that keeps the last row last, then
// optionally `extra` more random rows (duplicates and non-closed states)
// inserted before it.
StateSpace reshuffled(const StateSpace& space, std::int32_t extra, std::mt19937_64& rng);

// a x L matrix of 0.0 and 1.0; about one row in eight copies an earlier row
// and one in eight is all zero.
std::vector<double> randomBinaryRows(std::int32_t a, std::int32_t L, std::mt19937_64& rng);

#endif
