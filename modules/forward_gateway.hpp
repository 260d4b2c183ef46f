// The gateway both forward-recursion modules share; they differ only in
// whether every step is rescaled to sum 1.
#ifndef MODULES_FORWARD_GATEWAY_HPP
#define MODULES_FORWARD_GATEWAY_HPP

#include "forward/forward_recursion.hpp"
#include "host/gateway.hpp"

inline void forwardGateway(const char* module, bool normalize, int nlhs, mxArray* plhs[], int nrhs,
                           const mxArray* prhs[]) {
    const host::InputSlot slots[] = {{0, "T, the step count"},
                                     {1, "O, the observations"},
                                     {2, "S, the membership matrix"},
                                     {3, "P, the predecessor table"}};
    auto [T, O, S, P] = host::readArguments(module, nlhs, nrhs, prhs, 4, "T, O, S, P", slots);
    ForwardInputs inputs{T.data, O.data, O.count, S.data, S.rows, S.cols, P.data, P.count};
    ForwardPlan plan{};
    InputFault fault;
    if (!planForward(inputs, &plan, &fault)) host::rejectOnFault(module, fault);
    if (inputs.states == 0) {
        host::createResult(plhs, 0, 1);
        return;
    }
    host::returnVector(plhs, inputs.states, 1, forwardRecursion(plan, normalize));
}

#endif
