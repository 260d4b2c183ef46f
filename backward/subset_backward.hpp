// The backward step over a table in the subset layout for vectors of
// `lanes` doubles: each lane is a place of its own, whose sums take the
// columns in ascending k and skip (not add 0.0 for) the columns it has no
// term in, so that every copy gives the bits of the scalar sums. Internal to
// the file that includes it, as forward/subset_step.hpp.
#ifndef BACKWARD_SUBSET_BACKWARD_HPP
#define BACKWARD_SUBSET_BACKWARD_HPP

#include <cstdint>
#include <cstring>

#include "backward/subset_terms.hpp"

namespace {

// Column k's terms for the unit at u (places in registers: gather), its
// derivative's into part; with `checked`, only successors below n count.
template <std::int32_t lanes, bool checked, class V>
FORWARD_INLINE void columnTerms(const UnitColumns<lanes>& columns, std::int32_t k, std::int64_t u, std::int64_t n,
                                const double* forward, const double* later, V* gather, V* part) {
    using Mask = typename LaneTypes<lanes>::Mask;
    constexpr std::int64_t kUnit = kUnitVectors * lanes;
    constexpr std::int32_t kSums = kInterleave / lanes;
    const std::int64_t offset = columns.offset[k];
    const double* successor = later + offset;
    Mask laneIndex;
    setLaneIndices(laneIndex);
    if (offset >= kUnit && (u & offset) != 0) {  // every place of the unit has the bit
        const double* predecessor = forward - offset;
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kUnitVectors; ++i) {
            addDerivativeTerm(part[i % kSums], predecessor + i * lanes, forward + i * lanes, later + i * lanes);
        }
    } else if (offset >= kUnit) {  // no place of the unit has it
        if (checked && u + offset >= n) return;
        if (!checked || u + offset + kUnit <= n) {
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kUnitVectors; ++i)
                addSuccessorTerm(gather[i], successor + i * lanes, columns.weight[k]);
            return;
        }
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kUnitVectors; ++i) {
            const Mask inColumn = laneIndex + (u + i * lanes + offset) < n;
            addSuccessorTerm(gather[i], successor + i * lanes, columns.weight[k], inColumn);
        }
    } else if (offset >= lanes) {  // a vector's places have the bit or not
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kUnitVectors; ++i) {
            if ((i & (offset / lanes)) != 0) {
                addDerivativeTerm(part[i % kSums], forward + i * lanes - offset, forward + i * lanes,
                                  later + i * lanes);
            } else if (!checked) {
                addSuccessorTerm(gather[i], successor + i * lanes, columns.weight[k]);
            } else {
                const Mask inColumn = laneIndex + (u + i * lanes + offset) < n;
                addSuccessorTerm(gather[i], successor + i * lanes, columns.weight[k], inColumn);
            }
        }
    } else {
        const Mask has = (laneIndex & offset) != 0;
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kUnitVectors; ++i) {
            addDerivativeTerm(part[i % kSums], forward + i * lanes - offset, forward + i * lanes, later + i * lanes,
                              has);
            Mask lacks = has == 0;
            if (checked) lacks &= laneIndex + (u + i * lanes + offset) < n;
            addSuccessorTerm(gather[i], successor + i * lanes, columns.weight[k], lacks);
        }
    }
}

