#include <algorithm>
#include <cmath>
#include <limits>

#include "backward/backward_steps.hpp"
#include "backward/gradient_workspace.hpp"
#include "forward/forward_steps.hpp"
#include "forward/initial_column.hpp"
#include "kernel/interrupt.hpp"
#include "kernel/scratch.hpp"

namespace {

static_assert(kChunkStates <= kBackwardPlaces, "the subset kernel takes a chunk at a time");

// Where the likelihood is 0 or not a number, no derivative has a value.
void fillUndefined(const GradientPlan& plan, const GradientResult& result) {
    const double undefined = std::numeric_limits<double>::quiet_NaN();
    const ForwardPlan& fp = plan.forward;
    if (result.derivatives) std::fill_n(result.derivatives, std::int64_t{fp.symbols} * fp.stepCount, undefined);
    if (result.posteriors) std::fill_n(result.posteriors, std::int64_t{fp.states} * posteriorColumns(plan), undefined);
}

// w'A over the rows in ascending order, into one accumulator.
double finalWeight(const GradientPlan& plan, const double* column) {
    double sum = 0.0;
    for (std::int32_t j = 0; j < plan.forward.states; ++j) {
        const double a = column[plan.forward.order.placeOf(j)];
        sum = sum + (plan.finalWeights ? plan.finalWeights[j] * a : a);
    }
    return sum;
}

// Writes gamma_t = A_t .* Bh_t, in row order, into each column of the
// result that asks for step t, the steps coming in descending order.
class PosteriorWriter {
public:
    PosteriorWriter(const GradientPlan& plan, double* out)
        : plan_(plan), out_(out), next_(plan.forward.chosen.count - 1) {}

    void write(std::int32_t step, const double* forward, const double* adjoint) {
        if (!out_) return;
        const ChosenSteps& chosen = plan_.forward.chosen;
        if (plan_.everyStep) {
            writeColumn(step - 1, forward, adjoint);
            return;
        }
        for (; next_ >= 0 && chosen.steps[chosen.byStep[next_]] == step; --next_) {
            writeColumn(chosen.byStep[next_], forward, adjoint);
        }
    }

private:
    void writeColumn(std::int32_t column, const double* forward, const double* adjoint) const {
        const std::int32_t n = plan_.forward.states;
        double* out = out_ + std::int64_t{column} * n;
        for (std::int32_t j = 0; j < n; ++j) {
            const std::int32_t place = plan_.forward.order.placeOf(j);
            out[j] = forward[place] * adjoint[place];
        }
    }

    const GradientPlan& plan_;
    double* const out_;
    std::int32_t next_;  // in chosen.byStep: the last position not yet written
};

// One backward step's chunks on the driver's threads: each chunk's partial
// sums of dO in a row of L of its own, added up in ascending chunk order
// afterwards, so that neither the thread count nor the split matter.
struct BackwardPhase {
    const GradientPlan* plan;
    const BackwardCopy* copy;
    BackwardStep step;
    double* partials;  // chunkCount(n) x L
    CallStop* stop;
    bool pollsHost;  // else the host's flag is read on another thread

    bool run(ChunkScheduler& scheduler) {
        BackwardPhase* const self = this;
        ChunkScheduler::Phase phase;
        phase.work = [self](std::int32_t chunk) {
            if (self->stop->stopped()) return;
            const ForwardPlan& fp = self->plan->forward;
            const auto [first, last] = statesOf(chunk, fp.states);
            double* partial = self->partials + std::int64_t{chunk} * fp.symbols;
            std::fill_n(partial, fp.symbols, 0.0);
            if (fp.offsets.offset) {
                self->copy->subsetBackward(fp.offsets, self->step, first, last, partial);
            } else {
                laneBackward(fp.terms, self->plan->successors, self->step, first, last, partial);
            }
        };
        phase.watch = [self](std::int32_t) {
            if (self->pollsHost) self->stop->check(std::int64_t{kChunkStates} * (self->plan->forward.symbols + 1));
        };
        scheduler.run(phase);
        return !stop->stopped();
    }

