// A non-negative number as a mantissa and a 64-bit exponent: a double
// without bounds on its exponent. A product is rounded to the mantissa's 53
// bits exactly as the product of two doubles is, wherever it lies, so a
// recursion in these numbers gives the bits the same recursion in doubles
// would give with an exponent that never underflows.
#ifndef DECODE_SCALED_NUMBER_HPP
#define DECODE_SCALED_NUMBER_HPP

#include <cmath>
#include <cstdint>

struct ScaledNumber {
    double mantissa = 0.0;      // 0, or in [0.5, 1)
    std::int64_t exponent = 0;  // the number is mantissa x 2^exponent; 0 for 0

    // x x 2^scale, x finite and >= 0 (a subnormal x too, exactly).
    static ScaledNumber of(double x, std::int64_t scale = 0) {
        if (x == 0.0) return {};
        int e = 0;
        const double m = std::frexp(x, &e);
        return {m, e + scale};
    }

    // 2^power.
    static ScaledNumber power(std::int64_t power) { return {0.5, power + 1}; }

    bool isZero() const { return mantissa == 0.0; }

    // this x x for a double x >= 0, rounded to nearest as a double product.
    ScaledNumber times(double x) const { return times(of(x)); }
    ScaledNumber times(const ScaledNumber& x) const {
        if (isZero() || x.isZero()) return {};
        // In [0.25, 1) and never subnormal: rounded as the product itself.
        double m = mantissa * x.mantissa;
        std::int64_t e = exponent + x.exponent;
        if (m < 0.5) {
            m = m * 2.0;
            e = e - 1;
        }
        return {m, e};
    }

    // At least this x x x (1 + 2^-51), whatever the rounding: for bounds.
    ScaledNumber timesAtLeast(const ScaledNumber& x) const {
        ScaledNumber product = times(x);
        if (product.isZero()) return product;
        product.mantissa = product.mantissa * (1.0 + 0x1p-50);
        if (product.mantissa >= 1.0) {
            product.mantissa = product.mantissa * 0.5;
            product.exponent = product.exponent + 1;
        }
        return product;
    }

    // The natural logarithm (-Inf for 0).
    double log() const { return std::log(mantissa) + static_cast<double>(exponent) * 0.69314718055994530942; }
};

inline bool operator<(const ScaledNumber& a, const ScaledNumber& b) {
    if (a.isZero() || b.isZero()) return a.mantissa < b.mantissa;
    return a.exponent < b.exponent || (a.exponent == b.exponent && a.mantissa < b.mantissa);
}
inline bool operator>(const ScaledNumber& a, const ScaledNumber& b) { return b < a; }
inline bool operator==(const ScaledNumber& a, const ScaledNumber& b) {
    return a.mantissa == b.mantissa && a.exponent == b.exponent;
}

#endif
