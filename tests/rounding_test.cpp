#include "model/rounding.h"

#include "model/coefficients.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/polynomial_roots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(Rounding, ExactSignsOfSums)
{
    const auto sign = [](std::vector<double> terms) { return exactSignOfSum(terms.data(), static_cast<int>(terms.size())); };
    EXPECT_EQ(sign({1.0, 1e-20, -1.0}), 1);   // 0 in plain double arithmetic
    EXPECT_EQ(sign({1.0, -1e-20, -1.0}), -1);
    EXPECT_EQ(sign({1e300, 1.0, -1e300}), 1);
    EXPECT_EQ(sign({0.5, 0.25, -0.75}), 0);
    EXPECT_EQ(sign({0.1, 0.2, -0.3}), 1);     // 0.1 + 0.2 − 0.3 = 2^-54 + 2^-56 exactly
    EXPECT_EQ(sign({0.3, -0.2, -0.1}), -1);
    EXPECT_EQ(sign({}), 0);
    EXPECT_EQ(sign({-0.0}), 0);
}

// Monic quadratics made from roots whose sums and products are exact in
// double (multiples of 1/64 up to 4), so that where each root lies is known
// from its construction.
TEST(Rounding, RootsOnAndOutsideTheUnitCircleAreCountedExactly)
{
    for (int i = -256; i <= 256; i += 3) {
        for (int j = i; j <= 256; j += 5) {
            const double r1 = i / 64.0, r2 = j / 64.0;
            const double a[3] = {1.0, -(r1 + r2), r1 * r2};
            int on = 0, outside = 0;
            for (const double r : {r1, r2}) {
                on += std::fabs(r) == 1.0 ? 1 : 0;
                outside += std::fabs(r) > 1.0 ? 1 : 0;
            }
            const CircleCount count = monicRootsOnOrOutside(a, 2);
            ASSERT_EQ(count.on, on) << r1 << " " << r2;
            ASSERT_EQ(count.outside, outside) << r1 << " " << r2;
        }
    }
    // Complex pairs: |p|² = a2 with a1² < 4·a2.
    for (int k = 1; k <= 160; ++k) {
        const double a2 = k / 64.0;
        const double a1 = -std::sqrt(a2) * 1.5;  // below 2·√a2
        const double a[3] = {1.0, a1, a2};
        const CircleCount count = monicRootsOnOrOutside(a, 2);
        EXPECT_EQ(count.on, k == 64 ? 2 : 0) << a2;
        EXPECT_EQ(count.outside, k > 64 ? 2 : 0) << a2;
    }
    const double single[2] = {1.0, -1.0};
    EXPECT_EQ(monicRootsOnOrOutside(single, 1).on, 1);
    const double outsideSingle[2] = {1.0, 1.0 + 0x1p-52};
    EXPECT_EQ(monicRootsOnOrOutside(outsideSingle, 1).outside, 1);
    // One ulp: 1 − 2p + p² with p just above 1 is rounded, but its roots
    // are decided on the doubles as they are.
    const double justOutside[3] = {1.0, -2.0, 1.0 + 0x1p-52};  // complex pair, |p|² = 1 + 2^-52
    EXPECT_EQ(monicRootsOnOrOutside(justOutside, 2).outside, 2);
    const double justInside[3] = {1.0, -2.0 + 0x1p-50, 1.0 - 0x1p-52};
    EXPECT_EQ(monicRootsOnOrOutside(justInside, 2).on + monicRootsOnOrOutside(justInside, 2).outside, 0);
}

