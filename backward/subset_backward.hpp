// The backward step over a table in the subset layout for vectors of
// `lanes` doubles: each lane is a place of its own, whose sums take the
// columns in ascending k and skip (not add 0.0 for) the columns it has no
// term in, so that every copy gives the bits of the scalar sums. Internal to
// the file that includes it, as forward/subset_step.hpp.
#ifndef BACKWARD_SUBSET_BACKWARD_HPP
#define BACKWARD_SUBSET_BACKWARD_HPP

#include <cstdint>
#include <cstring>

#include "backward/backward_steps.hpp"
#include "forward/lanes.hpp"

namespace {

// The interleave of the derivative's sums: fixed, whatever the vector width.
constexpr std::int32_t kInterleave = 8;
// Columns a subset table may have: its offsets are powers of two below 2^31.
constexpr std::int32_t kMaxSubsetColumns = 31;

// Places per pass over the columns for the derivative's sums: the block of
// each column read stays in the first-level cache meanwhile.
constexpr std::int64_t kBlock = 1024;

// v from the doubles at `at` (by reference, as lanes.hpp says why).
template <class V>
FORWARD_INLINE void load(V& v, const double* at) {
    std::memcpy(&v, at, sizeof v);
}

// Into part (kInterleave lanes) the terms (A_t(i - offset) + A_t(i)) *
// Bh_{t+1}(i) of the places i in [low, high) (whole units) with the bit.
template <std::int32_t lanes>
FORWARD_INLINE void derivativeTerms(const BackwardStep& step, std::int64_t offset, std::int64_t low, std::int64_t high,
                                    double* part) {
    using V = typename LaneTypes<lanes>::Lanes;
    using Mask = typename LaneTypes<lanes>::Mask;
    constexpr std::int32_t kVectors = kInterleave / lanes;
    V sum[kVectors];
    for (std::int32_t h = 0; h < kVectors; ++h) load(sum[h], part + h * lanes);
    Mask laneIndex;
    setLaneIndices(laneIndex);
    const std::int64_t step2 = offset >= kInterleave ? 2 * offset : kInterleave;
    for (std::int64_t run = offset >= kInterleave ? (low & -(2 * offset)) + offset : low; run < high; run += step2) {
        const std::int64_t from = run > low ? run : low;
        const std::int64_t runEnd = offset >= kInterleave ? run + offset : run + kInterleave;
        const std::int64_t to = runEnd < high ? runEnd : high;
        for (std::int64_t u = from; u < to; u += kInterleave) {
#pragma GCC unroll 2
            for (std::int32_t h = 0; h < kVectors; ++h) {
                const std::int64_t v = u + h * lanes;
                V before, here, later;
                load(before, step.forward + v - offset);
                load(here, step.forward + v);
                load(later, step.later + v);
                V x = before + here;
                x = x * later;
                if (offset >= kInterleave) {
                    sum[h] = sum[h] + x;
                } else {
                    const Mask has = ((laneIndex + h * lanes) & offset) != 0;
                    sum[h] = has ? sum[h] + x : sum[h];
                }
            }
        }
    }
    for (std::int32_t h = 0; h < kVectors; ++h) std::memcpy(part + h * lanes, &sum[h], sizeof(V));
}

// Bh_t of the places of whole units of kUnitVectors vectors in [low, high)
// (high <= n): each lane's own weights and gathered terms in registers over
// the columns, the vectors of a unit on chains of their own.
constexpr std::int32_t kUnitVectors = 4;
template <std::int32_t lanes>
FORWARD_INLINE void adjointTerms(const SubsetOffsets& offsets, const BackwardStep& step, std::int64_t low,
                                 std::int64_t high) {
    using V = typename LaneTypes<lanes>::Lanes;
    using Mask = typename LaneTypes<lanes>::Mask;
    constexpr std::int64_t kUnit = kUnitVectors * lanes;
    Mask laneIndex;
    setLaneIndices(laneIndex);
    const std::int64_t n = step.states;
    for (std::int64_t u = low; u < high; u += kUnit) {
        V own[kUnitVectors] = {}, gather[kUnitVectors] = {};
        for (std::int32_t k = 0; k < offsets.columns; ++k) {
            const std::int64_t offset = offsets.offset[k];
            const double weight = step.weights[offsets.symbol[k]];
            if (offset >= kUnit && (u & offset) != 0) {  // the bit in every place of the unit
#pragma GCC unroll 4
                for (std::int32_t i = 0; i < kUnitVectors; ++i) own[i] = own[i] + weight;
                continue;
            }
            if (offset >= kUnit && u + offset >= n) continue;
            const bool uniform = offset >= kUnit && u + offset + kUnit <= n;
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kUnitVectors; ++i) {
                const std::int64_t v = u + i * lanes;
                const Mask place = laneIndex + v;
                V next;
                load(next, step.later + v + offset);
                V y = next * weight;
                if (uniform) {
                    gather[i] = gather[i] + y;
                    continue;
                }
                const Mask has = (place & offset) != 0;
                own[i] = has ? own[i] + weight : own[i];
                gather[i] = (has == 0) & (place + offset < n) ? gather[i] + y : gather[i];
            }
        }
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kUnitVectors; ++i) {
            V later;
            load(later, step.later + u + i * lanes);
            V b = later * own[i];
            b = gather[i] + b;
            b = b / step.divisor;
            std::memcpy(step.earlier + u + i * lanes, &b, sizeof b);
        }
    }
}

