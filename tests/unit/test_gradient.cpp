#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "all_subsets.hpp"
#include "backward/gradient.hpp"
#include "forward/step_driver.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"

namespace {

struct Outcome {
    double logL;
    std::vector<double> dO, gamma;
};

// w empty for all ones; steps null for every step; budget 0 for the default.
Outcome runGradient(const StateSpace& space, const std::vector<double>& O, double T, const std::vector<double>& w,
                    std::int32_t threads, InstructionSet set, std::int64_t budget,
                    const std::vector<double>* steps = nullptr) {
    GradientPlan plan{};
    Fault fault;
    const GradientInputs inputs{forwardInputsOf(space, O, T, steps), columnOf(w), true, true};
    EXPECT_TRUE(planGradient(inputs, {{threads, set}, budget}, &plan, &fault)) << fault.detail;
    Outcome out{0.0, std::vector<double>(static_cast<std::size_t>(space.L) * static_cast<std::size_t>(T)),
                std::vector<double>(static_cast<std::size_t>(space.n) * posteriorColumns(plan))};
    EXPECT_TRUE(gradientRecursion(plan, {&out.logL, out.dO.data(), out.gamma.data()}, &fault)) << fault.detail;
    return out;
}

bool sameBits(const Outcome& a, const Outcome& b) {
    return firstBitDifference({a.logL}, {b.logL}) < 0 && firstBitDifference(a.dO, b.dO) < 0 &&
           firstBitDifference(a.gamma, b.gamma) < 0;
}

// Entry by entry within `tolerance` of the largest of its column (of `rows`).
void expectClose(const std::vector<double>& expected, const std::vector<double>& actual, std::int32_t rows,
                 double tolerance, const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t first = 0; first < expected.size(); first += static_cast<std::size_t>(rows)) {
        double largest = 0.0;
        for (std::int32_t i = 0; i < rows; ++i) largest = std::max(largest, std::fabs(expected[first + i]));
        for (std::int32_t i = 0; i < rows; ++i) {
            ASSERT_LE(std::fabs(actual[first + i] - expected[first + i]), tolerance * largest)
                << what << ", entry " << first + i << " of " << expected.size();
        }
    }
}

// Against the literal gradient; then the same bits with every copy of the
// kernels on one thread and two, with the columns kept or recomputed, and
// gamma of chosen steps in any order equal to those columns of every step's.
void expectGradient(const StateSpace& space, const std::vector<double>& O, std::int32_t T, const std::vector<double>& w,
                    const std::string& label) {
    const literal::Gradient exact = literal::gradient(T, O.data(), space.S.data(), space.P.data(),
                                                      w.empty() ? nullptr : w.data(), space.n, space.L);
    const Outcome out = runGradient(space, O, T, w, 0, InstructionSet::automatic, 0);
    if (std::isinf(exact.logLikelihood)) {  // no path ends where w lives
        EXPECT_EQ(out.logL, exact.logLikelihood) << label;
        return;
    }
    EXPECT_NEAR(out.logL, exact.logLikelihood, 1e-12 * std::fabs(exact.logLikelihood)) << label;
    expectClose(exact.derivatives, out.dO, space.L, 1e-10, label + " dO");
    expectClose(exact.posteriors, out.gamma, space.n, 1e-10, label + " gamma");
    for (InstructionSet set : runnableCopies()) {
        for (std::int32_t threads : {1, 2}) {
            for (std::int64_t budget : {std::int64_t{0}, std::int64_t{1}}) {
                EXPECT_TRUE(sameBits(out, runGradient(space, O, T, w, threads, set, budget)))
                    << label << " " << nameOf(set) << " threads=" << threads << " budget=" << budget;
            }
        }
    }
    const std::vector<double> steps = {double(T), 1, double((T + 1) / 2), double(T), 1};
    const Outcome chosen = runGradient(space, O, T, w, 0, InstructionSet::automatic, 1, &steps);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto column = out.gamma.begin() + static_cast<std::ptrdiff_t>(steps[i] - 1) * space.n;
        EXPECT_TRUE(std::equal(column, column + space.n, chosen.gamma.begin() + i * space.n)) << label << " steps";
    }
    standin::releaseScratch();
}

