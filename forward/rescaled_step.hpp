// The rescaled step over a table in the subset layout on one thread, for
// vectors of `lanes` doubles, of one sequence or of two over the same table:
// each state's sum formed as subset_step.hpp forms it, so that the bits are
// the same. A step's sum in place order is one chain of dependent additions
// and the division of the column before it waits for that sum; both run
// beside the arithmetic of the nearby states (and, for two sequences, the
// other sequence's), so that the out-of-order core overlaps them. Internal
// to the file that includes it, as forward/subset_step.hpp.
#ifndef FORWARD_RESCALED_STEP_HPP
#define FORWARD_RESCALED_STEP_HPP

#include <cstdint>
#include <cstring>

#include "forward/kernel_copies.hpp"
#include "forward/subset_step.hpp"

namespace {
namespace rescaled_step {

// The table's columns as each unit of `vectors` vectors reads them, for
// `sequences` sequences: the offset, each sequence's weight in every lane
// and, for an offset below a vector, the lanes that take it. `small` leading
// columns are the offsets 1, 2, 4, ... of a unit's states in that order,
// and the columns from `wholeFrom` on all have an offset of a unit or more.
template <std::int32_t lanes, std::int32_t sequences>
struct UnitColumns {
    using V = typename LaneTypes<lanes>::Lanes;
    using Mask = typename LaneTypes<lanes>::Mask;
    std::int32_t count;
    std::int32_t small;
    std::int32_t wholeFrom;
    std::int64_t offset[kMaxSubsetColumns];
    V weight[sequences][kMaxSubsetColumns];
    Mask taking[kMaxSubsetColumns];
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

// One unit of every sequence: its own weights (`mine`) and sums (`acc`) in
// registers, vectors per sequence.
template <std::int32_t lanes, std::int32_t sequences>
struct Unit {
    static constexpr std::int32_t kVectors = subset_step::kVectorsPerUnit / sequences;
    static constexpr std::int64_t kStates = kVectors * lanes;
    using V = typename LaneTypes<lanes>::Lanes;
    const double* own[sequences];
    V mine[sequences][kVectors];
    V acc[sequences][kVectors];

    // Column k's terms, whatever its offset below a unit.
    FORWARD_INLINE void addColumn(const UnitColumns<lanes, sequences>& columns, std::int32_t k, std::int64_t offset) {
#pragma GCC unroll 2
        for (std::int32_t s = 0; s < sequences; ++s) {
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectors; ++i) {
                const double* predecessor = own[s] + i * lanes - offset;
                if (offset < lanes) {
                    addTerm(acc[s][i], predecessor, mine[s][i], columns.weight[s][k], columns.taking[k]);
                } else if ((i & (offset / lanes)) != 0) {  // the bit is a vector's: in every lane of it or none
                    addTerm(acc[s][i], predecessor, mine[s][i], columns.weight[s][k]);
                }
            }
        }
    }

    // Column k's terms where its offset is a unit or more: the bit is the
    // unit's, in every state of it or none.
    FORWARD_INLINE void addWholeColumn(const UnitColumns<lanes, sequences>& columns, std::int32_t k,
                                       std::int64_t offset) {
#pragma GCC unroll 2
        for (std::int32_t s = 0; s < sequences; ++s) {
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectors; ++i) {
                addTerm(acc[s][i], own[s] + i * lanes - offset, mine[s][i], columns.weight[s][k]);
            }
        }
    }

    // The leading columns of offsets 1, 2, 4, ... below a unit, laid out as
    // the compiler sees them.
    FORWARD_INLINE void addSmallColumns(const UnitColumns<lanes, sequences>& columns) {
        std::int32_t k = 0;
#pragma GCC unroll 8
        for (std::int64_t offset = 1; offset < kStates; offset *= 2, ++k) addColumn(columns, k, offset);
    }
};

template <std::int32_t lanes, std::int32_t sequences>
FORWARD_INLINE void readColumns(const SubsetOffsets& offsets, const RescaledStep* steps,
                                UnitColumns<lanes, sequences>& columns) {
    using Mask = typename LaneTypes<lanes>::Mask;
    constexpr std::int64_t kUnit = Unit<lanes, sequences>::kStates;
    Mask laneIndex;
    setLaneIndices(laneIndex);
    columns.count = offsets.columns;
    columns.small = 0;
    columns.wholeFrom = 0;
    for (std::int32_t k = 0; k < offsets.columns; ++k) {
        columns.offset[k] = offsets.offset[k];
        for (std::int32_t s = 0; s < sequences; ++s) {
            columns.weight[s][k] = typename LaneTypes<lanes>::Lanes{} + steps[s].weights[offsets.symbol[k]];
        }
        columns.taking[k] = (laneIndex & columns.offset[k]) != 0;
        if (columns.offset[k] < kUnit) columns.wholeFrom = k + 1;
    }
    std::int32_t leading = 0;
    while (leading < offsets.columns && (std::int64_t{1} << leading) < kUnit &&
           columns.offset[leading] == std::int64_t{1} << leading) {
        ++leading;
    }
    if ((std::int64_t{1} << leading) == kUnit) columns.small = leading;
}

// previous[u .. u + a unit) / divisor, in place.
template <std::int32_t lanes, std::int64_t states>
FORWARD_INLINE void divideUnit(double* previous, double divisor) {
    using V = typename LaneTypes<lanes>::Lanes;
#pragma GCC unroll 4
    for (std::int64_t v = 0; v < states; v += lanes) {
        V x;
        std::memcpy(&x, previous + v, sizeof x);
        x = x / divisor;
        std::memcpy(previous + v, &x, sizeof x);
    }
}

}  // namespace rescaled_step

