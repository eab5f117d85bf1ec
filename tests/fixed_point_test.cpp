#include "model/fixed_point.h"

#include "model/coefficients.h"
#include "model/designs.h"
#include "model/document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace {

using Cx = std::complex<long double>;

const long double PI = 3.141592653589793238462643383279502884L;

// |H| of sections 0 … count − 1 at ω, in long double, each coefficient times
// the factor given for its numerator.
long double prefixMagnitude(const std::vector<Section>& sections, const std::vector<double>& factors,
                            std::size_t count, long double omega)
{
    const Cx w = std::polar(1.0L, -omega);
    Cx h = 1.0L;
    for (std::size_t k = 0; k < count; ++k) {
        const Section& s = sections[k];
        const long double f = factors.empty() ? 1.0L : factors[k];
        const auto c = [](double v) { return static_cast<long double>(v); };
        const Cx b = f * (c(s.b[0]) + w * (c(s.b[1]) + w * c(s.b[2])));
        const Cx a = c(s.a[0]) + w * (c(s.a[1]) + w * c(s.a[2]));
        h *= b / a;
    }
    return std::abs(h);
}

// The peak over a grid of `points` frequencies, the plain way.
double gridPeak(const std::vector<Section>& sections, const std::vector<double>& factors, std::size_t count,
                int points)
{
    long double peak = 0.0L;
    for (int i = 0; i <= points; ++i)
        peak = std::max(peak, prefixMagnitude(sections, factors, count, PI * i / points));
    return static_cast<double>(peak);
}

std::vector<Document> moderateDesigns()
{
    return {designedDocument(1, 48000, 1300, 900), designedDocument(5, 44100, 1200, 0),
            designedDocument(7, 96000, 1400, 0),   designedDocument(3, 48000, 1500, 1600),
            designedDocument(4, 48000, 1200, 1200), designedDocument(6, 44100, 1000, 1500),
            designedDocument(0, 48000, 1000, 0)};
}

// The peaks against a plain grid 20 times as fine: never below it, and
// above it by no more than such a grid can miss between its points.
TEST(FixedPoint, CascadePeaksAreThoseOfAFineGrid)
{
    for (const Document& document : moderateDesigns()) {
        const std::vector<Section> sections = secondOrderSections(document.filter).sections;
        const std::vector<double> peaks = cascadePeaks(sections);
        ASSERT_EQ(peaks.size(), sections.size());
        for (std::size_t k = 0; k < sections.size(); ++k) {
            const double fine = gridPeak(sections, {}, k + 1, 40960);
            EXPECT_GE(peaks[k], fine * (1.0 - 1e-12)) << modelName(document.filter.modelIndex) << " " << k;
            EXPECT_LE(peaks[k], fine * (1.0 + 1e-5)) << modelName(document.filter.modelIndex) << " " << k;
        }
    }
}

// A resonance narrower than the grid's step: a band-pass at 20 Hz and
// Q 10 at 192 kHz has a bandwidth of 2 Hz, 0.05 of a grid step. The search
// finds its peak, where a 2049-point grid alone would fall short.
TEST(FixedPoint, APeakBetweenGridPointsIsFound)
{
    FilterState filter = initialFilterState();
    filter.nyquist = 96000.0;
    filter.cutoff = 20.0;
    filter.q = 10.0;
    filter.modelIndex = 3;
    applyModel(filter);
    const std::vector<Section> sections = secondOrderSections(filter).sections;
    const long double pole = std::atan2(static_cast<long double>(filter.poles.positions[0].im),
                                        static_cast<long double>(filter.poles.positions[0].re));
    long double fine = 0.0L;
    for (int i = -20000; i <= 20000; ++i)
        fine = std::max(fine, prefixMagnitude(sections, {}, 1, pole + static_cast<long double>(i) * 1e-9L));
    const double coarse = gridPeak(sections, {}, 1, 2048);
    ASSERT_LT(coarse, static_cast<double>(fine) * 0.9);
    EXPECT_NEAR(cascadePeaks(sections)[0] / static_cast<double>(fine), 1.0, 1e-9);
}

