#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "all_subsets.hpp"
#include "assembly/matrix_from_states.hpp"
#include "assembly/transition_matrix.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "scratch_check.hpp"
#include "state_spaces.hpp"

namespace {

using Assembly = KernelTest;

struct Pipeline {
    std::int32_t a;
    std::vector<double> codes, cum;
};

Pipeline pipelineOf(const std::vector<double>& S, std::int32_t rows, std::int32_t L) {
    std::vector<double> counts = literal::transitionCounts(S.data(), rows, L);
    Pipeline p{rows - 1, literal::transitionCodes(S.data(), counts.data(), rows, L), counts};
    for (std::int32_t s = 1; s < L; ++s) p.cum[s] += p.cum[s - 1];
    return p;
}

AssemblyInputs inputsOf(const Pipeline& p, const std::vector<double>& w, const std::vector<double>& list) {
    return {p.a, columnOf(w), columnOf(list), columnOf(p.codes), columnOf(p.cum)};
}

SparseColumns assembledSparse(const AssemblyInputs& in) {
    SparseColumns matrix{};
    Fault fault;
    EXPECT_TRUE(assembleSparseTransitionMatrix(in, &matrix, &fault)) << fault.detail;
    return matrix;
}

std::vector<double> assembled(const AssemblyInputs& in) {
    Fault fault;
    EXPECT_TRUE(checkAssemblyInputs(in, &fault)) << fault.detail;
    std::vector<double> A(static_cast<std::size_t>(in.matrixSize) * in.matrixSize, 0.0);
    EXPECT_TRUE(assembleTransitionMatrix(in, A.data(), &fault)) << fault.detail;
    return A;
}

TEST_F(Assembly, WorkedExamples) {
    Pipeline p{3, {1000001, 3000002, 3000003, 2000002, 3000001, 3000003}, {3, 6}};
    const std::vector<double> w = {0.25, 0.75};
    struct Case {
        std::vector<double> list;
        std::vector<double> A;  // column-major
    } cases[] = {
        {{1, 2}, {0.25, 0, 0.75, 0, 0.75, 0.25, 0, 0, 1.0}},
        {{2}, {0, 0, 0.75, 0, 0.75, 0, 0, 0, 0.75}},
        {{}, std::vector<double>(9, 0.0)},
        {{2, 2}, {0, 0, 1.5, 0, 1.5, 0, 0, 0, 1.5}},
    };
    for (const Case& c : cases) EXPECT_EQ(assembled(inputsOf(p, w, c.list)), c.A);
}

TEST_F(Assembly, ListLongerThanItsElementsIsEmpty) {
    Pipeline p{3, {1000001}, {1}};
    const std::vector<double> w = {1.0};
    AssemblyInputs in = inputsOf(p, w, {});
    in.symbolList.rows = 1;  // a 1 x 0 array: one row, no element
    EXPECT_EQ(listedSymbolCount(in), 0);
    EXPECT_EQ(assembled(in), std::vector<double>(9, 0.0));
}

TEST_F(Assembly, MatchesLiteralOnRandomPipelines) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> weight(0.0, 1.0);
    for (int round = 0; round < 30; ++round) {
        std::int32_t rows = 2 + static_cast<std::int32_t>(rng() % 60);
        std::int32_t L = 1 + static_cast<std::int32_t>(rng() % 9);
        Pipeline p = pipelineOf(randomBinaryRows(rows, L, rng), rows, L);
        std::vector<double> w(static_cast<std::size_t>(L));
        for (double& x : w) x = weight(rng);
        std::vector<double> list(rng() % (2 * L + 1));
        for (double& x : list) x = static_cast<double>(1 + rng() % L);  // repeats welcome
        std::vector<double> expected(static_cast<std::size_t>(p.a) * p.a, 0.0);
        literal::assemble(p.a, w.data(), list.data(), static_cast<std::int32_t>(list.size()), p.codes.data(),
                          p.cum.data(), expected.data());
        EXPECT_EQ(firstBitDifference(expected, assembled(inputsOf(p, w, list))), -1) << "round " << round;
    }
}

// The sparse form filled out, after checking what the host will rely on:
// column starts from 0 to its entries, rows ascending within a column, and
// no entry that is exactly 0.
std::vector<double> filledOut(const SparseColumns& m, std::int32_t size) {
    std::vector<double> A(static_cast<std::size_t>(size) * size, 0.0);
    EXPECT_EQ(m.columnStart[0], 0);
    EXPECT_EQ(m.columnStart[size], m.entries);
    for (std::int32_t c = 0; c < size; ++c) {
        for (std::int64_t e = m.columnStart[c]; e < m.columnStart[c + 1]; ++e) {
            EXPECT_TRUE(e == m.columnStart[c] || m.rowIndex[e] > m.rowIndex[e - 1]) << "column " << c;
            EXPECT_NE(m.value[e], 0.0) << "column " << c;
            A[m.rowIndex[e] + static_cast<std::size_t>(c) * size] = m.value[e];
        }
    }
    return A;
}

