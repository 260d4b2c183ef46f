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

// Listed symbol i -> false, with fault "badSymbol", unless it is a whole
// number naming an entry of both w and cum.
bool checkSymbol(const AssemblyInputs& in, std::int32_t i, Fault* fault) {
    double symbol = in.symbolList.data[i];
    const std::int64_t cumCount = in.bucketEnds.count;
    const std::int64_t weightCount = in.weights.count;
    double highest = static_cast<double>(cumCount < weightCount ? cumCount : weightCount);
    if (isWholeInRange(symbol, 1.0, highest)) return true;
    setFault(*fault, "badSymbol", "list",
             "element %d must be a whole number from 1 to %.17g (the entries of cum: %lld, of w: %lld); found %.17g.",
             i + 1, highest, static_cast<long long>(cumCount), static_cast<long long>(weightCount), symbol);
    return false;
}

// cum -> false, with fault "badCum", where it decreases (from 0 before its
// first entry) or its last entry is not the number of codes: the counts
// themselves, or totals of other codes, passed in its place. An empty cum
// bounds no bucket.
bool checkRunningTotals(const AssemblyInputs& in, Fault* fault) {
    const double* cum = in.bucketEnds.data;
    const std::int64_t count = in.bucketEnds.count;
    for (std::int64_t i = 0; i < count; ++i) {
        const double previous = i == 0 ? 0.0 : cum[i - 1];
        if (cum[i] >= previous) continue;
        setFault(*fault, "badCum", "cum",
                 "element %lld (%.17g) is less than %s (%.17g); running totals never decrease: pass cumsum(counts), "
                 "not the counts.",
                 static_cast<long long>(i + 1), cum[i], i == 0 ? "0" : "the element before it", previous);
        return false;
    }
    if (count == 0 || cum[count - 1] == static_cast<double>(in.codes.count)) return true;
    setFault(*fault, "badCum", "cum",
             "the last element (element %lld) must be the number of codes, %lld; found %.17g: pass cumsum(counts), "
             "not the counts.",
             static_cast<long long>(count), static_cast<long long>(in.codes.count), cum[count - 1]);
    return false;
}

// A code outside the matrix -> its fault: a well-formed code whose to or
// from passes a is blamed on the input that sets a.
void setCodeFault(const AssemblyInputs& in, std::int64_t p, std::int32_t l, double code, Fault* fault) {
    if (code >= 0.0 && code <= kInt32Max && static_cast<double>(static_cast<std::int32_t>(code)) == code) {
        Cell cell = decode(code);
        if (cell.to >= 1 && cell.from >= 1) {
            setFault(*fault, "badCode", "codes",
                     "element %lld, in the bucket of symbol %d, is the code %.17g (to %d, from %d), which does not fit "
                     "a = %d (the column count of input 1, which should be the rows of S less one).",
                     static_cast<long long>(p + 1), l, code, cell.to, cell.from, in.matrixSize);
            return;
        }
    }
    setFault(*fault, "badCode", "codes",
             "element %lld, in the bucket of symbol %d, must be a code to*1000000+from with to and from from 1 to "
             "a = %d; found %.17g.",
             static_cast<long long>(p + 1), l, in.matrixSize, code);
}

// The bucket of a checked listed symbol -> false, with its fault, unless its
// bounds are whole numbers within the codes and each code in it names a cell.
bool checkBucket(const AssemblyInputs& in, std::int32_t i, InterruptPoll& poll, Fault* fault) {
    auto l = static_cast<std::int32_t>(in.symbolList.data[i]);
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
                setCodeFault(in, p, l, code, fault);
                return false;
            }
        }
    } while (p < end);
    return true;
}

}  // namespace

bool checkAssemblyInputs(const AssemblyInputs& in, Fault* fault) {
    const std::int32_t M = listedSymbolCount(in);
    InterruptPoll poll;
    for (std::int32_t i = 0; i < M; ++i) {
        if (poll.stop(1)) break;
        if (!checkSymbol(in, i, fault)) return false;
    }
    if (!poll.stopped() && !checkRunningTotals(in, fault)) return false;
    for (std::int32_t i = 0; i < M && !poll.stopped(); ++i) {
        if (!checkBucket(in, i, poll, fault)) break;
    }
    if (poll.stopped()) setInterrupted(*fault);
    return !*fault;
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