// L∞ scaling: every scaled prefix peaks at 1, and G is the peak of the whole
// designed cascade, both against a plain grid 20 times as fine.
TEST(FixedPoint, EveryScaledPrefixPeaksAtOne)
{
    for (const Document& document : moderateDesigns()) {
        const SectionCascade cascade = secondOrderSections(document.filter);
        const auto result = lInfinityScaling(cascade);
        ASSERT_TRUE(std::holds_alternative<StageScaling>(result));
        const StageScaling& scaling = std::get<StageScaling>(result);
        ASSERT_EQ(scaling.factors.size(), cascade.sections.size());
        // A grid only misses some of a peak, never adds to it: no grid point
        // above 1, and none far below.
        for (std::size_t k = 0; k < cascade.sections.size(); ++k) {
            const double peak = gridPeak(cascade.sections, scaling.factors, k + 1, 40960);
            EXPECT_LE(peak, 1.0 + 1e-12) << modelName(document.filter.modelIndex) << " " << k;
            EXPECT_GE(peak, 1.0 - 1e-5) << modelName(document.filter.modelIndex) << " " << k;
        }
        const double designedPeak = gridPeak(cascade.sections, {}, cascade.sections.size(), 40960);
        EXPECT_LE(designedPeak, scaling.restoringGain * (1.0 + 1e-12));
        EXPECT_GE(designedPeak, scaling.restoringGain * (1.0 - 1e-5));
    }
}

TEST(FixedPoint, NoScalingForAPoleOnTheUnitCircle)
{
    FilterState filter = initialFilterState();
    filter.modelIndex = MODEL_CUSTOM;
    filter.gain = 0.5;
    filter.poles.count = 1;
    filter.poles.positions[0] = {0.6, 0.8};  // |p|² = 0.36 + 0.64 = 1 exactly in double
    filter.poles.pairFlags[0] = true;
    const auto result = lInfinityScaling(secondOrderSections(filter));
    ASSERT_TRUE(std::holds_alternative<std::string>(result));
    EXPECT_NE(std::get<std::string>(result).find("unit circle"), std::string::npos);
    filter.poles.positions[0] = {0.6, 0.79};
    EXPECT_TRUE(std::holds_alternative<StageScaling>(lInfinityScaling(secondOrderSections(filter))));
}

// postShift is the smallest that fits: one less would put some coefficient
// out of range.
TEST(FixedPoint, PostShiftIsTheSmallestThatFits)
{
    for (const FixedPointFormat format : {FixedPointFormat::Q15, FixedPointFormat::Q31}) {
        const long double top = format == FixedPointFormat::Q15 ? 32768.0L : 2147483648.0L;
        for (const Document& document : moderateDesigns()) {
            const SectionCascade cascade = secondOrderSections(document.filter);
            const auto result = fixedPointCascade(cascade, format);
            ASSERT_TRUE(std::holds_alternative<FixedPointCascade>(result));
            const FixedPointCascade& fixed = std::get<FixedPointCascade>(result);
            const StageScaling& scaling = fixed.scaling;
            bool tighterFits = true;
            for (std::size_t k = 0; k < cascade.sections.size(); ++k) {
                const Section& s = cascade.sections[k];
                const long double f = scaling.factors[k];
                const long double exact[5] = {s.b[0] * f, s.b[1] * f, s.b[2] * f, -s.a[1], -s.a[2]};
                for (int j = 0; j < 5; ++j) {
                    const long double scaled = std::ldexp(exact[j], -fixed.postShift) * top;
                    EXPECT_LE(std::fabs(fixed.stages[k][static_cast<std::size_t>(j)] - scaled), 0.5L);
                    const long double tighter = std::round(scaled * 2.0L);
                    tighterFits = tighterFits && tighter >= -top && tighter <= top - 1.0L;
                }
            }
            if (fixed.postShift > 0) {
                EXPECT_FALSE(tighterFits) << modelName(document.filter.modelIndex);
            }
        }
    }
}

// The example, hand-checked: ω = 10π / 96000, the poles' a1 =
// −1.99953720 and a2 = 0.99953731 need postShift 1; times 2^14 they are
// −32760.41 and 16376.42. The gain, 2.68e-8, is 0.00088 of Q15's step and
// 0.0577 of 2^-30: b rounds to 0 in Q15 and to 29, 57, 29 in Q31.
TEST(FixedPoint, TheLowPassAtTenHertzInFixedPoint)
{
    const SectionCascade cascade = secondOrderSections(designedDocument(1, 192000, 0, 0).filter);
    const auto q15 = fixedPointCascade(cascade, FixedPointFormat::Q15);
    ASSERT_TRUE(std::holds_alternative<FixedPointCascade>(q15));
    EXPECT_EQ(std::get<FixedPointCascade>(q15).postShift, 1);
    EXPECT_EQ(std::get<FixedPointCascade>(q15).stages.at(0), (std::array<std::int32_t, 5>{0, 0, 0, 32760, -16376}));
    const auto q31 = fixedPointCascade(cascade, FixedPointFormat::Q31);
    ASSERT_TRUE(std::holds_alternative<FixedPointCascade>(q31));
    EXPECT_EQ(std::get<FixedPointCascade>(q31).postShift, 1);
    EXPECT_EQ(std::get<FixedPointCascade>(q31).stages.at(0),
              (std::array<std::int32_t, 5>{29, 57, 29, 2146986720, -1073245011}));
}

