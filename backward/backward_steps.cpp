#include "backward/backward_steps.hpp"

#include <algorithm>

const BackwardCopy& backwardCopy(InstructionSet set) {
    return copyFor(set, kBaselineBackward, kAvx2Backward, kAvx512Backward);
}

void laneBackward(const LaneTerms& terms, const SuccessorTable& successors, const BackwardStep& step,
                  std::int32_t first, std::int32_t last, double* partial) {
    last = std::min(last, step.states);
    for (std::int32_t i = first; i < last; ++i) {
        const double here = step.forward[i];
        const double later = step.later[i];
        double own = 0.0;
        std::int64_t slot = terms.groupStart[i / kLaneGroup] + i % kLaneGroup;
        for (std::int32_t e = 0; e < terms.termCount[i]; ++e, slot += kLaneGroup) {
            const std::int32_t symbol = terms.symbol[slot];
            own = own + step.weights[symbol];
            double x = step.forward[terms.predecessor[slot]];
            x = x + here;
            x = x * later;
            partial[symbol] = partial[symbol] + x;
        }
        double gather = 0.0;
        for (std::int64_t s = successors.start[i]; s < successors.start[i + 1]; ++s) {
            gather = gather + step.later[successors.successor[s]] * step.weights[successors.symbol[s]];
        }
        double b = later * own;
        b = gather + b;
        step.earlier[i] = b / step.divisor;
    }
}