// One place's terms, as the vector loops form them lane by lane: the places
// past the last whole unit of either loop.
FORWARD_INLINE void placeTerms(const SubsetOffsets& offsets, const BackwardStep& step, std::int64_t i,
                               double (*part)[kInterleave], bool adjoint) {
    double own = 0.0, gather = 0.0;
    for (std::int32_t k = 0; k < offsets.columns; ++k) {
        const std::int64_t offset = offsets.offset[k];
        const double weight = step.weights[offsets.symbol[k]];
        if (i & offset) {
            own = own + weight;
            double x = step.forward[i - offset];
            x = x + step.forward[i];
            x = x * step.later[i];
            if (part) part[k][i % kInterleave] = part[k][i % kInterleave] + x;
        } else if (i + offset < step.states) {
            gather = gather + step.later[i + offset] * weight;
        }
    }
    if (adjoint) step.earlier[i] = (gather + step.later[i] * own) / step.divisor;
}

template <std::int32_t lanes>
FORWARD_INLINE void subsetBackward(const SubsetOffsets& offsets, const BackwardStep& step, std::int32_t first,
                                   std::int32_t last, double* partial) {
    const std::int32_t K = offsets.columns;
    const std::int64_t end = last < step.states ? last : step.states;
    const std::int64_t units = first + (end - first) / kInterleave * kInterleave;
    const std::int64_t vectors = first + (end - first) / (kUnitVectors * lanes) * (kUnitVectors * lanes);
    double part[kMaxSubsetColumns][kInterleave] = {};
    for (std::int64_t low = first; low < units; low += kBlock) {
        const std::int64_t high = low + kBlock < units ? low + kBlock : units;
        for (std::int32_t k = 0; k < K; ++k) derivativeTerms<lanes>(step, offsets.offset[k], low, high, part[k]);
    }
    adjointTerms<lanes>(offsets, step, first, vectors);
    for (std::int64_t i = vectors < units ? vectors : units; i < end; ++i) {
        placeTerms(offsets, step, i, i >= units ? part : nullptr, i >= vectors);
    }
    for (std::int32_t k = 0; k < K; ++k) {
        double sum = 0.0;
        for (std::int32_t lane = 0; lane < kInterleave; ++lane) sum = sum + part[k][lane];
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
