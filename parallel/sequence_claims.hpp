// The sequences of a batch shared between the threads of a call: each
// thread claims the next one as it finishes one, and runs it whole.
#ifndef PARALLEL_SEQUENCE_CLAIMS_HPP
#define PARALLEL_SEQUENCE_CLAIMS_HPP

#include <atomic>
#include <cstdint>
#include <functional>

#include "kernel/interrupt.hpp"

class SequenceClaims {
public:
    explicit SequenceClaims(std::int64_t count) : count_(count) {}

    // The next sequence no thread has claimed, or -1 once none is left.
    std::int64_t claim() {
        const std::int64_t b = next_.fetch_add(1, std::memory_order_relaxed);
        return b < count_ ? b : -1;
    }

private:
    const std::int64_t count_;
    std::atomic<std::int64_t> next_{0};
};

// Calls work(worker) on `workers` (1 or 2) threads, worker 0 being this one;
// work claims its sequences and returns false once it was stopped. Only this
// thread reads the host's Ctrl-C flag (through stop): it keeps polling while
// the other thread finishes. Returns false when stopped; no thread outlives
// the call. work calls nothing of the host.
bool runWorkers(std::int32_t workers, CallStop& stop, const std::function<bool(std::int32_t)>& work);

#endif
