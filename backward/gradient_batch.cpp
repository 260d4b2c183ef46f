#include "backward/gradient_batch.hpp"

#include <algorithm>

#include "backward/gradient_workspace.hpp"
#include "kernel/scratch.hpp"

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
    KeptRoom room{1, 0, 1};
    for (std::int64_t b = 0; b < batch.forward.count; ++b) {
        const GradientPlan sequence = sequenceGradientPlan(batch, b);
        if (!sequence.zeroLikelihood) room = largerRoom(room, keptRoom(sequence));
    }
    const std::int64_t n = batch.shared.forward.states;
    return runBatchSequences<GradientWorkspace>(
        batch.forward, batch.shared, room,
        [&](std::int64_t b, GradientWorkspace* workspace, Fault* stopped) {
            const GradientPlan sequence = sequenceGradientPlan(batch, b);
            const GradientResult slice{result.logLikelihood + b, result.derivatives ? result.derivatives[b] : nullptr,
                                       result.posteriors ? result.posteriors + batch.posteriorStart[b] * n : nullptr};
            return gradientSequence(sequence, sequence.zeroLikelihood ? nullptr : workspace, slice, stopped);
        },
        fault);
}
