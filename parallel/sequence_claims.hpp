// The sequences of a batch shared between the threads of a call: each
// thread claims the next one as it finishes its last, and runs it whole.
#ifndef PARALLEL_SEQUENCE_CLAIMS_HPP
#define PARALLEL_SEQUENCE_CLAIMS_HPP

#include <cstdint>
#include <functional>

#include "kernel/interrupt.hpp"

// Calls run(worker, b) for every sequence b of count, on `workers` (1 or 2)
// threads, worker 0 being this one; run returns false once it was stopped.
// Only this thread reads the host's Ctrl-C flag (through stop): it keeps
// polling while the other thread finishes its last sequence. Returns false
// when stopped; no thread outlives the call. run calls nothing of the host.
bool claimSequences(std::int64_t count, std::int32_t workers, CallStop& stop,
                    const std::function<bool(std::int32_t, std::int64_t)>& run);

#endif
