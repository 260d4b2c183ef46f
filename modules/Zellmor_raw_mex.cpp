#include "modules/forward_gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    forwardGateway("Zellmor_raw_mex", false, nlhs, plhs, nrhs, prhs);
}
