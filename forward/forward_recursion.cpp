#include "forward/forward_recursion.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "arrays/column_major.hpp"
#include "kernel/scratch.hpp"
#include "forward/fork_join.hpp"
#include "forward/forward_steps.hpp"
#include "forward/step_team.hpp"

namespace {

// Truncation toward zero of a double into a signed 32-bit integer, with NaN
// and values beyond the range mapped to `outside`.
std::int64_t truncateOr(double x, std::int64_t outside) {
    if (!(x > -kInt32Max - 2.0 && x < kInt32Max + 1.0)) return outside;
    return static_cast<std::int64_t>(std::trunc(x));
}

bool checkStepCount(const ForwardInputs& in, std::int32_t* steps, Fault* fault) {
    if (!in.stepCount.data) {
        setFault(*fault, "badStepCount", "T", "must be a whole number from 1 to 2147483647; found an empty array.");
        return false;
    }
    double t = in.stepCount.data[0];
    if (!isWholeInRange(t, 1.0, kInt32Max)) {
        setFault(*fault, "badStepCount", "T", "must be a whole number from 1 to 2147483647; found %.17g.", t);
        return false;
    }
    *steps = static_cast<std::int32_t>(t);
    const std::int32_t L = in.membership.cols;
    std::int64_t needed = static_cast<std::int64_t>(L) * *steps;
    if (in.observations.count < needed) {
        setFault(*fault, "observationsTooShort", "O",
                 "must hold at least L x T = %lld elements (L = %d symbols, T = %d steps); found %lld.",
                 static_cast<long long>(needed), L, *steps, static_cast<long long>(in.observations.count));
        return false;
    }
    return true;
}

// From this many entries of S or P on, reading them on two threads gains
// more than the start of the second costs (bench_forward's plan runs).
constexpr std::int64_t kThreadedEntries = 1 << 21;

// Rows of S summed per pass over its columns: the block's sums stay in the
// first-level cache while S is read in its own order.
constexpr std::int32_t kRowBlock = 2048;

// Step 0 for rows [first, last): a state with exactly one member (by its
// truncated row sum) starts with that member's weight; every other state
// starts at 0. Each row sum adds the columns in ascending order from 0.0, as
// rowSum does; column holds the sums of a block until they are replaced.
// Returns the first row that sums to one member but holds no entry equal to
// 1, or last when there is none. The sums are set to 0.0 before they are
// read: a first read of fresh scratch would map a zero page that the first
// write then replaces, two faults per page instead of one.
std::int32_t initialWeights(const ForwardInputs& in, double* column, std::int32_t first, std::int32_t last) {
    const std::int32_t n = in.membership.rows;
    for (std::int32_t low = first; low < last; low += kRowBlock) {
        const std::int32_t high = std::min(low + kRowBlock, last);
        std::fill(column + low, column + high, 0.0);
        for (std::int32_t c = 0; c < in.membership.cols; ++c) {
            const double* entries = in.membership.data + static_cast<std::int64_t>(c) * n;
            for (std::int32_t i = low; i < high; ++i) column[i] = column[i] + entries[i];
        }
        for (std::int32_t i = low; i < high; ++i) {
            const double sum = column[i];
            column[i] = 0.0;
            if (truncateOr(sum, 0) != 1) continue;
            std::int32_t member = -1;
            for (std::int32_t c = 0; c < in.membership.cols && member < 0; ++c) {
                if (in.membership.data[i + static_cast<std::int64_t>(c) * n] == 1.0) member = c;
            }
            if (member < 0) return i;
            column[i] = in.observations.data[member];
        }
    }
    return last;
}

// Step 0 into column, the rows shared between as many
// threads as the size of S calls for; the fault names the first row without
// its member entry.
bool buildInitialColumn(const ForwardInputs& in, std::int32_t requestedThreads, double* column,
                        Fault* fault) {
    const std::int32_t n = in.membership.rows;
    const std::int32_t threads =
        teamSize(static_cast<std::int64_t>(n) * in.membership.cols, kThreadedEntries, requestedThreads);
    std::int32_t faultRow[kMaxThreads];
    splitWork(threads, [&](std::int32_t member, std::int32_t shares) {
        const std::int32_t first = shareStart(n, member, shares);
        faultRow[member] = initialWeights(in, column, first, shareStart(n, member + 1, shares));
    });
    for (std::int32_t member = 0; member < threads; ++member) {
        std::int32_t row = faultRow[member];
        if (row == shareStart(n, member + 1, threads)) continue;
        setFault(*fault, "noMemberEntry", "S",
                 "row %d sums to %.17g, one member, and must hold an entry equal to 1; found none.",
                 row + 1, rowSum(in.membership.data, row, n, in.membership.cols));
        return false;
    }
    return true;
}

// K, the number of symbols of the last state, from its row of S.
bool lastStateSymbolCount(const ForwardInputs& in, std::int32_t* K, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    double sum = rowSum(in.membership.data, n - 1, n, in.membership.cols);
    std::int64_t whole = truncateOr(sum, -1);
    std::int32_t ones = countEqual(in.membership.data, n - 1, n, in.membership.cols, 1.0);
    if (whole < 0 || ones > whole) {
        setFault(*fault, "badLastState", "S",
                 "the last row (row %d) must sum to a number whose whole part is from 0 to 2147483647 and at least "
                 "its count of entries equal to 1; found sum %.17g with %d entries equal to 1.",
                 n, sum, ones);
        return false;
    }
    *K = static_cast<std::int32_t>(whole);
    return true;
}

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

// Reads the n x K predecessor entries once, validating each and checking
// whether the table has the subset-offset layout; any other table is then
// read again into the compact form that skips the -1 entries.
bool compactPredecessors(const ForwardInputs& in, std::int32_t K, ForwardPlan* plan, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    std::int64_t needed = static_cast<std::int64_t>(n) * K;
    if (in.predecessors.count < needed) {
        setFault(*fault, "predecessorsTooShort", "P",
                 "must hold at least n x K = %lld elements (n = %d states, K = %d symbols of the last state); found "
                 "%lld.",
                 static_cast<long long>(needed), n, K, static_cast<long long>(in.predecessors.count));
        return false;
    }
    // Q, the symbols of the last state, is taken only once P is known to be
    // that large: K comes from a sum that no array bounds before.
    std::int32_t* Q = positionsEqualInto(in.membership.data, n - 1, n, in.membership.cols, K, 1.0);
    auto* offsets = scratchArray<std::int32_t>(static_cast<std::size_t>(K));
    auto* scans = scratchArray<ColumnScan>(static_cast<std::size_t>(K));
    splitWork(teamSize(needed, kThreadedEntries, plan->threads), [&](std::int32_t member, std::int32_t shares) {
        for (std::int32_t k = shareStart(K, member, shares); k < shareStart(K, member + 1, shares); ++k) {
            const double* column = in.predecessors.data + static_cast<std::int64_t>(k) * n;
            offsets[k] = subsetOffset(column, n);
            scans[k] = scanColumn(column, n, offsets[k]);
        }
    });
    bool subsetLayout = K > 0;
    std::int64_t valid = 0;
    for (std::int32_t k = 0; k < K; ++k) {
        const double* column = in.predecessors.data + static_cast<std::int64_t>(k) * n;
        if (!scans[k].wellFormed) {
            std::int32_t j = 0;
            while (column[j] == -1.0 || isWholeInRange(column[j], 1.0, n)) ++j;
            setFault(*fault, "badPredecessor", "P",
                     "entry (%d, %d) must be -1 or a whole number from 1 to %d; found %.17g.",
                     j + 1, k + 1, n, column[j]);
            return false;
        }
        valid += scans[k].predecessors;
        subsetLayout = subsetLayout && scans[k].subsetLayout;
    }
    if (subsetLayout) {
        plan->offsets = {offsets, Q, K};
        return true;
    }
    PredecessorTerms* terms = &plan->terms;
    terms->termStart = scratchArray<std::int64_t>(static_cast<std::size_t>(n) + 1);
    // Every entry is written to the next slot, which only a predecessor
    // keeps: no branch on entries that come as they may. Hence one spare slot.
    terms->predecessor = scratchArray<std::int32_t>(static_cast<std::size_t>(valid) + 1);
    terms->symbol = scratchArray<std::int32_t>(static_cast<std::size_t>(valid) + 1);
    std::int64_t written = 0;
    for (std::int32_t j = 0; j < n; ++j) {
        terms->termStart[j] = written;
        for (std::int32_t k = 0; k < K; ++k) {
            double p = in.predecessors.data[j + static_cast<std::int64_t>(k) * n];
            terms->predecessor[written] = static_cast<std::int32_t>(p) - 1;
            terms->symbol[written] = Q[k];
            written += p != -1.0;
        }
    }
    terms->termStart[n] = written;
    return true;
}

}  // namespace

