#include "forward/step_team.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "forward/forward_steps.hpp"

namespace {

// From this many states on, two chunks a phase, a second thread gains more
// than its start and the hand-over of every phase cost: about a third of the
// time at 4096 states and below that a loss (bench_forward's sweep).
constexpr std::int64_t kThreadedStates = 1 << 12;

// States per chunk of a phase: whole cache blocks of the subset step, and
// few enough chunks per step that claiming them costs little.
constexpr std::int32_t kChunkStates = 2048;
static_assert(kChunkStates % kStateUnit == 0, "chunks start where the subset step may start");

// Polls of a flag before a waiting thread offers its core to other work:
// about as long as a short phase takes.
constexpr int kSpins = 1 << 14;

// How long the helper waits for the next phase before it sleeps: longer than
// the caller's sum of the largest column.
constexpr std::chrono::milliseconds kAwake{5};

// The sum normalizeColumn divides by: ascending, one accumulator from 0.0.
double ascendingSum(const double* column, std::int32_t n) {
    double sum = 0.0;
    for (std::int32_t j = 0; j < n; ++j) sum = sum + column[j];
    return sum;
}

// column[j] = column[j] / divisor for j in [first, last), in place.
FORWARD_WIDE_CLONES
void divideRange(double* column, std::int32_t first, std::int32_t last, double divisor) {
    for (std::int32_t j = first; j < last; ++j) column[j] = column[j] / divisor;
}

// The steps of one call as phases: computing a step and, when normalised,
// dividing it by its sum, which the calling thread forms alone in between,
// in ascending order. Each phase comes in chunks of states, in two shares:
// the calling thread claims the chunks of the first, a helper, when there is
// one, those of the second, and each then claims what is left of the other.
// Each thread so keeps to the states it computed the step before, still in
// its own cache, while the caller waits for the helper only to finish a
// chunk it has begun: a helper kept off its core by other work costs little.
// A share's claim counter carries the number of the phase, so a claim never
// lands in a later phase.
class StepTeam {
public:
    StepTeam(const ForwardPlan& plan, bool normalize, double* const columns[2])
        : plan_(plan), normalize_(normalize), columns_{columns[0], columns[1]} {
        const std::int32_t chunks =
            static_cast<std::int32_t>((static_cast<std::int64_t>(plan.states) + kChunkStates - 1) / kChunkStates);
        shareStart_[0] = 0;
        shareStart_[1] = chunks / 2;
        shareStart_[2] = chunks;
    }

    // The calling thread's part: every phase of every step, then the helper
    // is let go.
    void lead() {
        for (std::int32_t t = 0; t + 1 < plan_.steps; ++t) {
            runPhase({t, false});
            if (!normalize_) continue;
            sum_ = ascendingSum(columns_[(t + 1) % 2], plan_.states);
            runPhase({t, true});
        }
        publish(kLetGo);
    }

    // The helper's part: whatever it can claim of each phase, until let go.
    void help() {
        std::uint64_t seen = 0;
        while ((seen = awaitPhaseAfter(seen)) != kLetGo) takeChunks(seen, 1);
    }

private:
    struct Phase {
        std::int32_t step;  // t: step t+1 is made from step t
        bool divide;
    };

    // A share's claims and finished chunks, apart from the other share's.
    struct alignas(64) Share {
        std::atomic<std::uint64_t> claims{0};  // phase number << kCountBits | chunks claimed
        std::atomic<std::int32_t> finished{0};
    };

    static constexpr int kCountBits = 24;  // chunks of one phase: at most 2^31 / kChunkStates
    static constexpr std::uint64_t kCountMask = (std::uint64_t{1} << kCountBits) - 1;
    static constexpr std::uint64_t kLetGo = std::uint64_t{1} << (64 - kCountBits - 1);

    std::int32_t shareChunks(std::int32_t share) const { return shareStart_[share + 1] - shareStart_[share]; }

