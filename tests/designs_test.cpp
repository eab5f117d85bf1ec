#include "model/slider_positions.h"
#include "model/designs.h"
#include "model/filter_state.h"

#include "tests/digits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class Designs : public testing::Test {
protected:
    // The filter every design writes, fresh for every test.
    FilterState filterState = initialFilterState();

    void design(int model, double cutoff = std::sqrt(220500.0), double q = std::sqrt(0.5))
    {
        filterState.modelIndex = model;
        filterState.cutoff = cutoff;
        filterState.q = q;
        applyModel(filterState);
    }
    void designButterworth(int order) { ::designButterworth(filterState, order); }
    Complex evaluateResponse(Complex z) const { return ::evaluateResponse(filterState, z); }
    double omega() const { return (filterState.cutoff * filterState.pi) / filterState.nyquist; }
    static Complex onCircle(double w) { return {std::cos(w), std::sin(w)}; }
    static double magnitude(Complex h) { return std::sqrt(h.re * h.re + h.im * h.im); }

    static void expectRoot(const RootList& list, int slot, const char* re, const char* im, bool pair)
    {
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        EXPECT_TRUE(agreesToDigits(list.positions[slot].re, re));
        EXPECT_TRUE(agreesToDigits(list.positions[slot].im, im));
        EXPECT_EQ(list.pairFlags[slot], pair);
    }
    void expectZerosAtMinusOne(int count, bool pair) const
    {
        ASSERT_EQ(filterState.zeros.count, count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(filterState.zeros.positions[i].re, -1.0);
            EXPECT_EQ(filterState.zeros.positions[i].im, 0.0);
            EXPECT_EQ(filterState.zeros.pairFlags[i], pair);
        }
    }
};

TEST_F(Designs, StartUpOmega)
{
    EXPECT_TRUE(agreesToDigits(omega(), "0.0669029974"));
}

TEST_F(Designs, FirstOrderLowPass)
{
    design(0);
    expectZerosAtMinusOne(1, false);
    ASSERT_EQ(filterState.poles.count, 1);
    expectRoot(filterState.poles, 0, "0.9352391910", "0", false);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.03238040448"));
    EXPECT_NEAR(evaluateResponse({1.0, 0.0}).re, 1.0, 1e-14);
    const Complex h = evaluateResponse(onCircle(omega()));
    EXPECT_NEAR(h.re * h.re + h.im * h.im, 0.5, 1e-12);
    EXPECT_FALSE(filterState.qVisible);
}

