#include "assembly/transition_matrix.hpp"
#include "host/gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const contract::Module& module = contract::kQuivane;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    using namespace contract;
    const AssemblyInputs inputs{args[kSizeSlot].cols, args[kWeightsSlot], args[kListSlot], args[kCodesSlot],
                                args[kCumSlot]};
    Fault fault;
    if (!checkAssemblyInputs(inputs, &fault)) host::reject(module, fault);
    if (args.word(kFormSlot, kFullForm) == kSparseForm) {
        SparseColumns matrix{};
        if (!assembleSparseTransitionMatrix(inputs, &matrix, &fault)) host::reject(module, fault);
        host::returnSparse(plhs, inputs.matrixSize, matrix);
        return;
    }
    double* A = host::createResult(plhs, inputs.matrixSize, inputs.matrixSize);
    if (!assembleTransitionMatrix(inputs, A, &fault)) host::reject(module, fault);
}
