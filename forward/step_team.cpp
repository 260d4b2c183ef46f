#include "forward/step_team.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "kernel/scratch.hpp"
#include "forward/fork_join.hpp"
#include "forward/forward_steps.hpp"

namespace {

// From this many states on, two chunks a phase, a second thread gains more
// than its start and the hand-over of every phase cost: a quarter less time
// at 4096 states, and below that a loss (bench_forward's sweep).
constexpr std::int64_t kThreadedStates = 1 << 12;

// States per chunk of a phase: whole cache blocks of the subset step, and
// few enough chunks per step that claiming them costs little.
constexpr std::int32_t kChunkStates = 2048;
static_assert(kChunkStates % kStateUnit == 0, "chunks start where the subset step may start");
static_assert(sizeof(std::atomic<std::uint64_t>) == sizeof(std::uint64_t), "a chunk's stamp in a scratch word");

// Polls of a flag before a waiting thread offers its core to other work:
// about as long as a short phase takes.
constexpr int kSpins = 1 << 14;

// How long the helper waits for the next phase before it sleeps: longer than
// the caller's sum of the largest column.
constexpr std::chrono::milliseconds kAwake{5};

// column[j] = column[j] / divisor for j in [first, last), in place.
FORWARD_WIDE_CLONES
void divideRange(double* column, std::int32_t first, std::int32_t last, double divisor) {
    for (std::int32_t j = first; j < last; ++j) column[j] = column[j] / divisor;
}

// The steps of one call as phases: computing a step and, when normalised,
// dividing it by its sum. Each phase comes in chunks of states, in two
// shares: the calling thread claims the chunks of the first, a helper, when
// there is one, those of the second, and each then claims what is left of
// the other. Each thread so keeps to the states it computed the step before,
// still in its own cache, while the caller waits for the helper only to
// finish a chunk it has begun: a helper kept off its core by other work costs
// little. Between its own chunks the caller walks the finished ones in
// order, forming the sum of a normalised step as normalizeColumn does
// (ascending, one accumulator from 0.0) while the helper computes: the
// helper takes more chunks meanwhile. A share's claim counter, and the stamp
// of a finished chunk, carry the number of the phase, so that nothing lands
// in or is taken from another phase.
class StepTeam {
public:
    // finished: a word per chunk for its stamp (host scratch, the caller's).
    StepTeam(const ForwardPlan& plan, bool normalize, double* const columns[2], std::uint64_t* finished)
        : plan_(plan), normalize_(normalize), columns_{columns[0], columns[1]}, chunks_(chunkCount(plan.states)) {
        shareStart_[0] = 0;
        shareStart_[1] = chunks_ / 2;
        shareStart_[2] = chunks_;
        for (std::int32_t chunk = 0; chunk < chunks_; ++chunk) new (finished + chunk) std::atomic<std::uint64_t>(0);
        finished_ = reinterpret_cast<std::atomic<std::uint64_t>*>(finished);
    }

    static std::int32_t chunkCount(std::int32_t states) {
        return static_cast<std::int32_t>((static_cast<std::int64_t>(states) + kChunkStates - 1) / kChunkStates);
    }

    // The calling thread's part: every phase of every step, then the helper
    // is let go.
    void lead() {
        for (std::int32_t t = 0; t + 1 < plan_.steps; ++t) {
            runPhase({t, false});
            if (normalize_) runPhase({t, true});
        }
        publish(kLetGo);
    }

    // The helper's part: whatever it can claim of each phase, until let go.
    void help() {
        std::uint64_t seen = 0;
        while ((seen = awaitPhaseAfter(seen)) != kLetGo) {
            std::int32_t chunk;
            while (claim(seen, 1, &chunk)) doChunk(seen, chunk);
        }
    }

private:
    struct Phase {
        std::int32_t step;  // t: step t+1 is made from step t
        bool divide;
    };

    // A share's claims, apart from the other share's.
    struct alignas(64) Share {
        std::atomic<std::uint64_t> claims{0};  // phase number << kCountBits | chunks claimed
    };

    static constexpr int kCountBits = 24;  // chunks of one phase: at most 2^31 / kChunkStates
    static constexpr std::uint64_t kCountMask = (std::uint64_t{1} << kCountBits) - 1;
    static constexpr std::uint64_t kLetGo = std::uint64_t{1} << (64 - kCountBits - 1);