// The whole units of [from, to): each unit's places in registers over the
// columns in ascending k, gathering its successors' terms where a place
// lacks the bit of a column and adding its term of the derivative where it
// has it; then Bh_t of its places. `checked` where some successor may lie
// past n.
template <std::int32_t lanes, bool checked>
FORWARD_INLINE void unitsBackward(const UnitColumns<lanes>& columns, const BackwardStep& step, std::int64_t from,
                                  std::int64_t to, const double* own,
                                  typename LaneTypes<lanes>::Lanes (*part)[kInterleave / lanes]) {
    using V = typename LaneTypes<lanes>::Lanes;
    constexpr std::int64_t kUnit = kUnitVectors * lanes;
    // The step's columns as locals: stores through earlier cannot change them.
    const double* const forwardColumn = step.forward;
    const double* const laterColumn = step.later;
    double* const earlierColumn = step.earlier;
    const double divisor = step.divisor;
    const std::int64_t n = step.states;
    for (std::int64_t u = from; u < to; u += kUnit) {
        V gather[kUnitVectors];
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kUnitVectors; ++i) gather[i] = V{};
        const double* forward = forwardColumn + u;
        const double* later = laterColumn + u;
        // A_t comes from the forward sweep long before, far out of cache: the
        // lines a cache block ahead of the unit, which every later read of
        // it follows.
        for (std::int32_t line = 0; line < kUnit; line += kLineDoubles) {
            __builtin_prefetch(forward + kPrefetchAhead + line);
        }
        std::int32_t k = 0;
        if (columns.small > 0 && (!checked || u + 2 * kUnit <= n)) {
            constexpr std::size_t kSmall = lanes == 8 ? 5 : 4;  // log2 of a unit
            static_assert(std::int64_t{1} << kSmall == kUnit, "the small columns fill a unit");
            smallColumnsTerms<lanes>(columns, forward, later, gather, part, std::make_index_sequence<kSmall>{});
            k = columns.small;
        }
        for (; k < columns.count; ++k) columnTerms<lanes, checked>(columns, k, u, n, forward, later, gather, part[k]);
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kUnitVectors; ++i) {
            V mine, b;
            load(mine, own + (u - from) + i * lanes);
            load(b, later + i * lanes);
            b = b * mine;
            b = gather[i] + b;
            b = b / divisor;
            std::memcpy(earlierColumn + u + i * lanes, &b, sizeof b);
        }
    }
}

// The places [first, end) (end <= n) of the step: its whole units, then the
// places after them one at a time.
template <std::int32_t lanes>
FORWARD_INLINE void subsetBackward(const SubsetOffsets& offsets, const BackwardStep& step, std::int32_t first,
                                   std::int32_t last, double* partial) {
    using V = typename LaneTypes<lanes>::Lanes;
    constexpr std::int64_t kUnit = kUnitVectors * lanes;
    constexpr std::int32_t kSums = kInterleave / lanes;
    const std::int32_t K = offsets.columns;
    const std::int64_t n = step.states;
    const std::int64_t end = last < n ? last : n;
    const std::int64_t units = first + (end - first) / kUnit * kUnit;
    double own[kBackwardPlaces];
    ownTerms<lanes>(offsets, step.weights, first, end, own);
    UnitColumns<lanes> columns;
    columns.count = K;
    columns.small = 0;
    bool fullTable = true;  // every successor of a place is a place
    for (std::int32_t k = 0; k < K; ++k) {
        columns.offset[k] = offsets.offset[k];
        columns.weight[k] = V{} + step.weights[offsets.symbol[k]];
        if ((n & offsets.offset[k]) != 0 || n % (2 * offsets.offset[k]) != 0) fullTable = false;
        if (columns.small == k && offsets.offset[k] == std::int64_t{1} << k && 2 * offsets.offset[k] <= kUnit) {
            columns.small = k + 1;
        }
    }
    if ((std::int64_t{1} << columns.small) != kUnit) columns.small = 0;
    V part[kMaxSubsetColumns][kSums] = {};
    if (fullTable) {
        unitsBackward<lanes, false>(columns, step, first, units, own, part);
    } else {
        unitsBackward<lanes, true>(columns, step, first, units, own, part);
    }
    double tail[kMaxSubsetColumns][kInterleave];
    for (std::int32_t k = 0; k < K; ++k) std::memcpy(tail[k], part[k], sizeof tail[k]);
    for (std::int64_t i = units; i < end; ++i) placeTerms(offsets, step, i, tail);
    for (std::int32_t k = 0; k < K; ++k) {
        double sum = 0.0;
        for (std::int32_t lane = 0; lane < kInterleave; ++lane) sum = sum + tail[k][lane];
        double& into = partial[offsets.symbol[k]];
        into = into + sum;
    }
}

template <std::int32_t lanes>
struct BackwardCopyOf {
    static void subset(const SubsetOffsets& offsets, const BackwardStep& step, std::int32_t first, std::int32_t last,
                       double* partial) {
        subsetBackward<lanes>(offsets, step, first, last, partial);
    }
    static constexpr BackwardCopy kernels = {subset};
};

}  // namespace

#endif