TEST_F(Designs, SecondOrderLowPass)
{
    design(1);
    expectZerosAtMinusOne(1, true);
    ASSERT_EQ(filterState.poles.count, 1);
    expectRoot(filterState.poles, 0, "0.9527253310", "0.04513848066", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.001068094193"));
    EXPECT_TRUE(agreesToDigits(magnitude(evaluateResponse(onCircle(omega()))), "0.7071068"));
    EXPECT_TRUE(filterState.qVisible);
}

TEST_F(Designs, StateVariableLowPass)
{
    design(2);
    ASSERT_EQ(filterState.zeros.count, 1);
    expectRoot(filterState.zeros, 0, "0", "0", false);
    ASSERT_EQ(filterState.poles.count, 1);
    expectRoot(filterState.poles, 0, "0.9504640883", "0.04495036390", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.004474341759"));
    EXPECT_NEAR(evaluateResponse({1.0, 0.0}).re, 1.0, 1e-13);
    EXPECT_TRUE(agreesToDigits(evaluateResponse({-1.0, 0.0}).re, "-0.0011755"));
    EXPECT_TRUE(filterState.qVisible);
}

TEST_F(Designs, BandPass)
{
    design(3);
    ASSERT_EQ(filterState.zeros.count, 2);
    expectRoot(filterState.zeros, 0, "-1", "0", false);
    expectRoot(filterState.zeros, 1, "1", "0", false);
    ASSERT_EQ(filterState.poles.count, 1);
    expectRoot(filterState.poles, 0, "0.9526611028", "0.04506792165", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.04520285280"));
    const Complex h = evaluateResponse(onCircle(omega()));
    EXPECT_NEAR(h.re, 1.0, 1e-12);
    EXPECT_NEAR(h.im, 0.0, 1e-12);
}

TEST_F(Designs, Notch)
{
    design(4);
    ASSERT_EQ(filterState.zeros.count, 1);
    expectRoot(filterState.zeros, 0, "0.9977628291", "0.06685309885", true);
    EXPECT_NEAR(filterState.zeros.positions[0].re, std::cos(omega()), 1e-15);
    EXPECT_NEAR(filterState.zeros.positions[0].im, std::sin(omega()), 1e-15);
    ASSERT_EQ(filterState.poles.count, 1);
    expectRoot(filterState.poles, 0, "0.9526611028", "0.04506792165", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.9547971472"));
    EXPECT_NEAR(evaluateResponse({1.0, 0.0}).re, 1.0, 1e-14);
    EXPECT_NEAR(magnitude(evaluateResponse(onCircle(omega()))), 0.0, 1e-12);
}

TEST_F(Designs, FourthOrderButterworth)
{
    design(5);
    expectZerosAtMinusOne(2, true);
    ASSERT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, "0.9728732549", "0.06022347795", true);
    expectRoot(filterState.poles, 1, "0.9397216632", "0.02409534348", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "1.149050685e-6"));
    EXPECT_TRUE(agreesToDigits(magnitude(evaluateResponse(onCircle(omega()))), "0.7071068"));
    EXPECT_FALSE(filterState.qVisible);
}

TEST_F(Designs, TwoSecondOrderSections)
{
    design(6);
    expectZerosAtMinusOne(2, true);
    ASSERT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, "0.9527253310", "0.04513848066", true);
    expectRoot(filterState.poles, 1, "0.9527253310", "0.04513848066", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "1.140825204e-6"));
    const double sectionGain = filterState.gain;
    design(1);
    EXPECT_EQ(sectionGain, filterState.gain * filterState.gain);
    design(6);
    EXPECT_TRUE(agreesToDigits(magnitude(evaluateResponse(onCircle(omega()))), "0.5"));
    EXPECT_NEAR(magnitude(evaluateResponse(onCircle(omega()))), 0.5, 1e-7);
    EXPECT_TRUE(filterState.qVisible);
}

TEST_F(Designs, SixthOrderButterworth)
{
    design(7);
    expectZerosAtMinusOne(3, true);
    ASSERT_EQ(filterState.poles.count, 3);
    expectRoot(filterState.poles, 0, "0.9807923216", "0.06347680478", true);
    expectRoot(filterState.poles, 1, "0.9527253310", "0.04513848066", true);
    expectRoot(filterState.poles, 2, "0.9372404038", "0.01625329640", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "1.234017436e-9"));
    EXPECT_FALSE(filterState.qVisible);
}

// The section Q follows back from its pole: radius² = 2β = (1 − α)/(1 + α)
// and α = sin ω / (2Q).
TEST_F(Designs, ButterworthSectionQs)
{
    const double w = omega();
    const struct {
        int order;
        const char* qs[3];
    } table[] = {{4, {"1.3065630", "0.5411961", nullptr}}, {6, {"1.9318517", "0.7071068", "0.5176381"}}};
    for (const auto& row : table) {
        designButterworth(row.order);
        for (int slot = 0; slot < row.order / 2; ++slot) {
            const Complex pole = filterState.poles.positions[slot];
            const double twoBeta = pole.re * pole.re + pole.im * pole.im;
            const double alpha = (1.0 - twoBeta) / (1.0 + twoBeta);
            EXPECT_TRUE(agreesToDigits(std::sin(w) / (2.0 * alpha), row.qs[slot])) << row.order << "/" << slot;
        }
    }
}

TEST_F(Designs, StateVariableWithTwoRealPoles)
{
    design(2, 10000.0);
    ASSERT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, "-1.985257019", "0", false);
    expectRoot(filterState.poles, 1, "0.4275328527", "0", false);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "1.406486763"));
    EXPECT_NEAR(magnitude(evaluateResponse({-1.0, 0.0})), 1.0, 1e-14);
    EXPECT_TRUE(agreesToDigits(magnitude(evaluateResponse({1.0, 0.0})), "0.823"));

    design(2, 22050.0, 10.0);
    ASSERT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, "-1.740312424", "0", false);
    expectRoot(filterState.poles, 1, "-0.4596875763", "0", false);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.4"));
}

