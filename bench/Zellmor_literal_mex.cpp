// The literal forward recursion of tests/reference as an Octave module: the
// yardstick that bench_octave.m times Zellmor_raw_mex against, each in a
// fresh host process. F = Zellmor_literal_mex(T, O, S, P) returns what
// Zellmor_raw_mex(T, O, S, P) does. The literal walk trusts its inputs, so
// the real module's checks vet them first.
#include <algorithm>
#include <vector>

#include "forward/forward_recursion.hpp"
#include "host/gateway.hpp"
#include "kernel/fault.hpp"
#include "literal.hpp"

namespace {

constexpr contract::Input kInputs[] = {contract::kForwardInputs[0], contract::kForwardInputs[1],
                                       contract::kForwardInputs[2], contract::kForwardInputs[3]};
constexpr contract::Module kLiteral = {"Zellmor_literal_mex", kInputs, contract::kRawOutputs, contract::kCallRejections,
                                       contract::kForwardRejections};

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const host::Arguments args = host::readArguments(kLiteral, nlhs, nrhs, prhs);
    using namespace contract;
    const ForwardInputs inputs{
        args[kStepCountSlot], args[kObservationsSlot], args[kMembershipSlot], args[kPredecessorsSlot], {}, false};
    ForwardPlan plan{};
    Fault fault;
    if (!planForward(inputs, ForwardOptions{}, &plan, &fault)) host::reject(kLiteral, fault);
    const std::int32_t n = inputs.membership.rows;
    const double T = inputs.stepCount.data[0];
    // Its table of n x T weights is counted in 32 bits.
    if (static_cast<double>(n) * T >= 2147483648.0) {
        setFault(fault, "tooLarge", nullptr, "n x T must be below 2^31; found %d x %.0f.", n, T);
        host::reject(kLiteral, fault);
    }
    double* F = host::createResult(plhs, n, 1);
    if (n == 0) return;
    const std::vector<double> last =
        literal::forwardRecursion(T, inputs.observations.data, inputs.membership.data, inputs.predecessors.data, n,
                                  inputs.membership.cols, false);
    std::copy(last.begin(), last.end(), F);
}
