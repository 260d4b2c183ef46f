#include "forward/forward_steps.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kernel/scratch.hpp"

namespace {

// States per pass over the columns: the block of next, the block of previous
// and the one at each offset stay in the first-level cache meanwhile.
constexpr std::int32_t kCacheBlock = 1024;

// next[v] = next[v] + ((previous[v - offset] + previous[v]) * weight) for the
// states of whole vectors [from, to).
FORWARD_INLINE void addTerms(const double* previous, double* next, std::int64_t offset, double weight,
                             std::int64_t from, std::int64_t to) {
    for (std::int64_t v = from; v < to; v += kLanes) {
        Lanes x, own, acc;
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
template <std::int32_t count>
FORWARD_INLINE void addWholeBlockTerms(const double* previous, double* next, const ColumnGroup& group, bool begun,
                                       std::int64_t from, std::int64_t to) {
    std::int64_t offset[count];
    double weight[count];
    for (std::int32_t g = 0; g < count; ++g) {
        offset[g] = group.offset[g];
        weight[g] = group.weight[g];
    }
    for (std::int64_t v = from; v < to; v += kLanes) {
        Lanes own, acc = {0.0, 0.0, 0.0, 0.0};
        std::memcpy(&own, previous + v, sizeof own);
        if (begun) std::memcpy(&acc, next + v, sizeof acc);
        for (std::int32_t g = 0; g < count; ++g) {
            Lanes x;
            std::memcpy(&x, previous + v - offset[g], sizeof x);
            x = x + own;
            x = x * weight[g];
            acc = acc + x;
        }
        std::memcpy(next + v, &acc, sizeof acc);
    }
}

// Columns with offsets below kStateUnit, over the whole units [from, to): in
// a unit, vector i takes a column of offset 4 or 8 when i has the bit
// offset / 4 and only some lanes of every vector take one of offset 1 or 2.
FORWARD_INLINE void addSmallOffsetTerms(const double* previous, double* next, const ColumnGroup& group, bool begun,
                                        std::int64_t from, std::int64_t to) {
    constexpr std::int32_t kVectors = kStateUnit / kLanes;
    const LaneMask laneIndex = {0, 1, 2, 3};
    const Lanes zero = {0.0, 0.0, 0.0, 0.0};
    for (std::int64_t unit = from; unit < to; unit += kStateUnit) {
        Lanes own[kVectors], acc[kVectors];
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectors; ++i) {
            std::memcpy(&own[i], previous + unit + i * kLanes, sizeof(Lanes));
            acc[i] = zero;
            if (begun) std::memcpy(&acc[i], next + unit + i * kLanes, sizeof(Lanes));
        }
        for (std::int32_t g = 0; g < group.size; ++g) {
            const std::int64_t offset = group.offset[g];
            const double weight = group.weight[g];
            const LaneMask taking = (laneIndex & offset) != 0;
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectors; ++i) {
                if (offset >= kLanes && (i & (offset / kLanes)) == 0) continue;
                Lanes x;
                std::memcpy(&x, previous + unit + i * kLanes - offset, sizeof x);
                x = x + own[i];
                x = x * weight;
                if (offset < kLanes) x = taking ? x : zero;
                acc[i] = acc[i] + x;
            }
        }
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectors; ++i) std::memcpy(next + unit + i * kLanes, &acc[i], sizeof(Lanes));
    }
}

// The group's terms for the states [from, to); unless begun, their sums
// start here, at 0.0.
FORWARD_INLINE void addGroup(const double* previous, double* next, const ColumnGroup& group, bool begun,
                             std::int64_t from, std::int64_t to) {
    if (group.kind == GroupKind::smallOffsets) {
        addSmallOffsetTerms(previous, next, group, begun, from, to);
        return;
    }
    switch (group.size) {
        case 1: addWholeBlockTerms<1>(previous, next, group, begun, from, to); break;
        case 2: addWholeBlockTerms<2>(previous, next, group, begun, from, to); break;
        case 3: addWholeBlockTerms<3>(previous, next, group, begun, from, to); break;
        case kGroup: addWholeBlockTerms<kGroup>(previous, next, group, begun, from, to); break;
    }
}

