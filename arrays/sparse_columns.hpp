// A sparse matrix as the kernels build it, before the host holds it.
#ifndef ARRAYS_SPARSE_COLUMNS_HPP
#define ARRAYS_SPARSE_COLUMNS_HPP

#include <cstdint>

// A square matrix in compressed columns, in host scratch: column c holds the
// entries columnStart[c] .. columnStart[c+1]-1 of rowIndex and value, rows
// (0-based) ascending.
struct SparseColumns {
    std::int64_t* columnStart;  // matrixSize + 1 entries
    std::int32_t* rowIndex;
    double* value;
    std::int64_t entries;
};

#endif
