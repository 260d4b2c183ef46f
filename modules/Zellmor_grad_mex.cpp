#include "backward/gradient.hpp"
#include "host/gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const contract::Module& module = contract::kZellmorGrad;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    using namespace contract;
    const ForwardInputs forward{args[kStepCountSlot],    args[kObservationsSlot],    args[kMembershipSlot],
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
