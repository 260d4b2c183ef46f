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
