#include <random>
#include <string>
#include <vector>

#include "forward/forward_recursion.hpp"
#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"

namespace {

using ForwardRecursion = KernelTest;

std::vector<double> runKernel(const StateSpace& space, const std::vector<double>& O, double T, bool normalize) {
    ForwardInputs in{&T,      O.data(), static_cast<std::int64_t>(O.size()), space.S.data(), space.n,
                     space.L, space.P.data(), static_cast<std::int64_t>(space.P.size())};
    ForwardPlan plan{};
    InputFault fault;
    EXPECT_TRUE(planForward(in, &plan, &fault)) << fault.message;
    double* last = forwardRecursion(plan, normalize);
    return std::vector<double>(last, last + space.n);
}

// Weights in (0, 1], with whole columns of zeros now and then.
std::vector<double> randomObservations(std::int32_t L, std::int32_t T, std::mt19937_64& rng) {
    std::vector<double> O(static_cast<std::size_t>(L) * T);
    std::uniform_real_distribution<double> weight(0.0, 1.0);
    for (std::int32_t t = 0; t < T; ++t) {
        bool zero = t > 0 && rng() % 9 == 0;
        for (std::int32_t s = 0; s < L; ++s) O[t * static_cast<std::size_t>(L) + s] = zero ? 0.0 : weight(rng);
    }
    return O;
}

void expectSameBits(const StateSpace& space, const std::vector<double>& O, double T, const std::string& label) {
    for (bool normalize : {false, true}) {
        std::vector<double> expected =
            literal::forwardRecursion(T, O.data(), space.S.data(), space.P.data(), space.n, space.L, normalize);
        std::vector<double> actual = runKernel(space, O, T, normalize);
        std::int64_t at = firstBitDifference(expected, actual);
        ASSERT_EQ(at, -1) << label << (normalize ? " normalised" : " raw") << ": first difference at state " << at
                          << ": expected " << expected[at] << ", got " << actual[at];
        standin::releaseScratch();
    }
}

TEST_F(ForwardRecursion, MatchesLiteralOnPowersets) {
    std::mt19937_64 rng(20261208);
    for (std::int32_t L = 1; L <= 10; ++L) {
        StateSpace canonical = powerset(L);
        for (std::int32_t T : {1, 2, 3, 17, 50}) {
            std::vector<double> O = randomObservations(L, T, rng);
            expectSameBits(canonical, O, T, "L=" + std::to_string(L) + " T=" + std::to_string(T));
            expectSameBits(reshuffled(canonical, 0, rng), O, T, "shuffled L=" + std::to_string(L));
        }
    }
}

TEST_F(ForwardRecursion, MatchesLiteralWithDuplicateAndExtraStates) {
    std::mt19937_64 rng(7);
    for (std::int32_t L = 1; L <= 7; ++L) {
        StateSpace space = reshuffled(powerset(L), 1 + L * 3, rng);
        std::int32_t T = 1 + static_cast<std::int32_t>(rng() % 50);
        expectSameBits(space, randomObservations(L, T, rng), T, "extra states L=" + std::to_string(L));
    }
}

TEST_F(ForwardRecursion, MatchesLiteralOnNonBinaryEntries) {
    // Rows with sums truncating to 1 through a 1.0 entry plus fractions, a
    // last row (2, 4, 6) with K = 12 and no entry equal to 1.
    std::mt19937_64 rng(3);
    const std::vector<double> S = {0, 1, 0.5, 2,  //
                                   0, 0.25, 1, 4,  //
                                   0, 0, -0.5, 6};
    StateSpace space;
    space.n = 4;
    space.L = 3;
    space.K = 12;
    space.S = S;
    space.P.assign(4 * 12, -1.0);
    for (std::size_t e = 0; e < space.P.size(); e += 3) space.P[e] = static_cast<double>(1 + e % 4);
    expectSameBits(space, randomObservations(3, 6, rng), 6, "non-binary");
}

TEST_F(ForwardRecursion, ScratchDoesNotGrowWithSteps) {
    StateSpace space = powerset(4);
    std::mt19937_64 rng(1);
    std::size_t bytes[2];
    std::int32_t steps[2] = {3, 3000};
    for (int i = 0; i < 2; ++i) {
        runKernel(space, randomObservations(4, steps[i], rng), steps[i], true);
        bytes[i] = standin::releaseScratch();
    }
    EXPECT_EQ(bytes[0], bytes[1]);
}

}  // namespace
