#include "model/filter_state.h"

#include "tests/digits.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Response : public testing::Test {
protected:
    // The filter under test, fresh for every test, and the evaluations of it.
    FilterState filterState = initialFilterState();

    Complex evaluateResponse(Complex z) const { return ::evaluateResponse(filterState, z); }
    void normalizeGain() { ::normalizeGain(filterState); }

    static void addSingle(RootList& list, double re)
    {
        list.positions[list.count] = {re, 0.0};
        list.pairFlags[list.count] = false;
        ++list.count;
    }
    static void addPair(RootList& list, double re, double im)
    {
        list.positions[list.count] = {re, im};
        list.pairFlags[list.count] = true;
        ++list.count;
    }
    static double squaredMagnitude(Complex h) { return h.re * h.re + h.im * h.im; }
};

TEST_F(Response, StartUpRecord)
{
    EXPECT_EQ(filterState.nyquist, 22050.0);
    EXPECT_EQ(filterState.lowestFrequency, 10.0);
    EXPECT_TRUE(agreesToDigits(filterState.cutoff, "469.5742753"));
    EXPECT_EQ(filterState.cutoff, std::sqrt(220500.0));
    EXPECT_EQ(filterState.q, std::sqrt(0.5));
    EXPECT_EQ(filterState.gain, 0.0);
    EXPECT_EQ(filterState.pi, 4.0 * std::atan(1.0));
    EXPECT_EQ(filterState.zeros.count, 0);
    EXPECT_EQ(filterState.poles.count, 0);
    EXPECT_EQ(filterState.modelIndex, 0);
    EXPECT_FALSE(filterState.qVisible);
    for (int i = 0; i < MAX_ROOTS; ++i) {
        EXPECT_FALSE(filterState.poles.pairFlags[i]);
        EXPECT_EQ(filterState.zeros.positions[i].re, 0.0);
    }
}

TEST_F(Response, FreshRecordEvaluatesToZeroEverywhere)
{
    for (const Complex z : {Complex{1.0, 0.0}, Complex{-1.0, 0.0}, Complex{0.3, -0.7}, Complex{0.0, 0.0}}) {
        const Complex h = evaluateResponse(z);
        EXPECT_EQ(h.re, 0.0);
        EXPECT_EQ(h.im, 0.0);
    }
}

TEST_F(Response, EmptyListsNormaliseToUnity)
{
    normalizeGain();
    EXPECT_EQ(filterState.gain, 1.0);
    const Complex h = evaluateResponse({0.25, 0.5});
    EXPECT_EQ(h.re, 1.0);
    EXPECT_EQ(h.im, 0.0);
}

TEST_F(Response, NormalisesAtTheLargerEnd)
{
    addSingle(filterState.zeros, -1.0);
    addSingle(filterState.poles, 0.5);
    normalizeGain();
    EXPECT_EQ(filterState.gain, 0.25);
    const Complex h1 = evaluateResponse({1.0, 0.0});
    EXPECT_EQ(h1.re, 1.0);
    EXPECT_EQ(h1.im, 0.0);
    EXPECT_EQ(squaredMagnitude(evaluateResponse({-1.0, 0.0})), 0.0);
}

TEST_F(Response, PoleOnPlusOneFallsBackToMinusOne)
{
    addSingle(filterState.zeros, 0.0);
    addSingle(filterState.poles, 1.0);
    filterState.gain = 1.0;
    const Complex atPole = evaluateResponse({1.0, 0.0});
    EXPECT_TRUE(std::isnan(atPole.re));
    EXPECT_TRUE(std::isnan(atPole.im));
    normalizeGain();
    EXPECT_EQ(filterState.gain, 2.0);
}

TEST_F(Response, PairContributesBothConjugateFactors)
{
    const double a = 0.3, b = 0.6;
    addPair(filterState.zeros, a, b);
    filterState.gain = 1.0;
    const Complex z{0.2, -1.1};
    const Complex h = evaluateResponse(z);
    // z² − 2a·z + a² + b²
    const Complex z2 = z * z;
    const Complex expected{z2.re - 2.0 * a * z.re + a * a + b * b, z2.im - 2.0 * a * z.im};
    EXPECT_NEAR(h.re, expected.re, 1e-15);
    EXPECT_NEAR(h.im, expected.im, 1e-15);

    filterState.zeros.positions[0].im = -b;
    const Complex mirrored = evaluateResponse(z);
    EXPECT_EQ(mirrored.re, h.re);
    EXPECT_EQ(mirrored.im, h.im);

    filterState.zeros.positions[0].im = 0.0;
    const Complex doubleRoot = evaluateResponse(z);
    const Complex factor = z - Complex{a, 0.0};
    const Complex squared = factor * factor;
    EXPECT_EQ(doubleRoot.re, squared.re);
    EXPECT_EQ(doubleRoot.im, squared.im);
}

TEST_F(Response, SingleRootContributesOnce)
{
    addSingle(filterState.poles, 0.4);
    filterState.gain = 1.0;
    const Complex z{0.9, 0.0};
    const Complex h = evaluateResponse(z);
    EXPECT_DOUBLE_EQ(h.re, 1.0 / (0.9 - 0.4));
    EXPECT_EQ(h.im, 0.0);
}

