#include "forward/predecessor_table.hpp"

#include <cstring>

#include "kernel/scratch.hpp"
#include "forward/fork_join.hpp"
#include "forward/lanes.hpp"

namespace {

// What one pass over a column of P finds.
struct ColumnScan {
    std::int64_t predecessors;  // entries other than -1
    bool wellFormed;            // every entry is -1 or a whole number 1..n
    bool subsetLayout;          // entry j is j - offset + 1 where j has the bit offset, -1 elsewhere
};

// The offset a column would have in the subset layout: the row of its first
// predecessor, when that row is a power of two and the predecessor is row 1;
// otherwise 0, which no layout has.
std::int32_t subsetOffset(const double* column, std::int32_t n) {
    std::int32_t j = 0;
    while (j < n && column[j] == -1.0) ++j;
    bool powerOfTwo = j > 0 && (j & (j - 1)) == 0;
    return j < n && powerOfTwo && column[j] == 1.0 ? j : 0;
}

// Every entry of P is read here, once. Adding and taking away 2^52 rounds a
// value within range to a whole number, which tells whole numbers apart
// without a conversion; lanes past the end of the column hold -1.0.
FORWARD_WIDE_CLONES
ColumnScan scanColumn(const double* column, std::int32_t n, std::int32_t offset) {
    const Lanes absentEntries = {-1.0, -1.0, -1.0, -1.0};
    const Lanes roundingShift = {0x1p52, 0x1p52, 0x1p52, 0x1p52};
    const double rows = n;
    LaneMask state = {0, 1, 2, 3};
    Lanes stateValue = {0.0, 1.0, 2.0, 3.0};
    LaneMask negativeAbsentCount = {0, 0, 0, 0};
    LaneMask wellFormed = ~negativeAbsentCount;
    LaneMask subsetLayout = wellFormed;
    for (std::int32_t j = 0; j < n; j += kLanes) {
        Lanes p = absentEntries;
        if (n - j >= kLanes) {
            std::memcpy(&p, column + j, sizeof p);
        } else {
            std::memcpy(&p, column + j, sizeof(double) * (n - j));
        }
        const LaneMask absent = p == -1.0;
        const LaneMask rowNumber = (p >= 1.0) & (p <= rows) & ((p + roundingShift) - roundingShift == p);
        wellFormed &= absent | rowNumber;
        negativeAbsentCount += absent;
        const Lanes expected = (state & offset) != 0 ? stateValue - static_cast<double>(offset - 1) : absentEntries;
        subsetLayout &= (p == expected) | (stateValue >= rows);
        state += kLanes;
        stateValue += kLanes;
    }
    ColumnScan scan{(static_cast<std::int64_t>(n) + kLanes - 1) / kLanes * kLanes, true, offset > 0};
    for (std::int32_t lane = 0; lane < kLanes; ++lane) {
        scan.predecessors += negativeAbsentCount[lane];
        scan.wellFormed = scan.wellFormed && wellFormed[lane] != 0;
        scan.subsetLayout = scan.subsetLayout && subsetLayout[lane] != 0;
    }
    return scan;
}

}  // namespace

bool scanPredecessors(const ForwardInputs& in, std::int32_t K, std::int32_t threads, PredecessorScan* scan,
                      Fault* fault) {
    const std::int32_t n = in.membership.rows;
    auto* offsets = scratchArray<std::int32_t>(static_cast<std::size_t>(K));
    auto* columns = scratchArray<ColumnScan>(static_cast<std::size_t>(K));
    splitWork(threads, [&](std::int32_t member, std::int32_t shares) {
        for (std::int32_t k = shareStart(K, member, shares); k < shareStart(K, member + 1, shares); ++k) {
            const double* column = in.predecessors.data + static_cast<std::int64_t>(k) * n;
            offsets[k] = subsetOffset(column, n);
            columns[k] = scanColumn(column, n, offsets[k]);
        }
    });
    bool subsetLayout = K > 0;
    scan->predecessors = 0;
    for (std::int32_t k = 0; k < K; ++k) {
        const double* column = in.predecessors.data + static_cast<std::int64_t>(k) * n;
        if (!columns[k].wellFormed) {
            std::int32_t j = 0;
            while (column[j] == -1.0 || isWholeInRange(column[j], 1.0, n)) ++j;
            setFault(*fault, "badPredecessor", "P",
                     "entry (%d, %d) must be -1 or a whole number from 1 to %d; found %.17g.",
                     j + 1, k + 1, n, column[j]);
            return false;
        }
        scan->predecessors += columns[k].predecessors;
        subsetLayout = subsetLayout && columns[k].subsetLayout;
    }
    scan->subsetOffsets = subsetLayout ? offsets : nullptr;
    return true;
}

PredecessorTerms listTerms(const ForwardInputs& in, const std::int32_t* Q, std::int32_t K,
                           std::int64_t predecessors) {
    const std::int32_t n = in.membership.rows;
    PredecessorTerms terms;
    terms.termStart = scratchArray<std::int64_t>(static_cast<std::size_t>(n) + 1);
    // Every entry is written to the next slot, which only a predecessor
    // keeps: no branch on entries that come as they may. Hence one spare slot.
    terms.predecessor = scratchArray<std::int32_t>(static_cast<std::size_t>(predecessors) + 1);
    terms.symbol = scratchArray<std::int32_t>(static_cast<std::size_t>(predecessors) + 1);
    std::int64_t written = 0;
    for (std::int32_t j = 0; j < n; ++j) {
        terms.termStart[j] = written;
        for (std::int32_t k = 0; k < K; ++k) {
            double p = in.predecessors.data[j + static_cast<std::int64_t>(k) * n];
            terms.predecessor[written] = static_cast<std::int32_t>(p) - 1;
            terms.symbol[written] = Q[k];
            written += p != -1.0;
        }
    }
    terms.termStart[n] = written;
    return terms;
}