// The listed roots against the polynomial: each is a root to rounding, a
// pair comes as one upper root, ±1 exactly when they are roots.
TEST(Rounding, PolynomialRootsAreRoots)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int> grid(-40000, 40000);
    for (int trial = 0; trial < 2000; ++trial) {
        const double c[3] = {grid(random) / 16384.0, grid(random) / 16384.0, grid(random) / 16384.0};
        std::vector<Root> roots;
        const bool any = appendPolynomialRoots(c, 2, roots);
        ASSERT_EQ(any, c[0] != 0.0 || c[1] != 0.0 || c[2] != 0.0);
        int count = 0;
        for (const Root& root : roots) {
            const std::complex<long double> z(root.position.re, root.position.im);
            const long double c0 = c[0], c1 = c[1], c2 = c[2];
            const std::complex<long double> value = (c0 * z + c1) * z + c2;
            const long double size = std::fabs(c0) * std::norm(z) + std::fabs(c1) * std::abs(z) + std::fabs(c2);
            ASSERT_LE(std::abs(value), 1e-7L * size) << c[0] << " " << c[1] << " " << c[2];
            if (root.pair) {
                ASSERT_GT(root.position.im, 0.0);
            }
            count += root.pair ? 2 : 1;
        }
        const int degree = c[0] != 0.0 ? 2 : (c[1] != 0.0 ? 1 : 0);
        ASSERT_EQ(count, degree);
    }
    const double atOne[3] = {1.0, -1.5, 0.5};  // (z − 1)(z − 0.5)
    std::vector<Root> roots;
    appendPolynomialRoots(atOne, 2, roots);
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0].position.re, 1.0);
    EXPECT_EQ(roots[1].position.re, 0.5);
}

// The example in all three formats. Hand-checked from the design's
// a1 = −1.9995371997, a2 = 0.9995373068 (ω = 10π / 96000, Q = √½):
//   Q15 at postShift 1: a1 → −32760 / 2^14, a2 → 16376 / 2^14, so
//       1 + a1 + a2 = 0: the poles are 1 and a2 = 0.99951171875, one on the
//       unit circle; b (2.68e-8 · [1, 2, 1]) rounds to 0;
//   float32: a1 → −1.99953723, a2 → 0.99953729, still a complex pair at
//       0.99976861 ± j0.0000778814 (numpy.roots), inside;
//   Q31: b → [29, 57, 29] / 2^30, whose zeros are −57/58 ± j√115/58; the
//       poles stay at 0.9997686 ± j0.00023142, inside.
TEST(Rounding, TheLowPassAtTenHertzAt192Kilohertz)
{
    const Document document = designedDocument(1, 192000, 0, 0);
    const RoundedFilter q15 = roundFilter(document.filter, Precision::Q15);
    ASSERT_EQ(q15.problem, "");
    ASSERT_EQ(q15.poles.size(), 2u);
    EXPECT_EQ(q15.poles[0].position.re, 1.0);
    EXPECT_EQ(q15.poles[1].position.re, 0.99951171875);
    EXPECT_EQ(q15.poles[0].position.im, 0.0);
    EXPECT_FALSE(q15.poles[0].pair);
    EXPECT_EQ(q15.polesOnCircle, 1);
    EXPECT_EQ(q15.polesOutside, 0);
    EXPECT_TRUE(q15.zeros.empty());
    EXPECT_EQ(q15.silentSections, 1);
    EXPECT_FALSE(stableAfterRounding(q15));
    EXPECT_EQ(precisionSummary(q15), "Q15: 1 pole on the unit circle \u2013 unstable after rounding; "
                                     "a numerator rounds to 0, so the output is silent");

    const RoundedFilter f32 = roundFilter(document.filter, Precision::Float32);
    ASSERT_EQ(f32.poles.size(), 1u);
    EXPECT_TRUE(f32.poles[0].pair);
    EXPECT_NEAR(f32.poles[0].position.re, 0.99976861, 1e-8);
    EXPECT_NEAR(f32.poles[0].position.im / 7.78814456e-05, 1.0, 1e-6);
    ASSERT_EQ(f32.zeros.size(), 2u);
    EXPECT_EQ(f32.zeros[0].position.re, -1.0);  // float(2g) = 2 float(g): the double zero stays
    EXPECT_EQ(f32.zeros[1].position.re, -1.0);
    EXPECT_TRUE(stableAfterRounding(f32));
    EXPECT_EQ(precisionSummary(f32), "float32: every pole inside the unit circle \u2013 stable after rounding");

    const RoundedFilter q31 = roundFilter(document.filter, Precision::Q31);
    ASSERT_EQ(q31.zeros.size(), 1u);
    EXPECT_TRUE(q31.zeros[0].pair);
    EXPECT_NEAR(q31.zeros[0].position.re, -57.0 / 58.0, 1e-15);
    EXPECT_NEAR(q31.zeros[0].position.im, std::sqrt(115.0) / 58.0, 1e-14);
    ASSERT_EQ(q31.poles.size(), 1u);
    EXPECT_NEAR(q31.poles[0].position.re, 0.9997686, 1e-7);
    EXPECT_NEAR(q31.poles[0].position.im, 0.00023142, 1e-8);
    EXPECT_TRUE(stableAfterRounding(q31));
}

