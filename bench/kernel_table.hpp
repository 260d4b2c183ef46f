// The transition and assembly kernels by address, so that one benchmark can
// time this build's copy beside the copy built with the poll compiled out.
#ifndef BENCH_KERNEL_TABLE_HPP
#define BENCH_KERNEL_TABLE_HPP

#include "assembly/transition_matrix.hpp"
#include "transitions/transition_codes.hpp"

struct KernelTable {
    double* (*count)(const double* S, std::int32_t a, std::int32_t L, Fault* fault);
    bool (*codes)(const ArrayView& S, const ArrayView& counts, TransitionCodes* out, Fault* fault);
    bool (*check)(const AssemblyInputs& in, Fault* fault);
    bool (*dense)(const AssemblyInputs& in, double* A, Fault* fault);
    bool (*sparse)(const AssemblyInputs& in, SparseColumns* matrix, Fault* fault);
};

// The kernels this translation unit was built against.
inline KernelTable kernelsOfThisBuild() {
    return {countTransitions, bucketTransitions, checkAssemblyInputs, assembleTransitionMatrix,
            assembleSparseTransitionMatrix};
}

#endif
