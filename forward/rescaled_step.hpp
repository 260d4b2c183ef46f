// The rescaled step over a table in the subset layout on one thread, for
// vectors of `lanes` doubles: each state's sum formed as subset_step.hpp
// forms it, so that the bits are the same. The step's sum in place order is
// one chain of dependent additions and the division of the column before it
// waits for that sum; both run beside the arithmetic of the nearby states,
// so that the out-of-order core overlaps them. Internal to the file that
// includes it, as forward/subset_step.hpp.
#ifndef FORWARD_RESCALED_STEP_HPP
#define FORWARD_RESCALED_STEP_HPP

#include <cstdint>
#include <cstring>

#include "forward/subset_step.hpp"

namespace {
namespace rescaled_step {

using subset_step::kVectorsPerUnit;

// Columns a subset table may have: its offsets are powers of two below 2^31.
constexpr std::int32_t kMaxColumns = 31;

// The table's columns as each unit reads them: the offset, the weight in
// every lane and, for an offset below a vector, the lanes that take it;
// `small` leading columns are the offsets 1, 2, 4, ... of a unit's states
// in that order, and the columns from `wholeFrom` on all have an offset of
// a unit or more.
template <std::int32_t lanes>
struct UnitColumns {
    using V = typename LaneTypes<lanes>::Lanes;
    using Mask = typename LaneTypes<lanes>::Mask;
    std::int32_t count;
    std::int32_t small;
    std::int32_t wholeFrom;
    std::int64_t offset[kMaxColumns];
    V weight[kMaxColumns];
    Mask taking[kMaxColumns];
};

// acc + ((the predecessors' weights + own) * weight), as subset_step adds a
// term, for every lane or, with a mask, for the lanes it takes.
template <class V>
FORWARD_INLINE void addTerm(V& acc, const double* predecessor, const V& own, const V& weight) {
    V x;
    std::memcpy(&x, predecessor, sizeof x);
    x = x + own;
    x = x * weight;
    acc = acc + x;
}
template <class V, class Mask>
FORWARD_INLINE void addTerm(V& acc, const double* predecessor, const V& own, const V& weight, const Mask& taking) {
    V x;
    std::memcpy(&x, predecessor, sizeof x);
    x = x + own;
    x = x * weight;
    x = taking ? x : V{};
    acc = acc + x;
}

// Column k's terms for the unit at u, whatever its offset.
template <std::int32_t lanes, class V>
FORWARD_INLINE void addColumn(const UnitColumns<lanes>& columns, std::int32_t k, std::int64_t u, const double* own,
                              const V* mine, V* acc) {
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    const std::int64_t offset = columns.offset[k];
    const double* predecessor = own - offset;
    if (offset >= kUnit) {  // the bit is the unit's: in every state of it or none
        if ((u & offset) == 0) return;
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            addTerm(acc[i], predecessor + i * lanes, mine[i], columns.weight[k]);
        }
    } else if (offset >= lanes) {  // the bit is a vector's: in every lane of it or none
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            if ((i & (offset / lanes)) != 0) addTerm(acc[i], predecessor + i * lanes, mine[i], columns.weight[k]);
        }
    } else {
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            addTerm(acc[i], predecessor + i * lanes, mine[i], columns.weight[k], columns.taking[k]);
        }
    }
}

// The leading columns of offsets 1, 2, 4, ... below a unit, laid out as the
// compiler sees them.
template <std::int32_t lanes, class V>
FORWARD_INLINE void addSmallColumns(const UnitColumns<lanes>& columns, const double* own, const V* mine, V* acc) {
    std::int32_t k = 0;
#pragma GCC unroll 8
    for (std::int64_t offset = 1; offset < lanes; offset *= 2, ++k) {
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            addTerm(acc[i], own + i * lanes - offset, mine[i], columns.weight[k], columns.taking[k]);
        }
    }
#pragma GCC unroll 8
    for (std::int64_t offset = lanes; offset < kVectorsPerUnit * lanes; offset *= 2, ++k) {
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            if ((i & (offset / lanes)) != 0) addTerm(acc[i], own + i * lanes - offset, mine[i], columns.weight[k]);
        }
    }
}

