#include "parallel/chunk_scheduler.hpp"

#include <chrono>
#include <new>
#include <thread>

#include "kernel/scratch.hpp"

namespace {

constexpr int kCountBits = 24;
constexpr std::uint64_t kCountMask = (std::uint64_t{1} << kCountBits) - 1;
static_assert(ChunkScheduler::kMaxChunks <= kCountMask, "a share's claims fit their bits");
static_assert(sizeof(std::atomic<std::uint64_t>) == sizeof(std::uint64_t), "a chunk's stamp in a scratch word");
// A phase number no call reaches: two phases a step, fewer than 2^31 steps.
constexpr std::uint64_t kLetGo = std::uint64_t{1} << (64 - kCountBits - 1);

// Polls of a flag before a waiting thread offers its core to other work:
// about as long as a short phase takes.
constexpr int kSpins = 1 << 14;

// Polls of the chain before the caller runs a link of the helper's share:
// the helper takes its links as soon as they can be run, when it is on its
// core.
constexpr int kTakeOverSpins = 1 << 10;

// How long the helper waits for the next phase before it sleeps: longer than
// the caller's sum of the largest column.
constexpr std::chrono::milliseconds kAwake{5};

}  // namespace

ChunkScheduler::ChunkScheduler(std::int32_t chunks, std::int32_t threads) : chunks_(chunks) {
    if (threads < 2) return;
    shareStart_[1] = chunks / 2;
    shareStart_[2] = chunks;
    auto* words = scratchArray<std::uint64_t>(static_cast<std::size_t>(chunks));
    for (std::int32_t chunk = 0; chunk < chunks; ++chunk) new (words + chunk) std::atomic<std::uint64_t>(0);
    finished_ = reinterpret_cast<std::atomic<std::uint64_t>*>(words);
    helped_ = helper_.start([this] { help(); });
}

ChunkScheduler::~ChunkScheduler() {
    if (!helped_) return;
    publish(kLetGo);
    helper_.join();
}

// Each thread claims the chunks of its own share first, so that it keeps to
// the states it computed the phase before, still in its own cache; the caller
// waits for the helper only to finish a chunk it has begun, so a helper kept
// off its core by other work costs little. Between its own chunks the caller
// walks the finished ones, while the helper takes more meanwhile.
void ChunkScheduler::run(const Phase& phase) {
    if (!helped_) {
        for (std::int32_t chunk = 0; chunk < chunks_; ++chunk) {
            phase.work(chunk);
            if (phase.watch) phase.watch(chunk);
            if (phase.chain) phase.chain(chunk);
        }
        return;
    }
    work_ = phase.work;
    chained_ = phase.chain;
    const std::uint64_t number = ++number_;
    const std::uint64_t chainStart = phase.chain ? 0 : static_cast<std::uint64_t>(chunks_) << 1;
    chain_.store(number << 32 | chainStart, std::memory_order_relaxed);  // published with the claims
    publish(number);
    std::int32_t walked = 0;
    std::int32_t chunk;
    while (claim(number, 0, &chunk)) {
        doChunk(number, chunk);
        advanceChain(number, 0, false);
        walked = walkFinished(number, walked, false, phase.watch);
    }
    walkFinished(number, walked, true, phase.watch);
    finishChain(number, 0);
}

// Whatever the helper can claim of each phase, and its links of the chain,
// until let go.
void ChunkScheduler::help() {
    std::uint64_t seen = 0;
    while ((seen = bell_.awaitPhaseAfter(shares_[1].claims, seen)) != kLetGo) {
        std::int32_t chunk;
        while (claim(seen, 1, &chunk)) {
            doChunk(seen, chunk);
            advanceChain(seen, 1, false);
        }
        finishChain(seen, 1);
    }
}

