#include "assembly/transition_matrix.hpp"

#include <cmath>

#include "arrays/array_view.hpp"
#include "transitions/transition_codes.hpp"

namespace {

// Bucket of 1-based symbol l: codes [first, end). Symbol 1 starts at 0.
struct Bucket {
    double first;
    double end;
};

Bucket bucketOf(const AssemblyInputs& in, std::int32_t l) {
    const double* cum = in.bucketEnds.data;
    return {l == 1 ? 0.0 : cum[l - 2], cum[l - 1]};
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

// True when code is a whole number naming a cell inside the matrixSize x matrixSize result.
// Each bucket's codes pass through here, so it stays inline and off libm:
// a whole number in int32 range survives the round trip through int32.
bool isCodeWithin(double code, std::int32_t matrixSize) {
    if (!(code >= 0.0 && code <= kInt32Max)) return false;
    if (static_cast<double>(static_cast<std::int32_t>(code)) != code) return false;
    Cell cell = decode(code);
    return cell.to >= 1 && cell.to <= matrixSize && cell.from >= 1 && cell.from <= matrixSize;
}

bool checkSymbol(const AssemblyInputs& in, std::int32_t i, Fault* fault) {
    double symbol = in.symbolList.data[i];
    const std::int64_t cumCount = in.bucketEnds.count;
    const std::int64_t weightCount = in.weights.count;
    double highest = static_cast<double>(cumCount < weightCount ? cumCount : weightCount);
    if (!isWholeInRange(symbol, 1.0, highest)) {
        setFault(*fault, "badSymbol", "list",
                 "element %d must be a whole number from 1 to %.17g (the entries of cum: %lld, of w: %lld); found "
                 "%.17g.",
                 i + 1, highest, static_cast<long long>(cumCount), static_cast<long long>(weightCount), symbol);
        return false;
    }
    auto l = static_cast<std::int32_t>(symbol);
    Bucket bucket = bucketOf(in, l);
    double codeCount = static_cast<double>(in.codes.count);
    if (!isWholeInRange(bucket.first, 0.0, codeCount) || !isWholeInRange(bucket.end, bucket.first, codeCount)) {
        setFault(*fault, "badBucket", "cum",
                 "the bucket of symbol %d must be bounded by whole numbers from 0 to %lld (the number of codes) that "
                 "do not decrease; found %.17g to %.17g.",
                 l, static_cast<long long>(in.codes.count), bucket.first, bucket.end);
        return false;
    }
    for (auto p = static_cast<std::int64_t>(bucket.first); p < static_cast<std::int64_t>(bucket.end); ++p) {
        double code = in.codes.data[p];
        if (!isCodeWithin(code, in.matrixSize)) {
            setFault(*fault, "badCode", "codes",
                     "element %lld, in the bucket of symbol %d, must be a code to*1000000+from with to and from from 1 "
                     "to %d; found %.17g.",
                     static_cast<long long>(p + 1), l, in.matrixSize, code);
            return false;
        }
    }
    return true;
}

}  // namespace

std::int32_t listedSymbolCount(const AssemblyInputs& in) {
    return in.symbolList.rows <= in.symbolList.count ? in.symbolList.rows : 0;
}

bool checkAssemblyInputs(const AssemblyInputs& in, Fault* fault) {
    const std::int32_t M = listedSymbolCount(in);
    for (std::int32_t i = 0; i < M; ++i) {
        if (!checkSymbol(in, i, fault)) return false;
    }
    return true;
}

void assembleTransitionMatrix(const AssemblyInputs& in, double* A) {
    const std::int32_t M = listedSymbolCount(in);
    const std::int64_t rows = in.matrixSize;
    for (std::int32_t i = 0; i < M; ++i) {
        auto l = static_cast<std::int32_t>(in.symbolList.data[i]);
        double weight = in.weights.data[l - 1];
        Bucket bucket = bucketOf(in, l);
        auto first = static_cast<std::int64_t>(bucket.first);
        auto size = static_cast<std::int64_t>(std::trunc(bucket.end - bucket.first));
        for (std::int64_t p = first; p < first + size; ++p) {
            Cell cell = decode(in.codes.data[p]);
            double& entry = A[(cell.to - 1) + (cell.from - 1) * rows];
            entry = entry + weight;
        }
    }
}
