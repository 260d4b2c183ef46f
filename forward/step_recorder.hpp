// The observer of a call's steps that keeps what the call returns.
#ifndef FORWARD_STEP_RECORDER_HPP
#define FORWARD_STEP_RECORDER_HPP

#include <algorithm>
#include <cmath>

#include "forward/step_driver.hpp"

// Writes the chosen steps into the result as they are reached: the weights
// of every chosen step that is the finished one (a chosen step past the last
// one computed is the last one, which every later step repeats), with the
// log scale so far, ((0 + log(c_2)) + log(c_3)) + ... over the divisors.
class StepRecorder final : public StepObserver {
public:
    StepRecorder(const ForwardPlan& plan, const ForwardResult& result) : plan_(plan), result_(result) {}

    void stepDone(std::int32_t step, const double* column, double divisor) override {
        logScale_ = logScale_ + std::log(divisor);
        const ChosenSteps& chosen = plan_.chosen;
        for (; next_ < chosen.count; ++next_) {
            const std::int32_t position = chosen.byStep[next_];
            const double wanted = std::min(chosen.steps[position], static_cast<double>(plan_.lastStep));
            if (wanted != step) return;
            plan_.order.copyToRows(column, result_.weights + std::int64_t{position} * plan_.states);
            if (result_.logScale) result_.logScale[position] = logScale_;
        }
    }

private:
    const ForwardPlan& plan_;
    const ForwardResult result_;
    double logScale_ = 0.0;
    std::int32_t next_ = 0;  // in chosen.byStep: the first chosen step not yet written
};

#endif
