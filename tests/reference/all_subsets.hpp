// Every subset of L symbols, the state space most tests, benchmarks and fuzz
// targets start from: row i (counted from 0) holds the symbols of the set
// bits of i, the lowest bit being the first symbol, so the empty set comes
// first and the full set last.
#ifndef TESTS_REFERENCE_ALL_SUBSETS_HPP
#define TESTS_REFERENCE_ALL_SUBSETS_HPP

#include "state_spaces.hpp"

// The first n rows of all subsets of L symbols (n <= 2^L; every row when n
// is left out), with the predecessor table over the symbols of row n - 1:
// P(i, k) is the 1-based row of state i without the k-th of them, or -1 when
// state i lacks it. Built from the bits, without searching the rows.
inline StateSpace allSubsets(std::int32_t L, std::int32_t n = -1) {
    StateSpace space;
    space.n = n < 0 ? std::int32_t{1} << L : n;
    space.L = L;
    space.S.resize(static_cast<std::size_t>(space.n) * L);
    const std::int32_t last = space.n - 1;
    for (std::int32_t c = 0; c < L; ++c) {
        for (std::int32_t i = 0; i < space.n; ++i) space.S[i + static_cast<std::size_t>(c) * space.n] = (i >> c) & 1;
        if (((last >> c) & 1) == 0) continue;
        for (std::int32_t i = 0; i < space.n; ++i) {
            space.P.push_back((i >> c) & 1 ? static_cast<double>(i - (1 << c) + 1) : -1.0);
        }
        ++space.K;
    }
    return space;
}

#endif
