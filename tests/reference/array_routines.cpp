#include "array_routines.hpp"

#include <cstring>

#include "kernel/scratch.hpp"

std::int32_t* positionsEqual(const double* v, std::int64_t start, std::int64_t stride, std::int32_t count, double value,
                             std::int32_t* length) {
    *length = countEqual(v, start, stride, count, value);
    if (*length == 0) return nullptr;
    auto* positions = scratchArray<std::int32_t>(static_cast<std::size_t>(*length));
    std::int32_t written = 0;
    for (std::int32_t i = 0; i < count && written < *length; ++i) {
        if (v[start + i * stride] == value) positions[written++] = i;
    }
    return positions;
}

double* rowCopy(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols) {
    auto* copy = scratchArray<double>(static_cast<std::size_t>(ncols));
    for (std::int32_t c = 0; c < ncols; ++c) copy[c] = matrix[elementAt(row, c, ld)];
    return copy;
}

double* vectorDifference(const double* a, const double* b, std::int32_t n) {
    auto* difference = scratchArray<double>(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) difference[k] = a[k] - b[k];
    return difference;
}

void normalizeColumn(double* matrix, std::int32_t ld, std::int32_t column) {
    double* entries = matrix + elementAt(0, column, ld);
    double sum = 0.0;
    for (std::int32_t r = 0; r < ld; ++r) sum = sum + entries[r];
    for (std::int32_t r = 0; r < ld; ++r) entries[r] = entries[r] / sum;
}

double* columnCopy(const double* matrix, std::int32_t column, std::int32_t ld) {
    auto* copy = scratchArray<double>(static_cast<std::size_t>(ld));
    if (ld > 0) std::memcpy(copy, matrix + elementAt(0, column, ld), static_cast<std::size_t>(ld) * sizeof(double));
    return copy;
}
