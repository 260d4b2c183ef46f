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

// v from the doubles at `at` (by reference, as lanes.hpp says why).
template <class V>
FORWARD_INLINE void load(V& v, const double* at) {
    std::memcpy(&v, at, sizeof v);
}

template <std::int32_t lanes>
FORWARD_INLINE void subsetBackward(const SubsetOffsets& offsets, const BackwardStep& step, std::int32_t first,
                                   std::int32_t last, double* partial) {
    using V = typename LaneTypes<lanes>::Lanes;
    using Mask = typename LaneTypes<lanes>::Mask;
    constexpr std::int32_t kParts = kInterleave / lanes;
    const std::int32_t K = offsets.columns;
    const std::int64_t n = step.states;
    V part[kMaxSubsetColumns][kParts] = {};
    Mask laneIndex;
    setLaneIndices(laneIndex);
    for (std::int64_t v = first; v < last; v += lanes) {
        const Mask place = laneIndex + v;
        const Mask inside = place < n;
        V later, here;
        load(later, step.later + v);
        load(here, step.forward + v);
        const std::int32_t h = static_cast<std::int32_t>(v / lanes) % kParts;
        V own = {}, gather = {};
        for (std::int32_t k = 0; k < K; ++k) {
            const std::int64_t offset = offsets.offset[k];
            const double weight = step.weights[offsets.symbol[k]];
            Mask has, successor;
            if (offset >= lanes) {  // the same bit in every lane
                if ((v & offset) == 0 && v + offset >= n) continue;
                has = (v & offset) != 0 ? inside : Mask{};
                successor = (v & offset) == 0 ? place + offset < n : Mask{};
            } else {
                has = ((place & offset) != 0) & inside;
                successor = ((place & offset) == 0) & (place + offset < n);
            }
            if ((v & offset) != 0 || offset < lanes) {
                V x;
                load(x, step.forward + v - offset);
                x = x + here;
                x = x * later;
                part[k][h] = has ? part[k][h] + x : part[k][h];
                own = has ? own + weight : own;
            }
            if ((v & offset) == 0 || offset < lanes) {
                V y;
                load(y, step.later + v + offset);
                y = y * weight;
                gather = successor ? gather + y : gather;
            }
        }
        V b = later * own;
        b = gather + b;
        b = b / step.divisor;
        std::memcpy(step.earlier + v, &b, sizeof b);
    }
    for (std::int32_t k = 0; k < K; ++k) {
        double sum = 0.0;
        for (std::int32_t h = 0; h < kParts; ++h) {
            for (std::int32_t lane = 0; lane < lanes; ++lane) sum = sum + part[k][h][lane];
        }
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
