#include "host/gateway.hpp"
#include "transitions/transition_codes.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const char* module = "Ortesk_slots_mex";
    const host::InputSlot slots[] = {{1, "S, the membership matrix"}, {2, "counts"}};
    auto [S, counts] = host::readArguments(module, nlhs, nrhs, prhs, 3, "unused, S, counts", slots);
    TransitionCodes codes{};
    InputFault fault;
    if (!bucketTransitions(S.data, counts.data, S.rows, S.cols, counts.count, &codes, &fault)) {
        host::rejectOnFault(module, fault);
    }
    host::returnVector(plhs, 1, codes.codeCount, codes.codes);
}
