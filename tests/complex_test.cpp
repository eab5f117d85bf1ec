#include "model/complex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

void expectNaN(Complex c)
{
    EXPECT_TRUE(std::isnan(c.re));
    EXPECT_TRUE(std::isnan(c.im));
}

TEST(ComplexArithmetic, SubtractionConjugateAndProduct)
{
    const Complex d = Complex{3.0, -1.0} - Complex{0.5, 2.0};
    EXPECT_EQ(d.re, 2.5);
    EXPECT_EQ(d.im, -3.0);
    EXPECT_EQ(conj(Complex{1.0, 2.0}).im, -2.0);
    EXPECT_EQ(conj(Complex{1.0, 2.0}).re, 1.0);
    const Complex p = Complex{1.0, 2.0} * Complex{3.0, -4.0};
    EXPECT_EQ(p.re, 11.0);
    EXPECT_EQ(p.im, 2.0);
}

// Closed form: (1 + i) / 2i = (1 + i)(−2i) / 4 = 0.5 − 0.5i; 1 / (3 + 4i) = (3 − 4i) / 25.
TEST(ComplexDivision, QuotientsAgreeWithTheConjugateFormula)
{
    const Complex a = Complex{1.0, 1.0} / Complex{0.0, 2.0};
    EXPECT_EQ(a.re, 0.5);
    EXPECT_EQ(a.im, -0.5);
    const Complex b = Complex{1.0, 0.0} / Complex{3.0, 4.0};
    EXPECT_DOUBLE_EQ(b.re, 0.12);
    EXPECT_DOUBLE_EQ(b.im, -0.16);
}

TEST(ComplexDivision, DegenerateDivisorsGiveNaNNeverInfinity)
{
    expectNaN(Complex{1.0, 0.0} / Complex{0.0, 0.0});
    expectNaN(Complex{1.0, 0.0} / Complex{inf, inf});
    expectNaN(Complex{1.0, 0.0} / Complex{nan, 1.0});
    expectNaN(Complex{1.0, 0.0} / Complex{1.0, nan});
    expectNaN(Complex{nan, 0.0} / Complex{1.0, 0.0});
}

TEST(ComplexDivision, OneInfinitePartGivesZero)
{
    const Complex q = Complex{1.0, 0.0} / Complex{inf, 0.0};
    EXPECT_EQ(q.re, 0.0);
    EXPECT_EQ(q.im, 0.0);
    const Complex r = Complex{2.0, -3.0} / Complex{1.0, -inf};
    EXPECT_EQ(r.re, 0.0);
    EXPECT_EQ(r.im, 0.0);
}

}  // namespace
