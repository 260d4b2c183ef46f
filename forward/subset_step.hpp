// The forward step over a table in the subset layout (SubsetOffsets), for
// vectors of `lanes` doubles: every state's sum is formed as written,
// acc = 0.0, then for ascending k with a predecessor,
// acc = acc + ((F(pred) + F(j)) * O(Q[k], t+1)). Each copy's file compiles
// this for its own instruction set, and no copy may stand in for another's:
// hence an unnamed namespace, internal to the file that includes it.
#ifndef FORWARD_SUBSET_STEP_HPP
#define FORWARD_SUBSET_STEP_HPP

#include <cstdint>
#include <cstring>

#include "forward/forward_recursion.hpp"
#include "forward/lanes.hpp"

namespace {
namespace subset_step {

// States per pass over the columns: the block of next, the block of previous
// and the one at each offset stay in the first-level cache meanwhile.
constexpr std::int64_t kCacheBlock = 1024;

// The step takes states in aligned units of four vectors.
constexpr std::int32_t kVectorsPerUnit = 4;

// next[v] = next[v] + ((previous[v - offset] + previous[v]) * weight) for the
// states of whole vectors [from, to).
template <class V>
FORWARD_INLINE void addTerms(const double* previous, double* next, std::int64_t offset, double weight,
                             std::int64_t from, std::int64_t to) {
    for (std::int64_t v = from; v < to; v += sizeof(V) / sizeof(double)) {
        V x, own, acc;
        std::memcpy(&x, previous + v - offset, sizeof x);
        std::memcpy(&own, previous + v, sizeof own);
        std::memcpy(&acc, next + v, sizeof acc);
        x = x + own;
        x = x * weight;
        acc = acc + x;
        std::memcpy(next + v, &acc, sizeof acc);
    }
}

// Up to kGroup consecutive columns of one kind, in ascending k, whose terms
// are summed in registers from one column to the next.
constexpr std::int32_t kGroup = 4;
enum class GroupKind { wholeBlock, smallOffsets };
struct ColumnGroup {
    GroupKind kind;
    std::int32_t size;
    std::int64_t offset[kGroup];
    double weight[kGroup];
};

// Columns that every state of [from, to) takes, `count` of them.
template <class V, std::int32_t count>
FORWARD_INLINE void addWholeBlockTerms(const double* previous, double* next, const ColumnGroup& group, bool begun,
                                       std::int64_t from, std::int64_t to) {
    std::int64_t offset[count];
    double weight[count];
    for (std::int32_t g = 0; g < count; ++g) {
        offset[g] = group.offset[g];
        weight[g] = group.weight[g];
    }
    for (std::int64_t v = from; v < to; v += sizeof(V) / sizeof(double)) {
        V own, acc = {};
        std::memcpy(&own, previous + v, sizeof own);
        if (begun) std::memcpy(&acc, next + v, sizeof acc);
        for (std::int32_t g = 0; g < count; ++g) {
            V x;
            std::memcpy(&x, previous + v - offset[g], sizeof x);
            x = x + own;
            x = x * weight[g];
            acc = acc + x;
        }
        std::memcpy(next + v, &acc, sizeof acc);
    }
}

// Columns with offsets below a unit, over the whole units [from, to): in a
// unit, vector i takes a column of offset `lanes` or more when i has the bit
// offset / lanes, and only some lanes of every vector take a smaller one.
template <class V, class Mask, std::int32_t lanes>
FORWARD_INLINE void addSmallOffsetTerms(const double* previous, double* next, const ColumnGroup& group, bool begun,
                                        std::int64_t from, std::int64_t to) {
    constexpr std::int32_t kUnit = kVectorsPerUnit * lanes;
    Mask laneIndex;
    setLaneIndices(laneIndex);
    const V zero = {};
    for (std::int64_t unit = from; unit < to; unit += kUnit) {
        V own[kVectorsPerUnit], acc[kVectorsPerUnit];
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            std::memcpy(&own[i], previous + unit + i * lanes, sizeof(V));
            acc[i] = zero;
            if (begun) std::memcpy(&acc[i], next + unit + i * lanes, sizeof(V));
        }
        for (std::int32_t g = 0; g < group.size; ++g) {
            const std::int64_t offset = group.offset[g];
            const double weight = group.weight[g];
            const Mask taking = (laneIndex & offset) != 0;
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                if (offset >= lanes && (i & (offset / lanes)) == 0) continue;
                V x;
                std::memcpy(&x, previous + unit + i * lanes - offset, sizeof x);
                x = x + own[i];
                x = x * weight;
                if (offset < lanes) x = taking ? x : zero;
                acc[i] = acc[i] + x;
            }
        }
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) std::memcpy(next + unit + i * lanes, &acc[i], sizeof(V));
    }
}

