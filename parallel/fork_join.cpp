#include "parallel/fork_join.hpp"

#ifndef _WIN32
#include <pthread.h>
#endif

void splitWork(std::int32_t shares, const std::function<void(std::int32_t, std::int32_t)>& share) {
    HelperThread helper;
    const bool helped = shares == 2 && helper.start([&share, shares] { share(1, shares); });
    share(0, shares);
    helper.join();
    // No thread to be had: this one takes the second share as well.
    if (shares == 2 && !helped) share(1, shares);
}

#ifdef _WIN32
// Windows delivers a console's Ctrl-C on a thread of its own: nothing to block.
SignalsBlocked::SignalsBlocked() = default;
SignalsBlocked::~SignalsBlocked() = default;
#else
SignalsBlocked::SignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved_);
}

SignalsBlocked::~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
#endif
