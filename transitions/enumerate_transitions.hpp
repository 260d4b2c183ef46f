// The walk over ordered pairs of states that finds one-step transitions.
// Counting and bucketing both run this one walk, so their events and order
// cannot drift apart. It has two ways to go with the same events in the same
// order: pair by pair, for any entries, and by looking rows up by content,
// for 0/1 entries, where it costs the events found rather than a^2 pairs.
#ifndef TRANSITIONS_ENUMERATE_TRANSITIONS_HPP
#define TRANSITIONS_ENUMERATE_TRANSITIONS_HPP

#include <cstdint>

#include "kernel/interrupt.hpp"
#include "kernel/scratch.hpp"
#include "transitions/row_index.hpp"

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
// per 1.0 entry of the to-row (ascending) for a SameState pair; stops early
// when poll does. Scratch: a row-major copy of S and one list of L
// positions, taken once per call.
template <class OnEvent>
void enumerateTransitionsPairwise(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll,
                                  OnEvent&& onEvent) {
    if (a <= 1) return;
    auto* rows = scratchArray<double>(static_cast<std::size_t>(a) * static_cast<std::size_t>(L));
    for (std::int32_t c = 0; c < L; ++c) {
        if (poll.stop(a)) return;
        for (std::int32_t r = 0; r < a; ++r) {
            rows[static_cast<std::int64_t>(r) * L + c] = S[r + static_cast<std::int64_t>(c) * a];
        }
    }
    auto* members = scratchArray<std::int32_t>(static_cast<std::size_t>(L));
    // One to-row's pairs may take seconds: the flag is polled between blocks
    // of them, never inside classifyPair's loop.
    constexpr std::int32_t kPairBlock = 1 << 12;
    for (std::int32_t to = 1; to < a; ++to) {
        const double* toRow = rows + static_cast<std::int64_t>(to) * L;
        std::int32_t memberCount = 0;
        for (std::int32_t c = 0; c < L; ++c) {
            if (toRow[c] == 1.0) members[memberCount++] = c;
        }
        for (std::int32_t from = 1; from < a;) {
            const std::int32_t blockEnd = a - from > kPairBlock ? from + kPairBlock : a;
            if (poll.stop(static_cast<std::int64_t>(blockEnd - from) * (L + 1))) return;
            for (; from < blockEnd; ++from) {
                std::int32_t added = 0;
                switch (classifyPair(toRow, rows + static_cast<std::int64_t>(from) * L, L, &added)) {
                    case TransitionKind::AddsSymbol: onEvent(to, from, added); break;
                    case TransitionKind::SameState:
                        for (std::int32_t m = 0; m < memberCount; ++m) onEvent(to, from, members[m]);
                        break;
                    case TransitionKind::NoTransition: break;
                }
            }
        }
    }
}

// S (a x L) whose rows 1..a-1 hold only 0.0 and 1.0 -> onPartners(to,
// partners) for each to-row 1..a-1 ascending, partners holding its symbols
// and the groups of rows it pairs with. With 0/1 entries a SameState pair is
// two equal rows and an AddsSymbol pair a from-row equal to the to-row less
// one symbol, so the groups hold every event of the to-row. Stops early when
// poll does. Scratch: the row index and the partner lists, taken once per
// call.
template <class OnPartners>
void visitPartnerGroups(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll, OnPartners&& onPartners) {
    if (a <= 1 || L == 0) return;  // no symbol, no event
    RowIndex index = indexRows(S, a, L, poll);
    Partners partners = partnerLists(index, L);
    // A to-row costs a lookup and a hash of the row per symbol.
    const std::int64_t rowWork = (static_cast<std::int64_t>(L) + 1) * index.words;
    for (std::int32_t to = 1; to < a; ++to) {
        if (poll.stop(rowWork)) return;
        findPartners(index, to, partners);
        onPartners(to, partners);
    }
}

// The events of the pairwise walk in its order, for S whose rows 1..a-1 hold
// only 0.0 and 1.0: each to-row's partner groups merged by from; stops early
// when poll does. Scratch: that of visitPartnerGroups.
template <class OnEvent>
void enumerateTransitionsByLookup(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll,
                                  OnEvent&& onEvent) {
    visitPartnerGroups(S, a, L, poll, [&](std::int32_t to, Partners& partners) {
        mergeGroups(partners.groups, partners.groups + partners.groupCount,
                    [&](std::int32_t from, const PartnerGroup& group) {
                        if (group.symbol != kSameContent) {
                            onEvent(to, from, group.symbol);
                            return;
                        }
                        for (std::int32_t m = 0; m < partners.symbolCount; ++m) onEvent(to, from, partners.symbols[m]);
                    });
    });
}

// The walk: by lookup when rows 1..a-1 hold only 0.0 and 1.0, pair by pair
// otherwise; the events and their order are those of the pairwise walk, up
// to where poll stops it.
template <class OnEvent>
void enumerateTransitions(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll, OnEvent&& onEvent) {
    if (holdsOnlyZerosAndOnes(S, a, L, poll)) {
        enumerateTransitionsByLookup(S, a, L, poll, onEvent);
    } else {
        enumerateTransitionsPairwise(S, a, L, poll, onEvent);
    }
}

#endif
