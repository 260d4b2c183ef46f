// One step of the forward recursion over a range of states, one kernel per
// layout of the predecessor table. Both form each state's sum exactly as
// written: acc = 0.0, then for ascending k with a predecessor,
// acc = acc + ((F(pred) + F(j)) * O(Q[k], t+1)).
#ifndef FORWARD_FORWARD_STEPS_HPP
#define FORWARD_FORWARD_STEPS_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"
#include "forward/lanes.hpp"

// The subset kernel takes states in aligned units of four vectors.
constexpr std::int32_t kStateUnit = 4 * kLanes;

// New zero-filled column for n states (host scratch): entry 0 on a 64-byte
// line, at least kLanes doubles before it and the length rounded up to whole
// units, so that the subset kernel may read and write whole units at either
// end.
double* newPaddedColumn(std::int32_t n);

// Step t+1 of states [first, last) into next from step t in previous, by
// whichever layout the plan holds (padded columns, the caller's; first a
// multiple of kStateUnit). The subset step writes the unit holding last - 1
// whole.
void forwardStep(const ForwardPlan& plan, std::int32_t t, const double* previous, double* next, std::int32_t first,
                 std::int32_t last);

#endif
