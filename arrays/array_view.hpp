// A real double array as the kernels read it: its data, column-major, with
// its shape. Shapes are signed 32-bit as the kernels' arithmetic takes them;
// the host rejects arrays whose rows or columns do not fit.
#ifndef ARRAYS_ARRAY_VIEW_HPP
#define ARRAYS_ARRAY_VIEW_HPP

#include <cstdint>

// The largest whole number a signed 32-bit count, row or code can hold.
constexpr double kInt32Max = 2147483647.0;

struct ArrayView {
    const double* data = nullptr;  // null when the array is empty
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    std::int64_t count = 0;  // rows x cols elements
};

#endif
