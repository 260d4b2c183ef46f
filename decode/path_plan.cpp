#include <algorithm>
#include <cmath>
#include <limits>

#include "arrays/column_major.hpp"
#include "decode/path_copies.hpp"
#include "decode/path_workspace.hpp"
#include "forward/forward_steps.hpp"
#include "forward/input_checks.hpp"

namespace {

// Trace of every step kept up to this many bytes.
constexpr std::int64_t kTraceBudget = std::int64_t{64} << 20;

}  // namespace

bool checkObservationWeights(const ArrayView& O, std::int32_t L, std::int32_t T, Fault* fault) {
    const std::int64_t count = std::int64_t{L} * T;
    for (std::int64_t e = 0; e < count; ++e) {
        const double x = O.data[e];
        if (x >= 0.0 && x < std::numeric_limits<double>::infinity()) continue;
        const long long element = e + 1, symbol = e % L + 1, step = e / L + 1;
        if (x > 0.0) {
            setFault(*fault, "infiniteWeight", "O", "element %lld (symbol %lld, step %lld) must be finite; found Inf.",
                     element, symbol, step);
        } else {
            setFault(*fault, "negativeWeight", "O",
                     "element %lld (symbol %lld, step %lld) must be a weight, at least 0; found %.17g.", element,
                     symbol, step, x);
        }
        return false;
    }
    return true;
}

bool planPathStates(const ForwardInputs& states, const ArrayView& finalWeights, bool path, const PathOptions& options,
                    PathPlan* plan, Fault* fault) {
    const ForwardPlan& fp = plan->forward;
    const std::int32_t n = fp.states;
    if (!checkFinalWeights(finalWeights, n, fault)) return false;
    plan->finalWeights = finalWeights.count > 0 ? finalWeights.data : nullptr;
    plan->largestFinalWeight = plan->finalWeights ? *std::max_element(plan->finalWeights, plan->finalWeights + n) : 1.0;
    plan->path = path;
    plan->exactOnly = options.exactOnly;
    plan->traceBudget = options.traceBudget > 0 ? options.traceBudget : kTraceBudget;
    plan->kernels = &pathCopy(options.forward.instructionSet);
    const std::int32_t K = fp.predecessorColumns;
    plan->codeWidth = K <= 127 ? CodeWidth::byte : K <= 32767 ? CodeWidth::half : CodeWidth::word;
    plan->codeStride = (std::int64_t{n} + kStateUnit - 1) / kStateUnit * kStateUnit;
    plan->predecessors = states.predecessors.data;
    return true;
}

void fitPathSequence(PathPlan* plan) {
    const ForwardPlan& fp = plan->forward;
    const std::int64_t T = fp.stepCount;
    plan->noPath = fp.states == 0 || (fp.predecessorColumns == 0 && T >= 2);
    const std::int64_t traceBytes = (T - 1) * plan->codeStride * static_cast<std::int64_t>(plan->codeWidth);
    plan->interval = !plan->path || plan->noPath || traceBytes <= plan->traceBudget
                         ? 1
                         : static_cast<std::int32_t>(std::ceil(std::sqrt(static_cast<double>(T))));
}

bool planPath(const PathInputs& in, const PathOptions& options, PathPlan* plan, Fault* fault) {
    if (!planForward(in.forward, options.forward, &plan->forward, fault)) return false;
    if (!checkObservationWeights(in.forward.observations, in.forward.membership.cols, plan->forward.stepCount, fault))
        return false;
    if (!planPathStates(in.forward, in.finalWeights, in.path, options, plan, fault)) return false;
    fitPathSequence(plan);
    return true;
}
