// Ctrl-C as the kernels see it, without any host header: a long loop reads
// the host's interrupt flag every so often and, once it is set, returns at
// once; the gateway then rejects the call as "<module>:interrupted".
#ifndef KERNEL_INTERRUPT_HPP
#define KERNEL_INTERRUPT_HPP

#include <atomic>
#include <cstdint>

#include "kernel/fault.hpp"

// True while the host holds a Ctrl-C; false where the host has no flag the
// modules can find. Defined by the host glue; the calling thread's only.
bool interruptRequested();

// Units of work between two reads of the flag, a unit being one step of an
// inner loop (an entry compared, a code added, a row looked up): on the
// largest inputs bench_transitions times, the return comes 0.5 to 2 ms after
// the flag, and a read every 2^18 units costs nothing it can measure.
constexpr std::int64_t kPollInterval = std::int64_t{1} << 18;

// One call's countdown to the next read of the flag, shared by every loop of
// the call; its first use reads the flag, and once the flag is seen set it
// stays stopped. Polls from the calling thread only.
class InterruptPoll {
public:
    // True when the call must stop; work is what the loop is about to do.
    bool stop(std::int64_t work) {
#ifdef MEMBERSHIP_MEX_UNPOLLED  // the benchmark's baseline: the same kernels, never polling
        (void)work;
        return false;
#else
        if ((left_ -= work) > 0) return false;
        if (!stopped_) {
            stopped_ = interruptRequested();
            left_ = stopped_ ? 0 : kPollInterval;  // once stopped, every later call lands here
        }
        return stopped_;
#endif
    }
    bool stopped() const { return stopped_; }

private:
    std::int64_t left_ = 0;
    bool stopped_ = false;
};

// Ctrl-C as the threads of one call share it: once any thread has seen it,
// every loop of the call stops. Only the calling thread reads the host's
// flag (through poll); every thread reads seen.
struct CallStop {
    InterruptPoll poll;
    std::atomic<bool> seen{false};

    // On the calling thread: reads the host's flag as poll counts `work`
    // and records it. On any thread: whether the call must stop.
    bool check(std::int64_t work) {
        if (poll.stop(work)) seen.store(true, std::memory_order_relaxed);
        return stopped();
    }
    bool stopped() const { return seen.load(std::memory_order_relaxed); }
};

// Records the interruption as the call's fault: "interrupted", of no input.
void setInterrupted(Fault& fault);

#endif
