#include <optional>

#include "decode/path.hpp"
#include "decode/path_workspace.hpp"
#include "parallel/sequence_claims.hpp"

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
    const std::int32_t workers = batchWorkers(batch.forward);
    PathPlan shape = batch.shared;
    if (workers == 2) shape.forward.threads = 1;
    PathRoom room{1, 0};
    for (std::int64_t b = 0; b < batch.forward.count; ++b)
        room = largerRoom(room, pathRoom(sequencePathPlan(batch, b)));
    // Each thread's workspace is made here, where host scratch may be taken.
    CallStop stop;
    std::optional<PathWorkspace> workspaces[2];
    if (shape.forward.states > 0) {
        for (std::int32_t w = 0; w < workers; ++w) workspaces[w].emplace(shape, room, stop, w == 0);
    }
    Fault stopped[2];
    SequenceClaims claims(batch.forward.count);
    if (runWorkers(workers, stop, [&](std::int32_t worker) {
            for (std::int64_t b; (b = claims.claim()) >= 0;) {
                const PathPlan sequence = sequencePathPlan(batch, b);
                const PathResult slice{result.logWeight + b, result.symbols ? result.symbols[b] : nullptr,
                                       result.states ? result.states[b] : nullptr};
                PathWorkspace* workspace = sequence.noPath ? nullptr : &*workspaces[worker];
                if (!pathSequence(sequence, workspace, slice, &stopped[worker])) return false;
            }
            return true;
        })) {
        return true;
    }
    setInterrupted(*fault);
    return false;
}