bool planForward(const ForwardInputs& in, ForwardPlan* plan, Fault* fault) {
    plan->states = in.membership.rows;
    plan->symbols = in.membership.cols;
    plan->observations = in.observations.data;
    if (!checkStepCount(in, &plan->steps, fault)) return false;
    if (in.membership.rows == 0) return true;
    std::int32_t K = 0;
    if (!lastStateSymbolCount(in, &K, fault)) return false;
    // Without predecessor terms every step after the first makes the same
    // column (zeros, NaN once rescaled) whatever came before; a T that no
    // input data bounds (L = 0) must not turn into that many repeats.
    if (K == 0 && plan->steps > 2) plan->steps = 2;
    if (!compactPredecessors(in, K, plan, fault)) return false;
    plan->initialColumn = newPaddedColumn(in.membership.rows);
    return buildInitialColumn(in, plan->threads, plan->initialColumn, fault);
}

void forwardStep(const ForwardPlan& plan, std::int32_t t, const double* previous, double* next, std::int32_t first,
                 std::int32_t last) {
    const double* weights = plan.observations + static_cast<std::int64_t>(t + 1) * plan.symbols;
    if (plan.offsets.offset) {
        stepFromOffsets(plan.offsets, weights, previous, next, first, last);
    } else {
        stepFromTerms(plan.terms, weights, previous, next, first, last);
    }
}

double* forwardRecursion(const ForwardPlan& plan, bool normalize) {
    double* const columns[2] = {plan.initialColumn, newPaddedColumn(plan.states)};
    runSteps(plan, normalize, columns);
    return columns[(plan.steps - 1) % 2];
}
