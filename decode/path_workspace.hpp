// What one thread keeps for the sequences it decodes: the trace of every
// step, or checkpoints every `interval` steps and the trace of one segment
// at a time recomputed from them; and both kinds of steps.
#ifndef DECODE_PATH_WORKSPACE_HPP
#define DECODE_PATH_WORKSPACE_HPP

#include <cstdint>

#include "decode/path.hpp"
#include "decode/path_steppers.hpp"

// The parts of planPath past the forward plan: the L x T entries of O a
// sequence reads; then, once for the state space (S and P of `states`,
// which plan->forward already holds), w and what the steps need.
bool checkObservationWeights(const ArrayView& observations, std::int32_t L, std::int32_t T, Fault* fault);
bool planPathStates(const ForwardInputs& states, const ArrayView& finalWeights, bool path, const PathOptions& options,
                    PathPlan* plan, Fault* fault);

// Fits a plan of the state space to the T of plan->forward: whether any
// path can weigh more than 0, and how often the trace is kept.
void fitPathSequence(PathPlan* plan);

// The trace rows and checkpoints a sequence needs.
struct PathRoom {
    std::int32_t rows;
    std::int32_t checkpoints;
};
PathRoom pathRoom(const PathPlan& plan);
PathRoom largerRoom(const PathRoom& a, const PathRoom& b);

class PathWorkspace {
public:
    // Host scratch for `room`, taken on the calling thread, for the state
    // space of shape (n >= 1).
    PathWorkspace(const PathPlan& shape, const PathRoom& room, CallStop& stop, bool onCallingThread);

    // The path of one sequence whose room fits (plan.noPath false).
    bool run(const PathPlan& plan, const PathResult& result, Fault* fault);

private:
    void* row(std::int32_t index) const { return trace_ + index * rowBytes_; }
    bool sweep(PathSteps& steps, const PathPlan& plan, Fault* fault);
    bool traceBack(PathSteps& steps, const PathPlan& plan, std::int32_t last, const PathResult& result, Fault* fault);

    std::int64_t rowBytes_;
    unsigned char* trace_;
    Checkpoints checkpoints_;
    RescaledSteps rescaled_;
    ExactSteps exact_;
};

// mostLikelyPath of one sequence in a workspace made for its state space
// (null where plan.noPath: then nothing runs).
bool pathSequence(const PathPlan& plan, PathWorkspace* workspace, const PathResult& result, Fault* fault);

#endif
