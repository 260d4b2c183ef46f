// One step of the backward sweep over a chunk of places, by the layout of
// the plan's table: the scaled adjoint of the step before from the one
// after, and each symbol's share of the derivative of that step's weights.
#ifndef BACKWARD_BACKWARD_STEPS_HPP
#define BACKWARD_BACKWARD_STEPS_HPP

#include <cstdint>

#include "backward/gradient.hpp"
#include "forward/instruction_sets.hpp"

// Step t back from step t + 1, in the steps' order. Columns are padded as
// newPaddedColumn pads them; `later` and `earlier` have a further
// 4 x kMaxLanes doubles past their end.
struct BackwardStep {
    const double* weights;  // O(:, t + 1)
    double divisor;         // c_{t+1}
    const double* forward;  // A_t
    const double* later;    // Bh_{t+1}
    double* earlier;        // Bh_t, written
    std::int32_t states;
};

// The most places one call of the subset kernel takes.
constexpr std::int64_t kBackwardPlaces = 2048;

// For the places [first, last) (first a multiple of kStateUnit, at most
// kBackwardPlaces of them), each place
// i: Bh_t(i) = (gather + Bh_{t+1}(i) * own) / c_{t+1}, where gather adds
// Bh_{t+1}(j) * O(Q[k], t+1) over its successors j in ascending k (then
// row) and own the O(Q[k], t+1) of its own terms in ascending k; and into
// partial[Q[k]] (L entries, the chunk's, zero-filled) the sum of
// (A_t(p) + A_t(i)) * Bh_{t+1}(i) over the places i with a term p in column
// k: in the subset layout formed in eight interleaved sums (place modulo 8,
// each ascending) added in lane order, then in ascending k; over lane terms
// in ascending place, then k.
struct BackwardCopy {
    void (*subsetBackward)(const SubsetOffsets& offsets, const BackwardStep& step, std::int32_t first,
                           std::int32_t last, double* partial);
};
extern const BackwardCopy* const kBaselineBackward;
extern const BackwardCopy* const kAvx2Backward;
extern const BackwardCopy* const kAvx512Backward;

// The copy for a set the processor runs, as kernelCopy picks the forward's.
const BackwardCopy& backwardCopy(InstructionSet set);

// The same step over lane terms and their successor table (one copy: each
// place is a chain of its own, as in the forward lane step).
void laneBackward(const LaneTerms& terms, const SuccessorTable& successors, const BackwardStep& step,
                  std::int32_t first, std::int32_t last, double* partial);

#endif
