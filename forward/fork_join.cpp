#include "forward/fork_join.hpp"

#include <algorithm>

std::int32_t teamSize(std::int64_t items, std::int64_t threshold, std::int32_t requested) {
    if (requested > 0) return std::min(requested, kMaxThreads);
    if (items < threshold) return 1;
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

void splitWork(std::int32_t shares, const std::function<void(std::int32_t, std::int32_t)>& share) {
    HelperThread helper;
    const bool helped = shares == 2 && helper.start([&share, shares] { share(1, shares); });
    share(0, shares);
    helper.join();
    // No thread to be had: this one takes the second share as well.
    if (shares == 2 && !helped) share(1, shares);
}
