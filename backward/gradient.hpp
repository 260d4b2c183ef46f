// The log-likelihood of the forward recursion, its derivative with respect
// to every observation weight and the state posteriors: one rescaled forward
// sweep, then the transposed steps backward over the kept weights.
#ifndef BACKWARD_GRADIENT_HPP
#define BACKWARD_GRADIENT_HPP

#include <cstdint>

#include "arrays/array_view.hpp"
#include "forward/forward_recursion.hpp"

// The forward inputs (their steps: the steps whose posteriors are asked
// for), w, and what the caller wants beside the log-likelihood.
struct BackwardCopy;

struct GradientInputs {
    ForwardInputs forward;
    ArrayView finalWeights;   // w, n entries read flat; empty: all ones
    bool derivatives = true;  // dO (else the forward sweep alone runs)
    bool posteriors = false;  // gamma; every step 1..T when no steps are chosen
};

struct GradientOptions {
    ForwardOptions forward;
    // Bytes of kept forward columns below which every column is kept; 0: the
    // call's own, max(64 MB, (2 ceil(sqrt(T)) + 8) columns).
    std::int64_t columnBudget = 0;
};

// For a table read as lane terms: the steps' transpose, each place's
// successors, the places j and symbols Q[k] with P(j, k) at that place, in
// ascending k and, for one k, ascending row j.
struct SuccessorTable {
    std::int64_t* start;  // per place, n + 1: its successors in [start[i], start[i + 1])
    std::int32_t* successor;
    std::int32_t* symbol;
};

struct GradientPlan {
    ForwardPlan forward;
    const double* finalWeights;  // w in row order, or null for all ones
    bool derivatives;
    // Known before any step: no states, or no predecessor terms and T >= 2
    // (then step 2 is all zeros, whatever T, which no input bounds when L = 0).
    bool zeroLikelihood;
    bool everyStep;                // gamma of every step, forward.chosen unused
    const BackwardCopy* backward;  // the copy of the backward kernels, as forward.kernels
    SuccessorTable successors;     // set where forward.terms is
    const bool* lastSymbol;        // per symbol: whether it is among Q
    std::int32_t interval;         // m: a column kept every m steps, the others recomputed
    std::int64_t columnStride;     // doubles from one kept column to the next
};

// gamma's columns: T for every step, else one per chosen step.
inline std::int32_t posteriorColumns(const GradientPlan& plan) {
    return plan.everyStep ? plan.forward.stepCount : plan.forward.chosen.count;
}

// Validates the inputs (those of the forward recursion, then w) and builds
// the plan in host scratch; on input outside the contract fills fault and
// returns false.
bool planGradient(const GradientInputs& inputs, const GradientOptions& options, GradientPlan* plan, Fault* fault);

// The part of planGradient past the forward plan, which plan->forward
// already holds: w and the backward layout, once for every sequence; then
// what depends on the sequence's T (see fitSequence).
bool planGradientStates(const GradientInputs& inputs, const GradientOptions& options, GradientPlan* plan, Fault* fault);

// A plan of the same state space fitted to the T and O of plan->forward:
// whether the likelihood is 0 before any step, and how often a column is
// kept.
void fitSequence(const GradientOptions& options, GradientPlan* plan);

// Where the results go, the caller's, zero-filled: logL (1), dO (L x T) or
// null, gamma (n x chosen steps, or n x T for every step) or null.
struct GradientResult {
    double* logLikelihood;
    double* derivatives;
    double* posteriors;
};

// Runs the forward sweep and, when derivatives are asked for, the backward
// one. Scratch: the plan, the kept columns (within the budget) and a few
// more columns. Where the likelihood is 0 (or not a number), logL is -Inf
// (or NaN) and every dO and gamma entry NaN. Returns false, with fault
// "interrupted", when Ctrl-C stops it.
bool gradientRecursion(const GradientPlan& plan, const GradientResult& result, Fault* fault);

#endif
