#include "modules/forward_gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    forwardGateway(contract::kZellmorRaw, false, nlhs, plhs, nrhs, prhs);
}
