#include "state_spaces.hpp"

#include <algorithm>

namespace {

std::vector<double> rowOf(const std::vector<double>& S, std::int32_t n, std::int32_t L, std::int32_t r) {
    std::vector<double> row(static_cast<std::size_t>(L));
    for (std::int32_t c = 0; c < L; ++c) row[c] = S[r + static_cast<std::size_t>(c) * n];
    return row;
}

}  // namespace

StateSpace withPredecessors(std::vector<double> S, std::int32_t n, std::int32_t L) {
    StateSpace space;
    space.n = n;
    space.L = L;
    space.S = std::move(S);
    std::vector<std::vector<double>> rows;
    for (std::int32_t r = 0; r < n; ++r) rows.push_back(rowOf(space.S, n, L, r));
    std::vector<std::int32_t> Q;
    for (std::int32_t c = 0; c < L; ++c) {
        if (rows[n - 1][c] == 1.0) Q.push_back(c);
    }
    space.K = static_cast<std::int32_t>(Q.size());
    space.P.assign(static_cast<std::size_t>(n) * Q.size(), -1.0);
    for (std::int32_t j = 0; j < n; ++j) {
        for (std::size_t k = 0; k < Q.size(); ++k) {
            if (rows[j][Q[k]] != 1.0) continue;
            std::vector<double> less = rows[j];
            less[Q[k]] = 0.0;
            auto found = std::find(rows.begin(), rows.end(), less);
            if (found != rows.end()) space.P[j + k * n] = static_cast<double>(found - rows.begin() + 1);
        }
    }
    return space;
}

StateSpace withSymbolsReversed(StateSpace space) {
    for (std::vector<double>* matrix : {&space.S, &space.P}) {
        for (std::int32_t c = 0; c < space.L / 2; ++c) {
            std::swap_ranges(matrix->begin() + static_cast<std::ptrdiff_t>(c) * space.n,
                             matrix->begin() + static_cast<std::ptrdiff_t>(c + 1) * space.n,
                             matrix->begin() + static_cast<std::ptrdiff_t>(space.L - 1 - c) * space.n);
        }
    }
    return space;
}

StateSpace reshuffled(const StateSpace& space, std::int32_t extra, std::mt19937_64& rng) {
    std::vector<std::vector<double>> rows;
    for (std::int32_t r = 0; r + 1 < space.n; ++r) rows.push_back(rowOf(space.S, space.n, space.L, r));
    std::bernoulli_distribution coin(0.5);
    for (std::int32_t e = 0; e < extra; ++e) {
        if (!rows.empty() && coin(rng)) {
            rows.push_back(rows[rng() % rows.size()]);
        } else {
            std::vector<double> row(static_cast<std::size_t>(space.L));
            for (double& x : row) x = coin(rng) ? 1.0 : 0.0;
            rows.push_back(row);
        }
    }
    std::shuffle(rows.begin(), rows.end(), rng);
    rows.push_back(rowOf(space.S, space.n, space.L, space.n - 1));
    auto n = static_cast<std::int32_t>(rows.size());
    std::vector<double> S(static_cast<std::size_t>(n) * space.L);
    for (std::int32_t r = 0; r < n; ++r) {
        for (std::int32_t c = 0; c < space.L; ++c) S[r + static_cast<std::size_t>(c) * n] = rows[r][c];
    }
    return withPredecessors(std::move(S), n, space.L);
}

std::vector<double> randomBinaryRows(std::int32_t a, std::int32_t L, std::mt19937_64& rng) {
    std::vector<double> S(static_cast<std::size_t>(a) * L, 0.0);
    std::uniform_int_distribution<int> kind(0, 7);
    for (std::int32_t r = 0; r < a; ++r) {
        int k = kind(rng);
        if (k == 0) continue;  // all-zero row
        std::int32_t copyOf = (k == 1 && r > 0) ? static_cast<std::int32_t>(rng() % r) : -1;
        for (std::int32_t c = 0; c < L; ++c) {
            double bit = copyOf >= 0 ? S[copyOf + static_cast<std::size_t>(c) * a] : static_cast<double>(rng() & 1);
            S[r + static_cast<std::size_t>(c) * a] = bit;
        }
    }
    return S;
}
