// The most likely path: the forward recursion with max in place of sum,
// each state remembering which term gave its weight, then a trace back from
// the heaviest final state.
//
// A path is a symbol sequence with the rows it passes through; its weight
// is w(last row) times the product of O(x_t, t) over its steps, taken step
// by step in double precision. Each step weighs, for every state j, its
// moves and its stay: the move under column k of P (a predecessor entry
// other than -1) weighs V(P(j, k), t - 1) x O(Q[k], t), the stay weighs
// V(j, t - 1) x O(s, t) with s the heaviest of the state's symbols at step t
// (of equal weights, the one of the smallest k). V(j, t) is the heaviest,
// and of equal weights the one of the smallest k, the move before the stay.
// Steps are counted from 1; states are rows counted from 0.
#ifndef DECODE_PATH_HPP
#define DECODE_PATH_HPP

#include <cstdint>

#include "arrays/array_view.hpp"
#include "forward/forward_batch.hpp"
#include "forward/forward_recursion.hpp"

struct PathCopy;

// The forward inputs (no steps chosen), w, and whether the caller wants the
// path itself beside its weight.
struct PathInputs {
    ForwardInputs forward;
    ArrayView finalWeights;  // w, n entries read flat; empty: all ones
    bool path = true;        // symbols and states (else logp alone, and no trace is kept)
};

struct PathOptions {
    ForwardOptions forward;
    // Bytes of trace below which every step's is kept; 0: 64 MB.
    std::int64_t traceBudget = 0;
    // Every step with the exponent beside each weight (the recomputation
    // the call falls back on), never the rescaled doubles: for tests.
    bool exactOnly = false;
};

// The bytes of one trace entry: the term that gave a state its weight, as
// 2 x (its column k, or its place among the state's terms) + 1 for a stay;
// the largest value stands for none.
enum class CodeWidth : std::int32_t { byte = 1, half = 2, word = 4 };

struct PathPlan {
    ForwardPlan forward;
    const double* finalWeights;  // w in row order, or null for all ones
    double largestFinalWeight;
    const double* predecessors;  // P, n x K
    bool path;
    CodeWidth codeWidth;
    std::int64_t codeStride;  // entries of one step's trace: n rounded up to whole units of the kernels
    const PathCopy* kernels;
    bool exactOnly;
    std::int64_t traceBudget;
    // Of the sequence: no path has a weight before any step is run (no
    // states, or no predecessor terms and T >= 2); and a trace kept every
    // `interval` steps (1: all of it), the others recomputed.
    bool noPath;
    std::int32_t interval;
};

// Validates the inputs, those of the forward recursion first (with their
// identifiers), then that the L x T entries of O read are weights
// ("negativeWeight", "infiniteWeight"), then w; builds the plan in host
// scratch. False, with fault set, on input outside the contract.
bool planPath(const PathInputs& inputs, const PathOptions& options, PathPlan* plan, Fault* fault);

// The caller's, zero-filled: logp (1), and when the plan asks for the path,
// symbols (T) and states (T, or null when not wanted).
struct PathResult {
    double* logWeight;
    double* symbols;
    double* states;
};

// Finds the path. logp is -Inf where every path weighs 0, symbols and states
// then stay 0. Returns false, with fault "interrupted", when Ctrl-C stops it.
bool mostLikelyPath(const PathPlan& plan, const PathResult& result, Fault* fault);

// Many sequences over one state space, as the forward batch takes them.
struct PathBatchInputs {
    BatchInputs forward;  // no steps chosen
    ArrayView finalWeights;
    bool path = true;
};

struct PathBatchPlan {
    BatchPlan forward;
    PathPlan shared;  // no sequence's T or O
};

// Checks T and every sequence's O (a fault names the sequence), then S, P
// and w once; builds the plan in host scratch.
bool planPathBatch(const PathBatchInputs& inputs, const PathOptions& options, PathBatchPlan* plan, Fault* fault);

// Where a batch's results go: logp (count entries); each sequence's symbols
// and states (count pointers to T(b) entries each) when the path is asked for.
struct PathBatchResult {
    double* logWeight;
    double* const* symbols;
    double* const* states;
};

// mostLikelyPath of every sequence, the threads taking whole sequences, so
// that no result depends on how many ran. Scratch: the plan, and per thread
// room for the longest sequence.
bool pathBatch(const PathBatchPlan& plan, const PathBatchResult& result, Fault* fault);

#endif
