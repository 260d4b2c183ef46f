#include "forward/forward_recursion.hpp"

#include <cmath>
#include <cstring>
#include <utility>

#include "arrays/column_major.hpp"
#include "arrays/scratch.hpp"

namespace {

constexpr double kInt32Max = 2147483647.0;

// Truncation toward zero of a double into a signed 32-bit integer, with NaN
// and values beyond the range mapped to `outside`.
std::int64_t truncateOr(double x, std::int64_t outside) {
    if (!(x > -kInt32Max - 2.0 && x < kInt32Max + 1.0)) return outside;
    return static_cast<std::int64_t>(std::trunc(x));
}

bool checkStepCount(const ForwardInputs& in, std::int32_t* steps, InputFault* fault) {
    if (!in.stepCount) {
        setFault(*fault, "badStepCount",
                 "Input 1 (T, the step count) must be a whole number from 1 to 2147483647; found an empty array.");
        return false;
    }
    double t = in.stepCount[0];
    if (!isWholeInRange(t, 1.0, kInt32Max)) {
        setFault(*fault, "badStepCount",
                 "Input 1 (T, the step count) must be a whole number from 1 to 2147483647; found %.17g.", t);
        return false;
    }
    *steps = static_cast<std::int32_t>(t);
    std::int64_t needed = static_cast<std::int64_t>(in.symbols) * *steps;
    if (in.observationCount < needed) {
        setFault(*fault, "observationsTooShort",
                 "Input 2 (O, the observations) must hold at least L x T = %lld elements (L = %d symbols, T = %d "
                 "steps); found %lld.",
                 static_cast<long long>(needed), in.symbols, *steps, static_cast<long long>(in.observationCount));
        return false;
    }
    return true;
}

// Step 0: a state with exactly one member (by its truncated row sum) starts
// with that member's weight; every other state starts at 0.
bool buildInitialColumn(const ForwardInputs& in, double* column, InputFault* fault) {
    const std::int32_t n = in.states;
    for (std::int32_t i = 0; i < n; ++i) {
        double sum = rowSum(in.membership, i, n, in.symbols);
        if (truncateOr(sum, 0) != 1) continue;
        std::int32_t member = -1;
        for (std::int32_t c = 0; c < in.symbols && member < 0; ++c) {
            if (in.membership[i + static_cast<std::int64_t>(c) * n] == 1.0) member = c;
        }
        if (member < 0) {
            setFault(*fault, "noMemberEntry",
                     "Input 3 (S, the membership matrix): row %d sums to %.17g, one member, and must hold an entry "
                     "equal to 1; found none.",
                     i + 1, sum);
            return false;
        }
        column[i] = in.observations[member];
    }
    return true;
}

// K and Q, the symbols of the last state, from its row of S.
bool lastStateSymbols(const ForwardInputs& in, std::int32_t* K, std::int32_t** Q, InputFault* fault) {
    const std::int32_t n = in.states;
    double sum = rowSum(in.membership, n - 1, n, in.symbols);
    std::int64_t whole = truncateOr(sum, -1);
    std::int32_t ones = countEqual(in.membership, n - 1, n, in.symbols, 1.0);
    if (whole < 0 || ones > whole) {
        setFault(*fault, "badLastState",
                 "Input 3 (S, the membership matrix): the last row (row %d) must sum to a number whose whole part "
                 "is from 0 to 2147483647 and at least its count of entries equal to 1; found sum %.17g with %d "
                 "entries equal to 1.",
                 n, sum, ones);
        return false;
    }
    *K = static_cast<std::int32_t>(whole);
    *Q = positionsEqualInto(in.membership, n - 1, n, in.symbols, *K, 1.0);
    return true;
}

// Reads the n x K predecessor entries once, validating each, into the compact
// form that skips the -1 entries.
bool compactPredecessors(const ForwardInputs& in, std::int32_t K, const std::int32_t* Q, PredecessorTerms* terms,
                         InputFault* fault) {
    const std::int32_t n = in.states;
    std::int64_t needed = static_cast<std::int64_t>(n) * K;
    if (in.predecessorCount < needed) {
        setFault(*fault, "predecessorsTooShort",
                 "Input 4 (P, the predecessor table) must hold at least n x K = %lld elements (n = %d states, K = "
                 "%d symbols of the last state); found %lld.",
                 static_cast<long long>(needed), n, K, static_cast<long long>(in.predecessorCount));
        return false;
    }
    std::int64_t valid = 0;
    for (std::int64_t e = 0; e < needed; ++e) {
        double p = in.predecessors[e];
        if (p == -1.0) continue;
        if (!isWholeInRange(p, 1.0, n)) {
            setFault(*fault, "badPredecessor",
                     "Input 4 (P, the predecessor table): entry (%lld, %lld) must be -1 or a whole number from 1 "
                     "to %d; found %.17g.",
                     static_cast<long long>(e % n + 1), static_cast<long long>(e / n + 1), n, p);
            return false;
        }
        ++valid;
    }
    terms->termStart = scratchArray<std::int64_t>(static_cast<std::size_t>(n) + 1);
    terms->predecessor = scratchArray<std::int32_t>(static_cast<std::size_t>(valid));
    terms->symbol = scratchArray<std::int32_t>(static_cast<std::size_t>(valid));
    std::int64_t written = 0;
    for (std::int32_t j = 0; j < n; ++j) {
        terms->termStart[j] = written;
        for (std::int32_t k = 0; k < K; ++k) {
            double p = in.predecessors[j + static_cast<std::int64_t>(k) * n];
            if (p == -1.0) continue;
            terms->predecessor[written] = static_cast<std::int32_t>(p) - 1;
            terms->symbol[written] = Q[k];
            ++written;
        }
    }
    terms->termStart[n] = written;
    return true;
}

}  // namespace

