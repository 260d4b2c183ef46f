#include "forward/step_driver.hpp"

#include <algorithm>

#include "forward/forward_steps.hpp"
#include "forward/initial_column.hpp"
#include "forward/kernel_copies.hpp"
#include "parallel/cores.hpp"

namespace {

static_assert(kChunkStates % kStateUnit == 0, "chunks start where the subset step may start");
static_assert((std::int64_t{1} << 31) / kChunkStates <= ChunkScheduler::kMaxChunks, "any n fits a phase");

}  // namespace

StepDriver::StepDriver(const ForwardPlan& plan, bool normalize) : StepDriver(plan, normalize, ownStop_, true) {}

StepDriver::StepDriver(const ForwardPlan& plan, bool normalize, CallStop& stop, bool onCallingThread)
    : plan_(&plan),
      normalize_(normalize),
      columns_{newPaddedColumn(plan.states), newPaddedColumn(plan.states)},
      scheduler_(chunkCount(plan.states), teamSize(plan.states, kSplitStepStates, plan.threads)),
      stop_(stop),
      pollsHost_(onCallingThread),
      dividesAhead_(rescalesOnOneThread(plan, normalize)) {}

bool StepDriver::rescalesOnOneThread(const ForwardPlan& plan, bool normalize) {
    return normalize && plan.offsets.offset && plan.kernels->rescaledSubsetSteps &&
           (teamSize(plan.states, kSplitStepStates, plan.threads) == 1 ||
            (plan.threads == 0 && plan.states < kSplitRescaledStates));
}

ForwardPlan StepDriver::stepsOnly(const ForwardPlan& plan, bool normalize) {
    ForwardPlan steps = plan;
    if (rescalesOnOneThread(plan, normalize)) steps.threads = 1;
    return steps;
}

void StepDriver::startSequence(const ForwardPlan& sequence) {
    plan_ = &sequence;
    pending_ = false;
    writeStepOne(sequence, column());
}

bool StepDriver::run(std::int32_t from, std::int32_t to, StepObserver& observer, Fault* fault) {
    if (dividesAhead_) return runDividingAhead(from, to, observer, fault);
    for (std::int32_t step = from + 1; step <= to; ++step) {
        double* const next = columns_[1 - current_];
        const double divisor = advance(step, columns_[current_], next, normalize_);
        if (stop_.seen.load(std::memory_order_relaxed)) {
            setInterrupted(*fault);
            return false;
        }
        current_ = 1 - current_;
        observer.stepDone(step, next, divisor);
    }
    return true;
}

// Each step divides the column before it by its divisor as it reads it, a
// unit of states ahead, and sums its own places beside its arithmetic where
// they are the rows (else after it, in row order): step s's column is final,
// and handed to the observer, once step s + 1 has run, and the last step's
// is divided at the end.
bool StepDriver::runDividingAhead(std::int32_t from, std::int32_t to, StepObserver& observer, Fault* fault) {
    const KernelCopy& copy = *plan_->kernels;
    const std::int32_t summed = plan_->order.place ? 0 : plan_->states;
    pending_ = false;
    for (std::int32_t step = from + 1; step <= to; ++step) {
        RescaledStep work = rescaledStep(step);
        copy.rescaledSubsetSteps(plan_->offsets, &work, 1, plan_->states, summed);
        if (!rescaledDone(step, work, observer, fault)) return false;
    }
    finishRescaled(to, observer);
    return true;
}

RescaledStep StepDriver::rescaledStep(std::int32_t step) {
    const double* weights = plan_->observations + static_cast<std::int64_t>(step - 1) * plan_->symbols;
    return {weights, columns_[current_], pending_, pendingDivisor_, columns_[1 - current_], 0.0};
}

