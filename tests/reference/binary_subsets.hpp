// All subsets of L symbols in binary order, row for row and entry for entry
// what powerset(L) gives, built straight from the bits: powerset finds each
// predecessor by a search over the rows, too slow beyond L = 14.
#ifndef TESTS_REFERENCE_BINARY_SUBSETS_HPP
#define TESTS_REFERENCE_BINARY_SUBSETS_HPP

#include "state_spaces.hpp"

inline StateSpace binarySubsets(std::int32_t L) {
    StateSpace space;
    space.n = std::int32_t{1} << L;
    space.L = L;
    space.K = L;
    space.S.resize(static_cast<std::size_t>(space.n) * L);
    space.P.resize(static_cast<std::size_t>(space.n) * L);
    for (std::int32_t c = 0; c < L; ++c) {
        for (std::int32_t i = 0; i < space.n; ++i) {
            const bool member = (i >> c) & 1;
            const std::size_t at = i + static_cast<std::size_t>(c) * space.n;
            space.S[at] = member ? 1.0 : 0.0;
            space.P[at] = member ? static_cast<double>(i - (1 << c) + 1) : -1.0;
        }
    }
    return space;
}

#endif
