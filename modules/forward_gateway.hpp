// The gateway both forward-recursion modules share; they differ only in
// whether every step is rescaled to sum 1.
#ifndef MODULES_FORWARD_GATEWAY_HPP
#define MODULES_FORWARD_GATEWAY_HPP

#include "forward/forward_recursion.hpp"
#include "host/gateway.hpp"

inline void forwardGateway(const contract::Module& module, bool normalize, int nlhs, mxArray* plhs[], int nrhs,
                           const mxArray* prhs[]) {
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    const ForwardInputs inputs{args[0], args[1], args[2], args[3], args[4], args.has(4)};
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