// The group's terms for the states [from, to); unless begun, their sums
// start here, at 0.0.
template <std::int32_t lanes>
FORWARD_INLINE void addGroup(const double* previous, double* next, const ColumnGroup& group, bool begun,
                             std::int64_t from, std::int64_t to) {
    using V = typename LaneTypes<lanes>::Lanes;
    if (group.kind == GroupKind::smallOffsets) {
        addSmallOffsetTerms<V, typename LaneTypes<lanes>::Mask, lanes>(previous, next, group, begun, from, to);
        return;
    }
    switch (group.size) {
        case 1: addWholeBlockTerms<V, 1>(previous, next, group, begun, from, to); break;
        case 2: addWholeBlockTerms<V, 2>(previous, next, group, begun, from, to); break;
        case 3: addWholeBlockTerms<V, 3>(previous, next, group, begun, from, to); break;
        case kGroup: addWholeBlockTerms<V, kGroup>(previous, next, group, begun, from, to); break;
    }
}

FORWARD_INLINE std::int64_t smaller(std::int64_t a, std::int64_t b) { return a < b ? a : b; }
FORWARD_INLINE std::int64_t larger(std::int64_t a, std::int64_t b) { return a < b ? b : a; }

}  // namespace subset_step

// Step t+1 of states [first, last) into next from step t in previous;
// weights are the L observations of step t+1 (buffers the caller's, padded
// columns; first a multiple of a unit, the unit holding last - 1 written
// whole). The states with the bit `offset` come in runs of offset states,
// every 2 x offset; each state's sum starts at 0.0 in next and takes the
// columns in ascending k, a cache block at a time. Consecutive columns with
// offsets below a unit, and consecutive ones whose bit is the same over the
// whole block, are taken a group at a time; a column of the second kind
// whose bit the block lacks adds nothing to it.
template <std::int32_t lanes>
FORWARD_INLINE void subsetStep(const SubsetOffsets& offsets, const double* weights, const double* previous,
                               double* next, std::int32_t first, std::int32_t last) {
    using namespace subset_step;
    using V = typename LaneTypes<lanes>::Lanes;
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    const std::int64_t end = (static_cast<std::int64_t>(last) + kUnit - 1) / kUnit * kUnit;
    for (std::int64_t low = first; low < end; low += kCacheBlock) {
        const std::int64_t high = smaller(low + kCacheBlock, end);
        bool begun = false;  // whether the block's sums have been started in next
        ColumnGroup group;
        group.size = 0;
        for (std::int32_t k = 0; k < offsets.columns; ++k) {
            const std::int64_t offset = offsets.offset[k];
            const double weight = weights[offsets.symbol[k]];
            const bool wholeBlock = (low ^ (high - 1)) < offset;
            if (wholeBlock && (low & offset) == 0) continue;
            const bool grouped = wholeBlock || offset < kUnit;
            const GroupKind kind = wholeBlock ? GroupKind::wholeBlock : GroupKind::smallOffsets;
            if (group.size > 0 && (!grouped || group.kind != kind || group.size == kGroup)) {
                addGroup<lanes>(previous, next, group, begun, low, high);
                begun = true;
                group.size = 0;
            }
            if (grouped) {
                group.kind = kind;
                group.offset[group.size] = offset;
                group.weight[group.size] = weight;
                ++group.size;
                continue;
            }
            if (!begun) std::memset(next + low, 0, static_cast<std::size_t>(high - low) * sizeof(double));
            begun = true;
            for (std::int64_t run = (low & -(2 * offset)) + offset; run < high; run += 2 * offset) {
                addTerms<V>(previous, next, offset, weight, larger(run, low), smaller(run + offset, high));
            }
        }
        if (group.size > 0) {
            addGroup<lanes>(previous, next, group, begun, low, high);
        } else if (!begun) {
            std::memset(next + low, 0, static_cast<std::size_t>(high - low) * sizeof(double));
        }
    }
}

}  // namespace

#endif
