// The threads of one call: how many a part of it takes, and the one place a
// second thread is started and joined.
#ifndef FORWARD_FORK_JOIN_HPP
#define FORWARD_FORK_JOIN_HPP

#include <cstdint>
#ifndef _WIN32
#include <csignal>
#endif
#include <functional>
#include <system_error>
#include <thread>

// Two threads are all that has been measured, and the one-thread sum of each
// normalised step bounds what more could give.
constexpr std::int32_t kMaxThreads = 2;

// How many threads take a part of a call with `items` items (states,
// entries): `requested` when set (at most kMaxThreads); otherwise 1 under
// OMP_NUM_THREADS=1, read anew at every call so that a host process can set
// it once the module is loaded; else 2 from `threshold` items on, where a
// second thread gains more than it costs, if this process may run on two
// cores; else 1.
std::int32_t teamSize(std::int64_t items, std::int64_t threshold, std::int32_t requested);

// The cap a value of OMP_NUM_THREADS puts on a call's threads: the value
// when it is a whole positive decimal number and nothing else (saturating at
// INT32_MAX), else 0, no cap; null (unset) is no cap too.
std::int32_t threadCap(const char* value);

// The cores this process may run on: its affinity mask where the system
// gives one, else the processor's count; at least 1.
std::int32_t usableCores();

// Where share `member` of `shares` equal shares of total items begins.
inline std::int32_t shareStart(std::int64_t total, std::int32_t member, std::int32_t shares) {
    return static_cast<std::int32_t>(total * member / shares);
}

// Blocks every signal on this thread while it lives, then restores the mask:
// a thread started meanwhile starts with them blocked, so that the host's
// handlers (Ctrl-C among them) only ever run on the host's own threads.
class SignalsBlocked {
public:
    SignalsBlocked();
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;
    ~SignalsBlocked();

private:
#ifndef _WIN32
    sigset_t saved_;
#endif
};

// A second thread running one piece of work, joined at the latest when this
// is destroyed. The work calls nothing of the host.
class HelperThread {
public:
    HelperThread() = default;
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;
    ~HelperThread() { join(); }

    // Starts work on a new thread; false, with work not run, when the system
    // has no thread to give.
    template <class Work>
    bool start(Work work) {
        const SignalsBlocked blocked;  // inherited by the new thread
        try {
            thread_ = std::thread(std::move(work));
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // Waits for the work to return; nothing to wait for when none started.
    void join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

// Calls share(member, shares) for each member of a team of `shares` threads,
// this one being member 0, and returns when all are done; for work whose
// shares never wait on one another, so that this thread takes every share in
// turn when no second one can be had. share calls nothing of the host.
void splitWork(std::int32_t shares, const std::function<void(std::int32_t, std::int32_t)>& share);

#endif
