#include "assembly/matrix_from_states.hpp"
#include "host/gateway.hpp"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const contract::Module& module = contract::kQuivaneStates;
    const host::Arguments args = host::readArguments(module, nlhs, nrhs, prhs);
    using namespace contract;
    const StatesAssemblyInputs inputs{args[kStatesSlot], args[kStateWeightsSlot], args[kStateListSlot],
                                      args.has(kStateListSlot), 0};
    Fault fault;
    StatesColumns columns{};
    if (!checkStatesAssemblyInputs(inputs, &fault) || !countStatesColumns(inputs, &columns, &fault)) {
        host::reject(module, fault);
    }
    if (columns.entries > host::kMaxSparseEntries) {
        setFault(fault, "tooManyEntries", "S",
                 "must give a matrix of at most %lld entries, the most this host's sparse arrays index; its "
                 "transitions give %lld.",
                 static_cast<long long>(host::kMaxSparseEntries), static_cast<long long>(columns.entries));
        host::reject(module, fault);
    }
    const host::SparseResult A = host::createSparse(plhs, columns.size, columns.columnStart, columns.entries);
    if (!fillStatesColumns(columns, A.rowIndex, A.value, &fault)) host::reject(module, fault);
}
