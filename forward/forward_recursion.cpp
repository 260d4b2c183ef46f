#include "forward/forward_recursion.hpp"

#include <algorithm>
#include <cmath>

#include "forward/initial_column.hpp"
#include "forward/step_driver.hpp"

namespace {

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
    const ForwardResult& result_;
    double logScale_ = 0.0;
    std::int32_t next_ = 0;  // in chosen.byStep: the first chosen step not yet written
};

}  // namespace

bool forwardRecursion(const ForwardPlan& plan, bool normalize, const ForwardResult& result, Fault* fault) {
    StepDriver driver(plan, normalize);
    StepRecorder recorder(plan, result);
    writeStepOne(plan, driver.column());
    recorder.stepDone(1, driver.column(), 1.0);
    return driver.run(1, plan.lastStep, recorder, fault);
}
