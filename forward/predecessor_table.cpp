#include "forward/predecessor_table.hpp"

#include "kernel/scratch.hpp"
#include "parallel/fork_join.hpp"

namespace {

// The offset a column would have in the subset layout: the row of its first
// predecessor, when that row is a power of two and the predecessor is row 1;
// otherwise 0, which no layout has.
std::int32_t subsetOffset(const double* column, std::int32_t n) {
    std::int32_t j = 0;
    while (j < n && column[j] == -1.0) ++j;
    bool powerOfTwo = j > 0 && (j & (j - 1)) == 0;
    return j < n && powerOfTwo && column[j] == 1.0 ? j : 0;
}

}  // namespace

bool scanPredecessors(const ForwardInputs& in, std::int32_t K, std::int32_t threads, const KernelCopy& copy,
                      PredecessorScan* scan, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    auto* offsets = scratchArray<std::int32_t>(static_cast<std::size_t>(K));
    auto* columns = scratchArray<ColumnScan>(static_cast<std::size_t>(K));
    splitWork(threads, [&](std::int32_t member, std::int32_t shares) {
        for (std::int32_t k = shareStart(K, member, shares); k < shareStart(K, member + 1, shares); ++k) {
            const double* column = in.predecessors.data + static_cast<std::int64_t>(k) * n;
            offsets[k] = subsetOffset(column, n);
            columns[k] = copy.scanColumn(column, n, offsets[k]);
        }
    });
    bool subsetLayout = K > 0;
    for (std::int32_t k = 0; k < K; ++k) {
        const double* column = in.predecessors.data + static_cast<std::int64_t>(k) * n;
        if (!columns[k].wellFormed) {
            std::int32_t j = 0;
            while (column[j] == -1.0 || isWholeInRange(column[j], 1.0, n)) ++j;
            setFault(*fault, "badPredecessor", "P",
                     "entry (%d, %d) must be -1 or a whole number from 1 to %d; found %.17g.", j + 1, k + 1, n,
                     column[j]);
            return false;
        }
        subsetLayout = subsetLayout && columns[k].subsetLayout;
    }
    scan->subsetOffsets = subsetLayout ? offsets : nullptr;
    return true;
}
