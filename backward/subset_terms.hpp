// The terms the backward step over the subset layout is made of, for
// vectors of `lanes` doubles, and a place's terms one at a time, as
// backward/subset_backward.hpp sums them. Internal to the file that includes
// it, as forward/subset_step.hpp.
#ifndef BACKWARD_SUBSET_TERMS_HPP
#define BACKWARD_SUBSET_TERMS_HPP

#include <cstdint>
#include <cstring>
#include <utility>

#include "backward/backward_steps.hpp"
#include "forward/lanes.hpp"

namespace {

// The interleave of the derivative's sums: fixed, whatever the vector width.
constexpr std::int32_t kInterleave = 8;
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
FORWARD_INLINE void ownTerms(const SubsetOffsets& offsets, const double* weights, std::int64_t first, std::int64_t end,
                             double* own) {
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

// x = (A_t(i - offset) + A_t(i)) * Bh_{t+1}(i), the derivative's term of the
// places of a vector, added to sum (or, with a mask, for the lanes it takes).
template <class V>
FORWARD_INLINE void derivativeTerm(V& x, const double* before, const double* here, const double* later) {
    V own, weight;
    load(x, before);
    load(own, here);
    load(weight, later);
    x = x + own;
    x = x * weight;
}
template <class V>
FORWARD_INLINE void addDerivativeTerm(V& sum, const double* before, const double* here, const double* later) {
    V x;
    derivativeTerm(x, before, here, later);
    sum = sum + x;
}
template <class V, class Mask>
FORWARD_INLINE void addDerivativeTerm(V& sum, const double* before, const double* here, const double* later,
                                      const Mask& taking) {
    V x;
    derivativeTerm(x, before, here, later);
    sum = taking ? sum + x : sum;
}

// gather + Bh_{t+1}(i + offset) * weight, a successor's term of the places
// of a vector (or, with a mask, of the lanes it takes).
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

}  // namespace

#endif
