// Step 1 of the recursion: a state with exactly one member starts with that
// member's weight, every other state at 0.
#ifndef FORWARD_INITIAL_COLUMN_HPP
#define FORWARD_INITIAL_COLUMN_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"

// From this many entries of S or P on, reading them on two threads gains
// more than the start of the second costs (bench_forward's plan runs).
constexpr std::int64_t kThreadedTableEntries = 1 << 21;

// For every row of S (n >= 1), the first column holding 1 where the row's
// truncated sum is one member, else -1: host scratch, n entries, read on as
// many threads as the size of S calls for (at most `requestedThreads` when
// set). Null, with the fault naming the first row that sums to one member
// but holds no entry equal to 1, when there is one.
const std::int32_t* firstMembers(const ForwardInputs& in, std::int32_t requestedThreads, Fault* fault);

// The weights of step 1 of the plan's observations into column (the
// caller's, n entries in the steps' order).
void writeStepOne(const ForwardPlan& plan, double* column);

#endif
