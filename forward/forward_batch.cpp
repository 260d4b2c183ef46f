#include "forward/forward_batch.hpp"

#include <algorithm>
#include <optional>

#include "forward/input_checks.hpp"
#include "forward/step_driver.hpp"
#include "forward/step_recorder.hpp"
#include "kernel/scratch.hpp"
#include "parallel/cores.hpp"
#include "parallel/sequence_claims.hpp"

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

// Runs sequence b whole with driver; false once it is stopped.
bool runSequence(const BatchPlan& batch, std::int64_t b, StepDriver& driver, const ForwardResult& result,
                 Fault* fault) {
    const std::int64_t columns = batch.shared.chosen.count;
    const ForwardPlan sequence = sequencePlan(batch, b);
    const ForwardResult slice{result.weights + b * columns * sequence.states,
                              result.logScale ? result.logScale + b * columns : nullptr};
    StepRecorder recorder(sequence, slice);
    driver.startSequence(sequence);
    recorder.stepDone(1, driver.column(), 1.0);
    return driver.run(1, sequence.lastStep, recorder, fault);
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
    return checkResultColumns(std::int64_t{plan->shared.chosen.count} * in.count, fault);
}

const std::int32_t* sequenceStepCounts(const BatchPlan& batch) {
    auto* steps = scratchArray<std::int32_t>(static_cast<std::size_t>(batch.count));
    for (std::int64_t b = 0; b < batch.count; ++b) {
        steps[b] = static_cast<std::int32_t>(batch.stepCounts[b * batch.stepCountStride]);
    }
    return steps;
}

bool checkResultColumns(std::int64_t columns, Fault* fault) {
    if (columns <= static_cast<std::int64_t>(kInt32Max)) return true;
    setFault(*fault, "tooLarge", nullptr, "The results would have %lld columns; at most 2147483647 fit.",
             static_cast<long long>(columns));
    return false;
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

std::int32_t batchWorkers(const BatchPlan& batch) {
    const ForwardPlan& shared = batch.shared;
    if (batch.count < 2 || shared.states >= kSplitStepStates) return 1;
    double work = 0.0;
    for (std::int64_t b = 0; b < batch.count; ++b) work += batch.stepCounts[b * batch.stepCountStride];
    work *= static_cast<double>(shared.states) * (shared.predecessorColumns + 1);
    const auto items = static_cast<std::int64_t>(std::min(work, 0x1p62));
    return teamSize(items, kThreadedWork, shared.threads) == kMaxThreads ? 2 : 1;
}

bool forwardBatch(const BatchPlan& batch, bool normalize, const ForwardResult& result, Fault* fault) {
    // Each thread's driver is made here, where host scratch may be taken; on
    // two threads each runs its sequences on one.
    ForwardPlan shared = batch.shared;
    const std::int32_t workers = batchWorkers(batch);
    if (workers == 2) shared.threads = 1;
    CallStop stop;
    std::optional<StepDriver> drivers[2];
    for (std::int32_t w = 0; w < workers; ++w) drivers[w].emplace(shared, normalize, stop, w == 0);
    Fault stopped[2];
    if (claimSequences(batch.count, workers, stop, [&](std::int32_t worker, std::int64_t b) {
            return runSequence(batch, b, *drivers[worker], result, &stopped[worker]);
        })) {
        return true;
    }
    setInterrupted(*fault);
    return false;
}
