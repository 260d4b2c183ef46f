#include "forward/forward_batch.hpp"

#include <algorithm>
#include <atomic>
#include <thread>

#include "forward/input_checks.hpp"
#include "forward/step_driver.hpp"
#include "forward/step_recorder.hpp"
#include "parallel/fork_join.hpp"

namespace {

// From this much work on (states x terms x steps over the batch), a second
// thread taking half the sequences gains more than its start costs.
constexpr std::int64_t kThreadedWork = std::int64_t{1} << 16;

// The inputs of sequence b as a single call would pass them.
ForwardInputs sequenceInputs(const BatchInputs& in, std::int64_t b) {
    const std::int64_t stride = in.stepCounts.count > 1 ? 1 : 0;
    const ArrayView T{in.stepCounts.data + b * stride, 1, 1, 1};
    return {T, in.observations[b], in.membership, in.predecessors, in.steps, in.stepsChosen};
}

bool checkStepCounts(const BatchInputs& in, Fault* fault) {
    if (in.stepCounts.count == 1 || in.stepCounts.count == in.count || in.count == 0) return true;
    setFault(*fault, "badStepCount", "T", "must hold 1 or B = %lld entries, one per sequence; found %lld.",
             static_cast<long long>(in.count), static_cast<long long>(in.stepCounts.count));
    return false;
}

// Claims sequences one at a time until none is left, and runs each whole
// with driver; false once a run is stopped.
bool runClaimed(const BatchPlan& batch, StepDriver& driver, const ForwardResult& result,
                std::atomic<std::int64_t>& next, Fault* fault) {
    const std::int64_t columns = batch.shared.chosen.count;
    for (std::int64_t b; (b = next.fetch_add(1, std::memory_order_relaxed)) < batch.count;) {
        const ForwardPlan sequence = sequencePlan(batch, b);
        const ForwardResult slice{result.weights + b * columns * sequence.states,
                                  result.logScale ? result.logScale + b * columns : nullptr};
        StepRecorder recorder(sequence, slice);
        driver.startSequence(sequence);
        recorder.stepDone(1, driver.column(), 1.0);
        if (!driver.run(1, sequence.lastStep, recorder, fault)) return false;
    }
    return true;
}

// Whether the sequences go to two threads, each run on one.
bool acrossSequences(const BatchPlan& batch) {
    const ForwardPlan& shared = batch.shared;
    if (batch.count < 2 || shared.states >= kSplitStepStates) return false;
    double work = 0.0;
    for (std::int64_t b = 0; b < batch.count; ++b) work += batch.stepCounts[b * batch.stepCountStride];
    work *= static_cast<double>(shared.states) * (shared.predecessorColumns + 1);
    const auto items = static_cast<std::int64_t>(std::min(work, 0x1p62));
    return teamSize(items, kThreadedWork, shared.threads) == kMaxThreads;
}

}  // namespace

bool planBatch(const BatchInputs& in, const ForwardOptions& options, BatchPlan* plan, Fault* fault) {
    if (!checkStepCounts(in, fault)) return false;
    double shortest = kInt32Max;
    for (std::int64_t b = 0; b < in.count; ++b) {
        std::int32_t T = 0;
        if (!checkStepCount(sequenceInputs(in, b), &T, fault)) {
            fault->sequence = b;
            return false;
        }
        shortest = std::min(shortest, static_cast<double>(T));
    }
    ForwardInputs shared{{&shortest, 1, 1, 1}, {}, in.membership, in.predecessors, in.steps, in.stepsChosen};
    plan->shared.stepCount = static_cast<std::int32_t>(shortest);
    if (!chooseSteps(shared, &plan->shared, fault)) return false;
    if (!planStates(shared, options, &plan->shared, fault)) return false;
    // Each sequence's own T stands in for the shortest (sequencePlan).
    if (!in.stepsChosen) plan->shared.chosen.steps = in.stepCounts.data;
    plan->stepCounts = in.stepCounts.data;
    plan->stepCountStride = in.stepCounts.count > 1 ? 1 : 0;
    plan->observations = in.observations;
    plan->count = in.count;
    plan->stepsChosen = in.stepsChosen;
    return true;
}

ForwardPlan sequencePlan(const BatchPlan& batch, std::int64_t b) {
    ForwardPlan plan = batch.shared;
    const double* T = batch.stepCounts + b * batch.stepCountStride;
    plan.observations = batch.observations[b].data;
    plan.stepCount = static_cast<std::int32_t>(*T);
    if (!batch.stepsChosen) {
        plan.chosen.steps = T;
        // Without predecessor terms every step after the second repeats it.
        plan.lastStep = plan.predecessorColumns == 0 ? std::min(plan.stepCount, 2) : plan.stepCount;
    }
    return plan;
}

bool forwardBatch(const BatchPlan& batch, bool normalize, const ForwardResult& result, Fault* fault) {
    std::atomic<std::int64_t> next{0};
    if (!acrossSequences(batch)) {
        StepDriver driver(batch.shared, normalize);
        return runClaimed(batch, driver, result, next, fault);
    }
    // Each thread's driver is made here, where host scratch may be taken,
    // and runs its sequences on one thread.
    ForwardPlan oneThread = batch.shared;
    oneThread.threads = 1;
    CallStop stop;
    StepDriver drivers[2] = {{oneThread, normalize, stop, true}, {oneThread, normalize, stop, false}};
    std::atomic<bool> helperDone{false};
    Fault helperFault;
    HelperThread helper;
    const bool helped = helper.start([&] {
        runClaimed(batch, drivers[1], result, next, &helperFault);
        helperDone.store(true, std::memory_order_release);
    });
    bool finished = runClaimed(batch, drivers[0], result, next, fault);
    // The host's flag is read on this thread alone: while the helper still
    // runs its last sequences, this thread keeps polling for it.
    while (helped && !helperDone.load(std::memory_order_acquire)) {
        if (stop.poll.stop(kPollInterval)) stop.seen.store(true, std::memory_order_relaxed);
        std::this_thread::yield();
    }
    helper.join();
    if (!finished || stop.seen.load(std::memory_order_relaxed)) {
        setInterrupted(*fault);
        return false;
    }
    return true;
}
