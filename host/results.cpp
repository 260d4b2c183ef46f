#include <cstring>

#include "host/gateway.hpp"
#include "kernel/scratch.hpp"

namespace host {

double* createResult(mxArray* plhs[], std::int32_t rows, std::int32_t cols, int slot) {
    plhs[slot] = mxCreateDoubleMatrix(rows, cols, mxREAL);
    return mxGetPr(plhs[slot]);
}

double* const* createCellResult(mxArray* plhs[], int slot, const mxArray* shape, std::int32_t rows,
                                const std::int32_t* cols) {
    const std::size_t count = mxGetNumberOfElements(shape);
    plhs[slot] = mxCreateCellMatrix(mxGetM(shape), mxGetN(shape));
    auto* data = scratchArray<double*>(count);
    for (std::size_t b = 0; b < count; ++b) {
        mxArray* element = mxCreateDoubleMatrix(rows, cols[b], mxREAL);
        data[b] = mxGetPr(element);
        mxSetCell(plhs[slot], static_cast<mwIndex>(b), element);
    }
    return data;
}

void returnVector(mxArray* plhs[], std::int32_t rows, std::int32_t cols, const double* values, int slot) {
    double* result = createResult(plhs, rows, cols, slot);
    std::size_t bytes = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) * sizeof(double);
    if (bytes > 0) std::memcpy(result, values, bytes);
}

void returnSparse(mxArray* plhs[], std::int32_t size, const SparseColumns& matrix) {
    SparseResult result = createSparse(plhs, size, matrix.columnStart, matrix.entries);
    for (std::int64_t e = 0; e < matrix.entries; ++e) {
        result.rowIndex[e] = static_cast<mwIndex>(matrix.rowIndex[e]);
        result.value[e] = matrix.value[e];
    }
}

SparseResult createSparse(mxArray* plhs[], std::int32_t size, const std::int64_t* columnStart, std::int64_t entries) {
    plhs[0] = mxCreateSparse(size, size, static_cast<mwSize>(entries), mxREAL);
    mwIndex* starts = mxGetJc(plhs[0]);
    for (std::int32_t c = 0; c <= size; ++c) starts[c] = static_cast<mwIndex>(columnStart[c]);
    return {mxGetIr(plhs[0]), mxGetPr(plhs[0])};
}

}  // namespace host
