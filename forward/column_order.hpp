// Where the steps keep each state's weight, and the one place a column
// crosses between that order and the order of the rows of S: results are
// read out, and every sum runs, in row order.
#ifndef FORWARD_COLUMN_ORDER_HPP
#define FORWARD_COLUMN_ORDER_HPP

#include <cstdint>

// State j (a row of S, 0-based) at place[j], or at j when place is null.
struct ColumnOrder {
    const std::int32_t* place;  // host scratch, states entries, or null
    std::int32_t states;

    std::int32_t placeOf(std::int32_t row) const { return place ? place[row] : row; }

    // rows[j] = column[placeOf(j)] for every state j; rows the caller's.
    void copyToRows(const double* column, double* rows) const;

    // sum + the weights of the rows [first, last) of column, added in
    // ascending row order into the one accumulator.
    double addRows(const double* column, std::int32_t first, std::int32_t last, double sum) const;

    // The most columns sumEach takes at once.
    static constexpr std::int32_t kSummedTogether = 4;

    // sums[g] = addRows(columns[g], 0, states, 0.0) for g < count (at most
    // kSummedTogether): the chains of additions interleaved, so that they
    // take about the time of one.
    void sumEach(const double* const* columns, std::int32_t count, double* sums) const;

    // The rows [0, r) whose weights are all written once the places
    // [0, written) are: the same count in row order, else all or none.
    std::int32_t rowsWritten(std::int32_t written) const { return !place || written == states ? written : 0; }
};

#endif
