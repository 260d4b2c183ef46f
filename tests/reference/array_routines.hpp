// The array routines only the literal oracle takes: each allocates what it
// returns in host scratch, exactly as large as asked, as the literal walk and
// recursion are written down.
#ifndef TESTS_REFERENCE_ARRAY_ROUTINES_HPP
#define TESTS_REFERENCE_ARRAY_ROUTINES_HPP

#include "arrays/column_major.hpp"

// New list of the positions i < count (ascending) whose entry equals value;
// *length receives its exact length. Null when there is none.
std::int32_t* positionsEqual(const double* v, std::int64_t start, std::int64_t stride, std::int32_t count, double value,
                             std::int32_t* length);

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
