#include "decode/path.hpp"
#include "decode/path_workspace.hpp"

namespace {

// The plan of sequence b of a valid batch plan.
PathPlan sequencePathPlan(const PathBatchPlan& batch, std::int64_t b) {
    PathPlan plan = batch.shared;
    plan.forward = sequencePlan(batch.forward, b);
    fitPathSequence(&plan);
    return plan;
}

}  // namespace

bool planPathBatch(const PathBatchInputs& in, const PathOptions& options, PathBatchPlan* plan, Fault* fault) {
    if (!planBatch(in.forward, options.forward, &plan->forward, fault)) return false;
    const std::int32_t L = in.forward.membership.cols;
    for (std::int64_t b = 0; b < in.forward.count; ++b) {
        const double T = in.forward.stepCounts.data[in.forward.stepCounts.count > 1 ? b : 0];
        if (!checkObservationWeights(in.forward.observations[b], L, static_cast<std::int32_t>(T), fault)) {
            fault->sequence = b;
            return false;
        }
    }
    plan->shared.forward = plan->forward.shared;
    const ForwardInputs states{{}, {}, in.forward.membership, in.forward.predecessors, {}, false};
    return planPathStates(states, in.finalWeights, in.path, options, &plan->shared, fault);
}

bool pathBatch(const PathBatchPlan& batch, const PathBatchResult& result, Fault* fault) {
    PathRoom room{1, 0};
    for (std::int64_t b = 0; b < batch.forward.count; ++b)
        room = largerRoom(room, pathRoom(sequencePathPlan(batch, b)));
    return runBatchSequences<PathWorkspace>(
        batch.forward, batch.shared, room,
        [&](std::int64_t b, PathWorkspace* workspace, Fault* stopped) {
            const PathPlan sequence = sequencePathPlan(batch, b);
            const PathResult slice{result.logWeight + b, result.symbols ? result.symbols[b] : nullptr,
                                   result.states ? result.states[b] : nullptr};
            return pathSequence(sequence, sequence.noPath ? nullptr : workspace, slice, stopped);
        },
        fault);
}
