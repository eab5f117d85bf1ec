// The fast sampling of the response (column points computed once, product
// chains side by side, row offsets decided without log10 and atan2 where an
// estimate settles them) gives exactly the rows of the plain per-column
// computation, whatever the roots, rate or width.

#include "model/filter_state.h"
#include "model/response_sweep.h"
#include "model/sweep_code.h"
#include "view/curve_rows.h"
#include "view/geometry.h"
#include "view/layout.h"
#include "view/response_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace {

// The rows as the straightforward loop computes them, column by column.
void referenceRows(const FilterState& filterState, const ResponseAxes& axes, std::vector<std::int32_t>& magnitude,
                   std::vector<std::int32_t>& phase)
{
    const double pi = 4.0 * std::atan(1.0);
    const double lowest = filterState.lowestFrequency, nyquist = filterState.nyquist;
    const double omega0 = (lowest * pi) / nyquist;
    const double ratio = std::pow(nyquist / lowest, 1.0 / axes.width);
    magnitude.assign(static_cast<std::size_t>(axes.width), 0);
    phase.assign(static_cast<std::size_t>(axes.width), 0);
    for (int i = 0; i < axes.width; ++i) {
        const double omega = std::pow(ratio, static_cast<double>(i)) * omega0;
        const Complex h = evaluateResponse(filterState, {std::cos(omega), std::sin(omega)});
        const double decibels = 10.0 * std::log10(h.re * h.re + h.im * h.im);
        const double angle = std::atan2(h.im, h.re);
        magnitude[static_cast<std::size_t>(i)] =
            narrowPixel(axes.zeroDbRow - std::int64_t{toPixel(decibels * axes.dbScale)});
        phase[static_cast<std::size_t>(i)] =
            narrowPixel(axes.phaseCentreRow - std::int64_t{toPixel(angle * axes.phaseScale)});
    }
}

void randomRoots(FilterState& filterState, std::mt19937& random)
{
    std::uniform_int_distribution<int> count(0, MAX_ROOTS);
    std::uniform_real_distribution<double> radius(0.0, 1.3), angle(0.0, 3.2);
    std::bernoulli_distribution pair(0.6);
    for (RootList* list : {&filterState.zeros, &filterState.poles}) {
        list->count = count(random);
        for (int i = 0; i < list->count; ++i) {
            list->pairFlags[i] = pair(random);
            const double r = radius(random), a = angle(random);
            list->positions[i] = {r * std::cos(a), list->pairFlags[i] ? r * std::sin(a) : 0.0};
        }
    }
    normalizeGain(filterState);
}

ResponseAxes axesFor(const FilterState& filterState, int width, int height)
{
    const Rect magnitude{40, 10, 40 + width, 10 + height * 2 / 3};
    const Rect phase{40, magnitude.bottom + 20, 40 + width, magnitude.bottom + 20 + height / 3};
    return responseAxes(magnitude, phase, filterState);
}

// A view with rows for width columns, after the sampling of filterState.
ResponseView sampleWith(const FilterState& filterState, SweepCode code, int width, const ResponseAxes& axes)
{
    ResponseView view;
    view.clearResponseRows(static_cast<std::size_t>(width));
    view.sampleResponse(axes, filterState, code);
    return view;
}

void expectSameRows(const FilterState& filterState, int width, int height)
{
    const ResponseAxes axes = axesFor(filterState, width, height);
    const ResponseView view = sampleWith(filterState, SweepCode::chosen, width, axes);
    const std::vector<std::int32_t>& magnitudeRows = view.magnitudeRows();
    const std::vector<std::int32_t>& phaseRows = view.phaseRows();
    std::vector<std::int32_t> expectedMagnitude, expectedPhase;
    referenceRows(filterState, axes, expectedMagnitude, expectedPhase);
    for (int i = 0; i < width; ++i) {
        ASSERT_EQ(magnitudeRows[static_cast<std::size_t>(i)], expectedMagnitude[static_cast<std::size_t>(i)])
            << "column " << i << " of " << width;
        ASSERT_EQ(phaseRows[static_cast<std::size_t>(i)], expectedPhase[static_cast<std::size_t>(i)])
            << "column " << i << " of " << width;
    }
}

// Sets up each random filter in turn and hands over the pane size to check.
void forEachRandomCase(const std::function<void(const FilterState& filter, int width, int height)>& check)
{
    std::mt19937 random(20261207);
    for (const double nyquist : {22050.0, 24000.0, 48000.0, 96000.0}) {
        for (const int width : {1, 7, 16, 17, 545, 1000, 1920, 3840}) {
            for (int trial = 0; trial < 6; ++trial) {
                FilterState filterState = initialFilterState();
                filterState.nyquist = nyquist;
                randomRoots(filterState, random);
                SCOPED_TRACE(testing::Message() << nyquist << " Hz, width " << width << ", trial " << trial);
                check(filterState, width, 300 + 97 * trial);
            }
        }
    }
}

