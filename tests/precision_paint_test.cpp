// The precision view in the client area's drawing: the rounded roots' marks
// and the rounded |H| take part in the partial redraws, which stay exactly
// equal to a full paint, at several sizes (the device-pixel sizes of one
// window at several scale factors), whatever the choice and its changes.

#include "view/paint.h"

#include "model/designs.h"
#include "model/document.h"
#include "model/rounding.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <utility>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int SEQUENCES = 6;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int SEQUENCES = 6;
#else
constexpr int SEQUENCES = 24;
#endif
#else
constexpr int SEQUENCES = 24;
#endif
constexpr int STEPS = 16;

// One window of 640 × 480 logical pixels at scale factors 1, 1.5 and 2.
struct Size {
    int width, height;
};
constexpr Size SIZES[] = {{640, 480}, {960, 720}, {1280, 960}};
constexpr Precision PRECISIONS[] = {Precision::Exact, Precision::Float32, Precision::Q15, Precision::Q31};
constexpr Rgb BACKGROUND = rgb(1, 2, 3);

Rect wholeOf(const Surface& surface) { return {0, 0, surfaceWidth(surface), surfaceHeight(surface)}; }

std::string firstDifference(const Surface& a, const Surface& b)
{
    if (surfaceWidth(a) != surfaceWidth(b) || surfaceHeight(a) != surfaceHeight(b))
        return "sizes differ";
    for (int y = 0; y < surfaceHeight(a); ++y) {
        const auto* rowA = a.image.constScanLine(y);
        const auto* rowB = b.image.constScanLine(y);
        if (std::memcmp(rowA, rowB, static_cast<std::size_t>(a.image.bytesPerLine())) == 0)
            continue;
        for (int x = 0; x < surfaceWidth(a); ++x) {
            if (pixelAt(a, x, y) != pixelAt(b, x, y)) {
                std::ostringstream text;
                text << "pixel " << x << "," << y << ": " << std::hex << pixelAt(a, x, y) << " against "
                     << pixelAt(b, x, y);
                return text.str();
            }
        }
    }
    return "";
}

int countPixels(const Surface& surface, const Rect& r, Rgb colour)
{
    int count = 0;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, surfaceHeight(surface)); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, surfaceWidth(surface)); ++x)
            count += pixelAt(surface, x, y) == colour ? 1 : 0;
    return count;
}

// The window's drawing state, owned here as the client area owns its own.
class PrecisionPaint : public testing::Test {
protected:
    void SetUp() override
    {
        fonts_ = createFonts(96);
        ASSERT_NE(fonts_.arialFont, nullptr);
        layOut(SIZES[0]);
    }

    void layOut(Size size)
    {
        layoutPlots(layout_, plots_, static_cast<std::uint16_t>(size.width), static_cast<std::uint16_t>(size.height),
                    fonts_.arialFont.get(), 16);
        resizeSurface(plots_.surface, size.width, size.height);
        ::fullPaint(plots_, layout_, filter_, fonts_, wholeOf(plots_.surface));
    }

    // A full paint of the same state on a fresh surface, through the same
    // views, as a repaint of the window would draw it.
    Surface freshPaint()
    {
        Surface fresh;
        resizeSurface(fresh, surfaceWidth(plots_.surface), surfaceHeight(plots_.surface));
        std::swap(fresh, plots_.surface);
        ::fullPaint(plots_, layout_, filter_, fonts_, wholeOf(plots_.surface));
        std::swap(fresh, plots_.surface);
        return fresh;
    }

    void partialRedraw(bool showMarker) { ::partialRedraw(plots_, layout_, filter_, fonts_, showMarker); }

    Fonts fonts_;
    Layout layout_;
    Plots plots_;
    FilterState filter_ = initialFilterState();
};

// Random states: the models at random settings and roots placed by hand,
// every mark inside the z-plane's frame.
class StateWalk {
public:
    StateWalk(FilterState& filter, const Rect& zPlaneRect, unsigned seed) : filter_(filter), random_(seed)
    {
        const int half = (zPlaneRect.right - zPlaneRect.left) / 2;
        const int scale = (5 * half) >> 3;
        limit_ = std::min(1.5, static_cast<double>(half - 1 - scale / 12) / scale);
    }