// The states with the bit `offset` come in runs of offset states, every
// 2 x offset; each state's sum starts at 0.0 in next and takes the columns in
// ascending k, a cache block at a time. Consecutive columns with offsets
// below a unit, and consecutive ones whose bit is the same over the whole
// block, are taken a group at a time; a column of the second kind whose bit
// the block lacks adds nothing to it.
FORWARD_WIDE_CLONES
void subsetStep(const SubsetOffsets& offsets, const double* weights, const double* previous, double* next,
                std::int32_t first, std::int32_t last) {
    const std::int64_t end = (static_cast<std::int64_t>(last) + kStateUnit - 1) / kStateUnit * kStateUnit;
    for (std::int64_t low = first; low < end; low += kCacheBlock) {
        const std::int64_t high = std::min(low + kCacheBlock, end);
        bool begun = false;  // whether the block's sums have been started in next
        ColumnGroup group;
        group.size = 0;
        for (std::int32_t k = 0; k < offsets.columns; ++k) {
            const std::int64_t offset = offsets.offset[k];
            const double weight = weights[offsets.symbol[k]];
            const bool wholeBlock = (low ^ (high - 1)) < offset;
            if (wholeBlock && (low & offset) == 0) continue;
            const bool grouped = wholeBlock || offset < kStateUnit;
            const GroupKind kind = wholeBlock ? GroupKind::wholeBlock : GroupKind::smallOffsets;
            if (group.size > 0 && (!grouped || group.kind != kind || group.size == kGroup)) {
                addGroup(previous, next, group, begun, low, high);
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
                addTerms(previous, next, offset, weight, std::max(run, low), std::min(run + offset, high));
            }
        }
        if (group.size > 0) {
            addGroup(previous, next, group, begun, low, high);
        } else if (!begun) {
            std::memset(next + low, 0, static_cast<std::size_t>(high - low) * sizeof(double));
        }
    }
}

// Step t+1 of states [first, last) into next from step t in previous, by the
// compact terms; weights are the L observations of step t+1. Buffers are the
// caller's.
void stepFromTerms(const PredecessorTerms& terms, const double* weights, const double* previous, double* next,
                   std::int32_t first, std::int32_t last) {
    for (std::int32_t j = first; j < last; ++j) {
        const double own = previous[j];
        double acc = 0.0;
        for (std::int64_t e = terms.termStart[j]; e < terms.termStart[j + 1]; ++e) {
            double x = previous[terms.predecessor[e]];
            x = x + own;
            x = x * weights[terms.symbol[e]];
            acc = acc + x;
        }
        next[j] = acc;
    }
}

}  // namespace

// Entry 0 of a column starts a cache line wherever the host's block begins:
// the kernels then split no vector across two lines, and how fast a call
// runs no longer depends on what the allocator handed out before.
double* newPaddedColumn(std::int32_t n) {
    constexpr std::size_t kLineBytes = 64;
    constexpr std::size_t kShiftRoom = kLineBytes / sizeof(double) - 1;
    const std::size_t units = (static_cast<std::size_t>(n) + kStateUnit - 1) / kStateUnit;
    double* const block = scratchArray<double>(kLanes + units * kStateUnit + kShiftRoom);
    const std::uintptr_t entry0 = reinterpret_cast<std::uintptr_t>(block + kLanes);
    return block + kLanes + (kLineBytes - entry0 % kLineBytes) % kLineBytes / sizeof(double);
}

void forwardStep(const ForwardPlan& plan, std::int32_t t, const double* previous, double* next, std::int32_t first,
                 std::int32_t last) {
    const double* weights = plan.observations + static_cast<std::int64_t>(t + 1) * plan.symbols;
    if (plan.offsets.offset) {
        subsetStep(plan.offsets, weights, previous, next, first, last);
    } else {
        stepFromTerms(plan.terms, weights, previous, next, first, last);
    }
}
