#include "assembly/transition_matrix.hpp"

#include "assembly/listed_codes.hpp"

namespace {

// True when code is a whole number naming a cell inside the matrixSize x matrixSize result.
// Each bucket's codes pass through here, so it stays inline and off libm:
// a whole number in int32 range survives the round trip through int32.
bool isCodeWithin(double code, std::int32_t matrixSize) {
    if (!(code >= 0.0 && code <= kInt32Max)) return false;
    if (static_cast<double>(static_cast<std::int32_t>(code)) != code) return false;
    Cell cell = decode(code);
    return cell.to >= 1 && cell.to <= matrixSize && cell.from >= 1 && cell.from <= matrixSize;
}

bool checkSymbol(const AssemblyInputs& in, std::int32_t i, InterruptPoll& poll, Fault* fault) {
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
    auto p = static_cast<std::int64_t>(bucket.first);
    const auto end = static_cast<std::int64_t>(bucket.end);
    do {
        const std::int64_t blockEnd = end - p > kCodeBlock ? p + kCodeBlock : end;
        if (poll.stop(blockEnd - p + 1)) return false;
        for (; p < blockEnd; ++p) {
            double code = in.codes.data[p];
            if (!isCodeWithin(code, in.matrixSize)) {
                setFault(*fault, "badCode", "codes",
                         "element %lld, in the bucket of symbol %d, must be a code to*1000000+from with to and from "
                         "from 1 to %d; found %.17g.",
                         static_cast<long long>(p + 1), l, in.matrixSize, code);
                return false;
            }
        }
    } while (p < end);
    return true;
}

}  // namespace

std::int32_t listedSymbolCount(const AssemblyInputs& in) {
    return in.symbolList.rows <= in.symbolList.count ? in.symbolList.rows : 0;
}

bool checkAssemblyInputs(const AssemblyInputs& in, Fault* fault) {
    const std::int32_t M = listedSymbolCount(in);
    InterruptPoll poll;
    for (std::int32_t i = 0; i < M; ++i) {
        if (!checkSymbol(in, i, poll, fault)) {
            if (poll.stopped()) setInterrupted(*fault);
            return false;
        }
    }
    return true;
}

bool assembleTransitionMatrix(const AssemblyInputs& in, double* A, Fault* fault) {
    const std::int64_t rows = in.matrixSize;
    InterruptPoll poll;
    forEachListedCode(in, poll, [A, rows](Cell cell, double weight) {
        double& entry = A[(cell.to - 1) + (cell.from - 1) * rows];
        entry = entry + weight;
    });
    if (poll.stopped()) setInterrupted(*fault);
    return !poll.stopped();
}
