// The gateway both forward-recursion modules share; they differ only in
// whether every step is rescaled to sum 1.
#ifndef MODULES_FORWARD_GATEWAY_HPP
#define MODULES_FORWARD_GATEWAY_HPP

#include "forward/forward_batch.hpp"
#include "forward/forward_recursion.hpp"
#include "host/gateway.hpp"

// A cell array of observation matrices: the single calls' results side by
// side, sequence after sequence.
inline void forwardBatchGateway(const contract::Module& module, bool normalize, const host::Arguments& args, int nlhs,
                                mxArray* plhs[]) {
    using namespace contract;
    const BatchInputs inputs{args[kStepCountSlot],    args.batch.sequences, args.batch.count,    args[kMembershipSlot],
                             args[kPredecessorsSlot], args[kStepsSlot],     args.has(kStepsSlot)};
    BatchPlan plan{};
    Fault fault;
    if (!planBatch(inputs, ForwardOptions{}, &plan, &fault)) host::reject(module, fault);
    const std::int32_t n = plan.shared.states;
    const auto width = static_cast<std::int32_t>(plan.shared.chosen.count * plan.count);
    const ForwardResult result{host::createResult(plhs, n, width),
                               nlhs > 1 ? host::createResult(plhs, 1, width, 1) : nullptr};
    if (n > 0 && !forwardBatch(plan, normalize, result, &fault)) host::reject(module, fault);
}

inline void forwardGateway(const contract::Module& module, bool normalize, int nlhs, mxArray* plhs[], int nrhs,
                           const mxArray* prhs[]) {
    using namespace contract;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    if (args.batch.cell) return forwardBatchGateway(module, normalize, args, nlhs, plhs);
    const ForwardInputs inputs{args[kStepCountSlot],    args[kObservationsSlot], args[kMembershipSlot],
                               args[kPredecessorsSlot], args[kStepsSlot],        args.has(kStepsSlot)};
    ForwardPlan plan{};
    Fault fault;
    if (!planForward(inputs, ForwardOptions{}, &plan, &fault)) host::reject(module, fault);
    const std::int32_t n = inputs.membership.rows;
    const std::int32_t columns = plan.chosen.count;
    const ForwardResult result{host::createResult(plhs, n, columns),
                               nlhs > 1 ? host::createResult(plhs, 1, columns, 1) : nullptr};
    if (n > 0 && !forwardRecursion(plan, normalize, result, &fault)) host::reject(module, fault);
}

#endif
