#include "host/gateway.hpp"
#include "transitions/transition_codes.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const char* module = "Ortesk_count_mex";
    const host::InputSlot slots[] = {{1, "S, the membership matrix"}};
    auto [S] = host::readArguments(module, nlhs, nrhs, prhs, 2, "unused, S", slots);
    host::returnVector(plhs, S.cols, 1, countTransitions(S.data, S.rows, S.cols));
}
