// The forward columns the backward sweep reads, kept as the plan's interval
// says: every one, or one every m steps with the steps between recomputed
// from it, a segment at a time, by the same driver (and so the same bits).
#ifndef BACKWARD_KEPT_COLUMNS_HPP
#define BACKWARD_KEPT_COLUMNS_HPP

#include <cstdint>

#include "backward/gradient.hpp"
#include "forward/step_driver.hpp"

// The columns a sequence keeps and recomputes a segment at a time, and its
// steps: what KeptColumns must have room for.
struct KeptRoom {
    std::int32_t kept;
    std::int32_t segment;
    std::int32_t steps;
};

// The room sequence plan (n >= 1) needs.
KeptRoom keptRoom(const GradientPlan& plan);

// The larger of two rooms, field by field.
KeptRoom largerRoom(const KeptRoom& a, const KeptRoom& b);

class KeptColumns final : public StepObserver {
public:
    // Host scratch for `room` (the kept columns, the columns of a segment
    // and the divisors) of columns `columnStride` doubles apart, once per
    // call however many sequences follow; with `keep` false, none: the log
    // scale alone.
    KeptColumns(const KeptRoom& room, std::int64_t columnStride, StepDriver& driver, bool keep);

    // Starts the forward sweep of a sequence whose room fits.
    void start(const GradientPlan& plan);

    // During the forward sweep: adds the log of the step's divisor to the
    // log scale and, when keeping, keeps the divisor, and the column when
    // its step is a kept one.
    // During a recomputation: keeps the column in the segment.
    void stepDone(std::int32_t step, const double* column, double divisor) override;

    double divisor(std::int32_t step) const { return divisors_[step]; }
    // ((0 + log(c_1)) + log(c_2)) + ... over the steps so far, c_1 = 1, up to
    // the first step where it is not finite.
    double logScale() const { return logScale_; }

    // A_t (padded, in the steps' order, valid until the next call), going
    // backward through the steps: a step of another segment than the last
    // one asked for has that segment recomputed. Null, with fault
    // "interrupted", when Ctrl-C stops the recomputation.
    const double* column(std::int32_t step, Fault* fault);

private:
    double* keptColumn(std::int32_t index) const { return kept_ + index * plan_->columnStride; }
    double* segmentColumn(std::int32_t index) const { return segment_ + index * plan_->columnStride; }

    const GradientPlan* plan_ = nullptr;
    StepDriver& driver_;
    const bool keep_;
    double* divisors_ = nullptr;
    double* kept_ = nullptr;     // step 1 + q m in column q
    double* segment_ = nullptr;  // step 1 + q m + r in column r - 1, for the segment q held
    std::int32_t segmentHeld_ = -1;
    bool recomputing_ = false;
    double logScale_ = 0.0;
};

#endif
