#include "parallel/sequence_claims.hpp"

#include <atomic>
#include <thread>

#include "parallel/fork_join.hpp"

namespace {

// Claims sequences until none is left or one is stopped.
bool runClaimed(std::int32_t worker, std::int64_t count, std::atomic<std::int64_t>& next,
                const std::function<bool(std::int32_t, std::int64_t)>& run) {
    for (std::int64_t b; (b = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
        if (!run(worker, b)) return false;
    }
    return true;
}

}  // namespace

bool claimSequences(std::int64_t count, std::int32_t workers, CallStop& stop,
                    const std::function<bool(std::int32_t, std::int64_t)>& run) {
    std::atomic<std::int64_t> next{0};
    std::atomic<bool> helperDone{false};
    HelperThread helper;
    const bool helped = workers == 2 && helper.start([&] {
        runClaimed(1, count, next, run);
        helperDone.store(true, std::memory_order_release);
    });
    const bool finished = runClaimed(0, count, next, run);
    while (helped && !helperDone.load(std::memory_order_acquire)) {
        stop.check(kPollInterval);
        std::this_thread::yield();
    }
    helper.join();
    return finished && !stop.stopped();
}
