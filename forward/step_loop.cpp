#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "forward/chunk_scheduler.hpp"
#include "forward/fork_join.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/forward_steps.hpp"
#include "forward/kernel_copies.hpp"
#include "kernel/interrupt.hpp"

namespace {

// From this many states on, four chunks a phase, a second thread gains more
// than its start, the hand-over of every phase and the data each step moves
// between the two caches cost; below, it cost as much as it gained, or more
// (bench_forward's sweep).
constexpr std::int64_t kThreadedStates = 1 << 13;

// States per chunk: whole cache blocks of the subset step, and few enough
// chunks per step that handing them out costs little.
constexpr std::int32_t kChunkStates = 2048;
static_assert(kChunkStates % kStateUnit == 0, "chunks start where the subset step may start");
static_assert((std::int64_t{1} << 31) / kChunkStates <= ChunkScheduler::kMaxChunks, "any n fits a phase");

// The chunks of a column of `states` states, the last one possibly short.
std::int32_t chunkCount(std::int32_t states) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(states) + kChunkStates - 1) / kChunkStates);
}

struct StateRange {
    std::int32_t first, last;
};

// The states [first, last) of a chunk of a column of n states.
StateRange statesOf(std::int32_t chunk, std::int32_t n) {
    const std::int32_t first = chunk * kChunkStates;
    return {first, static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{first} + kChunkStates, n))};
}

// sum + column[first] + ... + column[last - 1], added in ascending order.
double addRange(const double* column, StateRange states, double sum) {
    for (std::int32_t j = states.first; j < states.last; ++j) sum = sum + column[j];
    return sum;
}

// sum + column[place[j]] over the rows j of the range in ascending order,
// the column being in the steps' order.
double addPlacedRange(const double* column, const std::int32_t* place, StateRange rows, double sum) {
    for (std::int32_t j = rows.first; j < rows.last; ++j) sum = sum + column[place[j]];
    return sum;
}

// One call's way out on Ctrl-C: the calling thread polls as it is handed
// the finished chunks; once it has seen the flag, the chunks not yet begun
// are skipped on either thread, and the call stops after the phase.
struct Stop {
    InterruptPoll poll;
    std::atomic<bool> seen{false};
};

// A step as its chunks see it: the helper reads it through one pointer.
struct Step {
    const ForwardPlan* plan;
    std::int32_t t;
    const double* previous;
    double* next;
    Stop* stop;
};

// Step t+1 into next from step t in previous (padded columns, the caller's),
// a chunk at a time on the scheduler's threads; when normalize is set,
// divided by its sum, which it returns (0.0 when not). The sum runs as every
// sum of the recursion does, over the rows ascending from 0.0 in one
// accumulator: with the column in row order, each chunk is added as soon as
// it and those before it are done, by the thread whose share it is in, the
// accumulator passing between them; in an order of its own, the caller adds
// the whole column once the step is done.
double advance(ChunkScheduler& scheduler, const Step& step, bool normalize) {
    const ForwardPlan& plan = *step.plan;
    const std::int32_t n = plan.states;
    const std::int64_t unitsPerState = std::int64_t{plan.symbols} + 1;
    const auto computeChunk = [&step](std::int32_t chunk) {
        if (step.stop->seen.load(std::memory_order_relaxed)) return;
        const StateRange states = statesOf(chunk, step.plan->states);
        forwardStep(*step.plan, step.t, step.previous, step.next, states.first, states.last);
    };
    const auto poll = [&step, n, unitsPerState](std::int32_t chunk) {
        const StateRange states = statesOf(chunk, n);
        if (step.stop->poll.stop((states.last - states.first) * unitsPerState)) {
            step.stop->seen.store(true, std::memory_order_relaxed);
        }
    };
    // On a line of its own: both threads write it, in turn.
    struct alignas(64) Accumulator {
        double sum = 0.0;
    } accumulator;
    const auto addChunk = [&step, n, &accumulator](std::int32_t chunk) {
        accumulator.sum = addRange(step.next, statesOf(chunk, n), accumulator.sum);
    };
    if (normalize && !plan.place) {
        scheduler.run(computeChunk, poll, addChunk);
    } else {
        scheduler.run(computeChunk, poll);
    }
    if (!normalize || step.stop->seen.load(std::memory_order_relaxed)) return 0.0;
    const double sum = plan.place ? addPlacedRange(step.next, plan.place, {0, n}, 0.0) : accumulator.sum;
    const KernelCopy& copy = kernelCopy(plan.instructionSet);
    scheduler.run([&](std::int32_t chunk) {
        const StateRange states = statesOf(chunk, n);
        copy.divideRange(step.next, states.first, states.last, sum);
    });
    return sum;
}

// Writes a finished step into the result: the columns of every chosen step
// that is `step` (a chosen step past the last one computed is the last one,
// which every later step repeats), with the log scale so far.
class StepRecorder {
public:
    StepRecorder(const ForwardPlan& plan, const ForwardResult& result) : plan_(plan), result_(result) {}

    void record(std::int32_t step, const double* column, double logScale) {
        const ChosenSteps& chosen = plan_.chosen;
        for (; next_ < chosen.count; ++next_) {
            const std::int32_t position = chosen.byStep[next_];
            const double wanted = std::min(chosen.steps[position], static_cast<double>(plan_.steps));
            if (wanted != step) return;
            double* const weights = result_.weights + std::int64_t{position} * plan_.states;
            if (plan_.place) {
                for (std::int32_t j = 0; j < plan_.states; ++j) weights[j] = column[plan_.place[j]];
            } else {
                std::memcpy(weights, column, static_cast<std::size_t>(plan_.states) * sizeof(double));
            }
            if (result_.logScale) result_.logScale[position] = logScale;
        }
    }

private:
    const ForwardPlan& plan_;
    const ForwardResult& result_;
    std::int32_t next_ = 0;  // in chosen.byStep: the first chosen step not yet written
};

}  // namespace

bool forwardRecursion(const ForwardPlan& plan, bool normalize, const ForwardResult& result, Fault* fault) {
    double* const columns[2] = {plan.initialColumn, newPaddedColumn(plan.states)};
    StepRecorder recorder(plan, result);
    recorder.record(1, columns[0], 0.0);
    ChunkScheduler scheduler(chunkCount(plan.states), teamSize(plan.states, kThreadedStates, plan.threads));
    Stop stop;
    // ((0 + log(c_2)) + log(c_3)) + ...: the log of the scale of step t+1.
    double logScale = 0.0;
    for (std::int32_t t = 0; t + 1 < plan.steps; ++t) {
        const double divisor = advance(scheduler, {&plan, t, columns[t % 2], columns[(t + 1) % 2], &stop}, normalize);
        if (stop.seen.load(std::memory_order_relaxed)) {
            setInterrupted(*fault);
            return false;  // the scheduler lets its helper go and joins it on the way out
        }
        if (normalize) logScale = logScale + std::log(divisor);
        recorder.record(t + 2, columns[(t + 1) % 2], logScale);
    }
    return true;
}
