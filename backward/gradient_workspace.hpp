// What one thread keeps for the sequences it runs: the gradient of each
// sequence of a batch in the scratch of the one before.
#ifndef BACKWARD_GRADIENT_WORKSPACE_HPP
#define BACKWARD_GRADIENT_WORKSPACE_HPP

#include "backward/gradient.hpp"
#include "backward/kept_columns.hpp"
#include "forward/step_driver.hpp"

// The scratch of one thread's sequences, taken once on the calling thread:
// the driver, room for the kept columns of the longest sequence (`room`),
// and the backward sweep's columns.
class GradientWorkspace {
public:
    GradientWorkspace(const GradientPlan& shape, const KeptRoom& room, CallStop& stop, bool onCallingThread);

    StepDriver driver;
    KeptColumns kept;
    double* later;
    double* earlier;
    double* partials;
};

// gradientRecursion of one sequence in a workspace made for its state space
// (null where plan.zeroLikelihood: then nothing runs).
bool gradientSequence(const GradientPlan& plan, GradientWorkspace* workspace, const GradientResult& result,
                      Fault* fault);

#endif
