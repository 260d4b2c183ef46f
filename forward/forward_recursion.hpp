// Forward recursion of state weights over membership states.
#ifndef FORWARD_FORWARD_RECURSION_HPP
#define FORWARD_FORWARD_RECURSION_HPP

#include <cstdint>

#include "arrays/array_view.hpp"
#include "forward/column_order.hpp"
#include "forward/instruction_sets.hpp"
#include "kernel/fault.hpp"

struct KernelCopy;

// The inputs as the gateway read them; the kernels only read them. n is the
// row count of S and L its column count; O and P are read flat.
struct ForwardInputs {
    ArrayView stepCount;       // T: its first element
    ArrayView observations;    // O: L x T, leading dimension L
    ArrayView membership;      // S: n x L
    ArrayView predecessors;    // P: n x K, leading dimension n
    ArrayView steps;           // the steps to return, read flat, when chosen
    bool stepsChosen = false;  // else step T alone
};

// The steps whose weights the call returns, in the caller's order, and the
// same positions sorted by step, the order the recursion reaches them in.
struct ChosenSteps {
    const double* steps;  // whole numbers 1 .. T
    std::int32_t count;
    std::int32_t* byStep;  // positions 0 .. count-1, ascending by step
};

// How a call may run, as the caller asks; the plan records what it chose.
struct ForwardOptions {
    // Threads for every part of the call: 0 lets each part choose by its
    // size, 1 or 2 forces that many.
    std::int32_t threads = 0;
    // The copy of the kernels: automatic, or one the processor runs.
    InstructionSet instructionSet = InstructionSet::automatic;
};

// Any other predecessor table, as lane terms: the states in groups of
// kLaneGroup consecutive places of the column (see ForwardPlan::order), group
// g's terms in slots groupStart[g] .. groupStart[g+1]-1, term e of the state
// in lane i at slot groupStart[g] + e * kLaneGroup + i, in ascending k with
// the -1 entries left out. A slot holds
// the place of the predecessor and the symbol Q[k]; the slots of a lane past
// its termCount are padding, which the step leaves out.
constexpr std::int32_t kLaneGroup = 8;
struct LaneTerms {
    std::int64_t* groupStart;
    std::int32_t* termCount;  // per place, zero past the last state
    std::int32_t* predecessor;
    std::int32_t* symbol;
};

// A table whose column k holds, for every state j (0-based), the predecessor
// j - offset[k] exactly when j has the bit offset[k] (a power of two) and -1
// otherwise: all subsets in binary order, or a prefix of them. Such a table
// needs no list of terms. offset is null for any other table.
struct SubsetOffsets {
    std::int32_t* offset;
    std::int32_t* symbol;  // Q[k]
    std::int32_t columns;  // K
};

// Columns a subset table may have: its offsets are powers of two below 2^31.
constexpr std::int32_t kMaxSubsetColumns = 31;

// Everything the steps need, validated and built once per call. Steps are
// counted from 1; the steps keep the weights in a column of their own order
// (see ColumnOrder).
struct ForwardPlan {
    std::int32_t states;
    std::int32_t symbols;
    std::int32_t stepCount;  // T
    // The last step computed: the last chosen one, or 2 where every later
    // step repeats step 2 (no predecessor terms).
    std::int32_t lastStep;
    ChosenSteps chosen;
    std::int32_t predecessorColumns;  // K
    const double* observations;       // O, L x T
    std::int32_t threads;             // as ForwardOptions::threads
    const KernelCopy* kernels;        // the copy the options and the processor call for
    ColumnOrder order;                // where each state's weight is kept
    const std::int32_t* firstMember;  // per row: the symbol whose weight starts the state at step 1, or -1
    const std::int32_t* lastSymbols;  // Q: the symbols of the last row, ascending (K entries; null where n = 0)
    SubsetOffsets offsets;            // when set, lane terms are not built
    LaneTerms terms;
};

// Validates inputs and builds the plan in host scratch; on input outside the
// contract fills fault and returns false (nothing else is reported).
bool planForward(const ForwardInputs& inputs, const ForwardOptions& options, ForwardPlan* plan, Fault* fault);

// The part of planForward that concerns S and P alone, for a plan whose T
// and chosen steps are set: the checks of both and the layouts.
bool planStates(const ForwardInputs& inputs, const ForwardOptions& options, ForwardPlan* plan, Fault* fault);

// Where the chosen steps' weights go: weights n x chosen.count, column i
// the weights of step chosen.steps[i]; logScale, when not null, 1 x
// chosen.count, the sum of log(c) over the divisors c of steps 2 .. that
// step. The caller's, zero-filled.
struct ForwardResult {
    double* weights;
    double* logScale;
};

// Runs the steps of a valid plan with n >= 1 up to its last step, each
// rescaled to sum 1 when normalize is set, and writes the chosen steps into
// result. Scratch: two columns, the plan and, on two threads, a word per
// 2048 states, whatever T is. Returns false, with fault "interrupted", when
// Ctrl-C stops it (every thread it started has then ended).
bool forwardRecursion(const ForwardPlan& plan, bool normalize, const ForwardResult& result, Fault* fault);

#endif