// Roots on the unit circle put exact zeros and poles on column points; NaN,
// infinite and zero gains; columns that match no ordinary number.
void forEachDegenerateCase(const std::function<void(const FilterState& filter, int width, int height)>& check)
{
    const double pi = 4.0 * std::atan(1.0);
    for (const double gain : {0.0, 1.0, 1e300, -1e-300, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()}) {
        FilterState filterState = initialFilterState();
        const double omega = std::pow(std::pow(filterState.nyquist / 10.0, 1.0 / 545), 200.0) * (10.0 * pi) /
                             filterState.nyquist;
        filterState.zeros.count = 2;
        filterState.zeros.positions[0] = {std::cos(omega), std::sin(omega)};
        filterState.zeros.pairFlags[0] = true;
        filterState.zeros.positions[1] = {1.0, 0.0};
        filterState.poles.count = 2;
        filterState.poles.positions[0] = {0.999999, 0.0};
        filterState.poles.positions[1] = {-1e-200, 1e-160};
        filterState.poles.pairFlags[1] = true;
        filterState.gain = gain;
        SCOPED_TRACE(testing::Message() << "gain " << gain);
        check(filterState, 545, 545);
    }
}

TEST(FastRows, EqualThePlainLoopForRandomRootsRatesAndWidths)
{
    forEachRandomCase(expectSameRows);
}

TEST(FastRows, EqualThePlainLoopForDegenerateResponses)
{
    forEachDegenerateCase(expectSameRows);
}

// The portable code, the only form outside x86-64, against the AVX2 form: the
// response values bit for bit at every column point, and the rows.
void expectPortableEqualsAvx2(const FilterState& filterState, int width, int height)
{
    const double pi = 4.0 * std::atan(1.0);
    const double omega0 = (filterState.lowestFrequency * pi) / filterState.nyquist;
    const double ratio = std::pow(filterState.nyquist / filterState.lowestFrequency, 1.0 / width);
    const auto n = static_cast<std::size_t>(width);
    std::vector<double> zRe(n), zIm(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double omega = std::pow(ratio, static_cast<double>(i)) * omega0;
        zRe[i] = std::cos(omega);
        zIm[i] = std::sin(omega);
    }
    std::vector<double> portableRe(n), portableIm(n), avx2Re(n), avx2Im(n);
    evaluateResponses(filterState, zRe.data(), zIm.data(), width, portableRe.data(), portableIm.data(), SweepCode::portable);
    evaluateResponses(filterState, zRe.data(), zIm.data(), width, avx2Re.data(), avx2Im.data(), SweepCode::avx2);
    EXPECT_EQ(std::memcmp(portableRe.data(), avx2Re.data(), n * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(portableIm.data(), avx2Im.data(), n * sizeof(double)), 0);

    const ResponseAxes axes = axesFor(filterState, width, height);
    const ResponseView portable = sampleWith(filterState, SweepCode::portable, width, axes);
    const std::vector<std::int32_t> portableMagnitude = portable.magnitudeRows(), portablePhase = portable.phaseRows();
    const ResponseView avx2 = sampleWith(filterState, SweepCode::avx2, width, axes);
    EXPECT_EQ(portableMagnitude, avx2.magnitudeRows());
    EXPECT_EQ(portablePhase, avx2.phaseRows());
}

class PortableRows : public testing::Test {
protected:
    void SetUp() override
    {
        if (formThatRuns(SweepCode::avx2) != SweepCode::avx2)
            GTEST_SKIP() << "no AVX2 form on this target or processor";
    }
};

TEST_F(PortableRows, EqualTheAvx2RowsForRandomRootsRatesAndWidths)
{
    forEachRandomCase(expectPortableEqualsAvx2);
}

TEST_F(PortableRows, EqualTheAvx2RowsForDegenerateResponses)
{
    forEachDegenerateCase(expectPortableEqualsAvx2);
}

// The curve estimates of both forms decide the same offsets at and around
// pixel boundaries and for special values.
TEST_F(PortableRows, OffsetsEqualTheAvx2OffsetsAtBoundariesAndSpecialValues)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> mantissa(-4.0, 4.0), scale(0.5, 40.0);
    std::uniform_int_distribution<int> exponent(-1074, 1023);
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (int trial = 0; trial < 500; ++trial) {
        double re[CURVE_BLOCK], im[CURVE_BLOCK];
        for (int j = 0; j < CURVE_BLOCK; ++j) {
            re[j] = std::ldexp(mantissa(random), exponent(random) / (1 + trial % 8));
            im[j] = std::ldexp(mantissa(random), exponent(random) / (1 + trial % 8));
        }
        re[trial % CURVE_BLOCK] = trial % 3 == 0 ? inf : std::numeric_limits<double>::quiet_NaN();
        im[(trial * 7) % CURVE_BLOCK] = 0.0;
        const double dbScale = scale(random), phaseScale = scale(random);
        int portable[CURVE_BLOCK], avx2[CURVE_BLOCK];
        decibelOffsets(re, im, CURVE_BLOCK, dbScale, portable, SweepCode::portable);
        decibelOffsets(re, im, CURVE_BLOCK, dbScale, avx2, SweepCode::avx2);
        ASSERT_EQ(std::memcmp(portable, avx2, sizeof portable), 0) << "trial " << trial;
        phaseOffsets(re, im, CURVE_BLOCK, phaseScale, portable, SweepCode::portable);
        phaseOffsets(re, im, CURVE_BLOCK, phaseScale, avx2, SweepCode::avx2);
        ASSERT_EQ(std::memcmp(portable, avx2, sizeof portable), 0) << "trial " << trial;
    }
}

