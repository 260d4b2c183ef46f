// A batch of sequences gives each sequence's single call, bit for bit,
// whichever threads take the sequences and however the table is laid out.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "all_subsets.hpp"
#include "backward/gradient_batch.hpp"
#include "forward/forward_batch.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"

namespace {

struct BatchCase {
    std::string label;
    StateSpace space;
    std::vector<double> T;      // 1 or B entries
    std::vector<double> steps;  // none chosen when empty
};
PRINT_CASES_BY_LABEL(BatchCase)

std::vector<BatchCase> batchCases() {
    std::mt19937_64 rng(11);
    const StateSpace subsets = allSubsets(6);
    StateSpace laneTerms = allSubsets(6);
    laneTerms.P[laneTerms.n - 1] = -1.0;  // no row order makes it the subset layout
    return {
        {"subsets, one T per sequence", subsets, {1, 2, 7, 3, 12}, {}},
        {"subsets, one T for all, chosen steps", subsets, {4}, {4, 1, 2, 4}},
        {"relabelled subsets, chosen steps", reshuffled(subsets, 0, rng), {3, 9, 5}, {3, 1, 3}},
        {"lane terms with extra states", reshuffled(laneTerms, 9, rng), {6, 2, 8, 1}, {}},
        {"no predecessor terms", allSubsets(3, 4), {1, 5, 9}, {}},
        {"prefix of the subsets, one T per sequence", allSubsets(6, 45), {5, 9, 3, 16}, {}},
        {"steps split between threads", allSubsets(15), {2, 3}, {}},
    };
}

// A case's sequences: random weights, T from the case (three sequences
// when it gives one T for all).
struct Sequences {
    std::vector<std::vector<double>> O;
    std::vector<ArrayView> views;
    BatchInputs inputs;
};

Sequences sequencesOf(const BatchCase& c) {
    const StateSpace& space = c.space;
    const std::int64_t B = c.T.size() > 1 ? static_cast<std::int64_t>(c.T.size()) : 3;
    std::mt19937_64 rng(static_cast<std::uint64_t>(B));
    std::uniform_real_distribution<double> weight(0.0, 1.0);
    Sequences s;
    s.O.resize(static_cast<std::size_t>(B));
    for (std::int64_t b = 0; b < B; ++b) {
        const double T = c.T[c.T.size() > 1 ? static_cast<std::size_t>(b) : 0];
        for (std::int32_t e = 0; e < space.L * static_cast<std::int32_t>(T); ++e) s.O[b].push_back(weight(rng));
        s.views.push_back(viewOf(s.O[b], space.L, static_cast<std::int32_t>(T)));
    }
    const bool chosen = !c.steps.empty();
    s.inputs = {columnOf(c.T),
                s.views.data(),
                B,
                viewOf(space.S, space.n, space.L),
                viewOf(space.P, space.n, space.K),
                chosen ? columnOf(c.steps) : ArrayView{},
                chosen};
    return s;
}

using Batches = KernelCaseTest<BatchCase>;

TEST_P(Batches, MatchSingleCalls) {
    const BatchCase& c = GetParam();
    const StateSpace& space = c.space;
    const Sequences s = sequencesOf(c);
    const std::vector<std::vector<double>>& O = s.O;
    const BatchInputs& inputs = s.inputs;
    const std::int64_t B = inputs.count;
    const bool chosen = inputs.stepsChosen;
    const std::size_t columns = chosen ? c.steps.size() : 1;
    for (bool normalize : {false, true}) {
        for (std::int32_t threads : {1, 2}) {
            BatchPlan plan{};
            Fault fault;
            ASSERT_TRUE(planBatch(inputs, {threads}, &plan, &fault)) << fault.detail;
            std::vector<double> weights(columns * B * space.n), logScale(columns * B);
            ASSERT_TRUE(forwardBatch(plan, normalize, {weights.data(), logScale.data()}, &fault));
            for (std::int64_t b = 0; b < B; ++b) {
                const double T = *(plan.stepCounts + b * plan.stepCountStride);
                ForwardPlan single{};
                ASSERT_TRUE(planForward(forwardInputsOf(space, O[b], T, chosen ? &c.steps : nullptr), {threads},
                                        &single, &fault));
                const ForwardOutcome expected = runPlanned(single, normalize);
                const auto first = static_cast<std::ptrdiff_t>(b * columns);
                const std::vector<double> got(weights.begin() + first * space.n,
                                              weights.begin() + (first + columns) * space.n);
                const std::vector<double> gotScale(logScale.begin() + first, logScale.begin() + first + columns);
                EXPECT_EQ(firstBitDifference(expected.weights, got), -1)
                    << "sequence " << b + 1 << " threads=" << threads << " normalize=" << normalize;
                EXPECT_EQ(firstBitDifference(expected.logScale, gotScale), -1) << "sequence " << b + 1;
            }
            standin::releaseScratch();
        }
    }
}

// The gradient, its derivatives and posteriors of every sequence, with
// final weights that favour some states.
TEST_P(Batches, GradientsMatchSingleCalls) {
    const BatchCase& c = GetParam();
    const StateSpace& space = c.space;
    const Sequences s = sequencesOf(c);
    std::vector<double> w(static_cast<std::size_t>(space.n));
    for (std::int32_t j = 0; j < space.n; ++j) w[j] = 1.0 + j % 3;
    // Every column kept, and one in every few with the rest recomputed.
    for (const GradientOptions options : {GradientOptions{{1}}, GradientOptions{{2}, 1}}) {
        const std::int32_t threads = options.forward.threads;
        GradientBatchPlan plan{};
        Fault fault;
        ASSERT_TRUE(planGradientBatch({s.inputs, columnOf(w), true, true}, options, &plan, &fault)) << fault.detail;
        const std::int64_t B = s.inputs.count;
        std::vector<double> logL(B), gamma(static_cast<std::size_t>(plan.posteriorStart[B] * space.n));
        std::vector<std::vector<double>> dO(static_cast<std::size_t>(B));
        std::vector<double*> dOs;
        for (std::int64_t b = 0; b < B; ++b) {
            dO[b].resize(s.O[b].size());
            dOs.push_back(dO[b].data());
        }
        ASSERT_TRUE(gradientBatch(plan, {logL.data(), dOs.data(), gamma.data()}, &fault));
        for (std::int64_t b = 0; b < B; ++b) {
            GradientPlan single{};
            const double T = s.views[b].cols;
            const ForwardInputs forward = forwardInputsOf(space, s.O[b], T, c.steps.empty() ? nullptr : &c.steps);
            ASSERT_TRUE(planGradient({forward, columnOf(w), true, true}, options, &single, &fault));
            std::vector<double> logL1(1), dO1(s.O[b].size()),
                gamma1(static_cast<std::size_t>(posteriorColumns(single) * space.n));
            ASSERT_TRUE(gradientRecursion(single, {logL1.data(), dO1.data(), gamma1.data()}, &fault));
            const auto first = gamma.begin() + plan.posteriorStart[b] * space.n;
            const std::vector<double> gammaOfB(first, first + static_cast<std::ptrdiff_t>(gamma1.size()));
            EXPECT_EQ(firstBitDifference({logL[b]}, logL1), -1) << "sequence " << b + 1 << " threads=" << threads;
            EXPECT_EQ(firstBitDifference(dO[b], dO1), -1) << "sequence " << b + 1 << " threads=" << threads;
            EXPECT_EQ(firstBitDifference(gammaOfB, gamma1), -1) << "sequence " << b + 1 << " threads=" << threads;
        }
        standin::releaseScratch();
    }
}

INSTANTIATE_CASES(Batches, batchCases());

}  // namespace
