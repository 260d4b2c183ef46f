#include "backward/gradient.hpp"
#include "backward/gradient_batch.hpp"
#include "host/gateway.hpp"

namespace {

// A cell array of observation matrices: logL 1 x B, dO a cell array shaped
// like O, gamma the sequences' posteriors side by side.
void gradientBatchGateway(const contract::Module& module, const host::Arguments& args, int nlhs, mxArray* plhs[]) {
    using namespace contract;
    const BatchInputs forward{args[kStepCountSlot],         args.batch.sequences,    args.batch.count,
                              args[kMembershipSlot],        args[kPredecessorsSlot], args[kPosteriorStepsSlot],
                              args.has(kPosteriorStepsSlot)};
    const GradientBatchInputs inputs{forward, args[kFinalWeightsSlot], nlhs > 1, nlhs > 2};
    GradientBatchPlan plan{};
    Fault fault;
    if (!planGradientBatch(inputs, GradientOptions{}, &plan, &fault)) host::reject(module, fault);
    const std::int64_t B = plan.forward.count;
    const std::int64_t columns = plan.posteriorStart[B];
    const std::int32_t* steps = sequenceStepCounts(plan.forward);
    const GradientBatchResult result{
        host::createResult(plhs, 1, static_cast<std::int32_t>(B)),
        nlhs > 1 ? host::createCellResult(plhs, 1, args.batch.cell, plan.shared.forward.symbols, steps) : nullptr,
        nlhs > 2 ? host::createResult(plhs, plan.shared.forward.states, static_cast<std::int32_t>(columns), 2)
                 : nullptr};
    if (!gradientBatch(plan, result, &fault)) host::reject(module, fault);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const contract::Module& module = contract::kZellmorGrad;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    if (args.batch.cell) return gradientBatchGateway(module, args, nlhs, plhs);
    using namespace contract;
    const ForwardInputs forward{args[kStepCountSlot],    args[kObservationsSlot],   args[kMembershipSlot],
                                args[kPredecessorsSlot], args[kPosteriorStepsSlot], args.has(kPosteriorStepsSlot)};
    const GradientInputs inputs{forward, args[kFinalWeightsSlot], nlhs > 1, nlhs > 2};
    GradientPlan plan{};
    Fault fault;
    if (!planGradient(inputs, GradientOptions{}, &plan, &fault)) host::reject(module, fault);
    const GradientResult result{
        host::createResult(plhs, 1, 1),
        nlhs > 1 ? host::createResult(plhs, inputs.forward.membership.cols, plan.forward.stepCount, 1) : nullptr,
        nlhs > 2 ? host::createResult(plhs, inputs.forward.membership.rows, posteriorColumns(plan), 2) : nullptr};
    if (!gradientRecursion(plan, result, &fault)) host::reject(module, fault);
}
