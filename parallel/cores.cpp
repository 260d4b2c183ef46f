#include "parallel/cores.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <thread>
#ifdef _WIN32
// Without its min and max macros, which would take over std::min (MinGW's
// C++ headers may have asked for that already).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#ifdef __linux__
#include <sched.h>
#endif

std::int32_t teamSize(std::int64_t items, std::int64_t threshold, std::int32_t requested) {
    if (requested > 0) return std::min(requested, kMaxThreads);
    if (items < threshold) return 1;
    const std::int32_t most = std::min(kMaxThreads, usableCores());
    const std::int32_t cap = threadCap(std::getenv("OMP_NUM_THREADS"));
    return cap > 0 ? std::min(most, cap) : most;
}

std::int32_t threadCap(const char* value) {
    if (!value || !*value) return 0;
    std::int64_t cap = 0;
    for (const char* c = value; *c; ++c) {
        if (*c < '0' || *c > '9') return 0;
        cap = std::min<std::int64_t>(cap * 10 + (*c - '0'), std::numeric_limits<std::int32_t>::max());
    }
    return static_cast<std::int32_t>(cap);
}

std::int32_t usableCores() {
    std::int64_t cores = 0;
#if defined(__linux__)
    cpu_set_t mask;
    // Fails past CPU_SETSIZE cores, where the processor's count stands in.
    if (sched_getaffinity(0, sizeof mask, &mask) == 0) cores = CPU_COUNT(&mask);
#elif defined(_WIN32)
    DWORD_PTR process = 0, whole = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &whole)) {
        for (; process != 0; process &= process - 1) ++cores;
    }
#endif
    if (cores == 0) cores = std::thread::hardware_concurrency();
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(cores, 1, std::numeric_limits<std::int32_t>::max()));
}
