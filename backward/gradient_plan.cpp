#include <algorithm>
#include <cmath>

#include "arrays/column_major.hpp"
#include "backward/backward_steps.hpp"
#include "backward/gradient.hpp"
#include "forward/forward_steps.hpp"
#include "forward/input_checks.hpp"
#include "kernel/scratch.hpp"

namespace {

// Kept columns always fit in this many bytes, however few the states.
constexpr std::int64_t kMinimumBudget = std::int64_t{64} << 20;

// The successors of every place of a table read as lane terms (see
// SuccessorTable), with symbol Q[k] for column k.
SuccessorTable successorsOf(const ForwardInputs& in, const std::int32_t* Q, std::int32_t K, const ColumnOrder& order) {
    const std::int32_t n = in.membership.rows;
    const double* P = in.predecessors.data;
    SuccessorTable table{scratchArray<std::int64_t>(static_cast<std::size_t>(n) + 1), nullptr, nullptr};
    for (std::int64_t e = 0; e < std::int64_t{n} * K; ++e) {
        if (P[e] != -1.0) ++table.start[order.placeOf(static_cast<std::int32_t>(P[e]) - 1) + 1];
    }
    for (std::int32_t i = 0; i < n; ++i) table.start[i + 1] += table.start[i];
    table.successor = scratchArray<std::int32_t>(static_cast<std::size_t>(table.start[n]));
    table.symbol = scratchArray<std::int32_t>(static_cast<std::size_t>(table.start[n]));
    auto* next = scratchArray<std::int64_t>(static_cast<std::size_t>(n));
    std::copy(table.start, table.start + n, next);
    for (std::int32_t k = 0; k < K; ++k) {
        for (std::int32_t j = 0; j < n; ++j) {
            const double p = P[j + static_cast<std::int64_t>(k) * n];
            if (p == -1.0) continue;
            const std::int64_t slot = next[order.placeOf(static_cast<std::int32_t>(p) - 1)]++;
            table.successor[slot] = order.placeOf(j);
            table.symbol[slot] = Q[k];
        }
    }
    return table;
}

// Every column where T of them fit the budget, else one every ceil(sqrt(T))
// steps: then the kept ones, the columns of one segment between them and the
// sweep's own stay within 2 ceil(sqrt(T)) + 8 columns.
void chooseInterval(const GradientOptions& options, GradientPlan* plan) {
    const std::int64_t T = plan->forward.stepCount;
    const std::int64_t root = static_cast<std::int64_t>(std::ceil(std::sqrt(static_cast<double>(T))));
    const std::int64_t columnBytes = std::int64_t{plan->forward.states} * static_cast<std::int64_t>(sizeof(double));
    std::int64_t budget = std::max(kMinimumBudget, (2 * root + 8) * columnBytes);
    if (options.columnBudget > 0) budget = options.columnBudget;
    const std::int64_t stride = plan->columnStride * static_cast<std::int64_t>(sizeof(double));
    plan->interval = T * stride <= budget ? 1 : static_cast<std::int32_t>(root);
}

}  // namespace

bool planGradient(const GradientInputs& in, const GradientOptions& options, GradientPlan* plan, Fault* fault) {
    if (!planForward(in.forward, options.forward, &plan->forward, fault)) return false;
    if (!planGradientStates(in, options, plan, fault)) return false;
    fitSequence(options, plan);
    return true;
}

bool planGradientStates(const GradientInputs& in, const GradientOptions& options, GradientPlan* plan, Fault* fault) {
    const std::int32_t n = in.forward.membership.rows;
    const std::int32_t L = in.forward.membership.cols;
    if (!checkFinalWeights(in.finalWeights, n, fault)) return false;
    plan->finalWeights = in.finalWeights.count > 0 ? in.finalWeights.data : nullptr;
    plan->derivatives = in.derivatives || in.posteriors;
    plan->everyStep = in.posteriors && !in.forward.stepsChosen;
    plan->backward = &backwardCopy(options.forward.instructionSet);
    plan->interval = 1;
    if (n == 0) return true;
    const std::int32_t K = plan->forward.predecessorColumns;
    const std::int32_t* Q = plan->forward.lastSymbols;
    auto* lastSymbol = scratchArray<bool>(static_cast<std::size_t>(L));
    for (std::int32_t k = 0; k < K; ++k) lastSymbol[Q[k]] = true;
    plan->lastSymbol = lastSymbol;
    if (plan->derivatives && !plan->forward.offsets.offset) {
        plan->successors = successorsOf(in.forward, Q, K, plan->forward.order);
    }
    plan->columnStride = (std::int64_t{n} + kMaxLanes + kStateUnit - 1) / kStateUnit * kStateUnit;
    return true;
}

void fitSequence(const GradientOptions& options, GradientPlan* plan) {
    const ForwardPlan& fp = plan->forward;
    plan->zeroLikelihood = fp.states == 0 || (fp.predecessorColumns == 0 && fp.stepCount >= 2);
    plan->interval = 1;
    if (fp.states > 0) chooseInterval(options, plan);
}
