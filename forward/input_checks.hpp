// The checks of the forward recursion's inputs that come before any layout
// is built, each filling fault and returning false on input outside the
// contract.
#ifndef FORWARD_INPUT_CHECKS_HPP
#define FORWARD_INPUT_CHECKS_HPP

#include <cmath>
#include <cstdint>

#include "forward/forward_recursion.hpp"

// Truncation toward zero of a double into a signed 32-bit integer, with NaN
// and values beyond the range mapped to `outside`.
inline std::int64_t truncateOr(double x, std::int64_t outside) {
    if (!(x > -kInt32Max - 2.0 && x < kInt32Max + 1.0)) return outside;
    return static_cast<std::int64_t>(std::trunc(x));
}

// T, a whole number from 1, into *stepCount, once O is known to have L rows
// (or be a vector) and to hold L x T entries.
bool checkStepCount(const ForwardInputs& in, std::int32_t* stepCount, Fault* fault);

// The chosen steps, each a whole number from 1 to T, sorted by step into
// plan->chosen, and the last of them into plan->lastStep; step T alone when
// none are chosen. plan->stepCount is set.
bool chooseSteps(const ForwardInputs& in, ForwardPlan* plan, Fault* fault);

// K, the number of symbols of the last state, from its row of S (n >= 1).
bool lastStateSymbolCount(const ForwardInputs& in, std::int32_t* K, Fault* fault);

// Whether P holds the n x K entries the steps read.
bool checkPredecessorCount(const ForwardInputs& in, std::int32_t K, Fault* fault);

// w, the final-state weights: none, or n entries each finite and at least
// 0 ("badFinalWeights").
bool checkFinalWeights(const ArrayView& w, std::int32_t n, Fault* fault);

#endif
