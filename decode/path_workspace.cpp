#include "decode/path_workspace.hpp"

#include <algorithm>
#include <limits>

#include "kernel/scratch.hpp"

PathRoom pathRoom(const PathPlan& plan) {
    const std::int32_t T = plan.forward.stepCount;
    if (!plan.path || plan.noPath) return {1, 0};
    if (plan.interval == 1) return {std::max(1, T - 1), 0};
    return {plan.interval, (T - 2) / plan.interval + 1};
}

PathRoom largerRoom(const PathRoom& a, const PathRoom& b) {
    return {std::max(a.rows, b.rows), std::max(a.checkpoints, b.checkpoints)};
}

PathWorkspace::PathWorkspace(const PathPlan& shape, const PathRoom& room, CallStop& stop, bool onCallingThread)
    : rowBytes_(shape.codeStride * static_cast<std::int64_t>(shape.codeWidth)),
      trace_(scratchArray<unsigned char>(static_cast<std::size_t>(room.rows * rowBytes_))),
      checkpoints_{scratchArray<unsigned char>(static_cast<std::size_t>(room.checkpoints * checkpointBytes(shape))),
                   checkpointBytes(shape)},
      rescaled_(shape, stop, onCallingThread, checkpoints_),
      exact_(shape, stop, onCallingThread, checkpoints_) {}

// Steps 2 .. T from step 1: every step's codes into its trace row when the
// whole trace is kept; else the weights of steps 1, 1 + m, 1 + 2m, ... into
// the checkpoints (m the interval), the codes into a row that no one reads.
bool PathWorkspace::sweep(PathSteps& steps, const PathPlan& plan, Fault* fault) {
    const std::int32_t T = plan.forward.stepCount, m = plan.interval;
    const bool checkpointed = plan.path && m > 1;
    steps.start(plan);
    if (checkpointed) steps.keep(0);
    for (std::int32_t t = 2; t <= T; ++t) {
        if (!steps.advance(t, row(plan.path && m == 1 ? t - 2 : 0), fault)) return false;
        if (checkpointed && (t - 1) % m == 0 && t < T) steps.keep((t - 1) / m);
    }
    return true;
}

// Going back from the row `last` at step T: each step's code names the term
// that gave the state its weight, the column k of P and whether it was the
// move from P(j, k) or the stay.
bool PathWorkspace::traceBack(PathSteps& steps, const PathPlan& plan, std::int32_t last, const PathResult& result,
                              Fault* fault) {
    const ForwardPlan& fp = plan.forward;
    const std::int32_t T = fp.stepCount, m = plan.interval, n = fp.states;
    std::int32_t j = last;
    const auto back = [&](std::int32_t t, const void* codes) {
        const std::uint32_t code = codeAt(codes, plan.codeWidth, fp.order.placeOf(j));
        std::int32_t k = static_cast<std::int32_t>(code >> 1);
        if (!fp.offsets.offset) {
            // Over lane terms the code counts the state's terms: its k-th.
            std::int32_t term = k;
            for (k = 0; plan.predecessors[j + std::int64_t{k} * n] == -1.0 || term-- > 0; ++k) {
            }
        }
        result.symbols[t - 1] = plan.forward.lastSymbols[k] + 1.0;
        if (result.states) result.states[t - 1] = j + 1.0;
        if ((code & 1) == 0) j = static_cast<std::int32_t>(plan.predecessors[j + std::int64_t{k} * n]) - 1;
    };
    if (m == 1) {
        for (std::int32_t t = T; t >= 2; --t) back(t, row(t - 2));
    } else {
        // Segment q: the steps after 1 + q m up to the next checkpoint.
        for (std::int32_t q = (T - 2) / m; q >= 0; --q) {
            const std::int32_t first = 1 + q * m, end = std::min(first + m, T);
            steps.restore(q);
            for (std::int32_t t = first + 1; t <= end; ++t) {
                if (!steps.advance(t, row(t - first - 1), fault)) return false;
            }
            for (std::int32_t t = end; t > first; --t) back(t, row(t - first - 1));
        }
    }
    result.symbols[0] = fp.firstMember[j] + 1.0;
    if (result.states) result.states[0] = j + 1.0;
    return true;
}

bool PathWorkspace::run(const PathPlan& plan, const PathResult& result, Fault* fault) {
    PathSteps* steps = &rescaled_;
    if (plan.exactOnly) steps = &exact_;
    if (!sweep(*steps, plan, fault)) return false;
    std::int32_t last = 0;
    ScaledNumber best = steps->heaviest(plan.finalWeights, &last);
    if (steps == &rescaled_ && !rescaled_.exactFor(best)) {
        steps = &exact_;
        if (!sweep(*steps, plan, fault)) return false;
        best = steps->heaviest(plan.finalWeights, &last);
    }
    if (best.isZero()) {
        *result.logWeight = -std::numeric_limits<double>::infinity();
        return true;
    }
    *result.logWeight = best.log();
    return !plan.path || traceBack(*steps, plan, last, result, fault);
}

bool pathSequence(const PathPlan& plan, PathWorkspace* workspace, const PathResult& result, Fault* fault) {
    if (plan.noPath) {
        *result.logWeight = -std::numeric_limits<double>::infinity();
        return true;
    }
    return workspace->run(plan, result, fault);
}

bool mostLikelyPath(const PathPlan& plan, const PathResult& result, Fault* fault) {
    if (plan.noPath) return pathSequence(plan, nullptr, result, fault);
    CallStop stop;
    PathWorkspace workspace(plan, pathRoom(plan), stop, true);
    return pathSequence(plan, &workspace, result, fault);
}