TEST(Rounding, PrecisionTextOfTheExample)
{
    const PrecisionText text = precisionText(designedDocument(1, 192000, 0, 0), Precision::Q15);
    ASSERT_EQ(text.problem, "");
    std::istringstream lines(text.text);
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);)
        got.push_back(line);
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got[0], "# Vorbel filter rounded to Q15: the roots of each section's rounded factors");
    EXPECT_EQ(got[1], "# sample rate: 192000 Hz");
    EXPECT_EQ(got[2], "# model: 2nd order LP");
    // The gain the scaling takes out is the low-pass's peak, 1 at DC.
    const std::string shift = "# postShift: 1, gain taken out by the scaling: ";
    ASSERT_EQ(got[3].substr(0, shift.size()), shift);
    EXPECT_NEAR(std::stod(got[3].substr(shift.size())), 1.0, 1e-6);
    EXPECT_EQ(got[4], "# section 1: the numerator rounds to 0, so the output is silent");
    EXPECT_EQ(got[5], "kind,re,im,pair");
    EXPECT_EQ(got[6], "pole,1,0,false");
    EXPECT_EQ(got[7], "pole,0.99951171875,0,false");
    EXPECT_EQ(got[8], "# unstable");
    EXPECT_EQ(text.text.back(), '\n');

    const PrecisionText stable = precisionText(designedDocument(1, 192000, 0, 0), Precision::Q31);
    EXPECT_EQ(stable.text.substr(stable.text.size() - 9), "# stable\n");
}

FilterState custom(std::vector<Root> zeros, std::vector<Root> poles)
{
    FilterState filter = initialFilterState();
    filter.modelIndex = MODEL_CUSTOM;
    filter.gain = 0.25;
    for (const Root& root : zeros) {
        filter.zeros.positions[filter.zeros.count] = root.position;
        filter.zeros.pairFlags[filter.zeros.count++] = root.pair;
    }
    for (const Root& root : poles) {
        filter.poles.positions[filter.poles.count] = root.position;
        filter.poles.pairFlags[filter.poles.count++] = root.pair;
    }
    return filter;
}

TEST(Rounding, SummariesOfEveryCase)
{
    const auto summary = [](const FilterState& filter, Precision precision) {
        return precisionSummary(roundFilter(filter, precision));
    };
    EXPECT_EQ(summary(custom({}, {{{1.25, 0.0}, false}}), Precision::Float32),
              "float32: 1 pole outside the unit circle \u2013 unstable after rounding");
    EXPECT_EQ(summary(custom({}, {{{0.75, 0.75}, true}}), Precision::Q31),
              "Q31: 2 poles outside the unit circle \u2013 unstable after rounding");
    EXPECT_EQ(summary(custom({}, {{{-1.0, 0.0}, false}, {{0.75, 0.75}, true}}), Precision::Float32),
              "float32: 1 pole on and 2 outside the unit circle \u2013 unstable after rounding");
    EXPECT_EQ(summary(custom({}, {{{0.0, 1.0}, true}}), Precision::Float32),
              "float32: 2 poles on the unit circle \u2013 unstable after rounding");
    EXPECT_EQ(summary(custom({{{0.5, 0.5}, true}}, {}), Precision::Q15),
              "Q15: no poles \u2013 stable after rounding");
    EXPECT_EQ(summary(custom({{{0.5, 0.5}, true}}, {{{0.5, 0.0}, false}}), Precision::Q15),
              "Q15: every pole inside the unit circle \u2013 stable after rounding");
    EXPECT_EQ(summary(custom({}, {{{0.0, 1.0}, true}}), Precision::Q15),
              "Q15: cannot be rounded \u2013 a pole lies on the unit circle, where |H| has no finite peak to scale by");
    const PrecisionText refused = precisionText(Document{custom({}, {{{1.0, 0.0}, false}})}, Precision::Q31);
    EXPECT_EQ(refused.text, "");
    EXPECT_NE(refused.problem.find("Q31: a pole lies on the unit circle"), std::string::npos);
}

