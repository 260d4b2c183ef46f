#include "host/gateway.hpp"
#include "transitions/transition_codes.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const contract::Module& module = contract::kOrteskCount;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    const ArrayView& S = args[contract::kCountMembershipSlot];
    Fault fault;
    const double* counts = countTransitions(S.data, S.rows, S.cols, &fault);
    host::rejectOnFault(module, fault);
    host::returnVector(plhs, S.cols, 1, counts);
}