// A build with VORBEL_PORTABLE_SWEEP runs the portable code everywhere, so its
// whole suite checks that code against the plain loop.
TEST(SweepCodeChoice, FollowsTheBuildAndTheProcessor)
{
#if defined(VORBEL_PORTABLE_SWEEP)
    EXPECT_EQ(formThatRuns(SweepCode::chosen), SweepCode::portable);
#else
    EXPECT_EQ(formThatRuns(SweepCode::chosen), formThatRuns(SweepCode::avx2));
#endif
    EXPECT_EQ(formThatRuns(SweepCode::portable), SweepCode::portable);
}

// Values just at, below and above the pixel boundaries, where the estimates
// cannot decide and the library must.
TEST(FastRows, DecideExactlyAtPixelBoundaries)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> scale(0.5, 40.0);
    for (int trial = 0; trial < 200; ++trial) {
        const double dbScale = scale(random), phaseScale = scale(random);
        const int k = static_cast<int>(random() % 400) - 200;
        double re[CURVE_BLOCK], im[CURVE_BLOCK];
        const double power = std::pow(10.0, k / (10.0 * dbScale));
        const double angle = std::fmod(k / phaseScale, 3.0);
        for (int j = 0; j < CURVE_BLOCK; ++j) {
            // Spread around the boundary by a few units in the last place.
            const double nudge = 1.0 + (j - CURVE_BLOCK / 2) * std::numeric_limits<double>::epsilon();
            re[j] = std::sqrt(power) * nudge;
            im[j] = j % 2 == 0 ? 0.0 : 1e-300;
            if (j >= CURVE_BLOCK / 2) {
                re[j] = std::cos(angle * nudge);
                im[j] = std::sin(angle * nudge);
            }
        }
        int decibels[CURVE_BLOCK], phases[CURVE_BLOCK];
        decibelOffsets(re, im, CURVE_BLOCK, dbScale, decibels);
        phaseOffsets(re, im, CURVE_BLOCK, phaseScale, phases);
        for (int j = 0; j < CURVE_BLOCK; ++j) {
            ASSERT_EQ(decibels[j], toPixel(10.0 * std::log10(re[j] * re[j] + im[j] * im[j]) * dbScale)) << j;
            ASSERT_EQ(phases[j], toPixel(std::atan2(im[j], re[j]) * phaseScale)) << j;
        }
    }
}

TEST(FastRows, SpecialValuesTakeTheLibraryPath)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const double values[][2] = {{0.0, 0.0},   {-0.0, 0.0}, {0.0, -0.0}, {-0.0, -0.0}, {-1.0, 0.0},  {-1.0, -0.0},
                                {inf, 1.0},   {1.0, inf},  {-inf, -inf}, {nan, 1.0},  {1.0, nan},   {5e-324, 1.0},
                                {1e-320, -1e-320}, {1e308, 1e308}, {-1e-200, 3e-200}, {1.0, 0.0}, {0.0, -2.0}};
    for (const double scale : {0.0, -3.0, 4.7, 1e300, inf, nan}) {
        double re[CURVE_BLOCK] = {}, im[CURVE_BLOCK] = {};
        const int n = static_cast<int>(std::size(values));
        for (int j = 0; j < n; ++j) {
            re[j] = values[j][0];
            im[j] = values[j][1];
        }
        int decibels[CURVE_BLOCK], phases[CURVE_BLOCK];
        decibelOffsets(re, im, n, scale, decibels);
        phaseOffsets(re, im, n, scale, phases);
        for (int j = 0; j < n; ++j) {
            EXPECT_EQ(decibels[j], toPixel(10.0 * std::log10(re[j] * re[j] + im[j] * im[j]) * scale))
                << j << " at scale " << scale;
            EXPECT_EQ(phases[j], toPixel(std::atan2(im[j], re[j]) * scale)) << j << " at scale " << scale;
        }
    }
}

}  // namespace
