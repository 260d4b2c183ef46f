#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "all_subsets.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/instruction_sets.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"

namespace {

using ForwardRecursion = KernelTest;

// threads 0 lets the kernel choose; steps null for step T alone.
ForwardOutcome runKernel(const StateSpace& space, const std::vector<double>& O, double T, bool normalize,
                         std::int32_t threads, InstructionSet set, const std::vector<double>* steps = nullptr) {
    ForwardPlan plan{};
    Fault fault;
    EXPECT_TRUE(planForward(forwardInputsOf(space, O, T, steps), {threads, set}, &plan, &fault)) << fault.detail;
    return runPlanned(plan, normalize);
}

// How the steps read a table: in the subset layout as it stands, in it
// once the rows are placed elsewhere, or as lane terms.
enum class Layout { subsets, placedSubsets, laneTerms };

Layout layoutOf(const StateSpace& space) {
    const double T = 1;
    const std::vector<double> O(static_cast<std::size_t>(space.L), 1.0);
    ForwardPlan plan{};
    Fault fault;
    EXPECT_TRUE(planForward(forwardInputsOf(space, O, T), {}, &plan, &fault)) << fault.detail;
    if (!plan.offsets.offset) return Layout::laneTerms;
    return plan.order.place ? Layout::placedSubsets : Layout::subsets;
}

// Weights in [0, 1). In about one call in four, one whole column of zeros
// (at a step after the first), from which on every weight is 0, or NaN once
// rescaled; more often than that would leave little else to compare.
std::vector<double> randomObservations(std::int32_t L, std::int32_t T, std::mt19937_64& rng) {
    std::vector<double> O(static_cast<std::size_t>(L) * T);
    std::uniform_real_distribution<double> weight(0.0, 1.0);
    for (double& o : O) o = weight(rng);
    if (T > 1 && rng() % 4 == 0) {
        std::size_t zeroStep = 1 + rng() % (T - 1);
        std::fill_n(O.begin() + static_cast<std::ptrdiff_t>(zeroStep * L), L, 0.0);
    }
    return O;
}

// Every step from 1 to T, shuffled, and the last and the first once more.
std::vector<double> everyStepShuffled(std::int32_t T, std::mt19937_64& rng) {
    std::vector<double> steps(static_cast<std::size_t>(T));
    for (std::int32_t s = 0; s < T; ++s) steps[s] = s + 1;
    std::shuffle(steps.begin(), steps.end(), rng);
    steps.push_back(T);
    steps.push_back(1);
    return steps;
}

std::string firstDifference(const std::vector<double>& expected, const std::vector<double>& actual) {
    std::int64_t at = firstBitDifference(expected, actual);
    if (at < 0) return "";
    return "first difference at " + std::to_string(at) + ": expected " + std::to_string(expected[at]) + ", got " +
           std::to_string(actual[at]);
}

// Raw and normalised, with every copy of the kernels the processor runs, on
// one thread, two, and as many as the kernel chooses:
// step T alone, and every step in a shuffled order with repeats, weights and
// log scales, against the literal recursion's trajectory.
void expectSameBits(const StateSpace& space, const std::vector<double>& O, double T, const std::string& label) {
    std::mt19937_64 rng(static_cast<std::uint64_t>(T) * 7919 + space.n);
    const std::vector<double> steps = everyStepShuffled(static_cast<std::int32_t>(T), rng);
    for (bool normalize : {false, true}) {
        const literal::Trajectory trajectory =
            literal::forwardTrajectory(T, O.data(), space.S.data(), space.P.data(), space.n, space.L, normalize);
        const std::vector<double> last =
            literal::forwardRecursion(T, O.data(), space.S.data(), space.P.data(), space.n, space.L, normalize);
        std::vector<double> chosen, logScale;
        for (double step : steps) {
            const auto column = trajectory.F.begin() + static_cast<std::ptrdiff_t>(step - 1) * space.n;
            chosen.insert(chosen.end(), column, column + space.n);
            logScale.push_back(trajectory.logScale[static_cast<std::size_t>(step) - 1]);
        }
        const std::string what = label + (normalize ? " normalised" : " raw");
        for (InstructionSet set : runnableCopies()) {
            for (std::int32_t threads : {1, 2, 0}) {
                const std::string run = what + " " + nameOf(set) + " threads=" + std::to_string(threads) + ": ";
                ASSERT_EQ(firstDifference(last, runKernel(space, O, T, normalize, threads, set).weights), "")
                    << run << "step T";
                const ForwardOutcome trajectoryRun = runKernel(space, O, T, normalize, threads, set, &steps);
                ASSERT_EQ(firstDifference(chosen, trajectoryRun.weights), "") << run << "every step";
                ASSERT_EQ(firstDifference(logScale, trajectoryRun.logScale), "") << run << "log scales";
            }
        }
        standin::releaseScratch();
    }
}

// The table with entry (row, column), both 1-based, replaced.
StateSpace withEntry(StateSpace space, std::int32_t row, std::int32_t column, double p) {
    space.P[(row - 1) + static_cast<std::size_t>(column - 1) * space.n] = p;
    return space;
}

TEST_F(ForwardRecursion, MatchesLiteralOnPowersets) {
    std::mt19937_64 rng(20261208);
    for (std::int32_t L = 1; L <= 10; ++L) {
        StateSpace canonical = allSubsets(L);
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
        StateSpace space = reshuffled(allSubsets(L), 1 + L * 3, rng);
        std::int32_t T = 1 + static_cast<std::int32_t>(rng() % 50);
        expectSameBits(space, randomObservations(L, T, rng), T, "extra states L=" + std::to_string(L));
    }
}

TEST_F(ForwardRecursion, MatchesLiteralOnNonBinaryEntries) {
    // Rows with sums truncating to 1 through a 1.0 entry plus fractions, a
    // last row (2, 4, 6) with K = 12 and no entry equal to 1.
    std::mt19937_64 rng(3);
    const std::vector<double> S = {0, 1,    0.5,  2,  //
                                   0, 0.25, 1,    4,  //
                                   0, 0,    -0.5, 6};
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
    std::mt19937_64 rng(1);
    for (const StateSpace& space : {allSubsets(4), withEntry(allSubsets(4), 16, 1, -1.0)}) {
        for (std::int32_t threads : {1, 2}) {
            std::size_t bytes[2];
            std::int32_t steps[2] = {3, 3000};
            for (int i = 0; i < 2; ++i) {
                runKernel(space, randomObservations(4, steps[i], rng), steps[i], true, threads,
                          InstructionSet::automatic);
                bytes[i] = standin::releaseScratch();
            }
            EXPECT_EQ(bytes[0], bytes[1]) << "threads=" << threads;
        }
    }
}

TEST_F(ForwardRecursion, AllSubsetsHoldTheirPredecessors) {
    for (std::int32_t L = 1; L <= 8; ++L) {
        for (std::int32_t n : {1 << L, (1 << L) - 3, 1 + L}) {
            if (n < 1) continue;
            StateSpace direct = allSubsets(L, n);
            StateSpace searched = withPredecessors(direct.S, n, L);
            EXPECT_EQ(direct.K, searched.K) << "L=" << L << " n=" << n;
            EXPECT_EQ(direct.P, searched.P) << "L=" << L << " n=" << n;
        }
    }
}

struct LayoutCase {
    std::string label;
    StateSpace space;
    Layout layout;
};
PRINT_CASES_BY_LABEL(LayoutCase)

std::vector<LayoutCase> layoutCases() {
    std::mt19937_64 rng(11);
    const StateSpace all = allSubsets(6);
    const StateSpace shuffled = subsetFamily(6, shuffledKeepingLast(everySet(6), rng));
    std::vector<std::uint32_t> first47 = everySet(6);
    first47.resize(47);
    return {
        {"all subsets", all, Layout::subsets},
        {"symbols in reverse order, offsets descending", withSymbolsReversed(all), Layout::subsets},
        {"first 47 subsets, n not a whole number of vectors", allSubsets(6, 47), Layout::subsets},
        {"a predecessor missing", withEntry(all, 64, 1, -1.0), Layout::laneTerms},
        {"a predecessor missing in the last, partial vector", withEntry(allSubsets(6, 47), 47, 1, -1.0),
         Layout::laneTerms},
        {"a predecessor elsewhere", withEntry(all, 64, 1, 1.0), Layout::laneTerms},
        {"a predecessor elsewhere in the first vector", withEntry(all, 4, 1, 2.0), Layout::laneTerms},
        {"a predecessor where the bit is clear", withEntry(all, 3, 3, 1.0), Layout::laneTerms},
        {"shuffled", shuffled, Layout::placedSubsets},
        {"shuffled, symbols in reverse order", withSymbolsReversed(shuffled), Layout::placedSubsets},
        {"first 47 subsets shuffled: rows with none of the last state's symbols would share a place",
         subsetFamily(6, shuffledKeepingLast(first47, rng)), Layout::laneTerms},
        {"shuffled, a predecessor missing", withEntry(shuffled, 64, 2, -1.0), Layout::laneTerms},
        {"shuffled, two rows' predecessors swapped",
         withEntry(withEntry(shuffled, 64, 1, shuffled.P[63 + 64]), 64, 2, shuffled.P[63]), Layout::laneTerms},
        {"shuffled with a duplicate row and others", reshuffled(all, 5, rng), Layout::laneTerms},
        {"at most 3 of 7 symbols, shuffled, and the full set",
         subsetFamily(7, shuffledKeepingLast(setsOfAtMost(7, 3), rng)), Layout::laneTerms},
    };
}

// Each table is read the way its layout allows, and no table close to one
// is taken for it; every way gives the literal bits.
using LayoutOfTable = KernelCaseTest<LayoutCase>;

TEST_P(LayoutOfTable, TakenExactlyWhereItHolds) {
    const LayoutCase& c = GetParam();
    std::mt19937_64 rng(c.space.n);
    EXPECT_EQ(layoutOf(c.space), c.layout);
    const std::int32_t T = 20;
    expectSameBits(c.space, randomObservations(c.space.L, T, rng), T, c.label);
}

INSTANTIATE_CASES(LayoutOfTable, layoutCases());

TEST_F(ForwardRecursion, ThreadsAgreeOnALargeStateSpace) {
    std::mt19937_64 rng(14);
    const std::int32_t T = 30;
    const StateSpace all = allSubsets(14);
    const std::vector<double> O = randomObservations(14, T, rng);
    expectSameBits(all, O, T, "all subsets of 14");
    expectSameBits(withSymbolsReversed(all), O, T, "all subsets of 14, offsets descending");
    expectSameBits(withEntry(all, all.n, 1, -1.0), O, T, "all subsets of 14, one predecessor missing");
    expectSameBits(subsetFamily(14, shuffledKeepingLast(everySet(14), rng)), O, T, "all subsets of 14, shuffled");
    expectSameBits(subsetFamily(16, shuffledKeepingLast(setsOfAtMost(16, 5), rng)), randomObservations(16, T, rng), T,
                   "at most 5 of 16 symbols, shuffled");
}

using Entries = std::vector<std::pair<std::size_t, double>>;  // 0-based index, value

struct FaultCase {
    std::string label;
    Entries P;
    Entries S;
    const char* mnemonic;
    const char* named;
};
PRINT_CASES_BY_LABEL(FaultCase)

std::vector<FaultCase> faultCases() {
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double kInf = std::numeric_limits<double>::infinity();
    const Entries row6SumsToOne = {{5, 0.5}, {5 + 47, 0.5}, {5 + 47 * 2, 0.0}};
    const Entries row41SumsToOne = {{40 + 47 * 3, 0.25}, {40 + 47 * 5, 0.75}};
    Entries rows6And41 = row6SumsToOne;
    rows6And41.insert(rows6And41.end(), row41SumsToOne.begin(), row41SumsToOne.end());
    return {
        {"P 0 first", {{0, 0.0}}, {}, "badPredecessor", "entry (1, 1) must"},
        {"P n + 1 last, past the whole vectors", {{47 * 4 - 1, 48.0}}, {}, "badPredecessor", "entry (47, 4) must"},
        {"P 1.5 mid-column", {{47 * 2 + 20, 1.5}}, {}, "badPredecessor", "entry (21, 3) must"},
        {"P NaN", {{47 + 9, kNaN}}, {}, "badPredecessor", "entry (10, 2) must"},
        {"P infinity", {{47 + 9, kInf}}, {}, "badPredecessor", "entry (10, 2) must"},
        {"P -0.5", {{47 * 3 + 3, -0.5}}, {}, "badPredecessor", "entry (4, 4) must"},
        {"P two, the earlier row in the later column",
         {{47 * 2 + 30, 0.0}, {47 * 3 + 2, 0.0}},
         {},
         "badPredecessor",
         "entry (31, 3) must"},
        {"S one row in the first half", {}, row6SumsToOne, "noMemberEntry", "row 6 sums to 1,"},
        {"S one row in the second half", {}, row41SumsToOne, "noMemberEntry", "row 41 sums to 1,"},
        {"S a row in each half", {}, rows6And41, "noMemberEntry", "row 6 sums to 1,"},
    };
}

// The tables are read in passes that only notice a fault, on two threads
// when asked; the entry or row named must still be the first bad one.
using FaultInTables = KernelCaseTest<FaultCase>;

TEST_P(FaultInTables, NamesTheFirstBadOne) {
    const FaultCase& c = GetParam();
    StateSpace bad = allSubsets(6, 47);  // n = 47, K = 4
    for (const auto& [index, value] : c.P) bad.P[index] = value;
    for (const auto& [index, value] : c.S) bad.S[index] = value;
    const double T = 1;
    const std::vector<double> O(6, 1.0);
    for (std::int32_t threads : {1, 2}) {
        ForwardPlan plan{};
        Fault fault;
        EXPECT_FALSE(planForward(forwardInputsOf(bad, O, T), {threads}, &plan, &fault));
        EXPECT_STREQ(fault.mnemonic, c.mnemonic);
        EXPECT_NE(std::string(fault.detail).find(c.named), std::string::npos)
            << "threads=" << threads << ": " << fault.detail;
        standin::releaseScratch();
    }
}

INSTANTIATE_CASES(FaultInTables, faultCases());

}  // namespace
