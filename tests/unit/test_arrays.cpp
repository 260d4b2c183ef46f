#include <cmath>
#include <limits>
#include <vector>

#include "array_routines.hpp"
#include "scratch_check.hpp"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

using ArrayRoutines = KernelTest;

TEST_F(ArrayRoutines, RowSumAddsAcrossColumnsWithLeadingDimension) {
    const std::vector<double> m = {1, 2, 3, 4, 5, 6};  // 2 x 3
    EXPECT_EQ(rowSum(m.data(), 1, 2, 3), 12.0);
    EXPECT_EQ(rowSum(m.data(), 0, 2, 0), 0.0);
    EXPECT_EQ(rowSum(m.data(), 0, 2, -4), 0.0);
}

TEST_F(ArrayRoutines, RowSumKeepsAscendingOrder) {
    // (1e16 + 1) + 1 rounds twice to 1e16; any other order would give 1e16 + 2.
    const std::vector<double> m = {1e16, 1.0, 1.0};
    EXPECT_EQ(rowSum(m.data(), 0, 1, 3), 1e16);
}

TEST_F(ArrayRoutines, CountAndPositionsCompareExactly) {
    const std::vector<double> v = {1, -1, 0, 1, kNaN};
    struct Case {
        double value;
        std::int32_t count;
    } cases[] = {{1.0, 2}, {-1.0, 1}, {kNaN, 0}, {-0.0, 1}, {7.0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(countEqual(v.data(), 0, 1, 5, c.value), c.count) << c.value;
        std::int32_t length = -1;
        positionsEqual(v.data(), 0, 1, 5, c.value, &length);
        EXPECT_EQ(length, c.count) << c.value;
    }
    EXPECT_EQ(countEqual(v.data(), 0, 3, 2, 1.0), 2);  // strided: v[0] and v[3]
}

TEST_F(ArrayRoutines, PositionsEqualListsAscending) {
    const std::vector<double> v = {0, 1, 1, 0, 1};
    std::int32_t length = 0;
    std::int32_t* positions = positionsEqual(v.data(), 0, 1, 5, 1.0, &length);
    ASSERT_EQ(length, 3);
    EXPECT_EQ(std::vector<std::int32_t>(positions, positions + 3), (std::vector<std::int32_t>{1, 2, 4}));
}

TEST_F(ArrayRoutines, PositionsEqualIntoFillsFromFrontAndStopsAtCapacity) {
    const std::vector<double> row = {1, 0, 0};
    std::int32_t* q = positionsEqualInto(row.data(), 0, 1, 3, 3, 1.0);
    EXPECT_EQ(std::vector<std::int32_t>(q, q + 3), (std::vector<std::int32_t>{0, 0, 0}));
    const std::vector<double> ones = {1, 1, 1, 1};
    q = positionsEqualInto(ones.data(), 0, 1, 4, 2, 1.0);  // more matches than room: guard bytes check the end
    EXPECT_EQ(std::vector<std::int32_t>(q, q + 2), (std::vector<std::int32_t>{0, 1}));
}

TEST_F(ArrayRoutines, CopiesAndDifference) {
    const std::vector<double> m = {1, 2, 3, 4, 5, 6};  // 2 x 3
    double* row = rowCopy(m.data(), 1, 2, 3);
    EXPECT_EQ(std::vector<double>(row, row + 3), (std::vector<double>{2, 4, 6}));
    double* column = columnCopy(m.data(), 2, 2);
    EXPECT_EQ(std::vector<double>(column, column + 2), (std::vector<double>{5, 6}));
    double* d = vectorDifference(row, column, 2);
    EXPECT_EQ(std::vector<double>(d, d + 2), (std::vector<double>{-3, -2}));
}

TEST_F(ArrayRoutines, NormalizeColumnDividesBySum) {
    std::vector<double> m = {9, 9, 1, 3, 0, 0, 2, -2};  // 2 x 4
    normalizeColumn(m.data(), 2, 1);
    EXPECT_EQ(m[2], 0.25);
    EXPECT_EQ(m[3], 0.75);
    EXPECT_EQ(m[0], 9.0);  // other columns untouched
    normalizeColumn(m.data(), 2, 2);
    EXPECT_TRUE(std::isnan(m[4]) && std::isnan(m[5]));
    normalizeColumn(m.data(), 2, 3);  // zero sum of non-zero entries: signed infinities
    EXPECT_EQ(m[6], std::numeric_limits<double>::infinity());
    EXPECT_EQ(m[7], -std::numeric_limits<double>::infinity());
}

TEST_F(ArrayRoutines, NormalizeColumnDividesRatherThanMultiplies) {
    // With sum 0.1 + 0.7, 0.1 / sum and 0.1 * (1 / sum) differ in the last bit.
    std::vector<double> m = {0.1, 0.7};
    const double sum = 0.1 + 0.7;
    ASSERT_NE(0.1 / sum, 0.1 * (1.0 / sum));
    normalizeColumn(m.data(), 2, 0);
    EXPECT_EQ(m[0], 0.1 / sum);
}

}  // namespace