// Runs the chain's links while the next is of a chunk done, in member's
// share (in either with anyShare), and no other thread runs one; true once
// the chain of the phase is complete. Its number in the chain's word keeps a
// thread still in a phase from running a link of the next.
bool ChunkScheduler::advanceChain(std::uint64_t number, std::int32_t member, bool anyShare) {
    for (;;) {
        std::uint64_t seen = chain_.load(std::memory_order_acquire);
        if (seen >> 32 != number) return true;
        const auto next = static_cast<std::int32_t>((seen & 0xffffffffu) >> 1);
        if (next == chunks_) return true;
        if ((seen & 1) != 0 || (!anyShare && (next >= shareStart_[1]) != (member == 1))) return false;
        if (finished_[next].load(std::memory_order_acquire) != number) return false;
        if (!chain_.compare_exchange_strong(seen, seen | 1, std::memory_order_acquire)) continue;
        chained_(next);
        chain_.store(number << 32 | static_cast<std::uint64_t>(next + 1) << 1, std::memory_order_release);
    }
}

// Waits for the chain of the phase to be complete, running the links of
// member's share as they come; the caller runs any link the helper has not
// taken within a short wait, so that a helper kept off its core by other
// work holds the chain up little.
void ChunkScheduler::finishChain(std::uint64_t number, std::int32_t member) {
    for (int spin = 0; !advanceChain(number, member, member == 0 && spin >= kTakeOverSpins); ++spin) {
        if (spin >= kSpins) std::this_thread::yield();
    }
}

// The helper watches the second share's counter, stored last. The number in
// every counter, and in the stamp of a finished chunk, keeps anything from
// being claimed in, or taken from, another phase.
void ChunkScheduler::publish(std::uint64_t number) {
    for (Share& share : shares_) share.claims.store(number << kCountBits, std::memory_order_seq_cst);
    bell_.ring();
}

// A chunk of the phase for member m, from its own share first, then from the
// other's; false when none is left.
bool ChunkScheduler::claim(std::uint64_t number, std::int32_t member, std::int32_t* chunk) {
    for (std::int32_t share : {member, 1 - member}) {
        std::atomic<std::uint64_t>& claims = shares_[share].claims;
        const std::uint64_t chunks = static_cast<std::uint64_t>(shareStart_[share + 1] - shareStart_[share]);
        std::uint64_t seen = claims.load(std::memory_order_acquire);
        while ((seen >> kCountBits) == number && (seen & kCountMask) < chunks) {
            if (claims.compare_exchange_weak(seen, seen + 1, std::memory_order_acq_rel, std::memory_order_acquire)) {
                *chunk = shareStart_[share] + static_cast<std::int32_t>(seen & kCountMask);
                return true;
            }
        }
    }
    return false;
}

// Reads the phase's work only under a claim of it, which the caller cannot
// leave meanwhile; the stamp hands the chunk to the walk.
void ChunkScheduler::doChunk(std::uint64_t number, std::int32_t chunk) {
    work_(chunk);
    finished_[chunk].store(number, std::memory_order_release);
}

// Walks on from chunk `from` over the chunks finished, in order, handing each
// to watch when given; with waiting, to the last chunk. Returns the
// first chunk not walked.
std::int32_t ChunkScheduler::walkFinished(std::uint64_t number, std::int32_t from, bool waiting,
                                          const ChunkTask& watch) const {
    for (; from < chunks_; ++from) {
        const std::atomic<std::uint64_t>& stamp = finished_[from];
        for (int spin = 0; stamp.load(std::memory_order_acquire) != number; ++spin) {
            if (!waiting) return from;
            if (spin >= kSpins) std::this_thread::yield();
        }
        if (watch) watch(from);
    }
    return from;
}

// Waking a sleeping helper takes longer than a phase, hence the time awake.
std::uint64_t ChunkScheduler::Bell::awaitPhaseAfter(const std::atomic<std::uint64_t>& claims, std::uint64_t seen) {
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

void ChunkScheduler::Bell::ring() {
    if (sleeping_.load(std::memory_order_seq_cst)) {
        { std::lock_guard<std::mutex> lock(mutex_); }
        wake_.notify_one();
    }
}
