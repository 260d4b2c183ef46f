#include "modules/forward_gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    forwardGateway("Zellmor_mex", true, nlhs, plhs, nrhs, prhs);
}
