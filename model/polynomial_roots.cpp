#include "model/polynomial_roots.h"

#include <cmath>

namespace {

// Knuth's two-sum: a + b = sum + error exactly, in round-to-nearest and
// without overflow, whatever the order of magnitudes. The model is compiled
// without contraction, so no step here is fused.
void twoSum(double a, double b, double& sum, double& error)
{
    sum = a + b;
    const double bVirtual = sum - a;
    const double aVirtual = sum - bVirtual;
    error = (a - aVirtual) + (b - bVirtual);
}

// a · b = product + error exactly (no underflow below 2^-1022 assumed): the
// fused multiply-add rounds only once.
void twoProduct(double a, double b, double& product, double& error)
{
    product = a * b;
    error = std::fma(a, b, -product);
}

// The sign of b² − 4·a·c, exactly.
int discriminantSign(double a, double b, double c)
{
    double terms[4];
    twoProduct(b, b, terms[0], terms[1]);
    twoProduct(4.0 * a, c, terms[2], terms[3]);
    terms[2] = -terms[2];
    terms[3] = -terms[3];
    return exactSignOfSum(terms, 4);
}

// b² − 4·a·c to nearly full precision: the rounding errors of both products
// are added back, so that clustered roots keep their digits.
double discriminant(double a, double b, double c)
{
    double p, e, q, f;
    twoProduct(b, b, p, e);
    twoProduct(4.0 * a, c, q, f);
    return (p - q) + (e - f);
}

// The sign of c0 + s·c1 + c2 for s = ±1: whether ±1 is a root, and on
// which side of it the polynomial stands.
int signAt(const double* c, double s)
{
    const double terms[3] = {c[0], s * c[1], c[2]};
    return exactSignOfSum(terms, 3);
}

void appendQuadraticRoots(const double* c, std::vector<Root>& roots)
{
    for (const double s : {1.0, -1.0}) {
        if (signAt(c, s) == 0) {
            // The roots multiply to c2 / c0; one of them is s exactly.
            roots.push_back({{s, 0.0}, false});
            roots.push_back({{s * c[2] / c[0], 0.0}, false});
            return;
        }
    }
    if (discriminantSign(c[0], c[1], c[2]) < 0) {
        const double d = discriminant(c[0], c[1], c[2]);
        const double im = std::sqrt(d < 0.0 ? -d : 0.0) / (2.0 * std::fabs(c[0]));
        roots.push_back({{-c[1] / (2.0 * c[0]), im}, true});
        return;
    }
    const double d = discriminant(c[0], c[1], c[2]);
    // The root whose formula adds two numbers of the same sign first; the
    // other from the product of the roots, without cancellation.
    const double q = -0.5 * (c[1] + std::copysign(std::sqrt(d > 0.0 ? d : 0.0), c[1]));
    if (q == 0.0) {
        roots.push_back({{0.0, 0.0}, false});
        roots.push_back({{0.0, 0.0}, false});
        return;
    }
    roots.push_back({{q / c[0], 0.0}, false});
    roots.push_back({{c[2] / q, 0.0}, false});
}

int compareMagnitudeWithOne(double x)
{
    const double m = std::fabs(x);
    return m < 1.0 ? -1 : (m > 1.0 ? 1 : 0);
}

void countRealRoot(double root, CircleCount& count)
{
    const int place = compareMagnitudeWithOne(root);
    if (place == 0)
        ++count.on;
    else if (place > 0)
        ++count.outside;
}

}  // namespace

int exactSignOfSum(const double* terms, int count)
{
    // Shewchuk's growing expansion: after each term the components are
    // non-overlapping and increasing in magnitude, and sum exactly to the
    // terms so far; the sign of such an expansion is that of its largest
    // non-zero component. Zero components are dropped on the way.
    double expansion[16];
    int size = 0;
    for (int t = 0; t < count && t < 15; ++t) {
        double carry = terms[t];
        int kept = 0;
        for (int i = 0; i < size; ++i) {
            double sum, error;
            twoSum(carry, expansion[i], sum, error);
            if (error != 0.0)
                expansion[kept++] = error;
            carry = sum;
        }
        if (carry != 0.0)
            expansion[kept++] = carry;
        size = kept;
    }
    if (size == 0)
        return 0;
    return expansion[size - 1] > 0.0 ? 1 : -1;
}

bool appendPolynomialRoots(const double* c, int degree, std::vector<Root>& roots)
{
    while (degree >= 0 && c[0] == 0.0) {
        ++c;
        --degree;
    }
    if (degree < 0)
        return false;
    if (degree == 1)
        roots.push_back({{-c[1] / c[0], 0.0}, false});
    else if (degree == 2)
        appendQuadraticRoots(c, roots);
    return true;
}

CircleCount monicRootsOnOrOutside(const double* a, int degree)
{
    CircleCount count;
    if (degree == 1) {
        countRealRoot(-a[1], count);
        return count;
    }
    if (degree != 2)
        return count;
    // A complex pair: both roots have |z|² = a2.
    if (discriminantSign(1.0, a[1], a[2]) < 0) {
        const int place = a[2] < 1.0 ? -1 : (a[2] > 1.0 ? 1 : 0);
        if (place == 0)
            count.on = 2;
        else if (place > 0)
            count.outside = 2;
        return count;
    }
    // Two real roots, r₁·r₂ = a2. A root at exactly ±1 leaves its partner
    // at ±a2; otherwise the sign of the polynomial at ±1 and the place of the
    // vertex −a1/2 tell how many roots lie beyond each end.
    const int atOne = signAt(a, 1.0);
    const int atMinusOne = signAt(a, -1.0);
    if (atOne == 0 || atMinusOne == 0) {
        ++count.on;
        countRealRoot(a[2], count);
        return count;
    }
    const int aboveOne = atOne < 0 ? 1 : (a[1] < -2.0 ? 2 : 0);
    const int belowMinusOne = atMinusOne < 0 ? 1 : (a[1] > 2.0 ? 2 : 0);
    count.outside = aboveOne + belowMinusOne;
    return count;
}
