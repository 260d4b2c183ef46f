// Membership matrices and predecessor tables for tests and benchmarks.
#ifndef TESTS_REFERENCE_STATE_SPACES_HPP
#define TESTS_REFERENCE_STATE_SPACES_HPP

#include <cstdint>
#include <random>
#include <vector>

struct StateSpace {
    std::int32_t n = 0;     // states (rows)
    std::int32_t L = 0;     // symbols (columns)
    std::int32_t K = 0;     // symbols of the last state: the columns of P
    std::vector<double> S;  // n x L, column-major
    std::vector<double> P;  // n x K, column-major, 1-based rows or -1
};

// Rows as given (n x L, column-major), with P: for each state and each symbol
// of the last state, the first row equal to the state less that symbol, or -1
// when the state lacks the symbol or no such row exists.
StateSpace withPredecessors(std::vector<double> S, std::int32_t n, std::int32_t L);

// The rows of S in a random order that keeps the last row last, then
// optionally `extra` more random rows (duplicates and non-closed states)
// inserted before it.
StateSpace reshuffled(const StateSpace& space, std::int32_t extra, std::mt19937_64& rng);

// The columns of S in reverse order, and with them those of P: what
// withPredecessors would give when the last state holds every symbol.
StateSpace withSymbolsReversed(StateSpace space);

// a x L matrix of 0.0 and 1.0; about one row in eight copies an earlier row
// and one in eight is all zero.
std::vector<double> randomBinaryRows(std::int32_t a, std::int32_t L, std::mt19937_64& rng);

#endif
