#include "assembly/transition_matrix.hpp"
#include "host/gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const char* module = "Quivane_mex";
    const host::InputSlot slots[] = {{0, "size, whose column count is a"},
                                     {1, "w, the symbol weights"},
                                     {2, "list, the symbols to use"},
                                     {3, "codes"},
                                     {4, "cum, the running totals of the counts"}};
    auto [size, w, list, codes, cum] =
        host::readArguments(module, nlhs, nrhs, prhs, 5, "size, w, list, codes, cum", slots);
    AssemblyInputs inputs{size.cols, w.data,     w.count,     list.data, list.rows,
                          list.count, codes.data, codes.count, cum.data,  cum.count};
    InputFault fault;
    if (!checkAssemblyInputs(inputs, &fault)) host::rejectOnFault(module, fault);
    assembleTransitionMatrix(inputs, host::createResult(plhs, inputs.size, inputs.size));
}
