// Routines over column-major double matrices: element (r, c) of a matrix with
// leading dimension ld lies at r + c * ld (offsets in 64-bit arithmetic).
// Equality is exact IEEE comparison: NaN matches nothing, -0.0 matches 0.0.
// Sums run in ascending position order into one accumulator.
// Every list returned is new host scratch (see kernel/scratch.hpp).
#ifndef ARRAYS_COLUMN_MAJOR_HPP
#define ARRAYS_COLUMN_MAJOR_HPP

#include <cstdint>

// Offset of element (row, col) of a matrix with leading dimension ld.
inline std::int64_t elementAt(std::int32_t row, std::int32_t col, std::int32_t ld) {
    return static_cast<std::int64_t>(row) + static_cast<std::int64_t>(col) * ld;
}

// Sum of the ncols entries of row `row`; 0.0 when ncols <= 0.
double rowSum(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols);

// How many of v[start + i * stride], i < count, equal value; 0 when count <= 0.
std::int32_t countEqual(const double* v, std::int64_t start, std::int64_t stride, std::int32_t count, double value);

// New zero-filled list of capacity entries holding, from the front, the
// columns of row `row` whose entry equals value; stops at capacity.
std::int32_t* positionsEqualInto(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols,
                                 std::int32_t capacity, double value);

#endif
