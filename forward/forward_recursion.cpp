#include "forward/forward_recursion.hpp"

#include "forward/step_driver.hpp"
#include "forward/step_recorder.hpp"

bool forwardRecursion(const ForwardPlan& plan, bool normalize, const ForwardResult& result, Fault* fault) {
    // Steps that run on one thread need no second one waiting beside them.
    ForwardPlan steps = plan;
    if (StepDriver::rescalesOnOneThread(plan, normalize)) steps.threads = 1;
    StepDriver driver(steps, normalize);
    StepRecorder recorder(plan, result);
    driver.startSequence(plan);
    recorder.stepDone(1, driver.column(), 1.0);
    return driver.run(1, plan.lastStep, recorder, fault);
}
