// The gateway both forward-recursion modules share; they differ only in
// whether every step is rescaled to sum 1.
#ifndef MODULES_FORWARD_GATEWAY_HPP
#define MODULES_FORWARD_GATEWAY_HPP

#include "forward/forward_recursion.hpp"
#include "host/gateway.hpp"

inline void forwardGateway(const contract::Module& module, bool normalize, int nlhs, mxArray* plhs[], int nrhs,
                           const mxArray* prhs[]) {
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    const ForwardInputs inputs{args[0], args[1], args[2], args[3]};
    ForwardPlan plan{};
    Fault fault;
    if (!planForward(inputs, &plan, &fault)) host::reject(module, fault);
    host::rejectOnInterrupt(module);
    const std::int32_t n = inputs.membership.rows;
    if (n == 0) {
        host::createResult(plhs, 0, 1);
        return;
    }
    host::returnVector(plhs, n, 1, forwardRecursion(plan, normalize));
}

#endif
