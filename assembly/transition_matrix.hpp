// Assembly of the weighted transition matrix from bucketed transition codes.
#ifndef ASSEMBLY_TRANSITION_MATRIX_HPP
#define ASSEMBLY_TRANSITION_MATRIX_HPP

#include <cstdint>

#include "arrays/sparse_columns.hpp"
#include "assembly/assembly_inputs.hpp"
#include "kernel/fault.hpp"

// Validates every listed symbol, then cum as running totals of the codes'
// counts, then each listed symbol's bucket bounds and the codes in its
// bucket; fills fault and returns false on the first that is outside the
// contract, or when Ctrl-C stops the check. Reads nothing outside the inputs.
bool checkAssemblyInputs(const AssemblyInputs& in, Fault* fault);

// Checked inputs and the zero-filled matrixSize x matrixSize result A -> for
// each listed symbol in list order, adds its weight to A(to, from) for each
// code of its bucket, in bucket order, one addition at a time. False, with
// fault filled and A partly added, when Ctrl-C stopped it.
bool assembleTransitionMatrix(const AssemblyInputs& in, double* A, Fault* fault);

// Checked inputs -> into *matrix, the one assembleTransitionMatrix makes, in
// compressed columns: each cell's weights added from 0.0 in the same order,
// cells whose sum is exactly 0 left out. False, with fault filled, when
// Ctrl-C stopped it. Host scratch: O(matrixSize + codes visited).
bool assembleSparseTransitionMatrix(const AssemblyInputs& in, SparseColumns* matrix, Fault* fault);

#endif
