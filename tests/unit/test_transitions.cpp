#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"
#include "transitions/enumerate_transitions.hpp"
#include "transitions/transition_codes.hpp"

namespace {

using TransitionWalk = KernelTest;

std::vector<literal::Event> walk(const std::vector<double>& S, std::int32_t a, std::int32_t L) {
    std::vector<literal::Event> events;
    enumerateTransitions(S.data(), a, L, [&](std::int32_t to, std::int32_t from, std::int32_t symbol) {
        events.push_back({to, from, symbol});
    });
    return events;
}

// Compares the whole event sequence, then counts and codes, with the literal walk.
void expectLikeLiteral(const std::vector<double>& S, std::int32_t a, std::int32_t L, const std::string& label) {
    std::vector<literal::Event> expected = literal::transitionEvents(S.data(), a, L);
    std::vector<literal::Event> actual = walk(S, a, L);
    std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < common; ++i) {
        ASSERT_TRUE(expected[i] == actual[i])
            << label << ": event " << i << " expected (" << expected[i].to << ", " << expected[i].from << ", "
            << expected[i].symbol << ") got (" << actual[i].to << ", " << actual[i].from << ", " << actual[i].symbol
            << ")";
    }
    ASSERT_EQ(expected.size(), actual.size()) << label;

    std::vector<double> counts = literal::transitionCounts(S.data(), a, L);
    double* kernelCounts = countTransitions(S.data(), a, L);
    ASSERT_EQ(firstBitDifference(counts, std::vector<double>(kernelCounts, kernelCounts + L)), -1) << label;

    if (L == 0 || a > kMaxCodedStates) return;
    TransitionCodes codes{};
    InputFault fault;
    ASSERT_TRUE(bucketTransitions(S.data(), counts.data(), a, L, L, &codes, &fault)) << label << fault.message;
    std::vector<double> literalCodes = literal::transitionCodes(S.data(), counts.data(), a, L);
    std::vector<double> kernelCodes(codes.codes, codes.codes + codes.codeCount);
    ASSERT_EQ(literalCodes.size(), kernelCodes.size()) << label;
    EXPECT_EQ(firstBitDifference(literalCodes, kernelCodes), -1) << label;
}

TEST_F(TransitionWalk, WorkedExampleEventsInOrder) {
    const std::vector<double> S = {0, 1, 0, 1, 0, 0, 1, 1};  // rows (0,0) (1,0) (0,1) (1,1)
    const std::vector<literal::Event> expected = {{1, 1, 0}, {2, 2, 1}, {3, 1, 1},
                                                  {3, 2, 0}, {3, 3, 0}, {3, 3, 1}};
    EXPECT_EQ(walk(S, 4, 2), expected);
}

TEST_F(TransitionWalk, MatchesLiteralOnRandomBinaryRows) {
    std::mt19937_64 rng(42);
    const std::int32_t sizes[] = {0, 1, 2, 3, 17, 64, 150, 300};
    const std::int32_t widths[] = {1, 2, 5, 12, 63, 64, 65, 70};
    for (std::int32_t a : sizes) {
        for (std::int32_t L : widths) {
            if (static_cast<std::int64_t>(a) * a * L > 3000000) continue;
            std::vector<double> S = randomBinaryRows(a, L, rng);
            expectLikeLiteral(S, a, L, "a=" + std::to_string(a) + " L=" + std::to_string(L));
            standin::releaseScratch();
        }
    }
}

TEST_F(TransitionWalk, MatchesLiteralOnPowersetsAndRowZero) {
    std::mt19937_64 rng(5);
    for (std::int32_t L = 1; L <= 7; ++L) {
        StateSpace space = reshuffled(powerset(L), L, rng);
        // Row 0 takes no part whatever it holds: make it the full set.
        for (std::int32_t c = 0; c < L; ++c) space.S[static_cast<std::size_t>(c) * space.n] = 1.0;
        expectLikeLiteral(space.S, space.n, L, "powerset L=" + std::to_string(L));
        standin::releaseScratch();
    }
}

TEST_F(TransitionWalk, MatchesLiteralOnEntriesOtherThanZeroAndOne) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double pool[] = {0.0, 1.0, 0.5, 1.5, -1.0, -0.0, nan, 2.0, -0.5};
    std::mt19937_64 rng(11);
    for (int round = 0; round < 40; ++round) {
        std::int32_t a = 2 + static_cast<std::int32_t>(rng() % 30);
        std::int32_t L = 1 + static_cast<std::int32_t>(rng() % 6);
        std::vector<double> S(static_cast<std::size_t>(a) * L);
        for (double& x : S) x = rng() % 3 == 0 ? pool[rng() % 9] : static_cast<double>(rng() & 1);
        expectLikeLiteral(S, a, L, "round " + std::to_string(round));
        standin::releaseScratch();
    }
}

TEST_F(TransitionWalk, HalfDifferencesAreNeitherPlusNorMinus) {
    // Rows (1, 0.5) and (1, 0) form a SameState pair each way.
    const std::vector<double> S = {0, 1, 1, 0, 0.5, 0};
    const std::vector<literal::Event> expected = {{1, 1, 0}, {1, 2, 0}, {2, 1, 0}, {2, 2, 0}};
    EXPECT_EQ(walk(S, 3, 2), expected);
}

TEST_F(TransitionWalk, ClassifiesPairs) {
    struct Case {
        std::vector<double> to, from;
        TransitionKind kind;
        std::int32_t added;
    } cases[] = {
        {{1, 1, 0}, {1, 0, 0}, TransitionKind::AddsSymbol, 1},
        {{1, 1, 1}, {1, 0, 0}, TransitionKind::NoTransition, -1},  // two symbols added
        {{1, 0, 0}, {0, 1, 0}, TransitionKind::NoTransition, -1},  // from holds a symbol to lacks
        {{0, 1, 1}, {0, 1, 1}, TransitionKind::SameState, -1},
        {{1, 0.5, 0}, {1, 0, 0}, TransitionKind::SameState, -1},
        {{2, 0, 0}, {1, 0, 0}, TransitionKind::AddsSymbol, 0},  // exact difference of -1
        {{-0.0, 1}, {0.0, 0}, TransitionKind::AddsSymbol, 1},
    };
    for (const Case& c : cases) {
        std::int32_t added = -1;
        EXPECT_EQ(classifyPair(c.to.data(), c.from.data(), static_cast<std::int32_t>(c.to.size()), &added), c.kind);
        if (c.kind == TransitionKind::AddsSymbol) {
            EXPECT_EQ(added, c.added);
        }
    }
}

TEST_F(TransitionWalk, ScratchIsLinearInStates) {
    std::mt19937_64 rng(9);
    std::vector<double> S = randomBinaryRows(600, 12, rng);
    std::vector<double> counts = literal::transitionCounts(S.data(), 600, 12);
    standin::releaseScratch();
    TransitionCodes codes{};
    InputFault fault;
    ASSERT_TRUE(bucketTransitions(S.data(), counts.data(), 600, 12, 12, &codes, &fault));
    std::size_t bytes = standin::releaseScratch();
    std::size_t codeBytes = static_cast<std::size_t>(codes.codeCount) * sizeof(double);
    EXPECT_LE(bytes, codeBytes + 600 * 12 * sizeof(double) + 64 * 12);
}

}  // namespace
