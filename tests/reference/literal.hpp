// Slow, literal implementations of the kernels, step by step as the
// algorithms are written down: the oracle for the differential tests and the
// baseline for the benchmarks. Scratch comes from the host allocator and is
// held until the caller releases it, as in a real call.
#ifndef TESTS_REFERENCE_LITERAL_HPP
#define TESTS_REFERENCE_LITERAL_HPP

#include <cstdint>
#include <vector>

namespace literal {

struct Event {
    std::int32_t to, from, symbol;
    bool operator==(const Event& o) const { return to == o.to && from == o.from && symbol == o.symbol; }
};

// All T columns of F (n x T), every step as written, and the log scale of
// each step: the sum of log(divisor) over the rescaled steps up to it, 0 for
// every step when not normalised.
struct Trajectory {
    std::vector<double> F;
    std::vector<double> logScale;
};
Trajectory forwardTrajectory(double T, const double* O, const double* S, const double* P, std::int32_t n,
                             std::int32_t L, bool normalize);

// Column T-1 of forwardTrajectory's F (n doubles).
std::vector<double> forwardRecursion(double T, const double* O, const double* S, const double* P, std::int32_t n,
                                     std::int32_t L, bool normalize);

// The raw recursion differentiated line by line in long double, apart from
// any rescaling: log Z (Z = sum_j w(j) R_T(j), w null for all ones), dlogZ/dO
// (L x T) and R_t(j) dZ/dR_t(j) / Z for every step (n x T).
struct Gradient {
    double logLikelihood;
    std::vector<double> derivatives;
    std::vector<double> posteriors;
};
Gradient gradient(std::int32_t T, const double* O, const double* S, const double* P, const double* w, std::int32_t n,
                  std::int32_t L);

// The most likely path as the recursion with max in place of sum finds it,
// written out state by state in row order: each weight a mantissa and a
// separate exponent (frexp's), so that nothing underflows; w null for all
// ones. logp is -Inf, symbols and states zeros, where every path weighs 0.
struct Path {
    double logWeight;
    std::vector<double> symbols;  // 1-based columns of S
    std::vector<double> states;   // 1-based rows
};
Path mostLikelyPath(std::int32_t T, const double* O, const double* S, const double* P, const double* w,
                    std::int32_t n, std::int32_t L);

// Every pair with its own row copies and difference vector.
std::vector<Event> transitionEvents(const double* S, std::int32_t a, std::int32_t L);

std::vector<double> transitionCounts(const double* S, std::int32_t a, std::int32_t L);

// Slots by cum[s] - remaining[s], counts trusted.
std::vector<double> transitionCodes(const double* S, const double* counts, std::int32_t a, std::int32_t L);

// Adds into A (a x a, zero-filled by the caller), inputs trusted.
void assemble(std::int32_t a, const double* w, const double* list, std::int32_t M, const double* codes,
              const double* cum, double* A);

}  // namespace literal

// Index of the first element whose bits differ, or -1 when the two agree
// bit for bit (sizes must match).
std::int64_t firstBitDifference(const std::vector<double>& a, const std::vector<double>& b);

#endif