template <std::int32_t lanes>
UnitColumns<lanes> unitColumns(const SubsetOffsets& offsets, const double* weights) {
    using Mask = typename LaneTypes<lanes>::Mask;
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    UnitColumns<lanes> columns;
    Mask laneIndex;
    setLaneIndices(laneIndex);
    columns.count = offsets.columns;
    columns.small = 0;
    columns.wholeFrom = 0;
    for (std::int32_t k = 0; k < offsets.columns; ++k) {
        columns.offset[k] = offsets.offset[k];
        columns.weight[k] = typename LaneTypes<lanes>::Lanes{} + weights[offsets.symbol[k]];
        columns.taking[k] = (laneIndex & columns.offset[k]) != 0;
        if (columns.offset[k] < kUnit) columns.wholeFrom = k + 1;
    }
    std::int32_t leading = 0;
    while (leading < offsets.columns && (std::int64_t{1} << leading) < kUnit &&
           columns.offset[leading] == std::int64_t{1} << leading) {
        ++leading;
    }
    if ((std::int64_t{1} << leading) == kUnit) columns.small = leading;
    return columns;
}

}  // namespace rescaled_step

// Step t+1 of every state [0, n) into next from step t in previous, as
// subsetStep computes it (padded columns, the caller's), after dividing
// previous by previousDivisor when divide is set (else it is final): each
// whole unit of it a unit before the first state that reads it. Returns the
// sum of next over the places [0, summed), ascending from 0.0 in one
// accumulator: the divisor of the step where places are rows and summed is
// n. A unit at a time, every column's terms in registers: the unit just
// finished is added to the sum from its registers while the next one is
// computed (read back from next, its sum would wait for the stores to
// retire), and the unit after it divided.
template <std::int32_t lanes>
FORWARD_INLINE double rescaledSubsetStep(const SubsetOffsets& offsets, const double* weights, double* previous,
                                         bool divide, double previousDivisor, double* next, std::int32_t n,
                                         std::int32_t summed) {
    using namespace rescaled_step;
    using V = typename LaneTypes<lanes>::Lanes;
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    const std::int64_t end = (static_cast<std::int64_t>(n) + kUnit - 1) / kUnit * kUnit;
    const UnitColumns<lanes> columns = unitColumns<lanes>(offsets, weights);
    auto divideUnit = [&](std::int64_t u) __attribute__((always_inline)) {
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            V x;
            std::memcpy(&x, previous + u + i * lanes, sizeof x);
            x = x / previousDivisor;
            std::memcpy(previous + u + i * lanes, &x, sizeof x);
        }
    };
    if (divide) divideUnit(0);
    double sum = 0.0;
    const std::int64_t summedUnits = summed / kUnit * kUnit;
    for (std::int64_t u = 0; u < end; u += kUnit) {
        if (divide && u + kUnit < end) divideUnit(u + kUnit);
        const double* own = previous + u;
        V mine[kVectorsPerUnit], acc[kVectorsPerUnit];
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            std::memcpy(&mine[i], own + i * lanes, sizeof(V));
            acc[i] = V{};
        }
        std::int32_t k = 0;
        if (columns.small > 0) {
            addSmallColumns<lanes>(columns, own, mine, acc);
            k = columns.small;
        }
        for (; k < columns.wholeFrom; ++k) addColumn<lanes>(columns, k, u, own, mine, acc);
        for (; k < columns.count; ++k) {
            const std::int64_t offset = columns.offset[k];
            if ((u & offset) == 0) continue;
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                addTerm(acc[i], own + i * lanes - offset, mine[i], columns.weight[k]);
            }
        }
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) std::memcpy(next + u + i * lanes, &acc[i], sizeof(V));
        if (u < summedUnits) {
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
#pragma GCC unroll 8
                for (std::int32_t lane = 0; lane < lanes; ++lane) sum = sum + acc[i][lane];
            }
        }
    }
    for (std::int64_t j = summedUnits; j < summed; ++j) sum = sum + next[j];
    return sum;
}

}  // namespace

#endif
