#include "backward/gradient_batch.hpp"

#include <algorithm>
#include <optional>

#include "backward/gradient_workspace.hpp"
#include "kernel/scratch.hpp"
#include "parallel/sequence_claims.hpp"

namespace {

// The plan of sequence b of a valid batch plan.
GradientPlan sequenceGradientPlan(const GradientBatchPlan& batch, std::int64_t b) {
    GradientPlan plan = batch.shared;
    plan.forward = sequencePlan(batch.forward, b);
    fitSequence(batch.options, &plan);
    return plan;
}

}  // namespace

bool planGradientBatch(const GradientBatchInputs& in, const GradientOptions& options, GradientBatchPlan* plan,
                       Fault* fault) {
    if (!planBatch(in.forward, options.forward, &plan->forward, fault)) return false;
    plan->options = options;
    plan->shared.forward = plan->forward.shared;
    const ForwardInputs states{
        {}, {}, in.forward.membership, in.forward.predecessors, in.forward.steps, in.forward.stepsChosen};
    if (!planGradientStates({states, in.finalWeights, in.derivatives, in.posteriors}, options, &plan->shared, fault)) {
        return false;
    }
    auto* start = scratchArray<std::int64_t>(static_cast<std::size_t>(plan->forward.count) + 1);
    for (std::int64_t b = 0; b < plan->forward.count; ++b) {
        start[b + 1] = start[b] + posteriorColumns(sequenceGradientPlan(*plan, b));
    }
    plan->posteriorStart = start;
    return checkResultColumns(std::max(plan->forward.count, start[plan->forward.count]), fault);
}

bool gradientBatch(const GradientBatchPlan& batch, const GradientBatchResult& result, Fault* fault) {
    const std::int32_t workers = batchWorkers(batch.forward);
    GradientPlan shape = batch.shared;
    if (workers == 2) shape.forward.threads = 1;
    KeptRoom room{1, 0, 1};
    for (std::int64_t b = 0; b < batch.forward.count; ++b) {
        const GradientPlan sequence = sequenceGradientPlan(batch, b);
        if (!sequence.zeroLikelihood) room = largerRoom(room, keptRoom(sequence));
    }
    // Each thread's workspace is made here, where host scratch may be taken.
    CallStop stop;
    std::optional<GradientWorkspace> workspaces[2];
    if (shape.forward.states > 0) {
        for (std::int32_t w = 0; w < workers; ++w) workspaces[w].emplace(shape, room, stop, w == 0);
    }
    const std::int64_t n = shape.forward.states;
    Fault stopped[2];
    SequenceClaims claims(batch.forward.count);
    if (runWorkers(workers, stop, [&](std::int32_t worker) {
            for (std::int64_t b; (b = claims.claim()) >= 0;) {
                const GradientPlan sequence = sequenceGradientPlan(batch, b);
                const GradientResult slice{
                    result.logLikelihood + b, result.derivatives ? result.derivatives[b] : nullptr,
                    result.posteriors ? result.posteriors + batch.posteriorStart[b] * n : nullptr};
                GradientWorkspace* workspace = sequence.zeroLikelihood ? nullptr : &*workspaces[worker];
                if (!gradientSequence(sequence, workspace, slice, &stopped[worker])) return false;
            }
            return true;
        })) {
        return true;
    }
    setInterrupted(*fault);
    return false;
}
