// The chunks of each phase of a call shared between the calling thread and,
// when two threads run, one helper that lives as long as the scheduler. A
// phase returns once every chunk is done; meanwhile the caller is handed
// the finished chunks in ascending order, while the helper still computes,
// and a chain of work that must run in ascending order (a sum in row order)
// passes from chunk to chunk, each link run by the thread whose share the
// chunk is in, where its data is.
#ifndef PARALLEL_CHUNK_SCHEDULER_HPP
#define PARALLEL_CHUNK_SCHEDULER_HPP

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <type_traits>

#include "parallel/fork_join.hpp"

// A callable taking a chunk number, copied in: trivially copyable and at
// most kBytes, as a lambda that captures a few values is. The helper reads
// the copy in the scheduler, on a line the caller writes once a phase, and
// not the caller's stack, which it writes all through a phase.
class ChunkTask {
public:
    static constexpr std::size_t kBytes = 48;

    ChunkTask() = default;
    template <class Callable>
    ChunkTask(const Callable& callable)
        : call_([](const void* copy, std::int32_t chunk) { (*static_cast<const Callable*>(copy))(chunk); }) {
        static_assert(std::is_trivially_copyable<Callable>::value, "copied as bytes");
        static_assert(sizeof(Callable) <= kBytes && alignof(Callable) <= alignof(std::max_align_t), "fits the copy");
        new (copy_) Callable(callable);
    }

    explicit operator bool() const { return call_ != nullptr; }
    void operator()(std::int32_t chunk) const { call_(copy_, chunk); }

private:
    alignas(std::max_align_t) unsigned char copy_[kBytes];
    void (*call_)(const void*, std::int32_t) = nullptr;
};

class ChunkScheduler {
public:
    // The most chunks a phase may have: a share's claim counter holds the
    // number of chunks claimed beside the number of the phase.
    static constexpr std::int32_t kMaxChunks = (1 << 24) - 1;

    // `chunks` (1 .. kMaxChunks) per phase, on `threads` threads: with 2,
    // takes a word of host scratch per chunk, then starts the helper; with
    // 1, or when no thread can be had, every phase is a plain loop here.
    ChunkScheduler(std::int32_t chunks, std::int32_t threads);
    ChunkScheduler(const ChunkScheduler&) = delete;
    ChunkScheduler& operator=(const ChunkScheduler&) = delete;
    // Lets the helper go and joins it. That needs no phase to be over: the
    // helper finishes the chunk it holds and claims no other.
    ~ChunkScheduler();

    // One phase's callbacks, by name; only work is required.
    struct Phase {
        ChunkTask work;   // for every chunk, on either thread
        ChunkTask watch;  // on this thread, for every chunk in ascending order as soon as it and those before it
                          // are done (the host's Ctrl-C flag is polled here)
        ChunkTask chain;  // for every chunk in ascending order, each once the chunk is done and after the link
                          // before it, on either thread (a sum in row order)
    };

    // Runs a phase and returns when all its callbacks are done; work and
    // chain call nothing of the host.
    void run(const Phase& phase);

private:
    // A share's claims, apart from the other share's.
    struct alignas(64) Share {
        std::atomic<std::uint64_t> claims{0};  // phase number << kCountBits | chunks claimed
    };

    // How the helper waits for the next phase: polling at first, since one
    // comes soon after the last; then yielding its core, while the caller
    // may be summing a column alone; asleep once the caller has been away
    // longer than that.
    class Bell {
    public:
        // The phase number in `claims` once it differs from `seen`.
        std::uint64_t awaitPhaseAfter(const std::atomic<std::uint64_t>& claims, std::uint64_t seen);
        // After the claim counters are stored: wakes the helper if it sleeps.
        void ring();

    private:
        std::atomic<bool> sleeping_{false};
        std::mutex mutex_;
        std::condition_variable wake_;
    };

    void help();
    void publish(std::uint64_t number);
    bool claim(std::uint64_t number, std::int32_t member, std::int32_t* chunk);
    void doChunk(std::uint64_t number, std::int32_t chunk);
    std::int32_t walkFinished(std::uint64_t number, std::int32_t from, bool waiting, const ChunkTask& watch) const;
    bool advanceChain(std::uint64_t number, std::int32_t member, bool anyShare);
    void finishChain(std::uint64_t number, std::int32_t member);

    const std::int32_t chunks_;
    std::int32_t shareStart_[3] = {};                 // in chunks: the caller's share, then the helper's
    std::atomic<std::uint64_t>* finished_ = nullptr;  // per chunk, the number of the phase it last finished in
    alignas(64) ChunkTask work_;                      // of the phase last published
    ChunkTask chained_;                               // of the phase last published
    std::uint64_t number_ = 0;                        // of the phase last published
    // The chain's progress: phase number << 32 | next chunk << 1 | 1 while
    // a thread runs that chunk's link.
    alignas(64) std::atomic<std::uint64_t> chain_{0};
    Share shares_[2];
    Bell bell_;
    HelperThread helper_;
    bool helped_ = false;
};

#endif
