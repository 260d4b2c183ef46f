#include "arrays/column_major.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/initial_column.hpp"
#include "forward/input_checks.hpp"
#include "forward/input_shapes.hpp"
#include "forward/kernel_copies.hpp"
#include "forward/predecessor_table.hpp"
#include "forward/term_layout.hpp"
#include "kernel/scratch.hpp"
#include "parallel/cores.hpp"

namespace {

// How the steps read the table: the subset layout as it stands, the same
// with the rows placed elsewhere, or else lane terms, which place the rows
// by their number of terms. Sets plan->offsets or plan->terms, and
// plan->order.
bool layOutTable(const ForwardInputs& in, std::int32_t* Q, std::int32_t K, ForwardPlan* plan, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    PredecessorScan scan;
    const std::int32_t threads = teamSize(std::int64_t{n} * K, kThreadedTableEntries, plan->threads);
    if (!scanPredecessors(in, K, threads, *plan->kernels, &scan, fault)) return false;
    std::int32_t* places = nullptr;
    if (scan.subsetOffsets) {
        plan->offsets = {scan.subsetOffsets, Q, K};
    } else if ((places = subsetPlaces(in, K, threads))) {
        auto* offsets = scratchArray<std::int32_t>(static_cast<std::size_t>(K));
        for (std::int32_t k = 0; k < K; ++k) offsets[k] = std::int32_t{1} << k;
        plan->offsets = {offsets, Q, K};
    } else {
        plan->terms = layLaneTerms(in, Q, K, &places);
    }
    plan->order = {places, n};
    return true;
}

}  // namespace

bool planForward(const ForwardInputs& in, const ForwardOptions& options, ForwardPlan* plan, Fault* fault) {
    if (!checkStepCount(in, &plan->stepCount, fault)) return false;
    if (!chooseSteps(in, plan, fault)) return false;
    return planStates(in, options, plan, fault);
}

bool planStates(const ForwardInputs& in, const ForwardOptions& options, ForwardPlan* plan, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    plan->states = n;
    plan->symbols = in.membership.cols;
    plan->observations = in.observations.data;
    plan->threads = options.threads;
    plan->kernels = &kernelCopy(options.instructionSet);
    plan->order = {nullptr, n};
    plan->lastSymbols = nullptr;
    if (n == 0) return true;
    std::int32_t K = 0;
    if (!lastStateSymbolCount(in, &K, fault)) return false;
    plan->predecessorColumns = K;
    // Without predecessor terms every step after the first makes the same
    // column (zeros, NaN once rescaled) whatever came before; a T that no
    // input data bounds (L = 0) must not turn into that many repeats.
    if (K == 0 && plan->lastStep > 2) plan->lastStep = 2;
    if (!checkPredecessorsShape(in, K, fault)) return false;
    if (!checkPredecessorCount(in, K, fault)) return false;
    // Q, the symbols of the last state, is taken only once P is known to be
    // that large: K comes from a sum that no array bounds before.
    std::int32_t* Q = positionsEqualInto(in.membership.data, n - 1, n, in.membership.cols, K, 1.0);
    plan->lastSymbols = Q;
    if (!layOutTable(in, Q, K, plan, fault)) return false;
    plan->firstMember = firstMembers(in, plan->threads, fault);
    return plan->firstMember != nullptr;
}
