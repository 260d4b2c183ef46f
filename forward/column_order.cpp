#include "forward/column_order.hpp"

#include <cstring>

void ColumnOrder::copyToRows(const double* column, double* rows) const {
    if (!place) {
        std::memcpy(rows, column, static_cast<std::size_t>(states) * sizeof(double));
        return;
    }
    for (std::int32_t j = 0; j < states; ++j) rows[j] = column[place[j]];
}

double ColumnOrder::addRows(const double* column, std::int32_t first, std::int32_t last, double sum) const {
    if (!place) {
        for (std::int32_t j = first; j < last; ++j) sum = sum + column[j];
        return sum;
    }
    for (std::int32_t j = first; j < last; ++j) sum = sum + column[place[j]];
    return sum;
}

void ColumnOrder::sumEach(const double* const* columns, std::int32_t count, double* sums) const {
    // Fewer columns than four repeat the last: the spare chains cost nothing
    // beside the others, and one loop serves every count.
    const double* c[kSummedTogether];
    for (std::int32_t g = 0; g < kSummedTogether; ++g) c[g] = columns[g < count ? g : count - 1];
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (std::int32_t j = 0; j < states; ++j) {
        const std::int32_t p = placeOf(j);
        s0 = s0 + c[0][p];
        s1 = s1 + c[1][p];
        s2 = s2 + c[2][p];
        s3 = s3 + c[3][p];
    }
    const double all[kSummedTogether] = {s0, s1, s2, s3};
    for (std::int32_t g = 0; g < count; ++g) sums[g] = all[g];
}
