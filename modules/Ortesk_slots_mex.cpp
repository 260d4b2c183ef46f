#include "host/gateway.hpp"
#include "transitions/transition_codes.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const contract::Module& module = contract::kOrteskSlots;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    TransitionCodes codes{};
    Fault fault;
    if (!bucketTransitions(args[contract::kCountMembershipSlot], args[contract::kCountsSlot], &codes, &fault))
        host::reject(module, fault);
    host::returnVector(plhs, 1, codes.codeCount, codes.codes);
}
