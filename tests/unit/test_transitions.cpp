#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "all_subsets.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"
#include "transitions/enumerate_transitions.hpp"
#include "transitions/transition_codes.hpp"

namespace {

using TransitionWalk = KernelTest;

// The walk as the kernels choose it, and each of its two ways forced.
enum class Path { Chosen, Pairwise, Lookup };
const char* const kPathNames[] = {"chosen", "pairwise", "lookup"};

std::vector<literal::Event> walk(const std::vector<double>& S, std::int32_t a, std::int32_t L,
                                 Path path = Path::Chosen) {
    std::vector<literal::Event> events;
    auto record = [&events](std::int32_t to, std::int32_t from, std::int32_t symbol) {
        events.push_back({to, from, symbol});
    };
    InterruptPoll poll;
    switch (path) {
        case Path::Chosen: enumerateTransitions(S.data(), a, L, poll, record); break;
        case Path::Pairwise: enumerateTransitionsPairwise(S.data(), a, L, poll, record); break;
        case Path::Lookup: enumerateTransitionsByLookup(S.data(), a, L, poll, record); break;
    }
    return events;
}

void expectSameEvents(const std::vector<literal::Event>& expected, const std::vector<literal::Event>& actual,
                      const std::string& label) {
    std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < common; ++i) {
        ASSERT_TRUE(expected[i] == actual[i])
            << label << ": event " << i << " expected (" << expected[i].to << ", " << expected[i].from << ", "
            << expected[i].symbol << ") got (" << actual[i].to << ", " << actual[i].from << ", " << actual[i].symbol
            << ")";
    }
    ASSERT_EQ(expected.size(), actual.size()) << label;
}

// Compares the whole event sequence of every path that applies (the lookup
// only takes 0/1 rows), then counts and codes, with the literal walk.
void expectLikeLiteral(const std::vector<double>& S, std::int32_t a, std::int32_t L, const std::string& label) {
    std::vector<literal::Event> expected = literal::transitionEvents(S.data(), a, L);
    InterruptPoll poll;
    for (Path path : {Path::Chosen, Path::Pairwise, Path::Lookup}) {
        if (path == Path::Lookup && !holdsOnlyZerosAndOnes(S.data(), a, L, poll)) continue;
        expectSameEvents(expected, walk(S, a, L, path), label + " " + kPathNames[static_cast<int>(path)]);
    }

    std::vector<double> counts = literal::transitionCounts(S.data(), a, L);
    Fault fault;
    double* kernelCounts = countTransitions(S.data(), a, L, &fault);
    ASSERT_EQ(firstBitDifference(counts, std::vector<double>(kernelCounts, kernelCounts + L)), -1) << label;

    if (L == 0 || a > kMaxCodedStates) return;
    TransitionCodes codes{};
    ASSERT_TRUE(bucketTransitions(viewOf(S, a, L), columnOf(counts), &codes, &fault)) << label << fault.detail;
    std::vector<double> literalCodes = literal::transitionCodes(S.data(), counts.data(), a, L);
    std::vector<double> kernelCodes(codes.codes, codes.codes + codes.codeCount);
    ASSERT_EQ(literalCodes.size(), kernelCodes.size()) << label;
    EXPECT_EQ(firstBitDifference(literalCodes, kernelCodes), -1) << label;
}

// a x L rows, each a copy of an earlier one with up to two entries flipped
// (or all zero now and then): many equal rows and rows one symbol apart, in
// every 64-column word, which independent random rows of many columns lack.
std::vector<double> nearbyRows(std::int32_t a, std::int32_t L, std::mt19937_64& rng) {
    std::vector<double> S(static_cast<std::size_t>(a) * L, 0.0);
    for (std::int32_t r = 1; r < a; ++r) {
        if (rng() % 10 == 0) continue;
        auto source = static_cast<std::int32_t>(rng() % r);
        for (std::int32_t c = 0; c < L; ++c)
            S[r + static_cast<std::size_t>(c) * a] = S[source + static_cast<std::size_t>(c) * a];
        for (std::uint64_t flips = rng() % 3; flips > 0; --flips) {
            double& x = S[r + static_cast<std::size_t>(rng() % L) * a];
            x = 1.0 - x;
        }
    }
    return S;
}

