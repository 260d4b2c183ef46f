#include "forward/term_layout.hpp"

#include "kernel/scratch.hpp"
#include "parallel/fork_join.hpp"

namespace {

const double* columnOf(const ForwardInputs& in, std::int32_t k) {
    return in.predecessors.data + static_cast<std::int64_t>(k) * in.membership.rows;
}

// The number of predecessors of each state: host scratch, `length` >= n
// entries, zero past n.
std::int32_t* termCounts(const ForwardInputs& in, std::int32_t K, std::int64_t length) {
    const std::int32_t n = in.membership.rows;
    auto* counts = scratchArray<std::int32_t>(static_cast<std::size_t>(length));
    for (std::int32_t k = 0; k < K; ++k) {
        const double* column = columnOf(in, k);
        for (std::int32_t j = 0; j < n; ++j) counts[j] += column[j] != -1.0;
    }
    return counts;
}

// Places by descending term count, rows of one count in row order (a
// counting sort); counts is rewritten in place order.
std::int32_t* placesByTermCount(std::int32_t* counts, std::int32_t n, std::int32_t K) {
    auto* start = scratchArray<std::int32_t>(static_cast<std::size_t>(K) + 2);
    for (std::int32_t j = 0; j < n; ++j) ++start[K - counts[j] + 1];
    for (std::int32_t c = 1; c <= K + 1; ++c) start[c] += start[c - 1];
    auto* places = scratchArray<std::int32_t>(static_cast<std::size_t>(n));
    for (std::int32_t j = 0; j < n; ++j) places[j] = start[K - counts[j]]++;
    for (std::int32_t c = K; c >= 0; --c) {
        for (std::int32_t p = c == K ? 0 : start[K - c - 1]; p < start[K - c]; ++p) counts[p] = c;
    }
    return places;
}

}  // namespace

std::int32_t* subsetPlaces(const ForwardInputs& in, std::int32_t K, std::int32_t threads) {
    const std::int32_t n = in.membership.rows;
    if (K == 0 || K > 30) return nullptr;
    auto* places = scratchArray<std::int32_t>(static_cast<std::size_t>(n));
    // Each thread takes a share of the rows through every column.
    const auto eachShare = [&](const auto& rows) {
        splitWork(threads, [&](std::int32_t member, std::int32_t shares) {
            rows(shareStart(n, member, shares), shareStart(n, member + 1, shares), member);
        });
    };
    eachShare([&](std::int32_t first, std::int32_t last, std::int32_t) {
        for (std::int32_t k = 0; k < K; ++k) {
            const double* column = columnOf(in, k);
            for (std::int32_t j = first; j < last; ++j) places[j] += static_cast<std::int32_t>(column[j] != -1.0) << k;
        }
    });
    auto* taken = scratchArray<unsigned char>(static_cast<std::size_t>(n));
    for (std::int32_t j = 0; j < n; ++j) {
        if (places[j] >= n || taken[places[j]]) return nullptr;
        taken[places[j]] = 1;
    }
    bool consistent[kMaxThreads] = {true, true};
    eachShare([&](std::int32_t first, std::int32_t last, std::int32_t member) {
        for (std::int32_t k = 0; k < K && consistent[member]; ++k) {
            const double* column = columnOf(in, k);
            for (std::int32_t j = first; j < last; ++j) {
                if (column[j] == -1.0) continue;
                const std::int32_t predecessor = static_cast<std::int32_t>(column[j]) - 1;
                consistent[member] = consistent[member] && places[predecessor] == places[j] - (std::int32_t{1} << k);
            }
        }
    });
    return consistent[0] && consistent[1] ? places : nullptr;
}

LaneTerms layLaneTerms(const ForwardInputs& in, const std::int32_t* Q, std::int32_t K, std::int32_t** places) {
    constexpr std::int32_t width = kLaneGroup;
    const std::int32_t n = in.membership.rows;
    const std::int64_t groups = (std::int64_t{n} + width - 1) / width;
    LaneTerms terms{scratchArray<std::int64_t>(static_cast<std::size_t>(groups) + 1), termCounts(in, K, groups * width),
                    nullptr, nullptr};
    *places = nullptr;
    for (std::int32_t j = 1; j < n && !*places; ++j) {
        if (terms.termCount[j] > terms.termCount[j - 1]) *places = placesByTermCount(terms.termCount, n, K);
    }
    // The counts descend in place order: a group's first lane is its deepest.
    for (std::int64_t g = 0; g < groups; ++g) {
        terms.groupStart[g + 1] = terms.groupStart[g] + std::int64_t{terms.termCount[g * width]} * width;
    }
    // Padding slots keep the scratch's zeros: a place and a symbol that exist.
    terms.predecessor = scratchArray<std::int32_t>(static_cast<std::size_t>(terms.groupStart[groups]));
    terms.symbol = scratchArray<std::int32_t>(static_cast<std::size_t>(terms.groupStart[groups]));
    const std::int32_t* placeOf = *places;
    for (std::int32_t j = 0; j < n; ++j) {
        const std::int32_t place = placeOf ? placeOf[j] : j;
        std::int64_t slot = terms.groupStart[place / width] + place % width;
        for (std::int32_t k = 0; k < K; ++k) {
            const double p = in.predecessors.data[j + static_cast<std::int64_t>(k) * n];
            if (p == -1.0) continue;
            const std::int32_t row = static_cast<std::int32_t>(p) - 1;
            terms.predecessor[slot] = placeOf ? placeOf[row] : row;
            terms.symbol[slot] = Q[k];
            slot += width;
        }
    }
    return terms;
}
