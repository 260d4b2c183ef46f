// Routines over column-major double matrices: element (r, c) of a matrix with
// leading dimension ld lies at r + c * ld (offsets in 64-bit arithmetic).
// Equality is exact IEEE comparison: NaN matches nothing, -0.0 matches 0.0.
// Sums run in ascending position order into one accumulator.
// Every vector or list returned is new host scratch (see arrays/scratch.hpp).
#ifndef ARRAYS_COLUMN_MAJOR_HPP
#define ARRAYS_COLUMN_MAJOR_HPP

#include <cstdint>

// Sum of the ncols entries of row `row`; 0.0 when ncols <= 0.
double rowSum(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols);

// How many of v[start + i * stride], i < count, equal value; 0 when count <= 0.
std::int32_t countEqual(const double* v, std::int64_t start, std::int64_t stride, std::int32_t count, double value);

// New list of the positions i < count (ascending) whose entry equals value;
// *length receives its exact length. Null when there is none.
std::int32_t* positionsEqual(const double* v, std::int64_t start, std::int64_t stride, std::int32_t count,
                             double value, std::int32_t* length);

// New zero-filled list of capacity entries holding, from the front, the
// columns of row `row` whose entry equals value; stops at capacity.
std::int32_t* positionsEqualInto(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols,
                                 std::int32_t capacity, double value);

// New vector of ncols doubles: row `row`.
double* rowCopy(const double* matrix, std::int32_t row, std::int32_t ld, std::int32_t ncols);

// New vector of n doubles: a[k] - b[k].
double* vectorDifference(const double* a, const double* b, std::int32_t n);

// Divides column `column` by its sum, in place, one division per entry; a
// zero sum gives NaN and infinities as IEEE division does.
void normalizeColumn(double* matrix, std::int32_t ld, std::int32_t column);

// New vector of ld doubles: column `column`.
double* columnCopy(const double* matrix, std::int32_t column, std::int32_t ld);

#endif
