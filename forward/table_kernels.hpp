// The kernels over a predecessor table and a column other than the subset
// step, for vectors of `lanes` doubles: the one read of every entry of P,
// the step over lane terms, and the rescaling of a column. Internal to each
// copy's file, as in forward/subset_step.hpp.
#ifndef FORWARD_TABLE_KERNELS_HPP
#define FORWARD_TABLE_KERNELS_HPP

#include <cstdint>
#include <cstring>

#include "forward/forward_recursion.hpp"
#include "forward/kernel_copies.hpp"
#include "forward/lanes.hpp"
#include "forward/rescaled_step.hpp"
#include "forward/subset_step.hpp"

namespace {

// The n entries of a column of P, checked against the subset layout with
// `offset` (0: none). Adding and taking away 2^52 rounds a value within
// range to a whole number, which tells whole numbers apart without a
// conversion; lanes past the end of the column hold -1.0.
template <std::int32_t lanes>
FORWARD_INLINE ColumnScan scanColumn(const double* column, std::int32_t n, std::int32_t offset) {
    using V = typename LaneTypes<lanes>::Lanes;
    using Mask = typename LaneTypes<lanes>::Mask;
    const V absentEntry = V{} - 1.0;
    const V roundingShift = V{} + 0x1p52;
    const double rows = n;
    Mask state;
    setLaneIndices(state);
    V stateValue;
    setLaneIndices(stateValue);
    Mask wellFormed = ~Mask{};
    Mask subsetLayout = wellFormed;
    for (std::int32_t j = 0; j < n; j += lanes) {
        V p = absentEntry;
        std::memcpy(&p, column + j, sizeof(double) * static_cast<std::size_t>(n - j >= lanes ? lanes : n - j));
        const Mask absent = p == -1.0;
        const Mask rowNumber = (p >= 1.0) & (p <= rows) & ((p + roundingShift) - roundingShift == p);
        wellFormed &= absent | rowNumber;
        const V expected = (state & offset) != 0 ? stateValue - static_cast<double>(offset - 1) : absentEntry;
        subsetLayout &= (p == expected) | (stateValue >= rows);
        state += lanes;
        stateValue += lanes;
    }
    ColumnScan scan{true, offset > 0};
    for (std::int32_t lane = 0; lane < lanes; ++lane) {
        scan.wellFormed = scan.wellFormed && wellFormed[lane] != 0;
        scan.subsetLayout = scan.subsetLayout && subsetLayout[lane] != 0;
    }
    return scan;
}

// The terms of the group of kLaneGroup states at `place`, whose slots are
// [begin, end), into next: each lane forms its state's sum as the subset step
// does, on a chain of its own. With `uniform`, every lane has a term in every
// slot; otherwise a lane leaves out the slots past its count (padding adds
// nothing, not even a 0.0 that would turn a sum of -0.0 into +0.0).
template <bool uniform>
FORWARD_INLINE void laneGroup(const LaneTerms& terms, const double* weights, const double* previous, double* next,
                              std::int64_t place, std::int64_t begin, std::int64_t end) {
    double own[kLaneGroup], acc[kLaneGroup];
    std::int32_t remaining[kLaneGroup];
    for (std::int32_t lane = 0; lane < kLaneGroup; ++lane) {
        own[lane] = previous[place + lane];
        acc[lane] = 0.0;
        remaining[lane] = terms.termCount[place + lane];
    }
    for (std::int64_t slot = begin; slot < end; slot += kLaneGroup) {
#pragma GCC unroll 8
        for (std::int32_t lane = 0; lane < kLaneGroup; ++lane) {
            double x = previous[terms.predecessor[slot + lane]];
            x = x + own[lane];
            x = x * weights[terms.symbol[slot + lane]];
            if (uniform || remaining[lane]-- > 0) acc[lane] = acc[lane] + x;
        }
    }
    for (std::int32_t lane = 0; lane < kLaneGroup; ++lane) next[place + lane] = acc[lane];
}

// Step t+1 of the places [first, last) into next from step t in previous
// (padded columns, the caller's; first a multiple of kLaneGroup, the group
// holding last - 1 written whole); weights are the L observations of step
// t+1. Each lane of a group is a chain of its own, in every copy: loading
// the predecessors' weights with the gather instructions of the processors
// measured cost more than it saved.
FORWARD_INLINE void laneStep(const LaneTerms& terms, const double* weights, const double* previous, double* next,
                             std::int32_t first, std::int32_t last) {
    const std::int64_t groupEnd = (static_cast<std::int64_t>(last) + kLaneGroup - 1) / kLaneGroup;
    for (std::int64_t group = first / kLaneGroup; group < groupEnd; ++group) {
        const std::int64_t place = group * kLaneGroup;
        const std::int64_t begin = terms.groupStart[group], end = terms.groupStart[group + 1];
        if (terms.termCount[place] == terms.termCount[place + kLaneGroup - 1]) {
            laneGroup<true>(terms, weights, previous, next, place, begin, end);
        } else {
            laneGroup<false>(terms, weights, previous, next, place, begin, end);
        }
    }
}

// column[j] = column[j] / divisor for j in [first, last), in place.
template <std::int32_t lanes>
FORWARD_INLINE void divideRange(double* column, std::int32_t first, std::int32_t last, double divisor) {
    using V = typename LaneTypes<lanes>::Lanes;
    std::int32_t j = first;
    for (; j + lanes <= last; j += lanes) {
        V x;
        std::memcpy(&x, column + j, sizeof x);
        x = x / divisor;
        std::memcpy(column + j, &x, sizeof x);
    }
    for (; j < last; ++j) column[j] = column[j] / divisor;
}

// The kernels of one copy as plain functions.
template <std::int32_t lanes>
struct CopyOf {
    static void subset(const SubsetOffsets& offsets, const double* weights, const double* previous, double* next,
                       std::int32_t first, std::int32_t last) {
        subsetStep<lanes>(offsets, weights, previous, next, first, last);
    }
    static void rescaledSubset(const SubsetOffsets& offsets, RescaledStep* steps, std::int32_t count, std::int32_t n,
                               std::int32_t summed) {
        if (count == 2) {
            rescaledSubsetSteps<lanes, 2>(offsets, steps, n, summed);
        } else {
            rescaledSubsetSteps<lanes, 1>(offsets, steps, n, summed);
        }
    }
    static void lane(const LaneTerms& terms, const double* weights, const double* previous, double* next,
                     std::int32_t first, std::int32_t last) {
        laneStep(terms, weights, previous, next, first, last);
    }
    static void divide(double* column, std::int32_t first, std::int32_t last, double divisor) {
        divideRange<lanes>(column, first, last, divisor);
    }
    static ColumnScan scan(const double* column, std::int32_t n, std::int32_t offset) {
        return scanColumn<lanes>(column, n, offset);
    }
    static constexpr KernelCopy kernels = {subset, lane, divide, scan, rescaledSubset};
};

}  // namespace

#endif
