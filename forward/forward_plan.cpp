#include <algorithm>
#include <cmath>

#include "arrays/column_major.hpp"
#include "forward/fork_join.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/forward_steps.hpp"
#include "forward/input_shapes.hpp"
#include "forward/kernel_copies.hpp"
#include "forward/predecessor_table.hpp"
#include "forward/term_layout.hpp"
#include "kernel/scratch.hpp"

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

// The chosen steps, each a whole number from 1 to T, sorted by step into
// plan->chosen, and the last of them as the steps to compute; step T alone
// when none are chosen.
bool chooseSteps(const ForwardInputs& in, ForwardPlan* plan, Fault* fault) {
    ChosenSteps& chosen = plan->chosen;
    if (!in.stepsChosen) {
        chosen = {in.stepCount.data, 1, scratchArray<std::int32_t>(1)};  // T is its first element
        return true;
    }
    if (in.steps.count > static_cast<std::int64_t>(kInt32Max)) {
        setFault(*fault, "badSteps", "steps", "must hold fewer than 2^31 entries; found %lld.",
                 static_cast<long long>(in.steps.count));
        return false;
    }
    chosen = {in.steps.data, static_cast<std::int32_t>(in.steps.count), nullptr};
    double last = 1.0;
    for (std::int32_t i = 0; i < chosen.count; ++i) {
        const double step = chosen.steps[i];
        if (!isWholeInRange(step, 1.0, plan->steps)) {
            setFault(*fault, "badSteps", "steps", "element %d must be a whole number from 1 to T = %d; found %.17g.",
                     i + 1, plan->steps, step);
            return false;
        }
        last = std::max(last, step);
    }
    plan->steps = static_cast<std::int32_t>(last);
    chosen.byStep = scratchArray<std::int32_t>(static_cast<std::size_t>(chosen.count));
    for (std::int32_t i = 0; i < chosen.count; ++i) chosen.byStep[i] = i;
    std::sort(chosen.byStep, chosen.byStep + chosen.count,
              [&chosen](std::int32_t a, std::int32_t b) { return chosen.steps[a] < chosen.steps[b]; });
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

// Whether P holds the n x K entries the steps read.
bool checkPredecessorCount(const ForwardInputs& in, std::int32_t K, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    std::int64_t needed = static_cast<std::int64_t>(n) * K;
    if (in.predecessors.count >= needed) return true;
    setFault(*fault, "predecessorsTooShort", "P",
             "must hold at least n x K = %lld elements (n = %d states, K = %d symbols of the last state); found "
             "%lld.",
             static_cast<long long>(needed), n, K, static_cast<long long>(in.predecessors.count));
    return false;
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
bool buildInitialColumn(const ForwardInputs& in, std::int32_t requestedThreads, double* column, Fault* fault) {
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
                 "row %d sums to %.17g, one member, and must hold an entry equal to 1; found none.", row + 1,
                 rowSum(in.membership.data, row, n, in.membership.cols));
        return false;
    }
    return true;
}

}  // namespace

bool planForward(const ForwardInputs& in, ForwardPlan* plan, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    plan->states = n;
    plan->symbols = in.membership.cols;
    plan->observations = in.observations.data;
    if (!checkObservationsShape(in, fault)) return false;
    if (!checkStepCount(in, &plan->steps, fault)) return false;
    if (!chooseSteps(in, plan, fault)) return false;
    if (n == 0) return true;
    std::int32_t K = 0;
    if (!lastStateSymbolCount(in, &K, fault)) return false;
    // Without predecessor terms every step after the first makes the same
    // column (zeros, NaN once rescaled) whatever came before; a T that no
    // input data bounds (L = 0) must not turn into that many repeats.
    if (K == 0 && plan->steps > 2) plan->steps = 2;
    if (!checkPredecessorsShape(in, K, fault)) return false;
    if (!checkPredecessorCount(in, K, fault)) return false;
    // Q, the symbols of the last state, is taken only once P is known to be
    // that large: K comes from a sum that no array bounds before.
    std::int32_t* Q = positionsEqualInto(in.membership.data, n - 1, n, in.membership.cols, K, 1.0);
    const KernelCopy& copy = kernelCopy(plan->instructionSet);
    plan->instructionSet = resolved(plan->instructionSet);
    PredecessorScan scan;
    const std::int32_t tableThreads = teamSize(std::int64_t{n} * K, kThreadedEntries, plan->threads);
    if (!scanPredecessors(in, K, tableThreads, copy, &scan, fault)) return false;
    std::int32_t* places = nullptr;
    if (scan.subsetOffsets) {
        plan->offsets = {scan.subsetOffsets, Q, K};
    } else if ((places = subsetPlaces(in, K, tableThreads))) {
        auto* offsets = scratchArray<std::int32_t>(static_cast<std::size_t>(K));
        for (std::int32_t k = 0; k < K; ++k) offsets[k] = std::int32_t{1} << k;
        plan->offsets = {offsets, Q, K};
    } else {
        plan->terms = layLaneTerms(in, Q, K, &places);
    }
    plan->place = places;
    double* rowOrder = newPaddedColumn(n);
    if (!buildInitialColumn(in, plan->threads, rowOrder, fault)) return false;
    plan->initialColumn = rowOrder;
    if (places) {
        plan->initialColumn = newPaddedColumn(n);
        for (std::int32_t j = 0; j < n; ++j) plan->initialColumn[places[j]] = rowOrder[j];
    }
    return true;
}
