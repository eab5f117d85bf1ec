// The readout's texts, from filters whose values are known in closed form.

#include "model/designs.h"
#include "model/document.h"
#include "model/readout.h"
#include "tests/digits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

namespace {

constexpr double PI = std::numbers::pi;

FilterState emptyFilter(double nyquist, double gain)
{
    FilterState state = initialFilterState();
    state.nyquist = nyquist;
    state.gain = gain;
    return state;
}

void add(RootList& list, Complex position, bool pair)
{
    list.positions[list.count] = position;
    list.pairFlags[list.count] = pair;
    ++list.count;
}

// The upper pole of "2nd order LP" as the program starts with it at 44100 Hz:
// cutoff √(22050 · 10) Hz, Q √0.5.
void defaultLowPass(Complex& pole, double& gain)
{
    const double nyquist = 22050.0;
    designSecondOrderLowPass(std::sqrt(nyquist * 10.0) * PI / nyquist, std::sqrt(0.5), pole, gain);
}

}  // namespace

// H(z) = g / z on the unit circle is g·e^(−jω): |H| = g and phase −ω. With
// g = √0.5 and ω = π/4 (1234.5 Hz at a Nyquist of 4 · 1234.5 Hz) that is
// −3.0103 dB and −45°.
TEST(ResponseReadout, LevelAndPhaseOfAKnownResponse)
{
    FilterState state = emptyFilter(4.0 * 1234.5, std::sqrt(0.5));
    add(state.poles, {0.0, 0.0}, false);
    EXPECT_EQ(responseReadout(state, 1234.5), "f = 1234.5 Hz   |H| = -3.01 dB   phase = -45.0\u00b0");

    // g · z: phase +ω, here π/2 at half the Nyquist frequency; |H| = 1 is 0 dB.
    FilterState rising = emptyFilter(22050.0, 1.0);
    add(rising.zeros, {0.0, 0.0}, false);
    EXPECT_EQ(responseReadout(rising, 11025.0), "f = 11025 Hz   |H| = 0.00 dB   phase = 90.0\u00b0");
}

TEST(ResponseReadout, FrequencyKeepsFiveSignificantDigits)
{
    const FilterState flat = emptyFilter(22050.0, 1.0);
    EXPECT_EQ(responseReadout(flat, 10.0).substr(0, 15), "f = 10.000 Hz  ");
    EXPECT_EQ(responseReadout(flat, 466.3).substr(0, 15), "f = 466.30 Hz  ");
    EXPECT_EQ(responseReadout(flat, 21740.3).substr(0, 15), "f = 21740 Hz   ");
    EXPECT_EQ(responseReadout(flat, 9999.96).substr(0, 15), "f = 10000 Hz   ");
}

TEST(ResponseReadout, ZeroInfiniteAndUndefinedResponses)
{
    // A zero gain makes H exactly 0: no level in dB, no phase.
    EXPECT_EQ(responseReadout(emptyFilter(22050.0, 0.0), 1000.0),
              "f = 1000.0 Hz   |H| = -inf dB   phase = undefined");

    // At 0 Hz z = 1, exactly on a pole at 1: H is not a number.
    FilterState onPole = emptyFilter(22050.0, 1.0);
    add(onPole.poles, {1.0, 0.0}, false);
    EXPECT_EQ(responseReadout(onPole, 0.0), "f = 0 Hz   |H| = undefined   phase = undefined");

    // 1e308 / (1 − 0.5) overflows to +∞ with a zero imaginary part.
    FilterState huge = emptyFilter(22050.0, 1e308);
    add(huge.poles, {0.5, 0.0}, false);
    EXPECT_EQ(responseReadout(huge, 0.0), "f = 0 Hz   |H| = +inf dB   phase = 0.0\u00b0");
}

// atan(0.25 / 0.5) = 26.565°, |z| = √0.3125 = 0.55902, and 26.565 / 180 ·
// 22050 = 3254.2 Hz.
TEST(ZPlaneReadout, PointAwayFromRoots)
{
    EXPECT_EQ(zPlaneReadout({0.5, 0.25}, 22050.0),
              "z = 0.5000 + j0.2500   |z| = 0.5590   angle = 26.57\u00b0 (3254 Hz)");
    EXPECT_EQ(zPlaneReadout({0.5, -0.25}, 22050.0),
              "z = 0.5000 - j0.2500   |z| = 0.5590   angle = -26.57\u00b0 (-3254 Hz)");
    // At 96 kHz the same angle is 96000 / 44100 times the frequency: 7084.1 Hz.
    EXPECT_EQ(zPlaneReadout({0.5, 0.25}, 48000.0),
              "z = 0.5000 + j0.2500   |z| = 0.5590   angle = 26.57\u00b0 (7084 Hz)");
    // On the negative real axis: 180°, the Nyquist frequency.
    EXPECT_EQ(zPlaneReadout({-1.25, 0.0}, 22050.0),
              "z = -1.2500 + j0.0000   |z| = 1.2500   angle = 180.00\u00b0 (22050 Hz)");
    // Parts that round to zero show no sign.
    EXPECT_EQ(zPlaneReadout({-0.00001, -0.00001}, 22050.0).substr(0, 20), "z = 0.0000 + j0.0000");
}