std::vector<double> positiveObservations(std::int32_t L, std::int32_t T, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> weight(0.05, 1.0);
    std::vector<double> O(static_cast<std::size_t>(L) * T);
    for (double& o : O) o = weight(rng);
    return O;
}

// The gradient of a table in subset order (row j is place j, 0/1 rows) in
// doubles, every sum in the order the module documents: forward sweep
// rescaled by the row-order sum of each step; backward, each place's
// gathered terms and own weights in ascending k, the derivative of O(Q[k])
// in eight sums by place modulo 8 over each chunk of places, added in lane
// order, the chunks in ascending order. The module's bits, not only its
// values.
Outcome gradientInOrder(const StateSpace& space, const std::vector<double>& O, std::int32_t T,
                        const std::vector<double>& w) {
    const std::int32_t n = space.n, L = space.L, K = space.K;
    std::vector<std::int32_t> Q;
    for (std::int32_t c = 0; c < L; ++c) {
        if (space.S[(n - 1) + static_cast<std::size_t>(c) * n] == 1.0) Q.push_back(c);
    }
    const auto predecessor = [&](std::int32_t j, std::int32_t k) {
        return static_cast<std::int32_t>(space.P[j + static_cast<std::size_t>(k) * n]) - 1;  // -2: none
    };
    const auto o = [&](std::int32_t symbol, std::int32_t t) { return O[symbol + static_cast<std::size_t>(t - 1) * L]; };
    std::vector<std::vector<double>> A(T + 1, std::vector<double>(n, 0.0));
    std::vector<double> c(T + 1, 1.0);
    for (std::int32_t j = 0; j < n; ++j) {
        std::int32_t members = 0, symbol = 0;
        for (std::int32_t s = 0; s < L; ++s) {
            if (space.S[j + static_cast<std::size_t>(s) * n] == 1.0) ++members, symbol = s;
        }
        if (members == 1) A[1][j] = o(symbol, 1);
    }
    double logScale = 0.0;
    for (std::int32_t t = 2; t <= T; ++t) {
        double sum = 0.0;
        for (std::int32_t j = 0; j < n; ++j) {
            double acc = 0.0;
            for (std::int32_t k = 0; k < K; ++k) {
                if (predecessor(j, k) >= 0) acc = acc + (A[t - 1][predecessor(j, k)] + A[t - 1][j]) * o(Q[k], t);
            }
            A[t][j] = acc;
            sum = sum + acc;
        }
        c[t] = sum;
        for (double& a : A[t]) a = a / sum;
        logScale = logScale + std::log(sum);
    }
    double weighted = 0.0;
    for (std::int32_t j = 0; j < n; ++j) weighted = weighted + (w.empty() ? A[T][j] : w[j] * A[T][j]);
    Outcome out{logScale + std::log(weighted), std::vector<double>(static_cast<std::size_t>(L) * T, 0.0),
                std::vector<double>(static_cast<std::size_t>(n) * T)};
    std::vector<double> later(n), earlier(n);
    for (std::int32_t j = 0; j < n; ++j) later[j] = (w.empty() ? 1.0 : w[j]) / weighted;
    for (std::int32_t t = T; t >= 1; --t) {
        if (t < T) {
            std::vector<double> derivative(L, 0.0);
            for (std::int32_t first = 0; first < n; first += kChunkStates) {
                std::vector<double> partial(L, 0.0);
                for (std::int32_t k = 0; k < K; ++k) {
                    double lanes[8] = {};
                    for (std::int32_t i = first; i < std::min(n, first + kChunkStates); ++i) {
                        if (predecessor(i, k) >= 0) {
                            lanes[i % 8] = lanes[i % 8] + (A[t][predecessor(i, k)] + A[t][i]) * later[i];
                        }
                    }
                    double sum = 0.0;
                    for (double lane : lanes) sum = sum + lane;
                    partial[Q[k]] = partial[Q[k]] + sum;
                }
                for (std::int32_t s = 0; s < L; ++s) derivative[s] = derivative[s] + partial[s];
            }
            for (std::int32_t k = 0; k < K; ++k)
                out.dO[Q[k] + static_cast<std::size_t>(t) * L] = derivative[Q[k]] / c[t + 1];
            for (std::int32_t i = 0; i < n; ++i) {
                double own = 0.0, gather = 0.0;
                for (std::int32_t k = 0; k < K; ++k) {
                    if (predecessor(i, k) >= 0) own = own + o(Q[k], t + 1);
                }
                for (std::int32_t k = 0; k < K; ++k) {
                    for (std::int32_t j = 0; j < n; ++j) {
                        if (predecessor(j, k) == i) gather = gather + later[j] * o(Q[k], t + 1);
                    }
                }
                earlier[i] = (gather + later[i] * own) / c[t + 1];
            }
            std::swap(later, earlier);
        }
        for (std::int32_t i = 0; i < n; ++i) out.gamma[i + static_cast<std::size_t>(t - 1) * n] = A[t][i] * later[i];
    }
    for (std::int32_t j = 0; j < n; ++j) {
        std::int32_t members = 0, symbol = 0;
        for (std::int32_t s = 0; s < L; ++s) {
            if (space.S[j + static_cast<std::size_t>(s) * n] == 1.0) ++members, symbol = s;
        }
        if (members == 1) out.dO[symbol] = out.dO[symbol] + later[j];
    }
    return out;
}

