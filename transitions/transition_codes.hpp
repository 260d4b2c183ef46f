// Per-symbol transition counts and transition codes bucketed by symbol.
#ifndef TRANSITIONS_TRANSITION_CODES_HPP
#define TRANSITIONS_TRANSITION_CODES_HPP

#include <cstdint>

#include "arrays/array_view.hpp"
#include "kernel/fault.hpp"

// A transition code is to * kCodeBase + from, rows of S counted from 0.
constexpr std::int32_t kCodeBase = 1000000;
// Codes fit a signed 32-bit integer only while to <= 2147.
constexpr std::int32_t kMaxCodedStates = 2148;

// S (a x L) -> new vector of L doubles (host scratch): the number of events
// of the walk under each symbol. When Ctrl-C stopped the walk, fault is
// filled and the counts are meaningless.
double* countTransitions(const double* S, std::int32_t a, std::int32_t L, Fault* fault);

// The bucketed codes: codeCount doubles in host scratch (null when none).
struct TransitionCodes {
    double* codes;
    std::int32_t codeCount;
};

// S (a x L) and the per-symbol counts (read flat, the first L of them) ->
// every event's code filed in its symbol's bucket, buckets in symbol order.
// Returns false and fills fault, writing nothing outside the codes, when the
// counts are malformed or do not match the walk of S, or a > 2148, or when
// Ctrl-C stopped a walk.
bool bucketTransitions(const ArrayView& S, const ArrayView& counts, TransitionCodes* out, Fault* fault);

#endif