    // A computed step of a normalised call is summed on the walk, and its
    // division is the next phase.
    void runPhase(Phase phase) {
        phase_ = phase;
        const std::uint64_t number = ++number_;
        publish(number);
        const bool summing = normalize_ && !phase.divide;
        Walk walk;
        std::int32_t chunk;
        while (claim(number, 0, &chunk)) {
            doChunk(number, chunk);
            walkFinished(number, summing, false, &walk);
        }
        walkFinished(number, summing, true, &walk);
        if (summing) sum_ = walk.sum;
    }

    struct Walk {
        std::int32_t chunk = 0;  // the first chunk not yet walked
        double sum = 0.0;
    };

    // Walks the chunks finished in order, adding their states to the sum
    // when summing; with waiting, to the last chunk.
    void walkFinished(std::uint64_t number, bool summing, bool waiting, Walk* walk) const {
        const double* next = columns_[(phase_.step + 1) % 2];
        for (; walk->chunk < chunks_; ++walk->chunk) {
            const std::atomic<std::uint64_t>& stamp = finished_[walk->chunk];
            for (int spin = 0; stamp.load(std::memory_order_acquire) != number; ++spin) {
                if (!waiting) return;
                if (spin >= kSpins) std::this_thread::yield();
            }
            if (!summing) continue;
            const std::int32_t last = chunkEnd(walk->chunk);
            for (std::int32_t j = walk->chunk * kChunkStates; j < last; ++j) walk->sum = walk->sum + next[j];
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

    // A chunk of the phase for member m, from its own share first, then from
    // the other's; false when none is left.
    bool claim(std::uint64_t number, std::int32_t member, std::int32_t* chunk) {
        for (std::int32_t share : {member, 1 - member}) {
            std::atomic<std::uint64_t>& claims = shares_[share].claims;
            const std::uint64_t chunks = static_cast<std::uint64_t>(shareStart_[share + 1] - shareStart_[share]);
            std::uint64_t seen = claims.load(std::memory_order_acquire);
            while ((seen >> kCountBits) == number && (seen & kCountMask) < chunks) {
                if (claims.compare_exchange_weak(seen, seen + 1, std::memory_order_acq_rel,
                                                 std::memory_order_acquire)) {
                    *chunk = shareStart_[share] + static_cast<std::int32_t>(seen & kCountMask);
                    return true;
                }
            }
        }
        return false;
    }

    std::int32_t chunkEnd(std::int32_t chunk) const {
        return static_cast<std::int32_t>(
            std::min<std::int64_t>((static_cast<std::int64_t>(chunk) + 1) * kChunkStates, plan_.states));
    }

    // Reads the phase only under a claim of it, which the caller cannot
    // leave meanwhile; the stamp hands the chunk's states to the walk.
    void doChunk(std::uint64_t number, std::int32_t chunk) {
        const std::int32_t first = chunk * kChunkStates;
        double* next = columns_[(phase_.step + 1) % 2];
        if (phase_.divide) {
            divideRange(next, first, chunkEnd(chunk), sum_);
        } else {
            forwardStep(plan_, phase_.step, columns_[phase_.step % 2], next, first, chunkEnd(chunk));
        }
        finished_[chunk].store(number, std::memory_order_release);
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
    const std::int32_t chunks_;
    std::int32_t shareStart_[3];  // in chunks
    std::atomic<std::uint64_t>* finished_;  // per chunk, the number of the phase it last finished in
    Phase phase_{0, false};
    double sum_ = 0.0;
    std::uint64_t number_ = 0;  // of the phase last published
    Share shares_[2];
    std::atomic<bool> sleeping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

}  // namespace

void runSteps(const ForwardPlan& plan, bool normalize, double* const columns[2]) {
    auto* finished = scratchArray<std::uint64_t>(static_cast<std::size_t>(StepTeam::chunkCount(plan.states)));
    StepTeam team(plan, normalize, columns, finished);
    // Without a helper the caller takes every chunk.
    HelperThread helper;
    if (teamSize(plan.states, kThreadedStates, plan.threads) == 2) helper.start([&team] { team.help(); });
    team.lead();
}

double* forwardRecursion(const ForwardPlan& plan, bool normalize) {
    double* const columns[2] = {plan.initialColumn, newPaddedColumn(plan.states)};
    runSteps(plan, normalize, columns);
    return columns[(plan.steps - 1) % 2];
}
