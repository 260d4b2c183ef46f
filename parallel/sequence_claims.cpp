#include "parallel/sequence_claims.hpp"

#include <thread>

#include "parallel/fork_join.hpp"

bool runWorkers(std::int32_t workers, CallStop& stop, const std::function<bool(std::int32_t)>& work) {
    std::atomic<bool> helperDone{false};
    HelperThread helper;
    const bool helped = workers == 2 && helper.start([&] {
        work(1);
        helperDone.store(true, std::memory_order_release);
    });
    // Without a second thread this one claims every sequence.
    const bool finished = work(0);
    while (helped && !helperDone.load(std::memory_order_acquire)) {
        stop.check(kPollInterval);
        std::this_thread::yield();
    }
    helper.join();
    return finished && !stop.stopped();
}