TEST_F(TransitionWalk, WorkedExampleEventsInOrder) {
    const std::vector<double> S = {0, 1, 0, 1, 0, 0, 1, 1};  // rows (0,0) (1,0) (0,1) (1,1)
    const std::vector<literal::Event> expected = {{1, 1, 0}, {2, 2, 1}, {3, 1, 1}, {3, 2, 0}, {3, 3, 0}, {3, 3, 1}};
    for (Path path : {Path::Chosen, Path::Pairwise, Path::Lookup}) {
        EXPECT_EQ(walk(S, 4, 2, path), expected) << kPathNames[static_cast<int>(path)];
    }
}

TEST_F(TransitionWalk, MatchesLiteralOnRandomBinaryRows) {
    std::mt19937_64 rng(42);
    using Generator = std::vector<double> (*)(std::int32_t, std::int32_t, std::mt19937_64&);
    const struct {
        const char* name;
        Generator rows;
    } generators[] = {{"random", randomBinaryRows}, {"nearby", nearbyRows}};
    const std::int32_t sizes[] = {0, 1, 2, 3, 17, 64, 150, 300};
    const std::int32_t widths[] = {1, 2, 5, 12, 63, 64, 65, 70};
    for (const auto& generator : generators) {
        for (std::int32_t a : sizes) {
            for (std::int32_t L : widths) {
                std::vector<double> S = generator.rows(a, L, rng);
                expectLikeLiteral(S, a, L,
                                  std::string(generator.name) + " a=" + std::to_string(a) + " L=" + std::to_string(L));
                standin::releaseScratch();
            }
        }
    }
}

TEST_F(TransitionWalk, MatchesLiteralOnRowsDifferingOnlyInLaterWords) {
    // Every subset of a few columns on one random base row: the rows agree
    // everywhere else, so only the named columns tell them apart.
    const struct {
        std::int32_t L;
        std::vector<std::int32_t> columns;
    } cases[] = {
        {70, {64, 66, 69}},        // beyond the first word only
        {65, {62, 63, 64}},        // across the word boundary
        {130, {0, 64, 128, 129}},  // one in each of three words
        {64, {0, 31, 63}},
    };
    std::mt19937_64 rng(3);
    for (const auto& c : cases) {
        auto subsets = static_cast<std::int32_t>(1u << c.columns.size());
        std::int32_t a = 1 + 2 * subsets;  // each subset twice, after row 0
        std::vector<double> base(static_cast<std::size_t>(c.L));
        for (double& x : base) x = static_cast<double>(rng() & 1);
        std::vector<double> S(static_cast<std::size_t>(a) * c.L);
        for (std::int32_t r = 1; r < a; ++r) {
            std::int32_t subset = (r - 1) % subsets;
            for (std::int32_t col = 0; col < c.L; ++col) S[r + static_cast<std::size_t>(col) * a] = base[col];
            for (std::size_t k = 0; k < c.columns.size(); ++k) {
                S[r + static_cast<std::size_t>(c.columns[k]) * a] = static_cast<double>((subset >> k) & 1);
            }
        }
        expectLikeLiteral(S, a, c.L, "L=" + std::to_string(c.L) + " subsets of " + std::to_string(c.columns.size()));
        standin::releaseScratch();
    }
}

