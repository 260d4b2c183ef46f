// The most likely path against the literal recursion (exponents kept apart,
// so it never underflows), bit for bit, in every layout, copy, thread count
// and way of keeping the trace; the rescaled steps' fallback where a lost
// weight decides the path; batches as their single calls.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "all_subsets.hpp"
#include "decode/path.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"

namespace {

struct Options {
    std::int32_t threads = 0;
    InstructionSet set = InstructionSet::automatic;
    std::int64_t traceBudget = 0;
    bool exactOnly = false;
};

literal::Path runPath(const StateSpace& space, const std::vector<double>& O, double T, const std::vector<double>& w,
                      const Options& options = {}) {
    PathPlan plan{};
    Fault fault;
    PathOptions pathOptions{{options.threads, options.set}, options.traceBudget, options.exactOnly};
    EXPECT_TRUE(planPath({forwardInputsOf(space, O, T), columnOf(w), true}, pathOptions, &plan, &fault))
        << fault.detail;
    literal::Path out{0.0, std::vector<double>(static_cast<std::size_t>(T)),
                      std::vector<double>(static_cast<std::size_t>(T))};
    EXPECT_TRUE(mostLikelyPath(plan, {&out.logWeight, out.symbols.data(), out.states.data()}, &fault)) << fault.detail;
    return out;
}

void expectSame(const literal::Path& expected, const literal::Path& actual, const std::string& label) {
    EXPECT_EQ(firstBitDifference({expected.logWeight}, {actual.logWeight}), -1)
        << label << ": logp " << expected.logWeight << " against " << actual.logWeight;
    EXPECT_EQ(firstBitDifference(expected.symbols, actual.symbols), -1) << label << ": symbols";
    EXPECT_EQ(firstBitDifference(expected.states, actual.states), -1) << label << ": states";
}

// The literal path, then the same bits from every copy of the kernels on
// one thread and two, with the trace kept whole and a column every
// ceil(sqrt(T)) steps, rescaled and with exponents throughout.
void expectPath(const StateSpace& space, const std::vector<double>& O, std::int32_t T, const std::vector<double>& w,
                const std::string& label) {
    const literal::Path exact = literal::mostLikelyPath(T, O.data(), space.S.data(), space.P.data(),
                                                        w.empty() ? nullptr : w.data(), space.n, space.L);
    for (InstructionSet set : runnableCopies()) {
        for (std::int32_t threads : {1, 2}) {
            for (std::int64_t budget : {std::int64_t{0}, std::int64_t{1}}) {
                for (bool exactOnly : {false, true}) {
                    expectSame(exact, runPath(space, O, T, w, {threads, set, budget, exactOnly}),
                               label + " " + nameOf(set) + " threads=" + std::to_string(threads) +
                                   " budget=" + std::to_string(budget) + (exactOnly ? " exact" : ""));
                }
            }
        }
    }
    standin::releaseScratch();
}

// Where a row holds a symbol and the row less it is not in the family, P
// names the empty row (row 1 here): its weight is 0, so only the stay
// remains, as predecessor_table writes such families.
StateSpace withEmptyRow(StateSpace space) {
    for (std::int32_t k = 0; k < space.K; ++k) {
        for (std::int32_t j = 0; j < space.n; ++j) {
            double& p = space.P[j + static_cast<std::size_t>(k) * space.n];
            if (p != -1.0 || j == space.n - 1) continue;
            std::int32_t symbol = -1;
            for (std::int32_t c = 0, seen = -1; c < space.L && seen < k; ++c) {
                if (space.S[space.n - 1 + static_cast<std::size_t>(c) * space.n] == 1.0 && ++seen == k) symbol = c;
            }
            if (space.S[j + static_cast<std::size_t>(symbol) * space.n] == 1.0) p = 1.0;
        }
    }
    return space;
}

// All subsets of L symbols, row i holding symbol c where i has bit L - 1 - c:
// the offsets of P fall as k grows.
StateSpace reversedSymbols(std::int32_t L) {
    const StateSpace space = allSubsets(L);
    std::vector<double> S(space.S.size());
    for (std::int32_t c = 0; c < L; ++c) {
        std::copy_n(space.S.begin() + static_cast<std::ptrdiff_t>(L - 1 - c) * space.n, space.n,
                    S.begin() + static_cast<std::ptrdiff_t>(c) * space.n);
    }
    return withPredecessors(S, space.n, L);
}

std::vector<double> randomWeights(std::size_t count, double low, double high, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> weight(low, high);
    std::vector<double> x(count);
    for (double& v : x) v = weight(rng);
    return x;
}

using Path = KernelTest;

TEST_F(Path, MatchesTheLiteralPathInEveryLayout) {
    std::mt19937_64 rng(26);
    std::vector<std::pair<std::string, StateSpace>> spaces;
    for (std::int32_t L = 1; L <= 5; ++L) spaces.push_back({"all subsets of " + std::to_string(L), allSubsets(L)});
    spaces.push_back({"first 45 subsets of 6", allSubsets(6, 45)});
    spaces.push_back({"all subsets of 6 shuffled", subsetFamily(6, shuffledKeepingLast(everySet(6), rng))});
    spaces.push_back({"at most 2 of 6, shuffled", subsetFamily(6, shuffledKeepingLast(setsOfAtMost(6, 2), rng))});
    spaces.push_back({"subsets of 4 with extra states", reshuffled(allSubsets(4), 7, rng)});
    spaces.push_back({"a chain, the empty row standing in", withEmptyRow(subsetFamily(3, {0, 1, 3, 7}))});
    spaces.push_back(
        {"odd sets, the empty row standing in", withEmptyRow(subsetFamily(4, {0, 1, 2, 4, 7, 8, 11, 13, 14, 15}))});
    spaces.push_back({"all subsets of 10, offsets falling with k", reversedSymbols(10)});
    spaces.push_back({"all subsets of 14, two threads' worth", allSubsets(14)});
    spaces.push_back({"all subsets of 17: more columns than a unit takes in registers", allSubsets(17)});
    for (const auto& [name, space] : spaces) {
        std::vector<double> last(static_cast<std::size_t>(space.n), 0.0);
        last.back() = 1.0;
        const std::vector<double> w = randomWeights(static_cast<std::size_t>(space.n), 0.0, 2.0, rng);
        for (std::int32_t T : {1, 2, space.n > 4096 ? 4 : 23}) {
            const std::size_t entries = static_cast<std::size_t>(space.L) * T;
            std::vector<double> integers = randomWeights(entries, 0.0, 3.0, rng);
            for (double& x : integers) x = std::floor(x);  // exact products: ties everywhere
            struct Weights {
                const char* name;
                std::vector<double> O, w;
            } cases[] = {
                {"random", randomWeights(entries, 0.0, 1.0, rng), {}},
                {"integers (ties), w random", integers, w},
                {"ones (all tied), w the last state", std::vector<double>(entries, 1.0), last},
            };
            for (const Weights& c : cases)
                expectPath(space, c.O, T, c.w, name + " T=" + std::to_string(T) + " " + c.name);
        }
    }
}

// 130 symbols need codes of two bytes.
TEST_F(Path, MoreThan127SymbolsTakeWiderCodes) {
    std::mt19937_64 rng(5);
    const std::int32_t L = 130;
    StateSpace space;
    space.n = L + 2;
    space.L = L;
    space.S.assign(static_cast<std::size_t>(space.n) * L, 0.0);
    for (std::int32_t c = 0; c < L; ++c) {
        space.S[1 + c + static_cast<std::size_t>(c) * space.n] = 1.0;  // row c + 2: {c}
        space.S[space.n - 1 + static_cast<std::size_t>(c) * space.n] = 1.0;
    }
    space = withEmptyRow(withPredecessors(space.S, space.n, L));
    const std::int32_t T = 6;
    expectPath(space, randomWeights(static_cast<std::size_t>(L) * T, 0.0, 1.0, rng), T, {}, "130 singletons");
}

// Weights far below the step's largest: on all subsets they can never
// catch up, and the rescaled steps keep the path; where w or later
// observations favour them by more than the range of a double, the lost
// weight would decide the path, and the sequence runs again with exponents.
TEST_F(Path, WeightsBelowTheRangeOfTheRescaledColumn) {
    std::mt19937_64 rng(7);
    const StateSpace two = allSubsets(2);
    std::vector<double> tiny = {1, 1e-300, 1, 1e-300, 1, 1e-300};
    struct Case {
        const char* label;
        StateSpace space;
        std::vector<double> O, w;
        std::int32_t T;
    } cases[] = {
        {"all subsets of 4, 3000 steps", allSubsets(4), randomWeights(4 * 3000, 0.05, 1.0, rng), {}, 3000},
        {"{2} 2^-1993 below {1}, w 2^2086 in its favour", two, tiny, {0, 1e-320, 1e308, 0}, 2},
        {"{2} lost at step 2, then the only state a symbol reaches",
         two,
         {1, 1e-200, 1, 1e-200, 0, 1e-200, 0, 1},
         {0, 0, 1, 0},
         4},
        {"subnormal weights of step 1", two, {4e-320, 1, 1, 1}, {1, 1e300, 1, 1}, 2},
    };
    for (const Case& c : cases) expectPath(c.space, c.O, c.T, c.w, c.label);
}

TEST_F(Path, EveryPathWeighingNothingGivesMinusInfinityAndZeros) {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> ones(3 * 4, 1.0), deadStep = ones;
    std::fill_n(deadStep.begin() + 6, 3, 0.0);
    struct Case {
        const char* label;
        StateSpace space;
        std::vector<double> O, w;
    } cases[] = {
        {"a step of zeros", allSubsets(3), deadStep, {}},
        {"w of zeros", allSubsets(3), ones, std::vector<double>(8, 0.0)},
        {"no predecessor terms", withPredecessors({0, 0, 1, 0}, 2, 2), std::vector<double>(2 * 4, 1.0), {}},
        {"no states", allSubsets(3, 0), ones, {}},
    };
    for (const Case& c : cases) {
        const literal::Path path = runPath(c.space, c.O, 4, c.w);
        EXPECT_EQ(path.logWeight, -inf) << c.label;
        EXPECT_EQ(path.symbols, std::vector<double>(4, 0.0)) << c.label;
        EXPECT_EQ(path.states, std::vector<double>(4, 0.0)) << c.label;
    }
}

// A column every ceil(sqrt(T)) steps (L = 8, T = 2500: 50 columns of 256
// states and a segment's 50 rows of codes), not the 2500 rows of the trace.
TEST_F(Path, CheckpointsKeepScratchNearTheSquareRootOfT) {
    std::mt19937_64 rng(8);
    const StateSpace space = allSubsets(8);
    const std::int32_t T = 2500;
    const std::vector<double> O = randomWeights(static_cast<std::size_t>(8) * T, 0.1, 1.0, rng);
    const literal::Path whole = runPath(space, O, T, {});
    const std::size_t wholeBytes = standin::releaseScratch();
    expectSame(whole, runPath(space, O, T, {}, {0, InstructionSet::automatic, 1000}), "checkpoints");
    const std::size_t checkpointed = standin::releaseScratch();
    EXPECT_GT(wholeBytes, static_cast<std::size_t>(T) * space.n);
    EXPECT_LT(checkpointed, static_cast<std::size_t>(50 * (16 * space.n + 16) + 50 * space.n + 64 * 1024));
}

TEST_F(Path, BatchesGiveTheirSingleCalls) {
    std::mt19937_64 rng(11);
    StateSpace lanes = allSubsets(5);
    lanes.P[lanes.n - 1] = -1.0;  // no row order makes it the subset layout
    for (const StateSpace& space : {allSubsets(6), reshuffled(lanes, 5, rng), allSubsets(15)}) {
        const std::vector<double> T = {5, 1, 9, 3};
        std::vector<std::vector<double>> O;
        std::vector<ArrayView> views;
        for (double steps : T) O.push_back(randomWeights(static_cast<std::size_t>(space.L * steps), 0.0, 1.0, rng));
        for (std::size_t b = 0; b < T.size(); ++b)
            views.push_back(viewOf(O[b], space.L, static_cast<std::int32_t>(T[b])));
        const std::vector<double> w = randomWeights(static_cast<std::size_t>(space.n), 0.5, 1.0, rng);
        for (std::int32_t threads : {1, 2}) {
            const BatchInputs forward{
                columnOf(T), views.data(), 4, viewOf(space.S, space.n, space.L), viewOf(space.P, space.n, space.K),
                {},          false};
            PathBatchPlan plan{};
            Fault fault;
            ASSERT_TRUE(planPathBatch({forward, columnOf(w), true}, {{threads}}, &plan, &fault)) << fault.detail;
            std::vector<double> logp(4);
            std::vector<std::vector<double>> symbols, states;
            std::vector<double*> symbolOut, stateOut;
            for (double steps : T) {
                symbols.emplace_back(static_cast<std::size_t>(steps));
                states.emplace_back(static_cast<std::size_t>(steps));
            }
            for (std::size_t b = 0; b < T.size(); ++b) {
                symbolOut.push_back(symbols[b].data());
                stateOut.push_back(states[b].data());
            }
            ASSERT_TRUE(pathBatch(plan, {logp.data(), symbolOut.data(), stateOut.data()}, &fault));
            for (std::size_t b = 0; b < T.size(); ++b) {
                expectSame(runPath(space, O[b], T[b], w), {logp[b], symbols[b], states[b]},
                           "sequence " + std::to_string(b + 1) + " threads=" + std::to_string(threads));
            }
            standin::releaseScratch();
        }
    }
}

}  // namespace