// Step t+1 of every state [0, n) of each of `sequences` steps into its next
// from step t in its previous, as subsetStep computes it (padded columns,
// the caller's), after dividing previous by its divisor where divide is set
// (else it is final): each whole unit of it a unit before the first state
// that reads it. Each step's sum is that of next over the places
// [0, summed), ascending from 0.0 in one accumulator: the divisor of the
// step where places are rows and summed is n. A unit at a time, every
// column's terms in registers: the unit just finished is added to the sum
// from its registers while the next one is computed (read back from next,
// its sum would wait for the stores to retire), and the unit after it
// divided.
template <std::int32_t lanes, std::int32_t sequences>
FORWARD_INLINE void rescaledSubsetSteps(const SubsetOffsets& offsets, RescaledStep* steps, std::int32_t n,
                                        std::int32_t summed) {
    using namespace rescaled_step;
    using Work = Unit<lanes, sequences>;
    constexpr std::int64_t kUnit = Work::kStates;
    const std::int64_t end = (static_cast<std::int64_t>(n) + kUnit - 1) / kUnit * kUnit;
    UnitColumns<lanes, sequences> columns;
    readColumns<lanes, sequences>(offsets, steps, columns);
    // The steps' fields as locals: a store through a column may not change them.
    double* previous[sequences];
    double* next[sequences];
    double divisor[sequences];
    bool divide[sequences];
    double sum[sequences];
    for (std::int32_t s = 0; s < sequences; ++s) {
        previous[s] = steps[s].previous;
        next[s] = steps[s].next;
        divisor[s] = steps[s].divisor;
        divide[s] = steps[s].divide;
        if (divide[s]) divideUnit<lanes, kUnit>(previous[s], divisor[s]);
        sum[s] = 0.0;
    }
    const std::int64_t summedUnits = summed / kUnit * kUnit;
    for (std::int64_t u = 0; u < end; u += kUnit) {
        Work unit;
#pragma GCC unroll 2
        for (std::int32_t s = 0; s < sequences; ++s) {
            if (divide[s] && u + kUnit < end) divideUnit<lanes, kUnit>(previous[s] + u + kUnit, divisor[s]);
            unit.own[s] = previous[s] + u;
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < Work::kVectors; ++i) {
                std::memcpy(&unit.mine[s][i], unit.own[s] + i * lanes, sizeof(unit.mine[s][i]));
                unit.acc[s][i] = typename Work::V{};
            }
        }
        std::int32_t k = 0;
        if (columns.small > 0) {
            unit.addSmallColumns(columns);
            k = columns.small;
        }
        for (; k < columns.wholeFrom; ++k) {
            const std::int64_t offset = columns.offset[k];
            if (offset < kUnit) {
                unit.addColumn(columns, k, offset);
            } else if ((u & offset) != 0) {
                unit.addWholeColumn(columns, k, offset);
            }
        }
        for (; k < columns.count; ++k) {
            const std::int64_t offset = columns.offset[k];
            if ((u & offset) != 0) unit.addWholeColumn(columns, k, offset);
        }
#pragma GCC unroll 2
        for (std::int32_t s = 0; s < sequences; ++s) {
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < Work::kVectors; ++i) {
                std::memcpy(next[s] + u + i * lanes, &unit.acc[s][i], sizeof(unit.acc[s][i]));
            }
            if (u < summedUnits) {
#pragma GCC unroll 4
                for (std::int32_t i = 0; i < Work::kVectors; ++i) {
#pragma GCC unroll 8
                    for (std::int32_t lane = 0; lane < lanes; ++lane) sum[s] = sum[s] + unit.acc[s][i][lane];
                }
            }
        }
    }
    for (std::int32_t s = 0; s < sequences; ++s) {
        for (std::int64_t j = summedUnits; j < summed; ++j) sum[s] = sum[s] + next[s][j];
        steps[s].sum = sum[s];
    }
}

}  // namespace

#endif
