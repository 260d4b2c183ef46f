// The backward step over a table in the subset layout for vectors of
// `lanes` doubles: each lane is a place of its own, whose sums take the
// columns in ascending k and skip (not add 0.0 for) the columns it has no
// term in, so that every copy gives the bits of the scalar sums. Internal to
// the file that includes it, as forward/subset_step.hpp.
#ifndef BACKWARD_SUBSET_BACKWARD_HPP
#define BACKWARD_SUBSET_BACKWARD_HPP

#include <cstdint>
#include <cstring>
#include <utility>

#include "backward/backward_steps.hpp"
#include "forward/lanes.hpp"

namespace {

// The interleave of the derivative's sums: fixed, whatever the vector width.
constexpr std::int32_t kInterleave = 8;
// Columns a subset table may have: its offsets are powers of two below 2^31.
constexpr std::int32_t kMaxSubsetColumns = 31;
// The places of a unit: vectors of their own in registers over the columns.
constexpr std::int32_t kUnitVectors = 4;
// Doubles of a cache line, and how far ahead of a unit A_t is fetched.
constexpr std::int32_t kLineDoubles = 8;
constexpr std::int64_t kPrefetchAhead = 1024;

// v from the doubles at `at` (by reference, as lanes.hpp says why).
template <class V>
FORWARD_INLINE void load(V& v, const double* at) {
    std::memcpy(&v, at, sizeof v);
}

// own[i - first] = the O(Q[k], t+1) of place i's own terms added in
// ascending k from 0.0, for the places [first, end) of a chunk. In the
// table of all subsets in order (column k of offset 2^k, first a multiple
// of a power of two at least end - first) the places below that power are
// built from one another, each the sum of a smaller one and one more term,
// then each takes the terms of the bits of first; else place by place.
template <std::int32_t lanes>
FORWARD_INLINE void ownTerms(const SubsetOffsets& offsets, const double* weights, std::int64_t first,
                             std::int64_t end, double* own) {
    using V = typename LaneTypes<lanes>::Lanes;
    std::int64_t span = 1;
    std::int32_t low = 0;  // the columns of the bits below span
    while (span < end - first) {
        span *= 2;
        ++low;
    }
    bool inOrder = first % span == 0;
    for (std::int32_t k = 0; k < offsets.columns && inOrder; ++k) inOrder = offsets.offset[k] == std::int64_t{1} << k;
    const std::int64_t count = end - first;
    if (!inOrder) {
        for (std::int64_t i = first; i < end; ++i) {
            double sum = 0.0;
            for (std::int32_t k = 0; k < offsets.columns; ++k) {
                if (i & offsets.offset[k]) sum = sum + weights[offsets.symbol[k]];
            }
            own[i - first] = sum;
        }
        return;
    }
    own[0] = 0.0;
    for (std::int32_t k = 0; k < low && k < offsets.columns; ++k) {
        const std::int64_t half = std::int64_t{1} << k;
        const double weight = weights[offsets.symbol[k]];
        const std::int64_t stop = 2 * half < count ? 2 * half : count;
        for (std::int64_t i = half; i < stop; ++i) own[i] = own[i - half] + weight;
    }
    for (std::int32_t k = low; k < offsets.columns; ++k) {
        if ((first & offsets.offset[k]) == 0) continue;
        const double weight = weights[offsets.symbol[k]];
        std::int64_t i = 0;
        for (; i + lanes <= count; i += lanes) {
            V x;
            load(x, own + i);
            x = x + weight;
            std::memcpy(own + i, &x, sizeof x);
        }
        for (; i < count; ++i) own[i] = own[i] + weight;
    }
}

// sum + ((A_t(i - offset) + A_t(i)) * Bh_{t+1}(i)), a derivative's term of
// the places of a vector (or, with a mask, of those it takes).
template <class V>
FORWARD_INLINE void addDerivativeTerm(V& sum, const double* before, const double* here, const double* later) {
    V x, own, weight;
    load(x, before);
    load(own, here);
    load(weight, later);
    x = x + own;
    x = x * weight;
    sum = sum + x;
}
template <class V, class Mask>
FORWARD_INLINE void addDerivativeTerm(V& sum, const double* before, const double* here, const double* later,
                                      const Mask& taking) {
    V x, own, weight;
    load(x, before);
    load(own, here);
    load(weight, later);
    x = x + own;
    x = x * weight;
    sum = taking ? sum + x : sum;
}

// gather + Bh_{t+1}(i + offset) * weight, a successor's term of the places
// of a vector (or, with a mask, of those it takes).
template <class V>
FORWARD_INLINE void addSuccessorTerm(V& gather, const double* successor, const V& weight) {
    V next;
    load(next, successor);
    gather = gather + next * weight;
}
template <class V, class Mask>
FORWARD_INLINE void addSuccessorTerm(V& gather, const double* successor, const V& weight, const Mask& taking) {
    V next;
    load(next, successor);
    const V y = next * weight;
    gather = taking ? gather + y : gather;
}

// One place's terms, as the vector loops form them lane by lane: the places
// past the last whole unit.
FORWARD_INLINE void placeTerms(const SubsetOffsets& offsets, const BackwardStep& step, std::int64_t i,
                               double (*part)[kInterleave]) {
    double own = 0.0, gather = 0.0;
    for (std::int32_t k = 0; k < offsets.columns; ++k) {
        const std::int64_t offset = offsets.offset[k];
        const double weight = step.weights[offsets.symbol[k]];
        if (i & offset) {
            own = own + weight;
            double x = step.forward[i - offset];
            x = x + step.forward[i];
            x = x * step.later[i];
            part[k][i % kInterleave] = part[k][i % kInterleave] + x;
        } else if (i + offset < step.states) {
            gather = gather + step.later[i + offset] * weight;
        }
    }
    step.earlier[i] = (gather + step.later[i] * own) / step.divisor;
}

// The columns of a chunk's step as every unit reads them.
template <std::int32_t lanes>
struct UnitColumns {
    using V = typename LaneTypes<lanes>::Lanes;
    std::int32_t count;
    std::int32_t small;  // leading columns of offsets 1, 2, 4, ... below a unit, in that order, or 0
    std::int64_t offset[kMaxSubsetColumns];
    V weight[kMaxSubsetColumns];
};

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
            for (std::int32_t i = 0; i < kUnitVectors; ++i) addSuccessorTerm(gather[i], successor + i * lanes, columns.weight[k]);
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
                addDerivativeTerm(part[i % kSums], forward + i * lanes - offset, forward + i * lanes, later + i * lanes);
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

// The leading column of offset `offset` below a unit (see UnitColumns::small)
// with the offset known to the compiler.
template <std::int32_t lanes, std::int64_t offset, class V>
FORWARD_INLINE void smallColumnTerms(const V& weight, const double* forward, const double* later, V* gather, V* part) {
    using Mask = typename LaneTypes<lanes>::Mask;
    constexpr std::int32_t kSums = kInterleave / lanes;
    Mask laneIndex;
    setLaneIndices(laneIndex);
    const Mask has = (laneIndex & offset) != 0;
#pragma GCC unroll 4
    for (std::int32_t i = 0; i < kUnitVectors; ++i) {
        const double* here = forward + i * lanes;
        if (offset < lanes) {
            addDerivativeTerm(part[i % kSums], here - offset, here, later + i * lanes, has);
            addSuccessorTerm(gather[i], later + i * lanes + offset, weight, has == 0);
        } else if ((i & (offset / lanes)) != 0) {
            addDerivativeTerm(part[i % kSums], here - offset, here, later + i * lanes);
        } else {
            addSuccessorTerm(gather[i], later + i * lanes + offset, weight);
        }
    }
}
template <std::int32_t lanes, class V, std::size_t... column>
FORWARD_INLINE void smallColumnsTerms(const UnitColumns<lanes>& columns, const double* forward, const double* later,
                                      V* gather, V (*part)[kInterleave / lanes], std::index_sequence<column...>) {
    (smallColumnTerms<lanes, std::int64_t{1} << column>(columns.weight[column], forward, later, gather, part[column]),
     ...);
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
