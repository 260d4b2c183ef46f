// The codes of the listed symbols' buckets as the assembly visits them: list
// order, then bucket order. Both forms of the matrix add along this one walk,
// so the weights of each cell arrive in the same order in both.
#ifndef ASSEMBLY_LISTED_CODES_HPP
#define ASSEMBLY_LISTED_CODES_HPP

#include <cmath>
#include <cstdint>

#include "assembly/assembly_inputs.hpp"
#include "kernel/interrupt.hpp"
#include "transitions/transition_codes.hpp"

// Bucket of 1-based symbol l: codes [first, end). Symbol 1 starts at 0.
struct Bucket {
    double first;
    double end;
};

inline Bucket bucketOf(const AssemblyInputs& in, std::int32_t l) {
    const double* cum = in.bucketEnds.data;
    return {l == 1 ? 0.0 : cum[l - 2], cum[l - 1]};
}

struct Cell {
    std::int32_t to;  // 1-based
    std::int32_t from;
};

inline Cell decode(double code) {
    auto e = static_cast<std::int32_t>(code);
    std::int32_t to = e / kCodeBase;
    return {to, e - to * kCodeBase};
}

// Codes visited between two polls at most: a bucket may hold 2^31 of them.
constexpr std::int64_t kCodeBlock = std::int64_t{1} << 14;

// Checked inputs -> onCode(cell, weight) for every code of every listed
// symbol's bucket, symbols in list order, codes in bucket order, until poll
// stops the walk.
template <class OnCode>
void forEachListedCode(const AssemblyInputs& in, InterruptPoll& poll, OnCode&& onCode) {
    const std::int32_t M = listedSymbolCount(in);
    for (std::int32_t i = 0; i < M; ++i) {
        auto l = static_cast<std::int32_t>(in.symbolList.data[i]);
        const double weight = in.weights.data[l - 1];
        Bucket bucket = bucketOf(in, l);
        auto p = static_cast<std::int64_t>(bucket.first);
        const std::int64_t end = p + static_cast<std::int64_t>(std::trunc(bucket.end - bucket.first));
        // At least one poll per listed symbol: a list of empty buckets is a
        // long walk too.
        do {
            const std::int64_t blockEnd = end - p > kCodeBlock ? p + kCodeBlock : end;
            if (poll.stop(blockEnd - p + 1)) return;
            for (; p < blockEnd; ++p) onCode(decode(in.codes.data[p]), weight);
        } while (p < end);
    }
}

#endif