// Rounding to float32 rounds each coefficient to the nearest float: the
// rounded response against one evaluated in long double from the float
// values of the coefficients; Exact against the filter's own response (the
// sections' delay does not change |H|).
TEST(Rounding, TheRoundedResponseIsThatOfTheRoundedCoefficients)
{
    for (const Document& document : {designedDocument(7, 48000, 1100, 0), designedDocument(4, 96000, 900, 1500),
                                     designedDocument(3, 44100, 1200, 700)}) {
        const std::vector<Section> sections = secondOrderSections(document.filter).sections;
        const RoundedFilter exact = roundFilter(document.filter, Precision::Exact);
        const RoundedFilter f32 = roundFilter(document.filter, Precision::Float32);
        for (int i = 1; i < 200; ++i) {
            const double omega = 3.14159 * i / 200.0;
            const std::complex<long double> w = std::polar(1.0L, static_cast<long double>(-omega));
            std::complex<long double> h = 1.0L;
            for (const Section& s : sections) {
                const auto f = [](double v) { return static_cast<long double>(static_cast<float>(v)); };
                h *= (f(s.b[0]) + w * (f(s.b[1]) + w * f(s.b[2]))) / (f(s.a[0]) + w * (f(s.a[1]) + w * f(s.a[2])));
            }
            const Complex got = evaluateRounded(f32, {std::cos(omega), -std::sin(omega)});
            EXPECT_NEAR(std::hypot(got.re, got.im) / static_cast<double>(std::abs(h)), 1.0, 1e-9) << omega;

            const Complex designed = evaluateResponse(document.filter, {std::cos(omega), std::sin(omega)});
            const Complex same = evaluateRounded(exact, {std::cos(omega), -std::sin(omega)});
            EXPECT_NEAR(std::hypot(same.re, same.im) / std::hypot(designed.re, designed.im), 1.0, 1e-9) << omega;
        }
    }
}

// Q31 keeps a moderate filter within a millionth of a dB; Q15 within a
// tenth. Both scale back by G to the designed level.
TEST(Rounding, FixedPointResponsesComeBackToTheDesignedLevel)
{
    const Document document = designedDocument(5, 48000, 1500, 0);
    const RoundedFilter q15 = roundFilter(document.filter, Precision::Q15);
    const RoundedFilter q31 = roundFilter(document.filter, Precision::Q31);
    for (int i = 1; i < 100; ++i) {
        const double omega = 0.2 * i / 100.0;  // the pass band
        const Complex designed = evaluateResponse(document.filter, {std::cos(omega), std::sin(omega)});
        const double level = 20.0 * std::log10(std::hypot(designed.re, designed.im));
        const Complex a = evaluateRounded(q31, {std::cos(omega), -std::sin(omega)});
        const Complex b = evaluateRounded(q15, {std::cos(omega), -std::sin(omega)});
        EXPECT_NEAR(20.0 * std::log10(std::hypot(a.re, a.im)), level, 1e-6) << omega;
        EXPECT_NEAR(20.0 * std::log10(std::hypot(b.re, b.im)), level, 0.1) << omega;
    }
}

TEST(Rounding, PrecisionNames)
{
    EXPECT_EQ(precisionNamed("float32"), Precision::Float32);
    EXPECT_EQ(precisionNamed("q15"), Precision::Q15);
    EXPECT_EQ(precisionNamed("q31"), Precision::Q31);
    EXPECT_FALSE(precisionNamed("Q15").has_value());
    EXPECT_FALSE(precisionNamed("exact").has_value());
    EXPECT_STREQ(precisionLabel(Precision::Exact), "Exact");
    EXPECT_STREQ(precisionLabel(Precision::Float32), "float32");
    EXPECT_STREQ(precisionLabel(Precision::Q15), "Q15");
    EXPECT_STREQ(precisionLabel(Precision::Q31), "Q31");
}

}  // namespace