using Gradient = KernelTest;

TEST_F(Gradient, MatchesTheLiteralGradientInEveryLayout) {
    std::mt19937_64 rng(19);
    std::vector<std::pair<std::string, StateSpace>> spaces;
    for (std::int32_t L = 1; L <= 6; ++L) spaces.push_back({"all subsets of " + std::to_string(L), allSubsets(L)});
    spaces.push_back({"first 47 subsets of 6", allSubsets(6, 47)});
    spaces.push_back({"all subsets of 6 shuffled", subsetFamily(6, shuffledKeepingLast(everySet(6), rng))});
    spaces.push_back({"subsets of 5 with extra states", reshuffled(allSubsets(5), 9, rng)});
    spaces.push_back({"at most 3 of 7, shuffled", subsetFamily(7, shuffledKeepingLast(setsOfAtMost(7, 3), rng))});
    spaces.push_back({"all subsets of 13, two threads' worth", allSubsets(13)});
    // Several chunks of a step each, with the places' own terms and the
    // small offsets read in any order, and places whose successors lie past n.
    spaces.push_back({"all subsets of 12, offsets descending", withSymbolsReversed(allSubsets(12))});
    spaces.push_back({"first 4000 subsets of 12", allSubsets(12, 4000)});
    // A call left to choose runs the forward steps on one thread and the
    // backward ones on two.
    spaces.push_back({"all subsets of 15", allSubsets(15)});
    for (const auto& [name, space] : spaces) {
        std::uniform_real_distribution<double> weight(0.0, 2.0);
        std::vector<double> random(static_cast<std::size_t>(space.n)), last(static_cast<std::size_t>(space.n), 0.0);
        for (double& x : random) x = weight(rng);
        last.back() = 1.0;
        for (std::int32_t T : {1, 2, space.n > 4096 ? 4 : 17}) {
            const std::vector<double> O = positiveObservations(space.L, T, rng);
            for (const auto& [kind, w] :
                 {std::pair<const char*, std::vector<double>>{"ones", {}}, {"random", random}, {"last state", last}}) {
                expectGradient(space, O, T, w, name + " T=" + std::to_string(T) + " w " + kind);
            }
        }
    }
}

// The backward kernels keep every sum in its documented order, whatever the
// copy, the threads or the columns kept: bit for bit the in-order reference.
TEST_F(Gradient, SubsetOrderGivesTheDocumentedBits) {
    std::mt19937_64 rng(23);
    const std::pair<const char*, StateSpace> spaces[] = {
        {"all subsets of 5", allSubsets(5)},
        {"first 47 subsets of 6", allSubsets(6, 47)},
        {"all subsets of 7, offsets descending", withSymbolsReversed(allSubsets(7))},
        {"all subsets of 12, two chunks", allSubsets(12)},
        {"first 3000 subsets of 12", allSubsets(12, 3000)},
    };
    for (const auto& [name, space] : spaces) {
        const std::int32_t T = space.n > 1000 ? 3 : 9;
        const std::vector<double> O = positiveObservations(space.L, T, rng);
        std::vector<double> w(static_cast<std::size_t>(space.n));
        for (double& x : w) x = std::uniform_real_distribution<double>(0.0, 2.0)(rng);
        const Outcome expected = gradientInOrder(space, O, T, w);
        for (InstructionSet set : runnableCopies()) {
            for (std::int32_t threads : {1, 2}) {
                for (std::int64_t budget : {std::int64_t{0}, std::int64_t{1}}) {
                    EXPECT_TRUE(sameBits(expected, runGradient(space, O, T, w, threads, set, budget)))
                        << name << " " << nameOf(set) << " threads=" << threads << " budget=" << budget;
                }
            }
        }
        standin::releaseScratch();
    }
}

