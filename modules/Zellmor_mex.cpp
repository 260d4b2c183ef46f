#include "modules/forward_gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    forwardGateway(contract::kZellmor, true, nlhs, plhs, nrhs, prhs);
}
