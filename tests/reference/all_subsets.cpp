#include "all_subsets.hpp"

#include <algorithm>
#include <unordered_map>

StateSpace subsetFamily(std::int32_t L, const std::vector<std::uint32_t>& sets) {
    StateSpace space;
    space.n = static_cast<std::int32_t>(sets.size());
    space.L = L;
    space.S.resize(sets.size() * static_cast<std::size_t>(L));
    std::unordered_map<std::uint32_t, std::int32_t> rowOfSet;
    for (std::int32_t i = 0; i < space.n; ++i) {
        rowOfSet.emplace(sets[i], i);
        for (std::int32_t c = 0; c < L; ++c) space.S[i + static_cast<std::size_t>(c) * space.n] = (sets[i] >> c) & 1;
    }
    for (std::int32_t c = 0; c < L; ++c) {
        const std::uint32_t bit = std::uint32_t{1} << c;
        if ((sets.back() & bit) == 0) continue;
        for (std::uint32_t set : sets) {
            const auto found = (set & bit) ? rowOfSet.find(set - bit) : rowOfSet.end();
            space.P.push_back(found == rowOfSet.end() ? -1.0 : found->second + 1.0);
        }
        ++space.K;
    }
    return space;
}

std::vector<std::uint32_t> setsOfAtMost(std::int32_t L, std::int32_t most) {
    std::vector<std::uint32_t> sets;
    const std::uint32_t full = (std::uint32_t{1} << L) - 1;
    for (std::uint32_t set = 0; set < full; ++set) {
        if (__builtin_popcount(set) <= most) sets.push_back(set);
    }
    sets.push_back(full);
    return sets;
}

std::vector<std::uint32_t> shuffledKeepingLast(std::vector<std::uint32_t> sets, std::mt19937_64& rng) {
    std::shuffle(sets.begin(), sets.end() - 1, rng);
    return sets;
}

std::vector<std::uint32_t> everySet(std::int32_t L) {
    std::vector<std::uint32_t> sets(std::size_t{1} << L);
    for (std::size_t i = 0; i < sets.size(); ++i) sets[i] = static_cast<std::uint32_t>(i);
    return sets;
}
