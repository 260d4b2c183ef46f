// The row counts of O and P. Both are read flat, with leading dimension L
// and n: a matrix with any other row count would be read with its entries on
// the wrong symbols, steps or states, a wrong result that looks like a right
// one, so it is refused. A vector (one row or one column, or no entries) has
// no orientation to get wrong and is read flat as it is.
#ifndef FORWARD_INPUT_SHAPES_HPP
#define FORWARD_INPUT_SHAPES_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"
#include "kernel/fault.hpp"

// O against L, the column count of S -> false, with fault "observationsShape",
// unless O has L rows or is a vector.
bool checkObservationsShape(const ForwardInputs& in, Fault* fault);

// P against n, the row count of S, where K > 0 -> false, with fault
// "predecessorsShape", unless P has n rows or is a vector. A table that is
// never read (K = 0) is not judged.
bool checkPredecessorsShape(const ForwardInputs& in, std::int32_t K, Fault* fault);

#endif