bool StepDriver::rescaledDone(std::int32_t step, const RescaledStep& done, StepObserver& observer, Fault* fault) {
    const ForwardPlan& plan = *plan_;
    const double sum = plan.order.place ? plan.order.addRows(done.next, 0, plan.states, 0.0) : done.sum;
    const std::int64_t units = pollsHost_ ? std::int64_t{plan.states} * (plan.symbols + 1) : 0;
    if ((units > 0 && stop_.check(units)) || stop_.stopped()) {
        setInterrupted(*fault);
        return false;
    }
    if (pending_) observer.stepDone(step - 1, done.previous, pendingDivisor_);
    current_ = 1 - current_;
    pending_ = true;
    pendingDivisor_ = sum;
    return true;
}

void StepDriver::finishRescaled(std::int32_t last, StepObserver& observer) {
    if (!pending_) return;
    plan_->kernels->divideRange(column(), 0, plan_->states, pendingDivisor_);
    observer.stepDone(last, column(), pendingDivisor_);
    pending_ = false;
}

// Step `step` into next from the step before in previous, a chunk at a time
// on the scheduler's threads; when rescaled, divided by its sum, which it
// returns (1.0 when not). The sum runs as every sum of the recursion does,
// over the rows ascending from 0.0 in one accumulator: each link of the
// chain adds the rows whose weights the chunks so far have all written, on
// the thread whose share the chunk is in, the accumulator passing between
// them.
double StepDriver::advance(std::int32_t step, const double* previous, double* next, bool rescale) {
    const ForwardPlan& plan = *plan_;
    const std::int32_t n = plan.states;
    const std::int64_t unitsPerState = pollsHost_ ? std::int64_t{plan.symbols} + 1 : 0;
    CallStop* const stop = &stop_;
    // On a line of its own: both threads write it, in turn.
    struct alignas(64) Accumulator {
        double sum = 0.0;
    } accumulator;
    ChunkScheduler::Phase phase;
    const ChunkStep* const replacement = replacement_;
    phase.work = [&plan, stop, step, previous, next, replacement](std::int32_t chunk) {
        if (stop->seen.load(std::memory_order_relaxed)) return;
        const StateRange states = statesOf(chunk, plan.states);
        if (replacement) {
            replacement->step(step, previous, next, states.first, states.last);
        } else {
            forwardStep(plan, step, previous, next, states.first, states.last);
        }
    };
    // Off the calling thread, no work is counted, so the host's flag is
    // never read there.
    phase.watch = [stop, n, unitsPerState](std::int32_t chunk) {
        const StateRange states = statesOf(chunk, n);
        if (unitsPerState > 0 && stop->poll.stop((states.last - states.first) * unitsPerState)) {
            stop->seen.store(true, std::memory_order_relaxed);
        }
    };
    if (rescale) {
        phase.chain = [&plan, next, n, &accumulator](std::int32_t chunk) {
            const StateRange places = statesOf(chunk, n);
            const std::int32_t first = plan.order.rowsWritten(places.first);
            accumulator.sum = plan.order.addRows(next, first, plan.order.rowsWritten(places.last), accumulator.sum);
        };
    }
    scheduler_.run(phase);
    if (!rescale || stop_.seen.load(std::memory_order_relaxed)) return 1.0;
    divide(next, accumulator.sum);
    return accumulator.sum;
}

// column[j] / divisor for every place, on the scheduler's threads.
void StepDriver::divide(double* column, double divisor) {
    const KernelCopy& copy = *plan_->kernels;
    const std::int32_t n = plan_->states;
    ChunkScheduler::Phase phase;
    phase.work = [&copy, column, n, divisor](std::int32_t chunk) {
        const StateRange states = statesOf(chunk, n);
        copy.divideRange(column, states.first, states.last, divisor);
    };
    scheduler_.run(phase);
}

const double* StepDriver::computeStep(std::int32_t step) {
    double* const next = columns_[1 - current_];
    advance(step, columns_[current_], next, false);
    return stop_.seen.load(std::memory_order_relaxed) ? nullptr : next;
}

void StepDriver::finishStep(std::int32_t step, double divisor, StepObserver& observer) {
    double* const next = columns_[1 - current_];
    if (normalize_) divide(next, divisor);
    current_ = 1 - current_;
    observer.stepDone(step, next, normalize_ ? divisor : 1.0);
}
