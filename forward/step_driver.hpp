// The one way the recursion's steps are run: from the weights of a step in
// a column, up to a later step, handing every finished step to an observer.
// Whatever keeps steps (the chosen steps of a call, the log scale,
// checkpoints, a batch's results) is an observer.
#ifndef FORWARD_STEP_DRIVER_HPP
#define FORWARD_STEP_DRIVER_HPP

#include <atomic>
#include <cstdint>

#include "forward/forward_recursion.hpp"
#include "kernel/interrupt.hpp"
#include "parallel/chunk_scheduler.hpp"

class StepObserver {
public:
    // Step `step` (counted from 1) is done: column holds its weights in the
    // steps' order (the driver's, valid until the next step), already divided
    // by divisor, its sum in row order (1.0 for raw steps and for step 1).
    virtual void stepDone(std::int32_t step, const double* column, double divisor) = 0;

protected:
    ~StepObserver() = default;
};

class StepDriver {
public:
    // Steps of plan (n >= 1), each rescaled to sum 1 when normalize is set:
    // two padded columns of host scratch and the threads for the steps,
    // taken once, however many runs follow.
    StepDriver(const ForwardPlan& plan, bool normalize);

    // The weights of the step the next run starts from, in the steps' order;
    // the caller may write any step's weights into it.
    double* column() const { return columns_[current_]; }

    // Steps from + 1 .. to (from >= 1) from the weights of step `from` in
    // column(), calling observer.stepDone after each; column() then holds
    // step `to`. Returns false, with fault "interrupted", when Ctrl-C stops it
    // (every thread it started has then ended).
    bool run(std::int32_t from, std::int32_t to, StepObserver& observer, Fault* fault);

private:
    // One call's way out on Ctrl-C: the calling thread polls as it is handed
    // the finished chunks; once it has seen the flag, the chunks not yet
    // begun are skipped on either thread, and the run stops after the phase.
    struct Stop {
        InterruptPoll poll;
        std::atomic<bool> seen{false};
    };

    double advance(std::int32_t step, const double* previous, double* next);

    const ForwardPlan& plan_;
    const bool normalize_;
    double* columns_[2];
    std::int32_t current_ = 0;
    ChunkScheduler scheduler_;
    Stop stop_;
};

#endif
