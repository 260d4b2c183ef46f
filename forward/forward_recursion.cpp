#include "forward/forward_recursion.hpp"

#include "forward/step_driver.hpp"
#include "forward/step_recorder.hpp"

bool forwardRecursion(const ForwardPlan& plan, bool normalize, const ForwardResult& result, Fault* fault) {
    const ForwardPlan steps = StepDriver::stepsOnly(plan, normalize);
    StepDriver driver(steps, normalize);
    StepRecorder recorder(plan, result);
    driver.startSequence(plan);
    recorder.stepDone(1, driver.column(), 1.0);
    return driver.run(1, plan.lastStep, recorder, fault);
}