    // A new state at the same Nyquist frequency, which only a full paint
    // may change (it moves the grid).
    void change()
    {
        if (pick(3) > 0) {
            const double nyquist = filter_.nyquist;
            filter_ = initialFilterState();
            filter_.nyquist = nyquist;
            filter_.cutoff = filter_.lowestFrequency * std::pow(filter_.nyquist / filter_.lowestFrequency, uniform(0, 1));
            filter_.q = uniform(std::sqrt(0.5), 10.0);
            filter_.modelIndex = pick(8);
            applyModel(filter_);
            return;
        }
        filter_.modelIndex = MODEL_CUSTOM;
        for (RootList* list : {&filter_.zeros, &filter_.poles}) {
            list->count = pick(5);
            for (int i = 0; i < list->count; ++i) {
                list->pairFlags[i] = pick(2) == 1;
                list->positions[i] = {uniform(-limit_, limit_), list->pairFlags[i] ? uniform(-limit_, limit_) : 0.0};
            }
        }
        normalizeGain(filter_);
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

private:
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

    FilterState& filter_;
    std::mt19937 random_;
    double limit_ = 1.0;
};

// Partial redraws, with the choice changed between them at random, leave
// the whole client area exactly as a full paint of the same state and choice
// draws it.
TEST_F(PrecisionPaint, PartialRedrawsEqualAFullPaintWithTheOverlay)
{
    for (const Size size : SIZES) {
        layOut(size);
        for (int sequence = 0; sequence < SEQUENCES; ++sequence) {
            StateWalk walk(filter_, layout_.zPlaneRect, static_cast<unsigned>(sequence) + 100u);
            constexpr double NYQUISTS[] = {22050.0, 24000.0, 48000.0, 96000.0};
            filter_.nyquist = NYQUISTS[walk.pick(4)];
            walk.change();
            plots_.precision = PRECISIONS[walk.pick(4)];
            ::fullPaint(plots_, layout_, filter_, fonts_, wholeOf(plots_.surface));
            for (int step = 0; step < STEPS; ++step) {
                if (walk.pick(3) == 0)
                    plots_.precision = PRECISIONS[walk.pick(4)];
                else
                    walk.change();
                partialRedraw(walk.pick(2) == 1);
                const Surface fresh = freshPaint();
                ASSERT_EQ(firstDifference(plots_.surface, fresh), "")
                    << size.width << "x" << size.height << ", sequence " << sequence << ", step " << step
                    << ", precision " << precisionLabel(plots_.precision);
            }
        }
    }
}

// With Exact nothing of the overlay stays, whatever was drawn before: the
// same pixels as a window that never showed one.
TEST_F(PrecisionPaint, ExactLeavesNoTraceOfTheOverlay)
{
    filter_.nyquist = 96000.0;
    filter_.modelIndex = 7;
    filter_.cutoff = 30.0;
    applyModel(filter_);
    ::fullPaint(plots_, layout_, filter_, fonts_, wholeOf(plots_.surface));
    Plots never;
    Layout neverLayout;
    layoutPlots(neverLayout, never, 640, 480, fonts_.arialFont.get(), 16);
    resizeSurface(never.surface, 640, 480);
    ::fullPaint(never, neverLayout, filter_, fonts_, wholeOf(never.surface));

    for (const Precision precision : {Precision::Q15, Precision::Float32, Precision::Q31}) {
        plots_.precision = precision;
        partialRedraw(true);
        EXPECT_NE(firstDifference(plots_.surface, never.surface), "") << precisionLabel(precision);
        plots_.precision = Precision::Exact;
        partialRedraw(true);
        EXPECT_EQ(firstDifference(plots_.surface, never.surface), "") << precisionLabel(precision);
        EXPECT_TRUE(plots_.response.roundedRows().empty());
        EXPECT_TRUE(plots_.zPlane.drawnRoundedPoles().empty());
        EXPECT_EQ(countPixels(plots_.surface, layout_.zPlaneRect, ROUNDED_GREY), 0);
        EXPECT_EQ(countPixels(plots_.surface, layout_.magnitudePane, ROUNDED_GREY), 0);
    }
}

// The default 2nd-order low-pass at 10 Hz and 192 kHz in Q15: its poles
// round to exactly 1 and 0.99951171875 (a1 = −32760 / 2^14, a2 = 16376 /
// 2^14, so 1 + a1 + a2 = 0) and its numerator to 0. The grey square of the
// pole at 1 stands on the real axis where the unit circle crosses it; the
// rounded |H| is 0 everywhere, so no grey curve is drawn.
TEST_F(PrecisionPaint, TheQ15PolesOfTheLowPassAtTenHertzStandOnTheUnitCircle)
{
    const Document document = designedDocument(1, 192000, 0, 0);
    filter_ = document.filter;
    plots_.precision = Precision::Q15;
    partialRedraw(true);
    const ZPlaneGeometry& at = plots_.zPlane.geometry();
    const int scale = toPixel(at.scale);
    const int half = scale / 14 + 2;
    EXPECT_EQ(pixelAt(plots_.surface, at.centreX + scale + half, at.centreY), ROUNDED_GREY);
    EXPECT_EQ(pixelAt(plots_.surface, at.centreX + scale, at.centreY - half), ROUNDED_GREY);
    // The other pole, 0.0005 inside, rounds to the same pixel column or one
    // beside it: its square's left edge.
    const int inner = at.centreX + toPixel(0.99951171875 * at.scale);
    EXPECT_EQ(pixelAt(plots_.surface, inner - half, at.centreY + 1), ROUNDED_GREY);
    EXPECT_EQ(countPixels(plots_.surface, layout_.magnitudePane, ROUNDED_GREY), 0);
    ASSERT_EQ(plots_.response.roundedRows().size(),
              static_cast<std::size_t>(layout_.magnitudePane.right - layout_.magnitudePane.left));
    for (const std::int32_t row : plots_.response.roundedRows())
        ASSERT_EQ(row, std::numeric_limits<std::int32_t>::min());
}

// Where the rounded response differs from the exact one, the grey curve is
// seen, at the rows of the rounded cascade's |H|.
TEST_F(PrecisionPaint, TheGreyCurveFollowsTheRoundedResponse)
{
    filter_.nyquist = 24000.0;
    filter_.modelIndex = 7;  // 6th-order Butterworth, some dB off in Q15
    filter_.cutoff = 100.0;
    applyModel(filter_);
    ::fullPaint(plots_, layout_, filter_, fonts_, wholeOf(plots_.surface));
    plots_.precision = Precision::Q15;
    partialRedraw(false);
    const RoundedFilter rounded = roundFilter(filter_, Precision::Q15);
    ASSERT_EQ(rounded.problem, "");
    const Rect& pane = layout_.magnitudePane;
    const ResponseAxes axes = responseAxes(pane, layout_.phasePane, filter_);
    const std::vector<std::int32_t>& rows = plots_.response.roundedRows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(pane.right - pane.left));
    int inPane = 0;
    const double pi = 4.0 * std::atan(1.0);
    for (std::size_t i = 0; i < rows.size(); i += 7) {
        const double omega = columnAngle(filter_.lowestFrequency, filter_.nyquist, axes.width,
                                         static_cast<std::int64_t>(i));
        ASSERT_LE(omega, pi);
        const Complex h = evaluateRounded(rounded, {std::cos(omega), -std::sin(omega)});
        const double decibels = 10.0 * std::log10(h.re * h.re + h.im * h.im);
        const int expected = axes.zeroDbRow - toPixel(decibels * axes.dbScale);
        if (expected >= pane.top && expected < pane.bottom) {
            ++inPane;
            EXPECT_EQ(rows[i], expected) << i;
        }
    }
    EXPECT_GT(inPane, 10);
    EXPECT_GT(countPixels(plots_.surface, pane, ROUNDED_GREY), 20);
}

