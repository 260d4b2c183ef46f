#include "forward/input_checks.hpp"

#include <algorithm>
#include <cmath>

#include "arrays/column_major.hpp"
#include "forward/input_shapes.hpp"
#include "kernel/scratch.hpp"

bool checkStepCount(const ForwardInputs& in, std::int32_t* stepCount, Fault* fault) {
    if (!in.stepCount.data) {
        setFault(*fault, "badStepCount", "T", "must be a whole number from 1 to 2147483647; found an empty array.");
        return false;
    }
    double t = in.stepCount.data[0];
    if (!isWholeInRange(t, 1.0, kInt32Max)) {
        setFault(*fault, "badStepCount", "T", "must be a whole number from 1 to 2147483647; found %.17g.", t);
        return false;
    }
    *stepCount = static_cast<std::int32_t>(t);
    if (!checkObservationsShape(in, fault)) return false;
    const std::int32_t L = in.membership.cols;
    std::int64_t needed = static_cast<std::int64_t>(L) * *stepCount;
    if (in.observations.count < needed) {
        setFault(*fault, "observationsTooShort", "O",
                 "must hold at least L x T = %lld elements (L = %d symbols, T = %d steps); found %lld.",
                 static_cast<long long>(needed), L, *stepCount, static_cast<long long>(in.observations.count));
        return false;
    }
    return true;
}

bool chooseSteps(const ForwardInputs& in, ForwardPlan* plan, Fault* fault) {
    ChosenSteps& chosen = plan->chosen;
    plan->lastStep = plan->stepCount;
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
        if (!isWholeInRange(step, 1.0, plan->stepCount)) {
            setFault(*fault, "badSteps", "steps", "element %d must be a whole number from 1 to T = %d; found %.17g.",
                     i + 1, plan->stepCount, step);
            return false;
        }
        last = std::max(last, step);
    }
    plan->lastStep = static_cast<std::int32_t>(last);
    chosen.byStep = scratchArray<std::int32_t>(static_cast<std::size_t>(chosen.count));
    for (std::int32_t i = 0; i < chosen.count; ++i) chosen.byStep[i] = i;
    std::sort(chosen.byStep, chosen.byStep + chosen.count,
              [&chosen](std::int32_t a, std::int32_t b) { return chosen.steps[a] < chosen.steps[b]; });
    return true;
}

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

bool checkFinalWeights(const ArrayView& w, std::int32_t n, Fault* fault) {
    if (w.count == 0) return true;
    if (w.count != n) {
        setFault(*fault, "badFinalWeights", "w", "must hold n = %d entries, one per row of S, or none; found %lld.", n,
                 static_cast<long long>(w.count));
        return false;
    }
    for (std::int64_t j = 0; j < w.count; ++j) {
        if (std::isfinite(w.data[j]) && w.data[j] >= 0.0) continue;
        setFault(*fault, "badFinalWeights", "w", "entry %lld must be finite and at least 0; found %.17g.",
                 static_cast<long long>(j + 1), w.data[j]);
        return false;
    }
    return true;
}