// Weights whose sums cancel to exactly 0 on cells several symbols reach (the
// diagonal): the sparse form must leave those cells out, and every other
// cell must hold the dense form's bits.
TEST_F(Assembly, SparseFormHoldsTheDenseBits) {
    std::mt19937_64 rng(31);
    const double pool[] = {0.25, -0.25, 0.5, -0.5, 0.1, -0.1, 0.3, 1e-300};
    for (int round = 0; round < 40; ++round) {
        std::int32_t rows = 2 + static_cast<std::int32_t>(rng() % 50);
        std::int32_t L = 1 + static_cast<std::int32_t>(rng() % 7);
        Pipeline p = pipelineOf(randomBinaryRows(rows, L, rng), rows, L);
        std::vector<double> w(static_cast<std::size_t>(L));
        for (double& x : w) x = pool[rng() % 8];
        std::vector<double> list(rng() % (2 * L + 1));
        for (double& x : list) x = static_cast<double>(1 + rng() % L);
        const AssemblyInputs in = inputsOf(p, w, list);
        std::vector<double> dense = assembled(in);
        EXPECT_EQ(firstBitDifference(dense, filledOut(assembledSparse(in), p.a)), -1) << "round " << round;
    }
}

TEST_F(Assembly, SparseFormLeavesOutCellsThatCancel) {
    Pipeline p{3, {1000001, 3000002, 3000003, 2000002, 3000001, 3000003}, {3, 6}};
    const std::vector<double> w = {0.5, -0.5};
    // Symbol 1 then 2 on (3, 3), and 1 twice and 2 twice: the diagonal cell of
    // state 3 sums to 0, every other cell keeps its weight.
    for (const std::vector<double>& list : {std::vector<double>{1, 2}, std::vector<double>{1, 2, 2, 1}}) {
        SparseColumns m = assembledSparse(inputsOf(p, w, list));
        EXPECT_EQ(m.entries, 4);
        EXPECT_EQ(firstBitDifference(assembled(inputsOf(p, w, list)), filledOut(m, 3)), -1);
    }
}

// The matrix straight from S in compressed columns, as the gateway has it
// made: counted, then written into arrays of exactly its entries.
struct StatesMatrix {
    std::vector<std::int64_t> columnStart;
    std::vector<std::int32_t> rowIndex;
    std::vector<double> value;
    SparseColumns columns() { return {columnStart.data(), rowIndex.data(), value.data(), columnStart.back()}; }
};

StatesMatrix fromStates(const StatesAssemblyInputs& in) {
    Fault fault;
    EXPECT_TRUE(checkStatesAssemblyInputs(in, &fault)) << fault.detail;
    StatesColumns counted{};
    EXPECT_TRUE(countStatesColumns(in, &counted, &fault)) << fault.detail;
    StatesMatrix m{std::vector<std::int64_t>(counted.columnStart, counted.columnStart + counted.size + 1),
                   std::vector<std::int32_t>(static_cast<std::size_t>(counted.entries)),
                   std::vector<double>(static_cast<std::size_t>(counted.entries))};
    EXPECT_TRUE(fillStatesColumns(counted, m.rowIndex.data(), m.value.data(), &fault)) << fault.detail;
    return m;
}

// Random families (repeated, empty and unclosed rows) under weights whose
// sums cancel, vanish, or are not finite, and lists with repeats or none:
// on one thread and two, the matrix straight from S holds the bits the
// literal pipeline adds for the same list, and no stored 0.
TEST_F(Assembly, StatesMatrixHoldsThePipelineBits) {
    std::mt19937_64 rng(43);
    const double pool[] = {0.25, -0.25, 0.5, -0.5, 0.1, -0.0, 0.0, 0.3, 1e-300, HUGE_VAL, -HUGE_VAL, std::nan("")};
    for (int round = 0; round < 60; ++round) {
        const std::int32_t rows = 1 + static_cast<std::int32_t>(rng() % 80);
        const std::int32_t L = 1 + static_cast<std::int32_t>(rng() % 8);
        const std::vector<double> S = randomBinaryRows(rows, L, rng);
        std::vector<double> w(static_cast<std::size_t>(L));
        for (double& x : w) x = pool[rng() % (round % 3 == 0 ? 12 : 9)];
        const bool listGiven = round % 5 != 0;
        std::vector<double> list(listGiven ? rng() % (2 * L + 1) : L);
        for (std::size_t i = 0; i < list.size(); ++i) {
            list[i] = listGiven ? static_cast<double>(1 + rng() % L) : static_cast<double>(i + 1);
        }
        const Pipeline p = pipelineOf(S, rows, L);
        std::vector<double> expected(static_cast<std::size_t>(p.a) * p.a, 0.0);
        literal::assemble(p.a, w.data(), list.data(), static_cast<std::int32_t>(list.size()), p.codes.data(),
                          p.cum.data(), expected.data());
        for (std::int32_t threads : {1, 2}) {
            StatesMatrix m = fromStates({viewOf(S, rows, L), columnOf(w), columnOf(list), listGiven, threads});
            EXPECT_EQ(firstBitDifference(expected, filledOut(m.columns(), p.a)), -1)
                << "round " << round << ", " << threads << " threads";
        }
    }
}

