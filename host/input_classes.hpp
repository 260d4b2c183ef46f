// The classes a Numbers input may have, and their values as doubles: a real,
// full double array is read in place; logical, single and the integer
// classes are converted into one double copy in host scratch, each value as
// double(x) gives it, so that a call sees exactly the numbers it would see
// with double(x).
#ifndef HOST_INPUT_CLASSES_HPP
#define HOST_INPUT_CLASSES_HPP

#include <cstdint>

#include "mex.h"

namespace host {

// True for a real, full array of class double, single, logical or an integer
// class: the arrays a Numbers input takes.
bool isRealNumbers(const mxArray* array);

// An accepted array's count (its rows x columns, at least 1) elements as
// doubles: its own data for a double array, else a copy in host scratch.
const double* numbersAsDouble(const mxArray* array, std::int64_t count);

}  // namespace host

#endif
