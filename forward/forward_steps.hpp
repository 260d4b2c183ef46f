// One step of the forward recursion over a range of states, by whichever
// layout of the predecessor table and copy of the kernels the plan holds.
#ifndef FORWARD_FORWARD_STEPS_HPP
#define FORWARD_FORWARD_STEPS_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"
#include "forward/lanes.hpp"

// The steps take states in aligned units of four of the widest vectors:
// ranges start on a unit, and padding covers the unit the last state is in.
constexpr std::int32_t kStateUnit = 4 * kMaxLanes;

// New zero-filled column for n states (host scratch): entry 0 on a 64-byte
// line, at least kMaxLanes doubles before it and the length rounded up to
// whole units, so that the steps may read and write whole units at either
// end.
double* newPaddedColumn(std::int32_t n);

// `count` columns of `stride` doubles (a multiple of kStateUnit) in one block
// of host scratch, padded as newPaddedColumn pads one: column c at the result
// + c x stride, the kMaxLanes doubles before it the tail of column c - 1.
double* newPaddedColumns(std::int64_t count, std::int64_t stride);

// Step `step` (from 2) of the places [first, last) of the steps' column into
// next from the step before in previous (padded columns, the caller's; first
// a multiple of kStateUnit). The unit holding last - 1 is written whole.
void forwardStep(const ForwardPlan& plan, std::int32_t step, const double* previous, double* next, std::int32_t first,
                 std::int32_t last);

#endif
