// The walk over ordered pairs of states that finds one-step transitions.
// Counting and bucketing both run this one walk, so their events and order
// cannot drift apart.
#ifndef TRANSITIONS_ENUMERATE_TRANSITIONS_HPP
#define TRANSITIONS_ENUMERATE_TRANSITIONS_HPP

#include <cstdint>

#include "arrays/scratch.hpp"

enum class TransitionKind { AddsSymbol, SameState, NoTransition };

// Classifies the pair by D = from - to, entry by entry, compared exactly with
// +1 and -1; for AddsSymbol, *added is the smallest c with D[c] = -1.
inline TransitionKind classifyPair(const double* toRow, const double* fromRow, std::int32_t L, std::int32_t* added) {
    std::int32_t minus = 0;
    for (std::int32_t c = 0; c < L; ++c) {
        double d = fromRow[c] - toRow[c];
        if (d == 1.0) return TransitionKind::NoTransition;
        if (d == -1.0 && minus++ == 0) *added = c;
    }
    if (minus == 1) return TransitionKind::AddsSymbol;
    return minus == 0 ? TransitionKind::SameState : TransitionKind::NoTransition;
}

// Walks every ordered pair (to, from) of rows 1 .. a-1 of S (a x L,
// column-major), to ascending then from ascending, and calls
// onEvent(to, from, symbol) for each event: one for an AddsSymbol pair, one
// per 1.0 entry of the to-row (ascending) for a SameState pair. Scratch: a
// row-major copy of S and one list of L positions, taken once per call.
template <class OnEvent>
void enumerateTransitions(const double* S, std::int32_t a, std::int32_t L, OnEvent&& onEvent) {
    if (a <= 1) return;
    auto* rows = scratchArray<double>(static_cast<std::size_t>(a) * static_cast<std::size_t>(L));
    for (std::int32_t c = 0; c < L; ++c) {
        for (std::int32_t r = 0; r < a; ++r) {
            rows[static_cast<std::int64_t>(r) * L + c] = S[r + static_cast<std::int64_t>(c) * a];
        }
    }
    auto* members = scratchArray<std::int32_t>(static_cast<std::size_t>(L));
    for (std::int32_t to = 1; to < a; ++to) {
        const double* toRow = rows + static_cast<std::int64_t>(to) * L;
        std::int32_t memberCount = 0;
        for (std::int32_t c = 0; c < L; ++c) {
            if (toRow[c] == 1.0) members[memberCount++] = c;
        }
        for (std::int32_t from = 1; from < a; ++from) {
            std::int32_t added = 0;
            switch (classifyPair(toRow, rows + static_cast<std::int64_t>(from) * L, L, &added)) {
                case TransitionKind::AddsSymbol:
                    onEvent(to, from, added);
                    break;
                case TransitionKind::SameState:
                    for (std::int32_t m = 0; m < memberCount; ++m) onEvent(to, from, members[m]);
                    break;
                case TransitionKind::NoTransition:
                    break;
            }
        }
    }
}

#endif
