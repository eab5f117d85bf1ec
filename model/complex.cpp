#include "model/complex.h"

#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr Complex undefinedQuotient{notANumber, notANumber};

}  // namespace

Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }

Complex operator*(Complex a, Complex b)
{
    return {a.re * b.re - a.im * b.im, a.im * b.re + a.re * b.im};
}

Complex conj(Complex a) { return {a.re, -a.im}; }

Complex operator/(Complex a, Complex b)
{
    if (std::isnan(b.re) || std::isnan(b.im))
        return undefinedQuotient;
    if (std::fabs(b.im) < std::fabs(b.re)) {
        const double r = b.im / b.re;
        const double d = b.re + r * b.im;
        if (std::isnan(d) || d == 0.0)
            return undefinedQuotient;
        return {(a.re + a.im * r) / d, (a.im - a.re * r) / d};
    }
    if (b.im == 0.0)
        return undefinedQuotient;
    const double r = b.re / b.im;
    const double d = b.im + r * b.re;
    if (std::isnan(d) || d == 0.0)
        return undefinedQuotient;
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
}