    // dO(s, t + 1) = (the chunks' sums, ascending) / c_{t+1} for the symbols s
    // of the last state; the others stay 0.
    void addUp(double* derivatives) const {
        const ForwardPlan& fp = plan->forward;
        const std::int32_t chunks = chunkCount(fp.states);
        for (std::int32_t s = 0; s < fp.symbols; ++s) {
            if (!plan->lastSymbol[s]) continue;
            double sum = 0.0;
            for (std::int32_t c = 0; c < chunks; ++c) sum = sum + partials[std::int64_t{c} * fp.symbols + s];
            derivatives[s] = sum / step.divisor;
        }
    }
};

}  // namespace

GradientWorkspace::GradientWorkspace(const GradientPlan& shape, const KeptRoom& room, CallStop& stop,
                                     bool onCallingThread)
    : driver(shape.forward, true, stop, onCallingThread),
      kept(room, shape.columnStride, driver, shape.derivatives),
      later(shape.derivatives ? newPaddedColumn(shape.forward.states + 4 * kMaxLanes) : nullptr),
      earlier(shape.derivatives ? newPaddedColumn(shape.forward.states + 4 * kMaxLanes) : nullptr),
      partials(shape.derivatives ? scratchArray<double>(static_cast<std::size_t>(chunkCount(shape.forward.states)) *
                                                        static_cast<std::size_t>(shape.forward.symbols))
                                 : nullptr) {}

bool gradientRecursion(const GradientPlan& plan, const GradientResult& result, Fault* fault) {
    if (plan.zeroLikelihood) return gradientSequence(plan, nullptr, result, fault);
    CallStop stop;
    GradientWorkspace workspace(plan, keptRoom(plan), stop, true);
    return gradientSequence(plan, &workspace, result, fault);
}

bool gradientSequence(const GradientPlan& plan, GradientWorkspace* workspace, const GradientResult& result,
                      Fault* fault) {
    const ForwardPlan& fp = plan.forward;
    if (plan.zeroLikelihood) {
        *result.logLikelihood = -std::numeric_limits<double>::infinity();
        fillUndefined(plan, result);
        return true;
    }
    StepDriver& driver = workspace->driver;
    KeptColumns& kept = workspace->kept;
    kept.start(plan);
    driver.startSequence(fp);
    kept.stepDone(1, driver.column(), 1.0);
    if (!driver.run(1, fp.stepCount, kept, fault)) return false;
    const double weighted = std::isfinite(kept.logScale()) ? finalWeight(plan, driver.column()) : 1.0;
    *result.logLikelihood = kept.logScale() + std::log(weighted);
    if (!std::isfinite(*result.logLikelihood)) {
        fillUndefined(plan, result);
        return true;
    }
    if (!plan.derivatives) return true;
    const std::int32_t n = fp.states, L = fp.symbols;
    double* later = workspace->later;
    double* earlier = workspace->earlier;
    for (std::int32_t j = 0; j < n; ++j)
        later[fp.order.placeOf(j)] = (plan.finalWeights ? plan.finalWeights[j] : 1.0) / weighted;
    BackwardPhase phase;
    phase.plan = &plan;
    phase.copy = plan.backward;
    phase.partials = workspace->partials;
    phase.stop = &driver.stop();
    phase.pollsHost = driver.pollsHost();
    PosteriorWriter posteriors(plan, result.posteriors);
    for (std::int32_t t = fp.stepCount; t >= 1; --t) {
        const double* forward = kept.column(t, fault);
        if (!forward) return false;
        if (t < fp.stepCount) {
            phase.step = {fp.observations + std::int64_t{t} * L, kept.divisor(t + 1), forward, later, earlier, n};
            if (!phase.run(driver.scheduler())) {
                setInterrupted(*fault);
                return false;
            }
            phase.addUp(result.derivatives + std::int64_t{t} * L);
            std::swap(later, earlier);
        }
        posteriors.write(t, forward, later);
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t symbol = fp.firstMember[i];
        if (symbol >= 0) result.derivatives[symbol] = result.derivatives[symbol] + later[fp.order.placeOf(i)];
    }
    return true;
}
