#include "backward/kept_columns.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "forward/forward_steps.hpp"
#include "kernel/scratch.hpp"

KeptRoom keptRoom(const GradientPlan& plan) {
    const std::int32_t T = plan.forward.stepCount;
    return {(T - 1) / plan.interval + 1, std::min(plan.interval, T) - 1, T};
}

KeptRoom largerRoom(const KeptRoom& a, const KeptRoom& b) {
    return {std::max(a.kept, b.kept), std::max(a.segment, b.segment), std::max(a.steps, b.steps)};
}

KeptColumns::KeptColumns(const KeptRoom& room, std::int64_t columnStride, StepDriver& driver, bool keep)
    : driver_(driver), keep_(keep) {
    if (!keep) return;
    divisors_ = scratchArray<double>(static_cast<std::size_t>(room.steps) + 1);
    kept_ = newPaddedColumns(room.kept, columnStride);
    if (room.segment > 0) segment_ = newPaddedColumns(room.segment, columnStride);
}

void KeptColumns::start(const GradientPlan& plan) {
    plan_ = &plan;
    segmentHeld_ = -1;
    logScale_ = 0.0;
}

void KeptColumns::stepDone(std::int32_t step, const double* column, double divisor) {
    const std::size_t bytes = static_cast<std::size_t>(plan_->forward.states) * sizeof(double);
    const std::int32_t m = plan_->interval;
    if (recomputing_) {
        std::memcpy(segmentColumn((step - 1) % m - 1), column, bytes);
        return;
    }
    // A divisor of 0 (or not a number) leaves every later step NaN: the log
    // scale stays at the first that is not finite.
    if (std::isfinite(logScale_)) logScale_ = logScale_ + std::log(divisor);
    if (!keep_) return;
    divisors_[step] = divisor;
    if ((step - 1) % m == 0) std::memcpy(keptColumn((step - 1) / m), column, bytes);
}

const double* KeptColumns::column(std::int32_t step, Fault* fault) {
    const std::int32_t m = plan_->interval;
    const std::int32_t q = (step - 1) / m;
    if ((step - 1) % m == 0) return keptColumn(q);
    if (segmentHeld_ != q) {
        const std::int32_t first = 1 + q * m;
        const std::int32_t last = std::min(plan_->forward.stepCount, first + m - 1);
        std::memcpy(driver_.column(), keptColumn(q), static_cast<std::size_t>(plan_->forward.states) * sizeof(double));
        recomputing_ = true;
        const bool done = driver_.run(first, last, *this, fault);
        recomputing_ = false;
        if (!done) return nullptr;
        segmentHeld_ = q;
    }
    return segmentColumn((step - 1) % m - 1);
}
