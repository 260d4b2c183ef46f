// Every subset of L symbols, the state space most tests, benchmarks and fuzz
// targets start from: row i (counted from 0) holds the symbols of the set
// bits of i, the lowest bit being the first symbol, so the empty set comes
// first and the full set last.
#ifndef TESTS_REFERENCE_ALL_SUBSETS_HPP
#define TESTS_REFERENCE_ALL_SUBSETS_HPP

#include <cstdint>
#include <random>
#include <vector>

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

// The sets given as bit masks over L symbols (distinct, each a subset of the
// last), row i being set i, with the predecessor table over the symbols of
// the last set: P(i, k) is the 1-based row of set i without the k-th of
// them, or -1 when set i lacks it or the family lacks that set.
StateSpace subsetFamily(std::int32_t L, const std::vector<std::uint32_t>& sets);

// The masks of the subsets of at most `most` of L symbols, ascending, then
// the full set: a family that no order of its rows puts in subset order.
std::vector<std::uint32_t> setsOfAtMost(std::int32_t L, std::int32_t most);

// The masks in a random order that keeps the last one last.
std::vector<std::uint32_t> shuffledKeepingLast(std::vector<std::uint32_t> sets, std::mt19937_64& rng);

// Every mask of L bits, ascending.
std::vector<std::uint32_t> everySet(std::int32_t L);

#endif