bool planForward(const ForwardInputs& in, ForwardPlan* plan, InputFault* fault) {
    plan->states = in.states;
    plan->symbols = in.symbols;
    plan->observations = in.observations;
    if (!checkStepCount(in, &plan->steps, fault)) return false;
    if (in.states == 0) return true;
    std::int32_t K = 0;
    std::int32_t* Q = nullptr;
    if (!lastStateSymbols(in, &K, &Q, fault)) return false;
    // Without predecessor terms every step after the first makes the same
    // column (zeros, NaN once rescaled) whatever came before; a T that no
    // input data bounds (L = 0) must not turn into that many repeats.
    if (K == 0 && plan->steps > 2) plan->steps = 2;
    if (!compactPredecessors(in, K, Q, &plan->terms, fault)) return false;
    plan->initialColumn = scratchArray<double>(static_cast<std::size_t>(in.states));
    return buildInitialColumn(in, plan->initialColumn, fault);
}

void forwardStep(const ForwardPlan& plan, std::int32_t t, const double* previous, double* next, std::int32_t first,
                 std::int32_t last) {
    const double* weights = plan.observations + static_cast<std::int64_t>(t + 1) * plan.symbols;
    const std::int64_t* start = plan.terms.termStart;
    for (std::int32_t j = first; j < last; ++j) {
        double acc = 0.0;
        for (std::int64_t e = start[j]; e < start[j + 1]; ++e) {
            double x = previous[plan.terms.predecessor[e]];
            x = x + previous[j];
            x = x * weights[plan.terms.symbol[e]];
            acc = acc + x;
        }
        next[j] = acc;
    }
}

double* forwardRecursion(const ForwardPlan& plan, bool normalize) {
    const std::int32_t n = plan.states;
    double* previous = plan.initialColumn;
    double* next = scratchArray<double>(static_cast<std::size_t>(n));
    for (std::int32_t t = 0; t + 1 < plan.steps; ++t) {
        forwardStep(plan, t, previous, next, 0, n);
        if (normalize) normalizeColumn(next, n, 0);
        std::swap(previous, next);
    }
    return columnCopy(previous, 0, n);
}