TEST_F(TransitionWalk, MatchesLiteralOnPowersetsAndRowZero) {
    std::mt19937_64 rng(5);
    for (std::int32_t L = 1; L <= 7; ++L) {
        StateSpace space = reshuffled(allSubsets(L), L, rng);
        // Row 0 takes no part whatever it holds, even entries that would
        // otherwise send the walk pair by pair.
        for (std::int32_t c = 0; c < L; ++c) space.S[static_cast<std::size_t>(c) * space.n] = c % 2 ? 1.0 : 0.5;
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

struct PairCase {
    std::string label;
    std::vector<double> to, from;
    TransitionKind kind;
    std::int32_t added;
};
PRINT_CASES_BY_LABEL(PairCase)

const PairCase kPairs[] = {
    {"one symbol added", {1, 1, 0}, {1, 0, 0}, TransitionKind::AddsSymbol, 1},
    {"two symbols added", {1, 1, 1}, {1, 0, 0}, TransitionKind::NoTransition, -1},
    {"from holds a symbol to lacks", {1, 0, 0}, {0, 1, 0}, TransitionKind::NoTransition, -1},
    {"equal rows", {0, 1, 1}, {0, 1, 1}, TransitionKind::SameState, -1},
    {"a half difference", {1, 0.5, 0}, {1, 0, 0}, TransitionKind::SameState, -1},
    {"an exact difference of -1 from 2", {2, 0, 0}, {1, 0, 0}, TransitionKind::AddsSymbol, 0},
    {"negative zero", {-0.0, 1}, {0.0, 0}, TransitionKind::AddsSymbol, 1},
};

using ClassifiedPair = KernelCaseTest<PairCase>;

TEST_P(ClassifiedPair, ByItsDifferences) {
    const PairCase& c = GetParam();
    std::int32_t added = -1;
    EXPECT_EQ(classifyPair(c.to.data(), c.from.data(), static_cast<std::int32_t>(c.to.size()), &added), c.kind);
    if (c.kind == TransitionKind::AddsSymbol) {
        EXPECT_EQ(added, c.added);
    }
}

INSTANTIATE_CASES(ClassifiedPair, kPairs);

TEST_F(TransitionWalk, LooksUpRowsOnlyWhenEveryEntryIsZeroOrOne) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::vector<double> S;  // 3 x 2
        bool lookup;
    } cases[] = {
        {{0, 1, 0, 0, 1, 1}, true},          {{0, -0.0, 1, 0, 1, -0.0}, true},
        {{0.5, 1, 0, nan, 1, 1}, true},  // row 0 is not read
        {{0, 1, 0.5, 0, 1, 1}, false},       {{0, 1, 0, 0, nan, 1}, false},
        {{0, 2, 0, 0, 1, 1}, false},         {{0, 1, 0, 0, 1, -1}, false},
        {{0, 1, 0, 0, 1, 1 + 1e-15}, false},
    };
    InterruptPoll poll;
    for (const auto& c : cases) EXPECT_EQ(holdsOnlyZerosAndOnes(c.S.data(), 3, 2, poll), c.lookup);
    EXPECT_TRUE(holdsOnlyZerosAndOnes(nullptr, 0, 2, poll));
    EXPECT_TRUE(holdsOnlyZerosAndOnes(nullptr, 3, 0, poll));
}

TEST_F(TransitionWalk, CountsAreTheLookupWalksEventsAtScale) {
    // Far beyond the literal walk's reach: the counts, added up group by
    // group, against the events of the merged walk, one by one.
    std::mt19937_64 rng(23);
    for (std::int32_t L : {20, 70}) {
        const std::int32_t a = 20000;
        std::vector<double> S = nearbyRows(a, L, rng);
        std::vector<double> expected(static_cast<std::size_t>(L), 0.0);
        for (const literal::Event& e : walk(S, a, L, Path::Lookup)) expected[e.symbol] += 1.0;
        Fault fault;
        double* counts = countTransitions(S.data(), a, L, &fault);
        EXPECT_EQ(firstBitDifference(expected, std::vector<double>(counts, counts + L)), -1) << "L=" << L;
        standin::releaseScratch();
    }
}

TEST_F(TransitionWalk, ScratchIsLinearInStates) {
    // Bytes per row: a row-major copy (8 L), or the packed row, index lists
    // and hash slots (8 L / 64 + 16 + 64); a quadratic term would dwarf both.
    auto perRowBound = [](std::int32_t L) { return static_cast<std::size_t>(8 * L + 96); };
    std::mt19937_64 rng(9);
    for (bool binary : {true, false}) {
        const std::int32_t a = 600, L = 12;
        std::vector<double> S = randomBinaryRows(a, L, rng);
        if (!binary) S[a - 1] = 0.5;
        std::vector<double> counts = literal::transitionCounts(S.data(), a, L);
        standin::releaseScratch();
        TransitionCodes codes{};
        Fault fault;
        ASSERT_TRUE(bucketTransitions(viewOf(S, a, L), columnOf(counts), &codes, &fault));
        std::size_t codeBytes = static_cast<std::size_t>(codes.codeCount) * sizeof(double);
        EXPECT_LE(standin::releaseScratch(), codeBytes + a * perRowBound(L) + 64 * L) << "binary " << binary;
    }
    const std::int32_t a = 100000, L = 40;
    std::vector<double> S = randomBinaryRows(a, L, rng);
    Fault fault;
    countTransitions(S.data(), a, L, &fault);
    EXPECT_LE(standin::releaseScratch(), a * perRowBound(L));
}

}  // namespace
