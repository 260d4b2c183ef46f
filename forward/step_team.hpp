// The threads that run the steps of one call: each computes its own range of
// states of every step, and they meet at a barrier between steps.
#ifndef FORWARD_STEP_TEAM_HPP
#define FORWARD_STEP_TEAM_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"

// How many threads run the steps of the plan: its threads field when set
// (at most 2); otherwise 2 where the state space is large enough for a
// second thread to gain more than it costs and the processor has two cores,
// else 1.
std::int32_t stepThreads(const ForwardPlan& plan);

// Runs steps 1 .. T-1 of a valid plan with n >= 1, step t in columns[t % 2]
// (padded columns, the caller's; columns[0] holds step 0), each step rescaled
// to sum 1 when normalize is set. Takes no scratch: the threads it starts
// call nothing of the host.
void runSteps(const ForwardPlan& plan, bool normalize, double* const columns[2]);

#endif
