#pragma once

#include <cmath>
#include <limits>

// The few complex operations the filter model uses. There is no magnitude:
// callers work with re² + im² (a level in dB is 10 · log10 of it) and so never
// take a square root. Inline, because the response evaluates these tens of
// thousands of times per redraw.

struct Complex {
    double re = 0.0;
    double im = 0.0;
};

inline Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }

inline Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }

inline Complex operator*(Complex a, Complex b) { return {a.re * b.re - a.im * b.im, a.im * b.re + a.re * b.im}; }

inline Complex conj(Complex a) { return {a.re, -a.im}; }

// Smith's division: scaling by the divisor's larger part avoids forming |b|²,
// which overflows or underflows long before the quotient does. A
// divisor that leaves no meaningful quotient (zero, a NaN part, both parts
// infinite) gives (NaN, NaN), never an infinity, so that a point on a pole is
// recognisable; one infinite part gives 0 for a finite dividend. NaN or
// infinite parts of the dividend propagate.
inline Complex operator/(Complex a, Complex b)
{
    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    if (std::isnan(b.re) || std::isnan(b.im))
        return {notANumber, notANumber};
    if (std::fabs(b.im) < std::fabs(b.re)) {
        const double r = b.im / b.re;
        const double d = b.re + r * b.im;
        if (std::isnan(d) || d == 0.0)
            return {notANumber, notANumber};
        return {(a.re + a.im * r) / d, (a.im - a.re * r) / d};
    }
    if (b.im == 0.0)
        return {notANumber, notANumber};
    const double r = b.re / b.im;
    const double d = b.im + r * b.re;
    if (std::isnan(d) || d == 0.0)
        return {notANumber, notANumber};
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
}
