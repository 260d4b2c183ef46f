#include <algorithm>

#include "forward/chunk_scheduler.hpp"
#include "forward/fork_join.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/forward_steps.hpp"

namespace {

// From this many states on, two chunks a phase, a second thread gains more
// than its start and the hand-over of every phase cost; below, with one
// chunk a phase, it cannot help and only costs (bench_forward's sweep).
constexpr std::int64_t kThreadedStates = 1 << 12;

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

// column[j] = column[j] / divisor for the states of the range, in place.
FORWARD_WIDE_CLONES
void divideRange(double* column, StateRange states, double divisor) {
    for (std::int32_t j = states.first; j < states.last; ++j) column[j] = column[j] / divisor;
}

// Step t+1 into next from step t in previous (padded columns, the caller's),
// a chunk at a time on the scheduler's threads; when normalize is set,
// divided by its sum, which it returns (0.0 when not). The sum runs as every
// sum of the recursion does, ascending from 0.0 in one accumulator, the
// caller adding each chunk as soon as it and those before it are done.
double advance(ChunkScheduler& scheduler, const ForwardPlan& plan, std::int32_t t, bool normalize,
               const double* previous, double* next) {
    const std::int32_t n = plan.states;
    // The helper's work captures values: see ChunkTask.
    const auto computeChunk = [&plan, t, previous, next, n](std::int32_t chunk) {
        const StateRange states = statesOf(chunk, n);
        forwardStep(plan, t, previous, next, states.first, states.last);
    };
    if (!normalize) {
        scheduler.run(computeChunk);
        return 0.0;
    }
    double sum = 0.0;
    scheduler.run(computeChunk, [&](std::int32_t chunk) { sum = addRange(next, statesOf(chunk, n), sum); });
    scheduler.run([next, n, sum](std::int32_t chunk) { divideRange(next, statesOf(chunk, n), sum); });
    return sum;
}

}  // namespace

double* forwardRecursion(const ForwardPlan& plan, bool normalize) {
    double* const columns[2] = {plan.initialColumn, newPaddedColumn(plan.states)};
    ChunkScheduler scheduler(chunkCount(plan.states), teamSize(plan.states, kThreadedStates, plan.threads));
    for (std::int32_t t = 0; t + 1 < plan.steps; ++t) {
        advance(scheduler, plan, t, normalize, columns[t % 2], columns[(t + 1) % 2]);
    }
    return columns[(plan.steps - 1) % 2];
}