// The default second-order low-pass at 44100 Hz: pole 0.952725 ± j0.045138,
// r = 0.953794, θ = 2.7125°, 2.7125 / 180 · 22050 = 332.29 Hz.
TEST(RootReadout, DefaultLowPassPolePair)
{
    Complex pole;
    double gain = 0.0;
    defaultLowPass(pole, gain);
    EXPECT_EQ(rootReadout({pole, true}, RootKind::Pole, 22050.0),
              "Pole pair 0.95273 \u00b1 j0.04514   r = 0.95379   angle = 2.713\u00b0 (332.3 Hz)   Q = 0.707");
    // The stored root may be the lower one of the pair: it reads the same.
    EXPECT_EQ(rootReadout({conj(pole), true}, RootKind::Pole, 22050.0),
              rootReadout({pole, true}, RootKind::Pole, 22050.0));
}

TEST(RootReadout, QualityOfAPole)
{
    Complex pole;
    double gain = 0.0;
    defaultLowPass(pole, gain);
    // The closed form from the pole's radius and angle.
    const double r = std::sqrt(pole.re * pole.re + pole.im * pole.im);
    const double theta = std::atan(pole.im / pole.re);
    const double sigma = std::log(r);
    const double closedForm = std::sqrt(sigma * sigma + theta * theta) / (-2.0 * sigma);
    EXPECT_TRUE(agreesToDigits(poleQuality(pole), "0.70737"));
    EXPECT_NEAR(poleQuality(pole), closedForm, 1e-12);

    // An s-plane pole of Q = 5 at ω₀T = 0.3 mapped by z = e^(sT) has
    // σ = −ω₀T / (2Q) and θ = ω₀T · √(1 − 1 / (4Q²)).
    const double q = 5.0, w = 0.3;
    const double s = -w / (2.0 * q), t = w * std::sqrt(1.0 - 1.0 / (4.0 * q * q));
    EXPECT_NEAR(poleQuality({std::exp(s) * std::cos(t), std::exp(s) * std::sin(t)}), q, 1e-12);

    // A real pole has θ = 0 and Q = |σ| / (−2σ) = 0.5, as in the limit r → 0.
    EXPECT_DOUBLE_EQ(poleQuality({0.5, 0.0}), 0.5);
    EXPECT_DOUBLE_EQ(poleQuality({0.0, 0.0}), 0.5);
    // No Q on or outside the unit circle.
    EXPECT_TRUE(std::isnan(poleQuality({0.0, 1.0})));
    EXPECT_TRUE(std::isnan(poleQuality({-1.5, 0.0})));
}

TEST(RootReadout, SingleRootsZeroPairsAndUnstablePairs)
{
    EXPECT_EQ(rootReadout({{-1.0, 0.0}, false}, RootKind::Zero, 22050.0), "Zero -1.00000");
    EXPECT_EQ(rootReadout({{0.5, 0.0}, false}, RootKind::Pole, 22050.0), "Pole 0.50000");
    EXPECT_EQ(rootReadout({{-1.0, 0.0}, false}, RootKind::Pole, 22050.0), "Pole -1.00000   unstable");
    // A single zero outside the circle is no instability.
    EXPECT_EQ(rootReadout({{1.25, 0.0}, false}, RootKind::Zero, 22050.0), "Zero 1.25000");

    // r = √0.5 = 0.707107 at 45°, a quarter of the sample rate.
    EXPECT_EQ(rootReadout({{0.5, -0.5}, true}, RootKind::Zero, 22050.0),
              "Zero pair 0.50000 \u00b1 j0.50000   r = 0.70711   angle = 45.000\u00b0 (5512.5 Hz)");
    EXPECT_EQ(rootReadout({{0.0, 1.0}, true}, RootKind::Pole, 22050.0),
              "Pole pair 0.00000 \u00b1 j1.00000   r = 1.00000   angle = 90.000\u00b0 (11025.0 Hz)   unstable");
    EXPECT_EQ(rootReadout({{-1.0, 0.0}, true}, RootKind::Zero, 48000.0),
              "Zero pair -1.00000 \u00b1 j0.00000   r = 1.00000   angle = 180.000\u00b0 (48000.0 Hz)");
}

