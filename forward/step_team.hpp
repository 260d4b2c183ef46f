// The threads of one call: the plan's passes over S and P split between
// them, and the states of every step taken a chunk at a time by whichever
// comes, the call moving to the next step once all are done.
#ifndef FORWARD_STEP_TEAM_HPP
#define FORWARD_STEP_TEAM_HPP

#include <cstdint>
#include <functional>

#include "forward/forward_recursion.hpp"

// Two threads are all that has been measured, and the one-thread sum of each
// normalised step bounds what more could give.
constexpr std::int32_t kMaxThreads = 2;

// How many threads take a part of a call with `items` items (states,
// entries): `requested` when set (at most kMaxThreads); otherwise 2 from
// `threshold` items on, where a second thread gains more than it costs, if
// the processor has two cores; else 1.
std::int32_t teamSize(std::int64_t items, std::int64_t threshold, std::int32_t requested);

// Where share `member` of `shares` equal shares of total items begins.
inline std::int32_t shareStart(std::int64_t total, std::int32_t member, std::int32_t shares) {
    return static_cast<std::int32_t>(total * member / shares);
}

// Calls share(member, shares) for each member of a team of `shares` threads,
// this one being member 0, and returns when all are done; for work whose
// shares never wait on one another, so that this thread takes every share in
// turn when no second one can be had. share calls nothing of the host.
void splitWork(std::int32_t shares, const std::function<void(std::int32_t, std::int32_t)>& share);

// Runs steps 1 .. T-1 of a valid plan with n >= 1, on as many threads as
// teamSize gives for its states, step t in columns[t % 2] (padded columns,
// the caller's; columns[0] holds step 0), each step rescaled to sum 1 when
// normalize is set. Takes a word of scratch per 2048 states before it starts
// a thread; the threads call nothing of the host.
void runSteps(const ForwardPlan& plan, bool normalize, double* const columns[2]);

#endif
