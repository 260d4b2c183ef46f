// The gradient of many sequences over one state space in one call, as the
// forward batch runs them: one plan of S, P and w, each sequence whole on one
// thread, so that no result depends on the thread count.
#ifndef BACKWARD_GRADIENT_BATCH_HPP
#define BACKWARD_GRADIENT_BATCH_HPP

#include <cstdint>

#include "backward/gradient.hpp"
#include "forward/forward_batch.hpp"

struct GradientBatchInputs {
    BatchInputs forward;      // its steps: the steps whose posteriors are asked for
    ArrayView finalWeights;   // w, for every sequence
    bool derivatives = true;  // dO of every sequence
    bool posteriors = false;  // gamma of every sequence
};

struct GradientBatchPlan {
    BatchPlan forward;
    GradientPlan shared;  // no sequence's T or O
    GradientOptions options;
    const std::int64_t* posteriorStart;  // count + 1: sequence b's columns of gamma start at posteriorStart[b]
};

// Checks T and every sequence's O, then the steps, S, P and w once, and
// builds the plan in host scratch.
bool planGradientBatch(const GradientBatchInputs& inputs, const GradientOptions& options, GradientBatchPlan* plan,
                       Fault* fault);

// Where the results go, the caller's: logL (count entries); each sequence's
// dO (count pointers to L x its T), or null; gamma (n x posteriorStart[count])
// or null.
struct GradientBatchResult {
    double* logLikelihood;
    double* const* derivatives;
    double* posteriors;
};

// gradientRecursion of every sequence of a valid plan, the threads taking
// whole sequences. Scratch: the plan, and per thread room for the longest
// sequence. Returns false, with fault "interrupted", when Ctrl-C stops it.
bool gradientBatch(const GradientBatchPlan& plan, const GradientBatchResult& result, Fault* fault);

#endif
