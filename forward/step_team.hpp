// The states of every step taken a chunk at a time by whichever thread
// comes, the call moving to the next step once all are done.
#ifndef FORWARD_STEP_TEAM_HPP
#define FORWARD_STEP_TEAM_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"

// Runs steps 1 .. T-1 of a valid plan with n >= 1, on as many threads as
// teamSize gives for its states, step t in columns[t % 2] (padded columns,
// the caller's; columns[0] holds step 0), each step rescaled to sum 1 when
// normalize is set. Takes a word of scratch per 2048 states before it starts
// a thread; the threads call nothing of the host.
void runSteps(const ForwardPlan& plan, bool normalize, double* const columns[2]);

#endif
