#include "assembly/transition_matrix.hpp"

#include <cmath>

#include "transitions/transition_codes.hpp"

namespace {

// Bucket of 1-based symbol l: codes [first, end). Symbol 1 starts at 0.
struct Bucket {
    double first;
    double end;
};

Bucket bucketOf(const AssemblyInputs& in, std::int32_t l) {
    double end = in.bucketEnds[l - 1];
    return {l == 1 ? 0.0 : in.bucketEnds[l - 2], end};
}

struct Cell {
    std::int32_t to;  // 1-based
    std::int32_t from;
};

Cell decode(double code) {
    auto e = static_cast<std::int32_t>(code);
    std::int32_t to = e / kCodeBase;
    return {to, e - to * kCodeBase};
}

// True when code is a whole number naming a cell inside the a x a result.
// Each bucket's codes pass through here, so it stays inline and off libm:
// a whole number in int32 range survives the round trip through int32.
bool isCodeWithin(double code, std::int32_t a) {
    if (!(code >= 0.0 && code <= 2147483647.0)) return false;
    if (static_cast<double>(static_cast<std::int32_t>(code)) != code) return false;
    Cell cell = decode(code);
    return cell.to >= 1 && cell.to <= a && cell.from >= 1 && cell.from <= a;
}

bool checkSymbol(const AssemblyInputs& in, std::int32_t i, InputFault* fault) {
    double symbol = in.symbolList[i];
    double highest = static_cast<double>(in.bucketEndCount < in.weightCount ? in.bucketEndCount : in.weightCount);
    if (!isWholeInRange(symbol, 1.0, highest)) {
        setFault(*fault, "badSymbol",
                 "Input 3 (list, the symbols to use): element %d must be a whole number from 1 to %.17g (the "
                 "entries of cum: %lld, of w: %lld); found %.17g.",
                 i + 1, highest, static_cast<long long>(in.bucketEndCount), static_cast<long long>(in.weightCount),
                 symbol);
        return false;
    }
    auto l = static_cast<std::int32_t>(symbol);
    Bucket bucket = bucketOf(in, l);
    double codeCount = static_cast<double>(in.codeCount);
    if (!isWholeInRange(bucket.first, 0.0, codeCount) || !isWholeInRange(bucket.end, bucket.first, codeCount)) {
        setFault(*fault, "badBucket",
                 "Input 5 (cum, the running totals of the counts): the bucket of symbol %d must be bounded by whole "
                 "numbers from 0 to %lld (the number of codes) that do not decrease; found %.17g to %.17g.",
                 l, static_cast<long long>(in.codeCount), bucket.first, bucket.end);
        return false;
    }
    for (auto p = static_cast<std::int64_t>(bucket.first); p < static_cast<std::int64_t>(bucket.end); ++p) {
        double code = in.codes[p];
        if (!isCodeWithin(code, in.size)) {
            setFault(*fault, "badCode",
                     "Input 4 (codes): element %lld, in the bucket of symbol %d, must be a code to*1000000+from "
                     "with to and from from 1 to %d; found %.17g.",
                     static_cast<long long>(p + 1), l, in.size, code);
            return false;
        }
    }
    return true;
}

}  // namespace

std::int32_t listedSymbolCount(const AssemblyInputs& in) {
    return in.listRows <= in.listCount ? in.listRows : 0;
}

bool checkAssemblyInputs(const AssemblyInputs& in, InputFault* fault) {
    const std::int32_t M = listedSymbolCount(in);
    for (std::int32_t i = 0; i < M; ++i) {
        if (!checkSymbol(in, i, fault)) return false;
    }
    return true;
}

void assembleTransitionMatrix(const AssemblyInputs& in, double* A) {
    const std::int32_t M = listedSymbolCount(in);
    const std::int64_t a = in.size;
    for (std::int32_t i = 0; i < M; ++i) {
        auto l = static_cast<std::int32_t>(in.symbolList[i]);
        double weight = in.weights[l - 1];
        Bucket bucket = bucketOf(in, l);
        auto first = static_cast<std::int64_t>(bucket.first);
        auto size = static_cast<std::int64_t>(std::trunc(bucket.end - bucket.first));
        for (std::int64_t p = first; p < first + size; ++p) {
            Cell cell = decode(in.codes[p]);
            double& entry = A[(cell.to - 1) + (cell.from - 1) * a];
            entry = entry + weight;
        }
    }
}