// A full paint limited to an update rectangle draws the overlay there only.
TEST_F(PrecisionPaint, AFullPaintOfPartOfTheAreaKeepsTheOverlayInside)
{
    filter_.nyquist = 48000.0;
    filter_.modelIndex = 5;
    filter_.cutoff = 25.0;
    applyModel(filter_);
    plots_.precision = Precision::Q15;
    const Surface reference = freshPaint();
    ASSERT_GT(countPixels(reference, layout_.zPlaneRect, ROUNDED_GREY), 0);
    const Rect& plane = layout_.zPlaneRect;
    const Rect updates[] = {
        {plane.left + (plane.right - plane.left) / 2, plane.top, plane.right + 200, plane.bottom},
        {0, 0, 640, layout_.magnitudePane.top + 100},
        {plane.left + 10, plane.top + 10, plane.left + 40, plane.top + 40},
    };
    for (const Rect& update : updates) {
        fillRect(plots_.surface, wholeOf(plots_.surface), BACKGROUND);
        ::fullPaint(plots_, layout_, filter_, fonts_, update);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                ASSERT_EQ(pixelAt(plots_.surface, x, y), contains(update, x, y) ? pixelAt(reference, x, y) : BACKGROUND)
                    << x << "," << y;
    }
}

}  // namespace