FixedPointCascade oneStage(FixedPointFormat format, int postShift, std::array<std::int32_t, 5> coefficients)
{
    FixedPointCascade cascade;
    cascade.format = format;
    cascade.postShift = postShift;
    cascade.stages = {coefficients};
    return cascade;
}

// The df1 arithmetic on numbers worked out by hand.
TEST(FixedPoint, CmsisArithmeticByHand)
{
    // y = (16384·x + 16384·y1) >> 15: halving with truncation toward −∞.
    const FixedPointCascade halving = oneStage(FixedPointFormat::Q15, 0, {16384, 0, 0, 16384, 0});
    EXPECT_EQ(runCmsisDf1(halving, {32767, 0, 0, 0}), (std::vector<std::int32_t>{16383, 8191, 4095, 2047}));
    EXPECT_EQ(runCmsisDf1(halving, {-32767, 0, 0}), (std::vector<std::int32_t>{-16384, -8192, -4096}));

    // Q15 saturates: 3 · 32767² = 3221028867, >> 14 = 196596 → 32767;
    // 32767 · (−32769) = −1073741823, >> 14 = −65536 → −32768.
    const FixedPointCascade sum = oneStage(FixedPointFormat::Q15, 1, {32767, 32767, 32767, 0, 0});
    EXPECT_EQ(runCmsisDf1(sum, {32767, 32767, 32767, -32768, -32768, -32768}),
              (std::vector<std::int32_t>{32767, 32767, 32767, 32767, -32768, -32768}));
    const FixedPointCascade small = oneStage(FixedPointFormat::Q15, 1, {16384, 0, 0, 0, 0});
    EXPECT_EQ(runCmsisDf1(small, {3, -3}), (std::vector<std::int32_t>{3, -3}));

    // Q31 keeps the low 32 bits: 2 · (2^31 − 1)² >> 31 = 2^32 − 4, which
    // reads −4.
    const FixedPointCascade wrap = oneStage(FixedPointFormat::Q31, 0, {INT32_MAX, INT32_MAX, 0, 0, 0});
    EXPECT_EQ(runCmsisDf1(wrap, {INT32_MAX, INT32_MAX}), (std::vector<std::int32_t>{INT32_MAX - 1, -4}));

    // The 64-bit accumulator wraps too: 3 · 2^62 is −2^62 modulo 2^64, and
    // >> 31 gives −2^31.
    const FixedPointCascade wide = oneStage(FixedPointFormat::Q31, 0, {INT32_MIN, INT32_MIN, INT32_MIN, 0, 0});
    EXPECT_EQ(runCmsisDf1(wide, {INT32_MIN, INT32_MIN, INT32_MIN}).at(2), INT32_MIN);

    // Two stages: the first one's output is the second one's input.
    FixedPointCascade two = halving;
    two.stages.push_back({16384, 0, 0, 0, 0});
    EXPECT_EQ(runCmsisDf1(two, {32767, 0, 0}), (std::vector<std::int32_t>{8191, 4095, 2047}));
}

TEST(FixedPoint, CoefficientsTooLargeAreRefused)
{
    FilterState filter = initialFilterState();
    filter.modelIndex = MODEL_CUSTOM;
    filter.gain = 1.0;
    filter.zeros.count = 1;
    filter.zeros.positions[0] = {0.5, 0.0};
    filter.poles.count = 1;
    // The scaling takes care of the numerator, but a1 = −70000 needs
    // postShift 17, more than Q15 has.
    filter.poles.positions[0] = {70000.0, 0.0};
    const auto result = fixedPointCascade(secondOrderSections(filter), FixedPointFormat::Q15);
    ASSERT_TRUE(std::holds_alternative<std::string>(result));
    EXPECT_NE(std::get<std::string>(result).find("too large for Q15 even at postShift 15"), std::string::npos);
    EXPECT_TRUE(std::holds_alternative<FixedPointCascade>(fixedPointCascade(secondOrderSections(filter),
                                                                            FixedPointFormat::Q31)));
}

}  // namespace