    void runPhase(Phase phase) {
        phase_ = phase;
        for (Share& share : shares_) share.finished.store(0, std::memory_order_relaxed);
        publish(++number_);
        takeChunks(number_, 0);
        for (std::int32_t share = 0; share < 2; ++share) {
            for (int spin = 0; shares_[share].finished.load(std::memory_order_acquire) != shareChunks(share);
                 ++spin) {
                if (spin >= kSpins) std::this_thread::yield();
            }
        }
    }

    // The helper watches the second share's counter, stored last.
    void publish(std::uint64_t number) {
        for (Share& share : shares_) share.claims.store(number << kCountBits, std::memory_order_seq_cst);
        if (sleeping_.load(std::memory_order_seq_cst)) {
            { std::lock_guard<std::mutex> lock(mutex_); }
            wake_.notify_one();
        }
    }

    // Member m's own share first, then the other's.
    void takeChunks(std::uint64_t number, std::int32_t member) {
        for (std::int32_t share : {member, 1 - member}) {
            std::atomic<std::uint64_t>& claims = shares_[share].claims;
            const std::uint64_t chunks = static_cast<std::uint64_t>(shareChunks(share));
            std::uint64_t claim = claims.load(std::memory_order_acquire);
            while ((claim >> kCountBits) == number && (claim & kCountMask) < chunks) {
                if (!claims.compare_exchange_weak(claim, claim + 1, std::memory_order_acq_rel,
                                                  std::memory_order_acquire)) {
                    continue;
                }
                doChunk(shareStart_[share] + static_cast<std::int32_t>(claim & kCountMask));
                shares_[share].finished.fetch_add(1, std::memory_order_release);
                claim = claims.load(std::memory_order_acquire);
            }
        }
    }

    // Reads the phase only under a claim of it, which the caller cannot
    // leave meanwhile.
    void doChunk(std::int32_t chunk) {
        const std::int32_t first = chunk * kChunkStates;
        const std::int32_t last = static_cast<std::int32_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(first) + kChunkStates, plan_.states));
        double* next = columns_[(phase_.step + 1) % 2];
        if (phase_.divide) {
            divideRange(next, first, last, sum_);
        } else {
            forwardStep(plan_, phase_.step, columns_[phase_.step % 2], next, first, last);
        }
    }

    // The number of the first phase published after `seen`. Between two
    // phases the caller may be summing a column alone; the helper stays
    // awake that long, yielding its core to any other work, since waking it
    // takes longer than a phase.
    std::uint64_t awaitPhaseAfter(std::uint64_t seen) {
        const std::atomic<std::uint64_t>& claims = shares_[1].claims;
        const auto awakeUntil = std::chrono::steady_clock::now() + kAwake;
        for (int spin = 0; spin < kSpins || std::chrono::steady_clock::now() < awakeUntil; ++spin) {
            std::uint64_t number = claims.load(std::memory_order_acquire) >> kCountBits;
            if (number != seen) return number;
            if (spin >= kSpins) std::this_thread::yield();
        }
        std::unique_lock<std::mutex> lock(mutex_);
        sleeping_.store(true, std::memory_order_seq_cst);
        wake_.wait(lock, [&] { return claims.load(std::memory_order_seq_cst) >> kCountBits != seen; });
        sleeping_.store(false, std::memory_order_relaxed);
        return claims.load(std::memory_order_acquire) >> kCountBits;
    }

    const ForwardPlan& plan_;
    const bool normalize_;
    double* const columns_[2];
    std::int32_t shareStart_[3];  // in chunks
    Phase phase_{0, false};
    double sum_ = 0.0;
    std::uint64_t number_ = 0;  // of the phase last published
    Share shares_[2];
    std::atomic<bool> sleeping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

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
    StepTeam team(plan, normalize, columns);
    std::thread helper;
    if (teamSize(plan.states, kThreadedStates, plan.threads) == 2) {
        try {
            helper = std::thread(&StepTeam::help, &team);
        } catch (const std::system_error&) {
            // No thread to be had: the caller takes every chunk.
        }
    }
    team.lead();
    if (helper.joinable()) helper.join();
}