TEST_F(Designs, BandPassWithTwoRealPoles)
{
    design(3, 21000.0, 10.0);
    ASSERT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, "-0.8397885600", "0", false);
    expectRoot(filterState.poles, 1, "-0.8788326279", "0", false);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.1309832065"));
}

TEST_F(Designs, ResonatorBeyondHalfPi)
{
    design(3, 20000.0);
    ASSERT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, "2.759043615", "0", false);
    expectRoot(filterState.poles, 1, "-1.020454284", "0", false);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "1.907738938"));

    design(4, 20000.0);
    ASSERT_EQ(filterState.zeros.count, 1);
    expectRoot(filterState.zeros, 0, "-0.9576483160", "-0.2879404501", true);
    EXPECT_TRUE(agreesToDigits(filterState.gain, "0.9077389381"));
}

TEST_F(Designs, CustomChangesNothingButTheQFlag)
{
    for (const int index : {MODEL_CUSTOM, 9, -1, 1000}) {
        design(7);
        filterState.poles.positions[1] = {0.25, 0.5};
        filterState.gain = 3.5;
        const FilterState before = filterState;
        design(index, 1234.0, 3.0);
        EXPECT_TRUE(filterState.qVisible);
        EXPECT_EQ(filterState.gain, before.gain);
        EXPECT_EQ(filterState.zeros.count, before.zeros.count);
        EXPECT_EQ(filterState.poles.count, before.poles.count);
        for (int i = 0; i < MAX_ROOTS; ++i) {
            EXPECT_EQ(filterState.poles.positions[i].re, before.poles.positions[i].re);
            EXPECT_EQ(filterState.poles.positions[i].im, before.poles.positions[i].im);
            EXPECT_EQ(filterState.zeros.pairFlags[i], before.zeros.pairFlags[i]);
        }
    }
}

// Every fixed design depends on cutoff, Q and Nyquist only: whatever came
// before, the valid slots, their flags and the gain come out the same.
TEST_F(Designs, SwitchingIsStateless)
{
    for (int target = 0; target < 8; ++target) {
        filterState = initialFilterState();
        design(target, 3000.0, 2.0);
        const FilterState fresh = filterState;
        for (int previous = 0; previous < 9; ++previous) {
            design(previous, 3000.0, 2.0);
            for (int i = 0; i < MAX_ROOTS; ++i) {  // edits and stale slots
                filterState.poles.positions[i] = {0.01 * i, -0.5};
                filterState.poles.pairFlags[i] = (i % 3) == 0;
            }
            filterState.gain = -7.0;
            design(target, 3000.0, 2.0);
            SCOPED_TRACE(testing::Message() << previous << " then " << target);
            EXPECT_EQ(filterState.gain, fresh.gain);
            EXPECT_EQ(filterState.qVisible, fresh.qVisible);
            for (const auto list : {&FilterState::zeros, &FilterState::poles}) {
                ASSERT_EQ((filterState.*list).count, (fresh.*list).count);
                for (int i = 0; i < (fresh.*list).count; ++i) {
                    EXPECT_EQ((filterState.*list).positions[i].re, (fresh.*list).positions[i].re);
                    EXPECT_EQ((filterState.*list).positions[i].im, (fresh.*list).positions[i].im);
                    EXPECT_EQ((filterState.*list).pairFlags[i], (fresh.*list).pairFlags[i]);
                }
            }
        }
    }
}

TEST_F(Designs, QMattersOnlyWhereItIsUsed)
{
    for (const int index : {0, 5, 7}) {
        design(index, 2000.0, 0.8);
        const FilterState low = filterState;
        design(index, 2000.0, 9.0);
        EXPECT_EQ(filterState.gain, low.gain) << index;
        EXPECT_EQ(filterState.poles.positions[0].re, low.poles.positions[0].re) << index;
    }
    design(6, 2000.0, 0.8);
    const FilterState low = filterState;
    design(6, 2000.0, 9.0);
    EXPECT_NE(filterState.poles.positions[0].im, low.poles.positions[0].im);
    EXPECT_EQ(filterState.poles.positions[1].re, low.poles.positions[1].re);
    EXPECT_EQ(filterState.poles.positions[1].im, low.poles.positions[1].im);
}