// On all subsets with w of all ones, Z is the product of the column sums.
TEST_F(Gradient, ClosedFormOnAllSubsets) {
    std::mt19937_64 rng(5);
    const std::int32_t L = 10, T = 300;
    const std::vector<double> O = positiveObservations(L, T, rng);
    const Outcome out = runGradient(allSubsets(L), O, T, {}, 0, InstructionSet::automatic, 0);
    double logZ = 0.0;
    for (std::int32_t t = 0; t < T; ++t) {
        double sum = 0.0;
        for (std::int32_t s = 0; s < L; ++s) sum += O[s + t * L];
        logZ += std::log(sum);
        for (std::int32_t s = 0; s < L; ++s) EXPECT_NEAR(out.dO[s + t * L] * sum, 1.0, 1e-12) << s << ", " << t;
    }
    EXPECT_NEAR(out.logL, logZ, 1e-12 * logZ);
}

TEST_F(Gradient, ZeroLikelihoodIsMinusInfinityWithoutDerivatives) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const StateSpace all = allSubsets(3);
    std::vector<double> ones(3 * 4, 1.0), deadStep = ones, withNaN = ones;
    std::fill_n(deadStep.begin() + 6, 3, 0.0);
    withNaN[4] = nan;
    const std::vector<double> noWeight(8, 0.0), emptySetOnly = {1, 0, 0, 0, 0, 0, 0, 0};
    struct Case {
        const char* label;
        StateSpace space;
        std::vector<double> O, w;
        double logL;
    } cases[] = {
        {"a step of zeros", all, deadStep, {}, -inf},
        {"w of zeros", all, ones, noWeight, -inf},
        {"w where no weight lives", all, ones, emptySetOnly, -inf},
        {"NaN in O", all, withNaN, {}, nan},
        {"no predecessor terms", withPredecessors({0, 0, 1, 0}, 2, 2), ones, {}, -inf},
        {"no states", allSubsets(3, 0), ones, {}, -inf},
    };
    for (const Case& c : cases) {
        const Outcome out = runGradient(c.space, c.O, 4, c.w, 0, InstructionSet::automatic, 0);
        EXPECT_EQ(firstBitDifference({out.logL}, {c.logL}) < 0 || (std::isnan(c.logL) && std::isnan(out.logL)), true)
            << c.label << ": " << out.logL;
        const auto isNaN = [](double x) { return std::isnan(x); };
        EXPECT_TRUE(std::all_of(out.dO.begin(), out.dO.end(), isNaN)) << c.label;
        EXPECT_TRUE(std::all_of(out.gamma.begin(), out.gamma.end(), isNaN)) << c.label;
    }
}

TEST_F(Gradient, RecomputedColumnsKeepScratchNearTheSquareRootOfT) {
    std::mt19937_64 rng(3);
    const StateSpace space = allSubsets(8);
    const std::int32_t T = 2500;
    const std::int64_t column = space.n * sizeof(double);
    const std::vector<double> O = positiveObservations(space.L, T, rng);
    runGradient(space, O, T, {}, 0, InstructionSet::automatic, 1000 * column);
    const std::size_t checkpointed = standin::releaseScratch();
    runGradient(space, O, T, {}, 0, InstructionSet::automatic, 0);
    const std::size_t kept = standin::releaseScratch();
    EXPECT_GT(kept, static_cast<std::size_t>(T * column));
    // (2 x 50 + 8) columns, gamma's step-order copy aside, the divisors and the plan.
    EXPECT_LT(checkpointed, static_cast<std::size_t>((2 * 50 + 16) * column + T * 8 + 64 * 1024));
}

}  // namespace
