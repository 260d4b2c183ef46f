// Many sequences over one state space in one call: one plan of S and P, and
// each sequence's steps run whole on one thread, the threads taking the
// sequences between them, so that no result depends on the thread count.
#ifndef FORWARD_FORWARD_BATCH_HPP
#define FORWARD_FORWARD_BATCH_HPP

#include <cstdint>
#include <optional>

#include "forward/forward_recursion.hpp"
#include "parallel/sequence_claims.hpp"

// The inputs of a batch as the gateway read them.
struct BatchInputs {
    ArrayView stepCounts;           // T: one entry for every sequence, or one per sequence
    const ArrayView* observations;  // each sequence's O, L x its T
    std::int64_t count;             // B
    ArrayView membership;
    ArrayView predecessors;
    ArrayView steps;
    bool stepsChosen = false;
};

// The plan of S and P and the chosen steps, which must hold for the
// shortest sequence, with what differs between the sequences.
struct BatchPlan {
    ForwardPlan shared;  // no sequence's T or O
    const double* stepCounts;
    std::int64_t stepCountStride;  // 0 when one T serves every sequence
    const ArrayView* observations;
    std::int64_t count;
    bool stepsChosen;  // else each sequence returns its step T
};

// Checks T and every sequence's O (a fault names the sequence), then the
// steps and S and P once, and that the results' columns fit a host array
// ("tooLarge"), and builds the plan in host scratch.
bool planBatch(const BatchInputs& inputs, const ForwardOptions& options, BatchPlan* plan, Fault* fault);

// The plan of sequence b (0-based) of a valid batch plan.
ForwardPlan sequencePlan(const BatchPlan& batch, std::int64_t b);

// Each sequence's T (host scratch, count entries).
const std::int32_t* sequenceStepCounts(const BatchPlan& batch);

// Fills fault with "tooLarge" and returns false unless `columns` columns of
// results fit a host array.
bool checkResultColumns(std::int64_t columns, Fault* fault);

// The threads that take the batch's sequences, each running its sequences
// whole on one: 2 where the batch is large enough and its steps are not
// split between threads, else 1.
std::int32_t batchWorkers(const BatchPlan& batch);

// Runs every sequence of a valid plan with n >= 1, writing sequence b's
// chosen steps at columns b x chosen.count onward of result (whose
// logScale, when not null, is as long). Scratch: two columns per thread and
// the plan. Returns false, with fault "interrupted", when Ctrl-C stops it.
bool forwardBatch(const BatchPlan& batch, bool normalize, const ForwardResult& result, Fault* fault);

// Runs sequence b of the batch, every b once, on batchWorkers(batch)
// threads, each with a Workspace(shape, room, stop, whether it is this
// thread) made here, where host scratch may be taken (none where shape has
// no states): run(b, workspace, fault) returns false once stopped. Shape is
// a plan over the batch's states whose .forward is the shared ForwardPlan.
// Returns false, with fault "interrupted", when Ctrl-C stops it.
template <class Workspace, class Shape, class Room, class Run>
bool runBatchSequences(const BatchPlan& batch, Shape shape, const Room& room, Run run, Fault* fault) {
    const std::int32_t workers = batchWorkers(batch);
    if (workers == 2) shape.forward.threads = 1;
    CallStop stop;
    std::optional<Workspace> workspaces[2];
    if (shape.forward.states > 0) {
        for (std::int32_t w = 0; w < workers; ++w) workspaces[w].emplace(shape, room, stop, w == 0);
    }
    Fault stopped[2];
    SequenceClaims claims(batch.count);
    if (runWorkers(workers, stop, [&](std::int32_t worker) {
            Workspace* workspace = workspaces[worker] ? &*workspaces[worker] : nullptr;
            for (std::int64_t b; (b = claims.claim()) >= 0;) {
                if (!run(b, workspace, &stopped[worker])) return false;
            }
            return true;
        })) {
        return true;
    }
    setInterrupted(*fault);
    return false;
}

#endif
