// The one way the recursion's steps are run: from the weights of a step in
// a column, up to a later step, handing every finished step to an observer.
// Whatever keeps steps (the chosen steps of a call, the log scale,
// checkpoints, a batch's results) is an observer.
#ifndef FORWARD_STEP_DRIVER_HPP
#define FORWARD_STEP_DRIVER_HPP

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "forward/forward_recursion.hpp"
#include "forward/kernel_copies.hpp"
#include "kernel/interrupt.hpp"
#include "parallel/chunk_scheduler.hpp"

// From this many states on, a step is split between two threads where a
// call may take two. Below, the second thread cost as much as it gained, or
// more: in bench_forward's sweep up to 8192 states, and at 16384 states (L =
// 14) the rescaled step gained 1.2x at best while the raw one ran slower on
// two threads than on one in Octave; from 32768 on both gain.
constexpr std::int64_t kSplitStepStates = 1 << 15;

// A rescaled step of the subset layout, summing beside its arithmetic on one
// thread, ran faster than the same step split between two threads (which
// pass its sum between them) up to 65536 states, and slower from 262144 on:
// it is split from this many states on where a call is left to choose.
constexpr std::int64_t kSplitRescaledStates = 1 << 17;

class StepObserver {
public:
    // Step `step` (counted from 1) is done: column holds its weights in the
    // steps' order (the driver's, valid until the next step), already divided
    // by divisor, its sum in row order (1.0 for raw steps and for step 1).
    virtual void stepDone(std::int32_t step, const double* column, double divisor) = 0;

protected:
    ~StepObserver() = default;
};

// States per chunk of a step: whole cache blocks of the subset step, and few
// enough chunks per step that handing them out costs little. Other phases
// on the driver's scheduler take chunks of the same places.
constexpr std::int32_t kChunkStates = 2048;

// The chunks of a column of `states` states, the last one possibly short.
inline std::int32_t chunkCount(std::int32_t states) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(states) + kChunkStates - 1) / kChunkStates);
}

struct StateRange {
    std::int32_t first, last;
};

// The places [first, last) of chunk `chunk` of a column of n states.
inline StateRange statesOf(std::int32_t chunk, std::int32_t n) {
    const std::int32_t first = chunk * kChunkStates;
    return {first, static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{first} + kChunkStates, n))};
}

// A kernel of another recursion over the same states and table, run in the
// driver's chunks, threads and Ctrl-C polling in place of the recursion's
// step (the most likely path's max-product step): writes step `step` of the
// places [first, last) of next from previous, as forwardStep does.
class ChunkStep {
public:
    virtual void step(std::int32_t step, const double* previous, double* next, std::int32_t first,
                      std::int32_t last) const = 0;

protected:
    ~ChunkStep() = default;
};

class StepDriver {
public:
    // Steps of plan (n >= 1), each rescaled to sum 1 when normalize is set:
    // two padded columns of host scratch and the threads for the steps,
    // taken once, however many runs follow. Built on the calling thread;
    // a driver run on another thread is given the call's stop and never
    // reads the host's flag itself.
    StepDriver(const ForwardPlan& plan, bool normalize);
    StepDriver(const ForwardPlan& plan, bool normalize, CallStop& stop, bool onCallingThread);

    // The weights of the step the next run starts from, in the steps' order;
    // the caller may write any step's weights into it.
    double* column() const { return columns_[current_]; }

    // Runs on the steps of another sequence of the same state space (plan
    // differs from the driver's in T, O and the last step alone), from its
    // step 1, which it writes into column().
    void startSequence(const ForwardPlan& sequence);

    // Steps from + 1 .. to (from >= 1) from the weights of step `from` in
    // column(), calling observer.stepDone for each in order (a rescaled step
    // of the subset layout on one thread once the step after it has run,
    // the last at the end); column() then holds step `to`. Returns false,
    // with fault "interrupted", when Ctrl-C stops it (every thread it
    // started has then ended).
    bool run(std::int32_t from, std::int32_t to, StepObserver& observer, Fault* fault);

    // A step in two halves, for drivers whose sums run side by side (see
    // ColumnOrder::sumEach): computeStep writes step `step` from column(),
    // not yet rescaled, into the driver's other column and returns it (null,
    // with nothing further to do, when Ctrl-C stopped it); finishStep then
    // divides it by divisor, its sum in row order, when the driver rescales,
    // makes it column() and hands it to observer. The bits are run()'s.
    const double* computeStep(std::int32_t step);
    void finishStep(std::int32_t step, double divisor, StepObserver& observer);

    // Runs kernel's step in place of the recursion's from the next run on
    // (null: the recursion's own); the kernel outlives those runs. Only for
    // a driver that does not rescale, whose steps run() takes one at a time.
    void replaceStep(const ChunkStep* kernel) { replacement_ = kernel; }

    // A rescaled step of the subset layout on one thread (where
    // rescalesOnOneThread) in parts, for a caller that runs two drivers'
    // steps in one kernel call (KernelCopy::rescaledSubsetSteps): the
    // kernel's work for step `step` from column(); then, with the kernel's
    // sum, hand the step before to the observer and make the new step
    // column()'s (false, with fault "interrupted", when Ctrl-C stops it); and
    // once the last step has run, divide it and hand it to the observer.
    // run() is the same parts in turn.
    RescaledStep rescaledStep(std::int32_t step);
    bool rescaledDone(std::int32_t step, const RescaledStep& done, StepObserver& observer, Fault* fault);
    void finishRescaled(std::int32_t last, StepObserver& observer);

    // Whether the steps of plan run as run() takes rescaled steps of the
    // subset layout on one thread: then only the call's other phases use the
    // scheduler's threads.
    static bool rescalesOnOneThread(const ForwardPlan& plan, bool normalize);

    // plan for a driver whose call has no other phase: on one thread where
    // its steps take one, so that no second thread waits beside them.
    static ForwardPlan stepsOnly(const ForwardPlan& plan, bool normalize);

    // The threads the steps run on, chunkCount(states) chunks a phase, for
    // other phases of the call between runs.
    ChunkScheduler& scheduler() { return scheduler_; }

    // The call's Ctrl-C, and whether this driver's thread may read the
    // host's flag, for those other phases.
    CallStop& stop() { return stop_; }
    bool pollsHost() const { return pollsHost_; }

private:
    bool runDividingAhead(std::int32_t from, std::int32_t to, StepObserver& observer, Fault* fault);
    double advance(std::int32_t step, const double* previous, double* next, bool rescale);
    void divide(double* column, double divisor);

    const ForwardPlan* plan_;
    const ChunkStep* replacement_ = nullptr;
    const bool normalize_;
    double* columns_[2];
    std::int32_t current_ = 0;
    ChunkScheduler scheduler_;
    CallStop ownStop_;
    CallStop& stop_;
    const bool pollsHost_;
    // Rescaled steps of the subset layout on one thread (the scheduler's
    // threads left to the call's other phases): run() takes
    // runDividingAhead.
    const bool dividesAhead_;
    // Whether column() still waits for its divisor, pendingDivisor_.
    bool pending_ = false;
    double pendingDivisor_ = 1.0;
};

#endif
