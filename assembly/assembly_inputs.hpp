// The transition matrix assembly's inputs, which both the checks and the
// walk over the listed codes read.
#ifndef ASSEMBLY_ASSEMBLY_INPUTS_HPP
#define ASSEMBLY_ASSEMBLY_INPUTS_HPP

#include <cstdint>

#include "arrays/array_view.hpp"

// The inputs as the gateway read them; every array is read flat.
struct AssemblyInputs {
    std::int32_t matrixSize;  // the result is matrixSize x matrixSize: the rows of S less one
    ArrayView weights;        // w
    ArrayView symbolList;     // 1-based symbols; the list's length is its row count
    ArrayView codes;
    ArrayView bucketEnds;  // cum: running totals of the per-symbol counts
};

// The number of listed symbols: the row count, or 0 when the list holds fewer
// elements than rows (then it holds no symbol to read).
inline std::int32_t listedSymbolCount(const AssemblyInputs& in) {
    return in.symbolList.rows <= in.symbolList.count ? in.symbolList.rows : 0;
}

#endif
