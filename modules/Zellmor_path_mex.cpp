#include "decode/path.hpp"
#include "host/gateway.hpp"

namespace {

// A cell array of observation matrices: logp 1 x B, symbols and states cell
// arrays shaped like O.
void pathBatchGateway(const contract::Module& module, const host::Arguments& args, int nlhs, mxArray* plhs[]) {
    using namespace contract;
    const BatchInputs forward{args[kStepCountSlot],
                              args.batch.sequences,
                              args.batch.count,
                              args[kMembershipSlot],
                              args[kPredecessorsSlot],
                              {},
                              false};
    PathBatchPlan plan{};
    Fault fault;
    if (!planPathBatch({forward, args[kFinalWeightsSlot], nlhs > 1}, PathOptions{}, &plan, &fault)) {
        host::reject(module, fault);
    }
    const std::int32_t* steps = sequenceStepCounts(plan.forward);
    const PathBatchResult result{host::createResult(plhs, 1, static_cast<std::int32_t>(plan.forward.count)),
                                 nlhs > 1 ? host::createCellResult(plhs, 1, args.batch.cell, 1, steps) : nullptr,
                                 nlhs > 2 ? host::createCellResult(plhs, 2, args.batch.cell, 1, steps) : nullptr};
    if (!pathBatch(plan, result, &fault)) host::reject(module, fault);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const contract::Module& module = contract::kZellmorPath;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    if (args.batch.cell) return pathBatchGateway(module, args, nlhs, plhs);
    using namespace contract;
    const ForwardInputs forward{
        args[kStepCountSlot], args[kObservationsSlot], args[kMembershipSlot], args[kPredecessorsSlot], {}, false};
    PathPlan plan{};
    Fault fault;
    if (!planPath({forward, args[kFinalWeightsSlot], nlhs > 1}, PathOptions{}, &plan, &fault)) {
        host::reject(module, fault);
    }
    const std::int32_t T = plan.forward.stepCount;
    const PathResult result{host::createResult(plhs, 1, 1), nlhs > 1 ? host::createResult(plhs, 1, T, 1) : nullptr,
                            nlhs > 2 ? host::createResult(plhs, 1, T, 2) : nullptr};
    if (!mostLikelyPath(plan, result, &fault)) host::reject(module, fault);
}
