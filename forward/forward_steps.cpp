#include "forward/forward_steps.hpp"

#include <cstdint>

#include "forward/kernel_copies.hpp"
#include "kernel/scratch.hpp"

static_assert(kStateUnit % kLaneGroup == 0, "a range that starts on a unit starts on a group of lane terms");

// Entry 0 of a column starts a cache line wherever the host's block begins:
// the kernels then split no vector across two lines, and how fast a call
// runs no longer depends on what the allocator handed out before.
double* newPaddedColumns(std::int64_t count, std::int64_t stride) {
    constexpr std::size_t kLineBytes = 64;
    constexpr std::size_t kShiftRoom = kLineBytes / sizeof(double) - 1;
    double* const block = scratchArray<double>(kMaxLanes + static_cast<std::size_t>(count * stride) + kShiftRoom);
    const std::uintptr_t entry0 = reinterpret_cast<std::uintptr_t>(block + kMaxLanes);
    return block + kMaxLanes + (kLineBytes - entry0 % kLineBytes) % kLineBytes / sizeof(double);
}

double* newPaddedColumn(std::int32_t n) {
    const std::int64_t units = (static_cast<std::int64_t>(n) + kStateUnit - 1) / kStateUnit;
    return newPaddedColumns(1, units * kStateUnit);
}

void forwardStep(const ForwardPlan& plan, std::int32_t step, const double* previous, double* next, std::int32_t first,
                 std::int32_t last) {
    const double* weights = plan.observations + static_cast<std::int64_t>(step - 1) * plan.symbols;
    const KernelCopy& copy = *plan.kernels;
    if (plan.offsets.offset) {
        copy.subsetStep(plan.offsets, weights, previous, next, first, last);
    } else {
        copy.laneStep(plan.terms, weights, previous, next, first, last);
    }
}
