// The one place a second thread is started and joined, and the plain split
// of a piece of work between the threads of a team.
#ifndef PARALLEL_FORK_JOIN_HPP
#define PARALLEL_FORK_JOIN_HPP

#include <cstdint>
#ifndef _WIN32
#include <csignal>
#endif
#include <functional>
#include <system_error>
#include <thread>

#include "parallel/cores.hpp"

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
