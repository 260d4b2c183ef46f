// How many threads a part of a call takes: the cores this process may run
// on, the cap the host process sets, and the size from which a second thread
// gains more than it costs.
#ifndef PARALLEL_CORES_HPP
#define PARALLEL_CORES_HPP

#include <cstdint>

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

#endif
