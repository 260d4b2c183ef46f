#include "forward/step_team.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "forward/forward_steps.hpp"

namespace {

// From this many states on, a second thread gains more than its start and a
// barrier per step cost (bench_forward's sweep).
constexpr std::int64_t kThreadedStates = 1 << 13;

// Where the threads of one call meet between the phases of a step. A thread
// that arrives early spins for about as long as a short step takes, then
// sleeps, so that a core shared with other work is handed back.
class StepBarrier {
public:
    explicit StepBarrier(std::int32_t parties) : parties_(parties) {}

    void wait() {
        if (parties_ == 1) return;
        const unsigned generation = generation_.load(std::memory_order_acquire);
        if (arrived_.fetch_add(1, std::memory_order_acq_rel) + 1 == parties_) {
            arrived_.store(0, std::memory_order_relaxed);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                generation_.store(generation + 1, std::memory_order_release);
            }
            wakeUp_.notify_all();
            return;
        }
        for (int spin = 0; spin < kSpins; ++spin) {
            if (generation_.load(std::memory_order_acquire) != generation) return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        wakeUp_.wait(lock, [&] { return generation_.load(std::memory_order_acquire) != generation; });
    }

private:
    static constexpr int kSpins = 1 << 14;
    const std::int32_t parties_;
    std::atomic<std::int32_t> arrived_{0};
    std::atomic<unsigned> generation_{0};
    std::mutex mutex_;
    std::condition_variable wakeUp_;
};

// What the threads of one call share. Member i computes states
// bounds[i] .. bounds[i+1]-1 of every step, split at whole units.
struct StepTeam {
    StepTeam(const ForwardPlan& plan, bool normalize, double* const columns[2], std::int32_t size)
        : plan(plan), normalize(normalize), columns{columns[0], columns[1]}, barrier(size) {
        for (std::int32_t member = 0; member < size; ++member) {
            bounds[member] = shareStart(plan.states, member, size) / kStateUnit * kStateUnit;
        }
        bounds[size] = plan.states;
    }

    const ForwardPlan& plan;
    const bool normalize;
    double* const columns[2];
    std::int32_t bounds[kMaxThreads + 1];
    StepBarrier barrier;
    double columnSum = 0.0;
};

// The sum normalizeColumn divides by: ascending, one accumulator from 0.0.
double ascendingSum(const double* column, std::int32_t n) {
    double sum = 0.0;
    for (std::int32_t j = 0; j < n; ++j) sum = sum + column[j];
    return sum;
}

FORWARD_WIDE_CLONES
void divideRange(double* column, std::int32_t first, std::int32_t last, double divisor) {
    for (std::int32_t j = first; j < last; ++j) column[j] = column[j] / divisor;
}

// A normalised step is rescaled as normalizeColumn does it, the sum by member
// 0 alone between two barriers and the divisions by every member over its
// own range.
void runMember(StepTeam& team, std::int32_t member) {
    const std::int32_t first = team.bounds[member];
    const std::int32_t last = team.bounds[member + 1];
    for (std::int32_t t = 0; t + 1 < team.plan.steps; ++t) {
        double* next = team.columns[(t + 1) % 2];
        forwardStep(team.plan, t, team.columns[t % 2], next, first, last);
        if (team.normalize) {
            team.barrier.wait();
            if (member == 0) team.columnSum = ascendingSum(next, team.plan.states);
            team.barrier.wait();
            divideRange(next, first, last, team.columnSum);
        }
        team.barrier.wait();
    }
}

}  // namespace

std::int32_t teamSize(std::int64_t items, std::int64_t threshold, std::int32_t requested) {
    if (requested > 0) return std::min(requested, kMaxThreads);
    if (items < threshold) return 1;
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

void splitWork(std::int32_t shares, const std::function<void(std::int32_t, std::int32_t)>& share) {
    std::thread helper;
    if (shares == 2) {
        try {
            helper = std::thread(share, 1, shares);
        } catch (const std::system_error&) {
            // No thread to be had: this one takes the second share below.
        }
    }
    share(0, shares);
    if (helper.joinable()) {
        helper.join();
    } else if (shares == 2) {
        share(1, shares);
    }
}

void runSteps(const ForwardPlan& plan, bool normalize, double* const columns[2]) {
    if (teamSize(plan.states, kThreadedStates, plan.threads) == 2) {
        StepTeam team(plan, normalize, columns, 2);
        std::thread helper;
        try {
            helper = std::thread(runMember, std::ref(team), 1);
        } catch (const std::system_error&) {
            // No thread to be had: the steps run on this one alone.
        }
        if (helper.joinable()) {
            runMember(team, 0);
            helper.join();
            return;
        }
    }
    StepTeam team(plan, normalize, columns, 1);
    runMember(team, 0);
}
