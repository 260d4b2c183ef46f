// The transition matrix in compressed columns. Every code visit is one
// weight for one cell; the visits are sorted by row, then stably by column,
// which leaves each column's rows ascending and each cell's weights in visit
// order, the order the dense matrix adds them in. Two counting sorts: time
// and memory linear in the matrix size and the visits.
#include <algorithm>

#include "assembly/listed_codes.hpp"
#include "assembly/transition_matrix.hpp"
#include "kernel/interrupt.hpp"
#include "kernel/scratch.hpp"

namespace {

// counts[i + 1] holds the entries of key i -> counts[i] is where key i's
// entries start; returns a copy to fill from (host scratch).
std::int64_t* startsFromCounts(std::int64_t* counts, std::int32_t keys) {
    for (std::int32_t i = 0; i < keys; ++i) counts[i + 1] += counts[i];
    auto* fill = scratchArray<std::int64_t>(static_cast<std::size_t>(keys) + 1);
    std::copy(counts, counts + keys + 1, fill);
    return fill;
}

}  // namespace

bool assembleSparseTransitionMatrix(const AssemblyInputs& in, SparseColumns* out, Fault* fault) {
    const std::int32_t size = in.matrixSize;
    InterruptPoll poll;
    auto* rowStart = scratchArray<std::int64_t>(static_cast<std::size_t>(size) + 1);
    auto* columnStart = scratchArray<std::int64_t>(static_cast<std::size_t>(size) + 1);
    std::int64_t visits = 0;
    forEachListedCode(in, poll, [&](Cell cell, double) {
        ++rowStart[cell.to];
        ++columnStart[cell.from];
        ++visits;
    });
    std::int64_t* rowFill = startsFromCounts(rowStart, size);
    std::int64_t* columnFill = startsFromCounts(columnStart, size);

    auto* columnByRow = scratchArray<std::int32_t>(static_cast<std::size_t>(visits));
    auto* weightByRow = scratchArray<double>(static_cast<std::size_t>(visits));
    forEachListedCode(in, poll, [&](Cell cell, double weight) {
        const std::int64_t at = rowFill[cell.to - 1]++;
        columnByRow[at] = cell.from - 1;
        weightByRow[at] = weight;
    });
    SparseColumns matrix{columnStart, scratchArray<std::int32_t>(static_cast<std::size_t>(visits)),
                         scratchArray<double>(static_cast<std::size_t>(visits)), 0};
    for (std::int32_t row = 0; row < size; ++row) {
        if (poll.stop(rowStart[row + 1] - rowStart[row] + 1)) break;
        for (std::int64_t e = rowStart[row]; e < rowStart[row + 1]; ++e) {
            const std::int64_t at = columnFill[columnByRow[e]]++;
            matrix.rowIndex[at] = row;
            matrix.value[at] = weightByRow[e];
        }
    }

    // Each run of one row within a column is one cell: its sum replaces the
    // run in place, unless it is exactly 0.
    std::int64_t columnEnd = 0;
    for (std::int32_t column = 0; column < size; ++column) {
        if (poll.stop(columnStart[column + 1] - columnEnd + 1)) break;
        std::int64_t e = columnEnd;
        columnEnd = columnStart[column + 1];
        columnStart[column] = matrix.entries;
        while (e < columnEnd) {
            const std::int32_t row = matrix.rowIndex[e];
            double sum = 0.0;
            for (; e < columnEnd && matrix.rowIndex[e] == row; ++e) sum = sum + matrix.value[e];
            if (sum == 0.0) continue;
            matrix.rowIndex[matrix.entries] = row;
            matrix.value[matrix.entries] = sum;
            ++matrix.entries;
        }
    }
    if (poll.stopped()) {
        setInterrupted(*fault);
        return false;
    }
    columnStart[size] = matrix.entries;
    *out = matrix;
    return true;
}