TEST_F(Response, StaleSlotsBeyondTheCountChangeNothing)
{
    addSingle(filterState.zeros, -1.0);
    addSingle(filterState.poles, 0.5);
    filterState.gain = 0.25;
    const Complex z{0.1, 0.8};
    const Complex before = evaluateResponse(z);
    for (int i = 1; i < MAX_ROOTS; ++i) {
        filterState.zeros.positions[i] = {0.1 * i, -0.3};
        filterState.zeros.pairFlags[i] = true;
        filterState.poles.positions[i] = {0.1, 0.8};  // exactly on z: would be a pole
        filterState.poles.pairFlags[i] = (i % 2) == 0;
    }
    const Complex after = evaluateResponse(z);
    EXPECT_EQ(after.re, before.re);
    EXPECT_EQ(after.im, before.im);
}

// A zero or a pole exactly on one end of the band leaves |H|² there 0 or not
// finite; that end is passed over and the other end alone is brought to 1.
// Each gain is the closed-form reciprocal of |H| at the usable end.
TEST_F(Response, UnusableEndIsPassedOver)
{
    {
        SCOPED_TRACE("pole at -1: H(1) = 1 / 2");
        addSingle(filterState.zeros, 0.0);
        addSingle(filterState.poles, -1.0);
        normalizeGain();
        EXPECT_EQ(filterState.gain, 2.0);
        const Complex h1 = evaluateResponse({1.0, 0.0});
        EXPECT_EQ(h1.re, 1.0);
        EXPECT_EQ(h1.im, 0.0);
        EXPECT_TRUE(std::isnan(evaluateResponse({-1.0, 0.0}).re));
    }
    {
        SCOPED_TRACE("pole at +1: H(-1) = -1 / -2");
        filterState = initialFilterState();
        addSingle(filterState.zeros, 0.0);
        addSingle(filterState.poles, 1.0);
        normalizeGain();
        EXPECT_EQ(filterState.gain, 2.0);
        const Complex hMinus1 = evaluateResponse({-1.0, 0.0});
        EXPECT_EQ(hMinus1.re, 1.0);
        EXPECT_EQ(hMinus1.im, 0.0);
    }
    {
        SCOPED_TRACE("|H(-1)| overflows to infinity: H(1) = (1 - 3) / 4");
        filterState = initialFilterState();
        addPair(filterState.poles, -1.0, 1e-160);
        addSingle(filterState.zeros, 3.0);
        filterState.gain = 1.0;
        EXPECT_TRUE(std::isinf(squaredMagnitude(evaluateResponse({-1.0, 0.0}))));
        normalizeGain();
        EXPECT_EQ(filterState.gain, 2.0);
        EXPECT_EQ(squaredMagnitude(evaluateResponse({1.0, 0.0})), 1.0);
    }
    {
        SCOPED_TRACE("|H(1)| overflows to infinity: H(-1) = (-1 - 5) / 4");
        filterState = initialFilterState();
        addPair(filterState.poles, 1.0, 1e-160);
        addSingle(filterState.zeros, 5.0);
        filterState.gain = 1.0;
        EXPECT_TRUE(std::isinf(squaredMagnitude(evaluateResponse({1.0, 0.0}))));
        normalizeGain();
        EXPECT_DOUBLE_EQ(filterState.gain, 2.0 / 3.0);
        EXPECT_NEAR(squaredMagnitude(evaluateResponse({-1.0, 0.0})), 1.0, 1e-15);
    }
    {
        SCOPED_TRACE("zero at +1: H(-1) = -2 / 1");
        filterState = initialFilterState();
        addSingle(filterState.zeros, 1.0);
        normalizeGain();
        EXPECT_EQ(filterState.gain, 0.5);
    }
}

// Where neither end is usable no finite gain puts either at 1; the gain
// becomes 1 instead of an infinity or NaN that would spoil every later
// evaluation.
TEST_F(Response, DegenerateNormalisationStoresUnitGain)
{
    {
        SCOPED_TRACE("zeros at both ends");
        addSingle(filterState.zeros, 1.0);
        addSingle(filterState.zeros, -1.0);
        normalizeGain();
        EXPECT_EQ(filterState.gain, 1.0);
    }
    {
        SCOPED_TRACE("poles at both ends");
        filterState = initialFilterState();
        addSingle(filterState.poles, 1.0);
        addSingle(filterState.poles, -1.0);
        normalizeGain();
        EXPECT_EQ(filterState.gain, 1.0);
        EXPECT_TRUE(std::isfinite(evaluateResponse({0.0, 1.0}).re));
    }
    {
        SCOPED_TRACE("zero at +1, pole at -1");
        filterState = initialFilterState();
        addSingle(filterState.zeros, 1.0);
        addSingle(filterState.poles, -1.0);
        normalizeGain();
        EXPECT_EQ(filterState.gain, 1.0);
    }
    {
        SCOPED_TRACE("|H| overflows to infinity at both ends");
        filterState = initialFilterState();
        addPair(filterState.poles, 1.0, 1e-160);
        addPair(filterState.poles, -1.0, 1e-160);
        normalizeGain();
        EXPECT_EQ(filterState.gain, 1.0);
    }
}

}  // namespace
