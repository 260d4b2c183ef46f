// Forward recursion of state weights over membership states.
#ifndef FORWARD_FORWARD_RECURSION_HPP
#define FORWARD_FORWARD_RECURSION_HPP

#include <cstdint>

#include "arrays/input_fault.hpp"

// The inputs as the gateway read them; the kernels only read them.
struct ForwardInputs {
    const double* stepCount;     // first element is T; null when input 1 is empty
    const double* observations;  // O: L x T, leading dimension L
    std::int64_t observationCount;
    const double* membership;  // S: n x L
    std::int32_t states;       // n
    std::int32_t symbols;      // L
    const double* predecessors;  // P: n x K, leading dimension n
    std::int64_t predecessorCount;
};

// The predecessor table in compact form: the terms of state j are entries
// termStart[j] .. termStart[j+1]-1 of predecessor/symbol, in ascending k, with
// the -1 entries left out. predecessor is 0-based, symbol is Q[k].
struct PredecessorTerms {
    std::int64_t* termStart;
    std::int32_t* predecessor;
    std::int32_t* symbol;
};

// Everything the steps need, validated and built once per call.
struct ForwardPlan {
    std::int32_t states;
    std::int32_t symbols;
    std::int32_t steps;  // T
    const double* observations;
    double* initialColumn;  // step 0, n doubles
    PredecessorTerms terms;
};

// Validates inputs and builds the plan in host scratch; on input outside the
// contract fills fault and returns false (nothing else is reported).
bool planForward(const ForwardInputs& inputs, ForwardPlan* plan, InputFault* fault);

// Runs the steps of a valid plan with n >= 1; returns a new vector of n
// doubles (host scratch): the weights of step T-1, each step rescaled to sum 1
// when normalize is set. Scratch: two columns and the plan, whatever T is.
double* forwardRecursion(const ForwardPlan& plan, bool normalize);

// Computes step t+1 of states [first, last) from step t into next.
void forwardStep(const ForwardPlan& plan, std::int32_t t, const double* previous, double* next, std::int32_t first,
                 std::int32_t last);

#endif
