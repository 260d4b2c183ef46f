#include "transitions/transition_codes.hpp"

#include "kernel/interrupt.hpp"
#include "kernel/scratch.hpp"
#include "transitions/enumerate_transitions.hpp"

namespace {

// Each count whole and within int32, and their total too; starts[s] receives
// the first position of bucket s.
bool checkCounts(const double* counts, std::int32_t L, std::int64_t* starts, std::int64_t* total, Fault* fault) {
    std::int64_t running = 0;
    for (std::int32_t s = 0; s < L; ++s) {
        if (!isWholeInRange(counts[s], 0.0, kInt32Max)) {
            setFault(*fault, "badCount", "counts",
                     "element %d must be a whole number from 0 to 2147483647; found %.17g.", s + 1, counts[s]);
            return false;
        }
        starts[s] = running;
        running += static_cast<std::int64_t>(counts[s]);
        if (running > static_cast<std::int64_t>(kInt32Max)) {
            setFault(*fault, "countTotalTooLarge", "counts",
                     "the counts must total at most 2147483647; the first %d already total %lld.", s + 1,
                     static_cast<long long>(running));
            return false;
        }
    }
    *total = running;
    return true;
}

}  // namespace

double* countTransitions(const double* S, std::int32_t a, std::int32_t L, Fault* fault) {
    auto* counts = scratchArray<double>(static_cast<std::size_t>(L));
    InterruptPoll poll;
    if (holdsOnlyZerosAndOnes(S, a, L, poll)) {
        // The lookup walk's events are its partner groups' rows, merged into
        // walk order: adding whole groups counts the same events without the
        // merge, and gives the same sums while a count stays below 2^53.
        visitPartnerGroups(S, a, L, poll, [counts](std::int32_t, const Partners& partners) {
            for (std::int32_t g = 0; g < partners.groupCount; ++g) {
                const PartnerGroup& group = partners.groups[g];
                auto rows = static_cast<double>(group.end - group.next);
                if (group.symbol != kSameContent) {
                    counts[group.symbol] += rows;
                    continue;
                }
                for (std::int32_t m = 0; m < partners.symbolCount; ++m) counts[partners.symbols[m]] += rows;
            }
        });
    } else {
        enumerateTransitionsPairwise(
            S, a, L, poll, [counts](std::int32_t, std::int32_t, std::int32_t symbol) { counts[symbol] += 1.0; });
    }
    if (poll.stopped()) setInterrupted(*fault);
    return counts;
}

bool bucketTransitions(const ArrayView& S, const ArrayView& countsGiven, TransitionCodes* out, Fault* fault) {
    const std::int32_t a = S.rows;
    const std::int32_t L = S.cols;
    if (a > kMaxCodedStates) {
        setFault(*fault, "tooManyStates", "S",
                 "must have at most %d rows, the limit of the transition code to*1000000+from in 32 bits; found %d.",
                 kMaxCodedStates, a);
        return false;
    }
    if (countsGiven.count < L) {
        setFault(*fault, "countsTooShort", "counts",
                 "must hold at least L = %d elements, one per column of S; found %lld.", L,
                 static_cast<long long>(countsGiven.count));
        return false;
    }
    const double* counts = countsGiven.data;
    auto* starts = scratchArray<std::int64_t>(static_cast<std::size_t>(L));
    std::int64_t total = 0;
    if (!checkCounts(counts, L, starts, &total, fault)) return false;

    // The counts are compared with those of S before the codes are taken, so
    // that counts claiming far more codes than S has never cost memory, and
    // every bucket is then exactly as large as its events.
    const double* countsOfS = countTransitions(S.data, a, L, fault);
    if (*fault) return false;
    for (std::int32_t s = 0; s < L; ++s) {
        if (countsOfS[s] != counts[s]) {
            setFault(*fault, "countMismatch", "counts",
                     "must hold the transition counts of S; symbol %d has %.17g transitions in S but counts gives "
                     "%.17g.",
                     s + 1, countsOfS[s], counts[s]);
            return false;
        }
    }
    auto* filled = scratchArray<std::int64_t>(static_cast<std::size_t>(L));
    auto* codes = scratchArray<double>(static_cast<std::size_t>(total));
    InterruptPoll poll;
    enumerateTransitions(S.data, a, L, poll, [=](std::int32_t to, std::int32_t from, std::int32_t symbol) {
        codes[starts[symbol] + filled[symbol]++] = static_cast<double>(to * kCodeBase + from);
    });
    if (poll.stopped()) {
        setInterrupted(*fault);
        return false;
    }
    out->codes = codes;
    out->codeCount = static_cast<std::int32_t>(total);
    return true;
}
