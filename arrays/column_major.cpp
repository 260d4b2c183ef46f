#include "arrays/column_major.hpp"

#include "kernel/scratch.hpp"

double rowSum(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols) {
    double sum = 0.0;
    for (std::int32_t c = 0; c < ncols; ++c) sum = sum + matrix[elementAt(row, c, ld)];
    return sum;
}

std::int32_t countEqual(const double* v, std::int64_t start, std::int64_t stride, std::int32_t count, double value) {
    std::int32_t matches = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        if (v[start + i * stride] == value) ++matches;
    }
    return matches;
}

std::int32_t* positionsEqualInto(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols,
                                 std::int32_t capacity, double value) {
    auto* positions = scratchArray<std::int32_t>(static_cast<std::size_t>(capacity));
    std::int32_t written = 0;
    for (std::int32_t c = 0; c < ncols && written < capacity; ++c) {
        if (matrix[elementAt(row, c, ld)] == value) positions[written++] = c;
    }
    return positions;
}
