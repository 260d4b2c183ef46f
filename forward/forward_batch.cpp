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

// A sequence in flight on a thread: its driver, its plan and the observer
// that writes its results.
struct Lane {
    std::optional<StepDriver> driver;
    ForwardPlan plan;
    std::optional<StepRecorder> recorder;
    std::int32_t step = 0;  // the last step done
    bool busy = false;
};

// Claims a sequence into lane and runs its step 1; false when none is left.
bool startLane(const BatchPlan& batch, Lane& lane, const ForwardResult& result, SequenceClaims& claims) {
    const std::int64_t b = claims.claim();
    lane.busy = b >= 0;
    if (!lane.busy) return false;
    const std::int64_t columns = batch.shared.chosen.count;
    lane.plan = sequencePlan(batch, b);
    lane.recorder.emplace(lane.plan, ForwardResult{result.weights + b * columns * lane.plan.states,
                                                   result.logScale ? result.logScale + b * columns : nullptr});
    lane.driver->startSequence(lane.plan);
    lane.recorder->stepDone(1, lane.driver->column(), 1.0);
    lane.step = 1;
    return true;
}

// Whether lane has a step to run, after starting sequences the thread
// claims on it while it has none (a sequence whose steps are all done, or
// none yet).
bool readyLane(const BatchPlan& batch, Lane& lane, const ForwardResult& result, SequenceClaims& claims) {
    while ((!lane.busy || lane.step == lane.plan.lastStep) && startLane(batch, lane, result, claims)) {
    }
    return lane.busy && lane.step < lane.plan.lastStep;
}

// Runs the sequences this thread claims, up to `count` lanes of them in
// step with one another, so that the rescaled steps' sums in row order,
// chains of dependent additions, run side by side (ColumnOrder::sumEach);
// each sequence's bits are those of its single call. False once stopped.
bool runLanes(const BatchPlan& batch, bool normalize, Lane* lanes, std::int32_t count, const ForwardResult& result,
              SequenceClaims& claims, Fault* fault) {
    for (;;) {
        Lane* active[ColumnOrder::kSummedTogether];
        const double* columns[ColumnOrder::kSummedTogether];
        std::int32_t running = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            if (readyLane(batch, lanes[i], result, claims)) active[running++] = &lanes[i];
        }
        if (running == 0) return true;
        for (std::int32_t i = 0; i < running; ++i) {
            if (!(columns[i] = active[i]->driver->computeStep(active[i]->step + 1))) {
                setInterrupted(*fault);
                return false;
            }
        }
        double sums[ColumnOrder::kSummedTogether] = {1.0, 1.0, 1.0, 1.0};
        if (normalize) batch.shared.order.sumEach(columns, running, sums);
        for (std::int32_t i = 0; i < running; ++i)
            active[i]->driver->finishStep(++active[i]->step, sums[i], *active[i]->recorder);
    }
}

// Runs the sequences this thread claims two at a time, the rescaled steps
// of both in one kernel call (one where a single sequence is left), so that
// each step's sum runs beside the other sequence's arithmetic as well as its
// own; each sequence's bits are those of its single call. A lane whose
// sequence has taken its last step is divided and refilled.
bool runPairs(const BatchPlan& batch, Lane* lanes, const ForwardResult& result, SequenceClaims& claims, Fault* fault) {
    const ForwardPlan& shared = batch.shared;
    for (;;) {
        Lane* active[2];
        RescaledStep work[2];
        std::int32_t running = 0;
        for (std::int32_t i = 0; i < 2; ++i) {
            Lane& lane = lanes[i];
            if (!readyLane(batch, lane, result, claims)) continue;
            work[running] = lane.driver->rescaledStep(lane.step + 1);
            active[running++] = &lane;
        }
        if (running == 0) return true;
        shared.kernels->rescaledSubsetSteps(shared.offsets, work, running, shared.states, shared.states);
        for (std::int32_t i = 0; i < running; ++i) {
            Lane& lane = *active[i];
            if (!lane.driver->rescaledDone(++lane.step, work[i], *lane.recorder, fault)) return false;
            if (lane.step == lane.plan.lastStep) lane.driver->finishRescaled(lane.step, *lane.recorder);
        }
    }
}

}  // namespace

bool planBatch(const BatchInputs& in, const ForwardOptions& options, BatchPlan* plan, Fault* fault) {
    if (!checkStepCounts(in, fault)) return false;
    double shortest = kInt32Max;
    std::int64_t shortestAt = -1;
    for (std::int64_t b = 0; b < in.count; ++b) {
        std::int32_t T = 0;
        if (!checkStepCount(sequenceInputs(in, b), &T, fault)) {
            fault->sequence = b;
            return false;
        }
        if (T < shortest) {
            shortest = T;
            shortestAt = b;
        }
    }
    ForwardInputs shared{{&shortest, 1, 1, 1}, {}, in.membership, in.predecessors, in.steps, in.stepsChosen};
    plan->shared.stepCount = static_cast<std::int32_t>(shortest);
    if (!chooseSteps(shared, &plan->shared, fault)) {
        // The steps are checked against the shortest sequence's T, which the
        // message gives: it names that sequence, as the batch's other errors do.
        if (in.steps.count <= static_cast<std::int64_t>(kInt32Max)) fault->sequence = shortestAt;
        return false;
    }
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
    // Each thread's drivers are made here, where host scratch may be taken;
    // on two threads each runs its sequences on one. Rescaled steps of the
    // subset layout on one thread run two sequences at a time; where a step
    // is split between threads instead, one lane runs a sequence at a time.
    ForwardPlan shared = StepDriver::stepsOnly(batch.shared, normalize);
    const std::int32_t workers = batchWorkers(batch);
    if (workers == 2) shared.threads = 1;
    const bool pairs = StepDriver::rescalesOnOneThread(shared, normalize) && !shared.order.place;
    const std::int32_t lanesEach = pairs ? 2
                                   : shared.states >= kSplitStepStates
                                       ? 1
                                       : static_cast<std::int32_t>(std::min<std::int64_t>(
                                             ColumnOrder::kSummedTogether, (batch.count + workers - 1) / workers));
    CallStop stop;
    Lane lanes[2][ColumnOrder::kSummedTogether];
    for (std::int32_t w = 0; w < workers; ++w) {
        for (std::int32_t i = 0; i < lanesEach; ++i) lanes[w][i].driver.emplace(shared, normalize, stop, w == 0);
    }
    SequenceClaims claims(batch.count);
    Fault stopped[2];
    if (runWorkers(workers, stop, [&](std::int32_t w) {
            if (pairs) return runPairs(batch, lanes[w], result, claims, &stopped[w]);
            return runLanes(batch, normalize, lanes[w], lanesEach, result, claims, &stopped[w]);
        })) {
        return true;
    }
    setInterrupted(*fault);
    return false;
}
