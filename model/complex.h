#pragma once

#include <cmath>
#include <limits>

// Complex arithmetic of the filter model. Only the operations the model needs;
// magnitudes are formed by callers as re² + im². Defined here, inline, because
// the response evaluates them tens of thousands of times per redraw.

struct Complex {
    double re = 0.0;
    double im = 0.0;
};

inline Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }

inline Complex operator*(Complex a, Complex b) { return {a.re * b.re - a.im * b.im, a.im * b.re + a.re * b.im}; }

inline Complex conj(Complex a) { return {a.re, -a.im}; }

// Smith's division, scaled by the larger part of the divisor. A zero divisor,
// a divisor with a NaN part or with both parts infinite gives (NaN, NaN),
// never an infinity; a divisor with one infinite part gives a zero quotient
// for a finite dividend. NaN or infinite parts of the dividend propagate.
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
