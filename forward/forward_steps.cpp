#include "forward/forward_steps.hpp"

#include <algorithm>
#include <cstring>

#include "arrays/scratch.hpp"

namespace {

// States per pass over the columns: the block of next, the block of previous
// and the one at each offset stay in the first-level cache meanwhile.
constexpr std::int32_t kCacheBlock = 1024;

// next[v] = next[v] + ((previous[v - offset] + previous[v]) * weight) for the
// states of whole vectors [from, to). With someLanes, only the states with the
// bit `offset` (below kLanes) take the term; the others add 0.0, which leaves
// a sum begun at 0.0 as it is.
template <bool someLanes>
FORWARD_INLINE void addTerms(const double* previous, double* next, std::int64_t offset, double weight, std::int64_t from,
              std::int64_t to) {
    const LaneMask laneIndex = {0, 1, 2, 3};
    const LaneMask taking = (laneIndex & offset) != 0;
    const Lanes zero = {0.0, 0.0, 0.0, 0.0};
    for (std::int64_t v = from; v < to; v += kLanes) {
        Lanes x, own, acc;
        std::memcpy(&x, previous + v - offset, sizeof x);
        std::memcpy(&own, previous + v, sizeof own);
        std::memcpy(&acc, next + v, sizeof acc);
        x = x + own;
        x = x * weight;
        if (someLanes) x = taking ? x : zero;
        acc = acc + x;
        std::memcpy(next + v, &acc, sizeof acc);
    }
}

// Up to kGroup columns that every state of a block takes, in ascending k.
constexpr std::int32_t kGroup = 4;
struct ColumnGroup {
    std::int64_t offset[kGroup];
    double weight[kGroup];
    std::int32_t size;
};

// The terms of `count` columns of a group for the states [from, to), the sum
// held in a register from one column to the next.
template <std::int32_t count>
FORWARD_INLINE void addGroupTerms(const double* previous, double* next, const ColumnGroup& group, std::int64_t from,
                                  std::int64_t to) {
    std::int64_t offset[count];
    double weight[count];
    for (std::int32_t g = 0; g < count; ++g) {
        offset[g] = group.offset[g];
        weight[g] = group.weight[g];
    }
    for (std::int64_t v = from; v < to; v += kLanes) {
        Lanes own, acc;
        std::memcpy(&own, previous + v, sizeof own);
        std::memcpy(&acc, next + v, sizeof acc);
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

FORWARD_INLINE void addGroup(const double* previous, double* next, const ColumnGroup& group, std::int64_t from, std::int64_t to) {
    switch (group.size) {
        case 1: addGroupTerms<1>(previous, next, group, from, to); break;
        case 2: addGroupTerms<2>(previous, next, group, from, to); break;
        case 3: addGroupTerms<3>(previous, next, group, from, to); break;
        case kGroup: addGroupTerms<kGroup>(previous, next, group, from, to); break;
    }
}

}  // namespace

double* newPaddedColumn(std::int32_t n) {
    std::size_t blocks = (static_cast<std::size_t>(n) + kLanes - 1) / kLanes;
    return scratchArray<double>((blocks + 1) * kLanes) + kLanes;
}

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

// The states with the bit `offset` come in runs of offset states, every
// 2 x offset; each state's sum starts at 0.0 in next and takes the columns in
// ascending k, a cache block at a time. A column whose bit is the same for
// the whole block goes to the block all or nothing, and consecutive ones of
// those are taken a group at a time.
FORWARD_WIDE_CLONES
void stepFromOffsets(const SubsetOffsets& offsets, const double* weights, const double* previous, double* next,
                     std::int32_t first, std::int32_t last) {
    const std::int64_t end = (static_cast<std::int64_t>(last) + kLanes - 1) / kLanes * kLanes;
    for (std::int64_t low = first; low < end; low += kCacheBlock) {
        const std::int64_t high = std::min(low + kCacheBlock, end);
        std::memset(next + low, 0, static_cast<std::size_t>(high - low) * sizeof(double));
        ColumnGroup group;
        group.size = 0;
        for (std::int32_t k = 0; k < offsets.columns; ++k) {
            const std::int64_t offset = offsets.offset[k];
            const double weight = weights[offsets.symbol[k]];
            const bool wholeBlock = (low ^ (high - 1)) < offset;
            if (wholeBlock && (low & offset) != 0) {
                group.offset[group.size] = offset;
                group.weight[group.size] = weight;
                ++group.size;
            }
            if (group.size == kGroup || (!wholeBlock && group.size > 0)) {
                addGroup(previous, next, group, low, high);
                group.size = 0;
            }
            if (wholeBlock) continue;
            if (offset < kLanes) {
                addTerms<true>(previous, next, offset, weight, low, high);
                continue;
            }
            for (std::int64_t run = (low & -(2 * offset)) + offset; run < high; run += 2 * offset) {
                addTerms<false>(previous, next, offset, weight, std::max(run, low), std::min(run + offset, high));
            }
        }
        addGroup(previous, next, group, low, high);
    }
}
