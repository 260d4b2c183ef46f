#include "literal.hpp"

#include <cmath>
#include <cstring>
#include <limits>

#include "array_routines.hpp"
#include "kernel/scratch.hpp"

namespace literal {

Trajectory forwardTrajectory(double T, const double* O, const double* S, const double* P, std::int32_t n,
                             std::int32_t L, bool normalize) {
    auto cells = static_cast<std::int32_t>(static_cast<double>(n) * T);
    double* F = scratchArray<double>(static_cast<std::size_t>(cells));
    for (std::int32_t i = 0; i < n; ++i) {
        if (static_cast<std::int32_t>(rowSum(S, i, n, L)) != 1) continue;
        std::int32_t c = 0;
        while (S[i + static_cast<std::int64_t>(c) * n] != 1.0) ++c;
        F[i] = O[c];
    }
    auto K = static_cast<std::int32_t>(rowSum(S, n - 1, n, L));
    std::int32_t* Q = positionsEqualInto(S, n - 1, n, L, K, 1.0);
    Trajectory trajectory;
    trajectory.logScale.assign(static_cast<std::size_t>(T), 0.0);
    for (std::int32_t t = 0; static_cast<double>(t + 1) < T; ++t) {
        for (std::int32_t j = 0; j < n; ++j) {
            double acc = 0.0;
            for (std::int32_t k = 0; k < K; ++k) {
                double p = P[j + static_cast<std::int64_t>(k) * n];
                if (p == -1.0) continue;
                auto pred = static_cast<std::int32_t>(p - 1.0);
                double x = F[pred + static_cast<std::int64_t>(t) * n];
                x = x + F[j + static_cast<std::int64_t>(t) * n];
                x = x * O[Q[k] + static_cast<std::int64_t>(t + 1) * L];
                acc = acc + x;
            }
            F[j + static_cast<std::int64_t>(t + 1) * n] = acc;
        }
        trajectory.logScale[t + 1] = trajectory.logScale[t];
        if (!normalize) continue;
        // The divisor as normalizeColumn forms it: ascending from 0.0.
        double divisor = 0.0;
        for (std::int32_t j = 0; j < n; ++j) divisor = divisor + F[j + static_cast<std::int64_t>(t + 1) * n];
        trajectory.logScale[t + 1] = trajectory.logScale[t] + std::log(divisor);
        normalizeColumn(F, n, t + 1);
    }
    trajectory.F.assign(F, F + cells);
    return trajectory;
}

std::vector<double> forwardRecursion(double T, const double* O, const double* S, const double* P, std::int32_t n,
                                     std::int32_t L, bool normalize) {
    Trajectory trajectory = forwardTrajectory(T, O, S, P, n, L, normalize);
    double* last = columnCopy(trajectory.F.data(), static_cast<std::int32_t>(T - 1.0), n);
    return std::vector<double>(last, last + n);
}

Gradient gradient(std::int32_t T, const double* O, const double* S, const double* P, const double* w, std::int32_t n,
                  std::int32_t L) {
    using Real = long double;
    auto K = static_cast<std::int32_t>(rowSum(S, n - 1, n, L));
    std::int32_t* Q = positionsEqualInto(S, n - 1, n, L, K, 1.0);
    const auto at = [n](std::int32_t j, std::int32_t t) { return j + static_cast<std::size_t>(t) * n; };
    const auto o = [O, L](std::int32_t s, std::int32_t t) {
        return static_cast<Real>(O[s + static_cast<std::int64_t>(t) * L]);
    };
    std::vector<Real> R(static_cast<std::size_t>(n) * T), B(R.size()), dO(static_cast<std::size_t>(L) * T);
    std::vector<std::int32_t> first(static_cast<std::size_t>(n), -1);
    for (std::int32_t i = 0; i < n; ++i) {
        if (static_cast<std::int32_t>(rowSum(S, i, n, L)) != 1) continue;
        for (std::int32_t c = L - 1; c >= 0; --c)
            first[i] = S[i + static_cast<std::int64_t>(c) * n] == 1.0 ? c : first[i];
        R[i] = o(first[i], 0);
    }
    for (std::int32_t t = 0; t + 1 < T; ++t) {
        for (std::int32_t j = 0; j < n; ++j) {
            for (std::int32_t k = 0; k < K; ++k) {
                double p = P[j + static_cast<std::int64_t>(k) * n];
                if (p != -1.0)
                    R[at(j, t + 1)] += (R[at(static_cast<std::int32_t>(p) - 1, t)] + R[at(j, t)]) * o(Q[k], t + 1);
            }
        }
    }
    Real Z = 0;
    for (std::int32_t j = 0; j < n; ++j) Z += (w ? w[j] : 1.0) * R[at(j, T - 1)];
    for (std::int32_t j = 0; j < n; ++j) B[at(j, T - 1)] = w ? w[j] : 1.0;
    // The adjoint of each term (R_t(p) + R_t(j)) * O(Q[k], t+1) of R_{t+1}(j).
    for (std::int32_t t = T - 2; t >= 0; --t) {
        for (std::int32_t j = 0; j < n; ++j) {
            for (std::int32_t k = 0; k < K; ++k) {
                double p = P[j + static_cast<std::int64_t>(k) * n];
                if (p == -1.0) continue;
                const std::int32_t pred = static_cast<std::int32_t>(p) - 1;
                const Real b = B[at(j, t + 1)];
                B[at(pred, t)] += b * o(Q[k], t + 1);
                B[at(j, t)] += b * o(Q[k], t + 1);
                dO[Q[k] + static_cast<std::size_t>(t + 1) * L] += b * (R[at(pred, t)] + R[at(j, t)]);
            }
        }
    }
    for (std::int32_t i = 0; i < n; ++i) {
        if (first[i] >= 0) dO[first[i]] += B[i];
    }
    Gradient g{static_cast<double>(std::log(Z)), {}, {}};
    for (Real d : dO) g.derivatives.push_back(static_cast<double>(d / Z));
    for (std::size_t e = 0; e < R.size(); ++e) g.posteriors.push_back(static_cast<double>(R[e] * B[e] / Z));
    return g;
}

namespace {

// m x 2^e with m 0 or in [0.5, 1).
struct Wide {
    double m = 0.0;
    long long e = 0;
};

Wide wide(double x) {
    int e = 0;
    const double m = std::frexp(x, &e);
    return {m, m == 0.0 ? 0 : e};
}

Wide times(Wide a, Wide b) {
    if (a.m == 0.0 || b.m == 0.0) return {};
    int e = 0;
    const double m = std::frexp(a.m * b.m, &e);
    return {m, a.e + b.e + e};
}

bool heavier(Wide a, Wide b) {
    if (a.m == 0.0 || b.m == 0.0) return a.m > b.m;
    return a.e > b.e || (a.e == b.e && a.m > b.m);
}

bool same(Wide a, Wide b) { return a.m == b.m && a.e == b.e; }

}  // namespace

Path mostLikelyPath(std::int32_t T, const double* O, const double* S, const double* P, const double* w, std::int32_t n,
                    std::int32_t L) {
    auto K = static_cast<std::int32_t>(rowSum(S, n - 1, n, L));
    std::int32_t* Q = positionsEqualInto(S, n - 1, n, L, K, 1.0);
    const auto o = [O, L](std::int32_t s, std::int32_t t) { return O[s + static_cast<std::int64_t>(t) * L]; };
    const auto p = [P, n](std::int32_t j, std::int32_t k) { return P[j + static_cast<std::int64_t>(k) * n]; };
    std::vector<Wide> V(static_cast<std::size_t>(n)), next(V.size());
    std::vector<std::int32_t> first(V.size(), -1);
    for (std::int32_t i = 0; i < n; ++i) {
        if (static_cast<std::int32_t>(rowSum(S, i, n, L)) != 1) continue;
        while (S[i + static_cast<std::int64_t>(++first[i]) * n] != 1.0) {
        }
        V[i] = wide(o(first[i], 0));
    }
    // For each step and state: the column k of the term that gave its
    // weight, and whether it was the stay.
    std::vector<std::int32_t> column(static_cast<std::size_t>(n) * T, -1);
    std::vector<bool> stayed(column.size());
    for (std::int32_t t = 1; t < T; ++t) {
        for (std::int32_t j = 0; j < n; ++j) {
            Wide best;
            std::int32_t bestK = -1, stayK = -1;
            for (std::int32_t k = 0; k < K; ++k) {
                if (p(j, k) == -1.0) continue;
                const Wide move = times(V[static_cast<std::int32_t>(p(j, k)) - 1], wide(o(Q[k], t)));
                if (heavier(move, best)) {
                    best = move;
                    bestK = k;
                }
                if (stayK < 0 || o(Q[k], t) > o(Q[stayK], t)) stayK = k;
            }
            const std::size_t at = j + static_cast<std::size_t>(t) * n;
            column[at] = bestK;
            if (stayK >= 0) {
                const Wide stay = times(V[j], wide(o(Q[stayK], t)));
                if (heavier(stay, best) || (same(stay, best) && (bestK < 0 || stayK < bestK))) {
                    best = stay;
                    column[at] = stayK;
                    stayed[at] = true;
                }
            }
            next[j] = best;
        }
        V.swap(next);
    }
    Path path{-std::numeric_limits<double>::infinity(), std::vector<double>(static_cast<std::size_t>(T), 0.0),
              std::vector<double>(static_cast<std::size_t>(T), 0.0)};
    Wide best;
    std::int32_t j = -1;
    for (std::int32_t i = 0; i < n; ++i) {
        const Wide weighted = times(V[i], wide(w ? w[i] : 1.0));
        if (heavier(weighted, best)) {
            best = weighted;
            j = i;
        }
    }
    if (j < 0) return path;
    path.logWeight = std::log(best.m) + static_cast<double>(best.e) * 0.69314718055994530942;
    for (std::int32_t t = T - 1; t >= 1; --t) {
        const std::size_t at = j + static_cast<std::size_t>(t) * n;
        path.symbols[t] = Q[column[at]] + 1.0;
        path.states[t] = j + 1.0;
        if (!stayed[at]) j = static_cast<std::int32_t>(p(j, column[at])) - 1;
    }
    path.symbols[0] = first[j] + 1.0;
    path.states[0] = j + 1.0;
    return path;
}

std::vector<Event> transitionEvents(const double* S, std::int32_t a, std::int32_t L) {
    std::vector<Event> events;
    for (std::int32_t to = 1; to < a; ++to) {
        for (std::int32_t from = 1; from < a; ++from) {
            double* rTo = rowCopy(S, to, a, L);
            double* rFrom = rowCopy(S, from, a, L);
            double* D = vectorDifference(rFrom, rTo, L);
            std::int32_t plus = countEqual(D, 0, 1, L, 1.0);
            std::int32_t minus = countEqual(D, 0, 1, L, -1.0);
            if (plus != 0) continue;
            if (minus == 1) {
                std::int32_t c = 0;
                while (D[c] != -1.0) ++c;
                events.push_back({to, from, c});
            } else if (minus == 0) {
                std::int32_t count = 0;
                std::int32_t* symbols = positionsEqual(rTo, 0, 1, L, 1.0, &count);
                for (std::int32_t m = 0; m < count; ++m) events.push_back({to, from, symbols[m]});
            }
        }
    }
    return events;
}

std::vector<double> transitionCounts(const double* S, std::int32_t a, std::int32_t L) {
    std::vector<double> counts(static_cast<std::size_t>(L), 0.0);
    for (const Event& e : transitionEvents(S, a, L)) counts[e.symbol] += 1.0;
    return counts;
}

std::vector<double> transitionCodes(const double* S, const double* counts, std::int32_t a, std::int32_t L) {
    std::vector<double> remaining(counts, counts + L);
    std::vector<double> cum(static_cast<std::size_t>(L));
    cum[0] = counts[0];
    for (std::int32_t s = 1; s < L; ++s) cum[s] = cum[s - 1] + counts[s];
    std::vector<double> codes(static_cast<std::size_t>(static_cast<std::int32_t>(cum[L - 1])), 0.0);
    for (const Event& e : transitionEvents(S, a, L)) {
        std::int32_t code = e.to * 1000000 + e.from;
        auto slot = static_cast<std::int32_t>(cum[e.symbol] - remaining[e.symbol]);
        codes[slot] = static_cast<double>(code);
        remaining[e.symbol] = remaining[e.symbol] - 1.0;
    }
    return codes;
}

void assemble(std::int32_t a, const double* w, const double* list, std::int32_t M, const double* codes,
              const double* cum, double* A) {
    for (std::int32_t i = 0; i < M; ++i) {
        auto l = static_cast<std::int32_t>(list[i]);
        std::int32_t start = l == 1 ? 0 : static_cast<std::int32_t>(cum[l - 2]);
        std::int32_t size =
            l == 1 ? static_cast<std::int32_t>(cum[0]) : static_cast<std::int32_t>(cum[l - 1] - cum[l - 2]);
        for (std::int32_t p = start; p < start + size; ++p) {
            auto e = static_cast<std::int32_t>(codes[p]);
            std::int32_t to = e / 1000000;
            std::int32_t from = e - to * 1000000;
            std::int64_t cell = (to - 1) + static_cast<std::int64_t>(from - 1) * a;
            A[cell] = A[cell] + w[l - 1];
        }
    }
}

}  // namespace literal

std::int64_t firstBitDifference(const std::vector<double>& a, const std::vector<double>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) return static_cast<std::int64_t>(i);
    }
    return -1;
}