TEST(FilterSummary, CountsGainAndStability)
{
    FilterState state = emptyFilter(22050.0, 0.00120741);
    add(state.zeros, {-1.0, 0.0}, true);
    add(state.poles, {0.9, 0.1}, true);
    EXPECT_EQ(filterSummary(state, "2nd order LP"), "2nd order LP   2 zeros, 2 poles   gain 0.00120741   stable");

    FilterState single = emptyFilter(22050.0, 0.5);
    add(single.zeros, {-1.0, 0.0}, false);
    add(single.poles, {1.0, 0.0}, false);
    EXPECT_EQ(filterSummary(single, "Custom"),
              "Custom   1 zero, 1 pole   gain 0.5   unstable (a pole on or outside the unit circle)");

    EXPECT_EQ(filterSummary(emptyFilter(22050.0, 1.0), "Custom"), "Custom   0 zeros, 0 poles   gain 1   stable");

    // Three poles, one of them a pair outside the circle, two zeros.
    FilterState mixed = emptyFilter(22050.0, 1234567.0);
    add(mixed.zeros, {0.0, 0.0}, false);
    add(mixed.zeros, {1.0, 0.0}, false);
    add(mixed.poles, {0.5, 0.0}, false);
    add(mixed.poles, {0.8, 0.7}, true);
    EXPECT_EQ(filterSummary(mixed, "Custom"),
              "Custom   2 zeros, 3 poles   gain 1.23457e+06   unstable (a pole on or outside the unit circle)");
}

// The design's gain makes H(1) = 1: g · 4 / |1 − p|² = 1.
TEST(FilterSummary, DefaultLowPassGain)
{
    FilterState state = emptyFilter(22050.0, 0.0);
    Complex pole;
    defaultLowPass(pole, state.gain);
    add(state.zeros, {-1.0, 0.0}, true);
    add(state.poles, pole, true);
    const std::string text = filterSummary(state, "2nd order LP");
    const std::string head = "2nd order LP   2 zeros, 2 poles   gain ";
    const std::string tail = "   stable";
    ASSERT_EQ(text.substr(0, head.size()), head);
    ASSERT_EQ(text.substr(text.size() - tail.size()), tail);
    const std::string gain = text.substr(head.size(), text.size() - head.size() - tail.size());
    const double closedForm = ((1.0 - pole.re) * (1.0 - pole.re) + pole.im * pole.im) / 4.0;
    EXPECT_TRUE(agreesToDigits(closedForm, gain));
    EXPECT_EQ(gain.size(), std::string("0.00106809").size()) << gain;
}

// A precision other than Exact adds what rounding to it leaves; Exact adds
// nothing. The 2nd-order low-pass at 10 Hz and 192 kHz rounds in Q15 to
// a1 = -32760 / 2^14, a2 = 16376 / 2^14 (postShift 1), so that
// 1 + a1 + a2 = 0: a pole lands exactly on z = 1, and b (about 2.7e-8)
// rounds to 0. In Q31 and float32 the poles stay inside.
TEST(FilterSummary, PrecisionSaysWhatRoundingLeaves)
{
    const FilterState slow = designedDocument(1, 192000, 0, 0).filter;
    const std::string exact = filterSummary(slow, "2nd order LP");
    EXPECT_EQ(filterSummary(slow, "2nd order LP", Precision::Exact), exact);
    EXPECT_EQ(filterSummary(slow, "2nd order LP", Precision::Q15),
              exact + "   Q15: 1 pole on the unit circle \u2013 unstable after rounding; "
                      "a numerator rounds to 0, so the output is silent");
    EXPECT_EQ(filterSummary(slow, "2nd order LP", Precision::Q31),
              exact + "   Q31: every pole inside the unit circle \u2013 stable after rounding");
    EXPECT_EQ(filterSummary(slow, "2nd order LP", Precision::Float32),
              exact + "   float32: every pole inside the unit circle \u2013 stable after rounding");

    // A pair outside the circle stays outside in float.
    FilterState outside = emptyFilter(22050.0, 1.0);
    add(outside.poles, {0.5, 0.0}, false);
    add(outside.poles, {0.8, 0.7}, true);
    EXPECT_EQ(filterSummary(outside, "Custom", Precision::Float32),
              "Custom   0 zeros, 3 poles   gain 1   unstable (a pole on or outside the unit circle)   "
              "float32: 2 poles outside the unit circle \u2013 unstable after rounding");
}