// At the top of the cutoff slider ω is π up to rounding, where square-root
// arguments that are zero in exact arithmetic can round below zero; they are
// taken as zero, so every model stays finite at every rate and Q.
TEST_F(Designs, TopOfTheCutoffRangeStaysFinite)
{
    for (const double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
        filterState = initialFilterState();
        filterState.nyquist = rate / 2.0;
        const double ratio = std::pow(filterState.nyquist / filterState.lowestFrequency, 0.0005);
        const double topCutoff = filterState.lowestFrequency * std::pow(ratio, 2000.0);
        const double qRatio = std::pow(10.0 / std::sqrt(0.5), 0.0005);
        for (int qPosition = 0; qPosition <= 2000; qPosition += 50) {
            const double q = std::sqrt(0.5) * std::pow(qRatio, static_cast<double>(qPosition));
            for (int index = 0; index < 8; ++index) {
                for (const double cutoff : {topCutoff, filterState.nyquist}) {
                    design(index, cutoff, q);
                    SCOPED_TRACE(testing::Message() << rate << " Hz, model " << index << ", Q " << q);
                    EXPECT_TRUE(std::isfinite(filterState.gain));
                    for (int i = 0; i < filterState.poles.count; ++i) {
                        EXPECT_TRUE(std::isfinite(filterState.poles.positions[i].re));
                        EXPECT_TRUE(std::isfinite(filterState.poles.positions[i].im));
                    }
                    for (int i = 0; i < filterState.zeros.count; ++i)
                        EXPECT_TRUE(std::isfinite(filterState.zeros.positions[i].im));
                }
            }
        }
    }
}

// At the top of the cutoff slider the notch's poles can include one exactly
// at z = -1 (at 44100 Hz for these Q positions); the gain then normalises
// z = 1 alone, as one position lower where the pole is just inside.
TEST_F(Designs, NotchWithAPoleOnMinusOneHasUnitGainAtZeroFrequency)
{
    for (const int qPosition : {0, 262, 300}) {
        SCOPED_TRACE(testing::Message() << "Q position " << qPosition);
        filterState = initialFilterState();
        design(4, cutoffAtPosition(filterState.nyquist, filterState.lowestFrequency, SLIDER_TOP),
               qAtPosition(qPosition));
        ASSERT_TRUE(std::isnan(evaluateResponse({-1.0, 0.0}).re));
        const double decibels = 20.0 * std::log10(magnitude(evaluateResponse({1.0, 0.0})));
        EXPECT_NEAR(decibels, 0.0, 1e-12);
    }
}

// Whatever the rate and Q, at the top two cutoff positions the larger of the
// usable ends of every normalised design is at 0 dB.
TEST_F(Designs, NormalisedDesignsAtTheTopOfTheCutoffRange)
{
    for (const double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
        for (int qPosition = 0; qPosition <= SLIDER_TOP; qPosition += 10) {
            for (const int cutoffPosition : {SLIDER_TOP - 1, SLIDER_TOP}) {
                for (const int index : {2, 4}) {
                    filterState = initialFilterState();
                    filterState.nyquist = rate / 2.0;
                    design(index, cutoffAtPosition(filterState.nyquist, filterState.lowestFrequency, cutoffPosition),
                           qAtPosition(qPosition));
                    SCOPED_TRACE(testing::Message() << rate << " Hz, model " << index << ", cutoff position "
                                                    << cutoffPosition << ", Q position " << qPosition);
                    double larger = 0.0;
                    for (const double end : {1.0, -1.0}) {
                        const double m = magnitude(evaluateResponse({end, 0.0}));
                        if (std::isfinite(m))
                            larger = std::max(larger, m);
                    }
                    EXPECT_NEAR(larger, 1.0, 1e-12);
                }
            }
        }
    }
}

TEST_F(Designs, SectionAtNyquistIsADoublePoleAtMinusOne)
{
    const double pi = 4.0 * std::atan(1.0);
    for (double q = 0.52; q < 10.0; q *= 1.07) {
        Complex pole{9.0, 9.0};
        double gain = -1.0;
        designSecondOrderLowPass(pi, q, pole, gain);
        EXPECT_NEAR(pole.re, -1.0, 1e-15) << q;
        EXPECT_GE(pole.im, 0.0) << q;
        EXPECT_LT(pole.im, 1e-7) << q;
        EXPECT_NEAR(gain, 1.0, 1e-15) << q;
    }
}

}  // namespace