// Past the threads' threshold, shuffled with repeats: the same bits on one
// thread and two.
TEST_F(Assembly, StatesMatrixSameOnEveryThreadCount) {
    std::mt19937_64 rng(44);
    std::vector<std::uint32_t> sets = everySet(14);
    for (int extra = 0; extra < 3000; ++extra) sets.insert(sets.begin(), sets[rng() % sets.size()]);
    const StateSpace space = subsetFamily(14, shuffledKeepingLast(sets, rng));
    const std::vector<double> w = {0.05, 0.1, 0.02, 0.08, 0.1, 0.05, 0.1, 0.05, 0.05, 0.1, 0.05, 0.1, 0.1, 0.05};
    StatesMatrix m[2];
    for (std::int32_t threads : {1, 2}) {
        m[threads - 1] = fromStates({viewOf(space.S, space.n, space.L), columnOf(w), {}, false, threads});
    }
    EXPECT_EQ(m[0].columnStart, m[1].columnStart);
    EXPECT_EQ(m[0].rowIndex, m[1].rowIndex);
    EXPECT_EQ(firstBitDifference(m[0].value, m[1].value), -1);
}

TEST_F(Assembly, StatesRowOneNeverRead) {
    const std::vector<double> S = {7, 1, 0, 1, std::nan(""), 0, 1, 1}, w = {0.25, 0.75};
    StatesMatrix m = fromStates({viewOf(S, 4, 2), columnOf(w), {}, false, 0});
    EXPECT_EQ(filledOut(m.columns(), 3), (std::vector<double>{0.25, 0, 0.75, 0, 0.75, 0.25, 0, 0, 1.0}));
}

struct RejectedAssembly {
    std::string label;
    std::vector<double> list, codes, cum;
    const char* mnemonic;
};
PRINT_CASES_BY_LABEL(RejectedAssembly)

const std::vector<double> kWorkedCodes = {1000001, 3000002, 3000003, 2000002, 3000001, 3000003};
const std::vector<double> kWorkedCum = {3, 6};

const RejectedAssembly kRejectedAssemblies[] = {
    {"symbol 0", {0}, kWorkedCodes, kWorkedCum, "badSymbol"},
    {"symbol past cum", {3}, kWorkedCodes, kWorkedCum, "badSymbol"},
    {"fractional symbol", {1.5}, kWorkedCodes, kWorkedCum, "badSymbol"},
    {"cum decreasing", {2}, kWorkedCodes, {3, 2}, "badCum"},
    {"cum past the codes", {2}, kWorkedCodes, {3, 7}, "badCum"},
    {"counts in place of cum", {1, 2}, kWorkedCodes, {3, 3}, "badCum"},
    {"cum below 0", {}, kWorkedCodes, {-1, 6}, "badCum"},
    {"cum NaN", {1}, kWorkedCodes, {3, std::nan("")}, "badCum"},
    {"cum not whole", {1}, kWorkedCodes, {2.5, 6}, "badBucket"},
    {"zero code", {1}, {0, 3000002, 3000003}, {3, 3}, "badCode"},
    {"to beyond a", {1}, {4000001}, {1, 1}, "badCode"},
    {"from beyond a", {1}, {1000004}, {1, 1}, "badCode"},
    {"code not whole", {1}, {1000001.5}, {1, 1}, "badCode"},
    {"negative code", {1}, {-1000001}, {1, 1}, "badCode"},
    {"from zero", {1}, {2000000}, {1, 1}, "badCode"},
    {"NaN code", {1}, {std::nan("")}, {1, 1}, "badCode"},
    {"code past int32", {1}, {2147483648.0 + 1000001}, {1, 1}, "badCode"},
    {"infinite code", {1}, {HUGE_VAL}, {1, 1}, "badCode"},
};

using AssemblyRejects = KernelCaseTest<RejectedAssembly>;

TEST_P(AssemblyRejects, WhatWouldAddressOutside) {
    const RejectedAssembly& c = GetParam();
    const std::vector<double> w = {0.25, 0.75};
    Pipeline p{3, c.codes, c.cum};
    Fault fault;
    EXPECT_FALSE(checkAssemblyInputs(inputsOf(p, w, c.list), &fault));
    EXPECT_STREQ(fault.mnemonic, c.mnemonic);
}

INSTANTIATE_CASES(AssemblyRejects, kRejectedAssemblies);

}  // namespace
