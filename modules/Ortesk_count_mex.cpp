#include "host/gateway.hpp"
#include "transitions/transition_codes.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const host::Arguments args = host::readArguments(contract::kOrteskCount, nlhs, nrhs, prhs);
    const ArrayView& S = args[1];
    host::returnVector(plhs, S.cols, 1, countTransitions(S.data, S.rows, S.cols));
}
