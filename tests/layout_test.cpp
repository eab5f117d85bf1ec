#include "model/designs.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"
#include "view/response_view.h"
#include "view/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

// Arial 14 pixels high and 5 wide on average, dialog base unit 16: the
// metrics every layout below is computed with.
class LayoutTest : public testing::Test {
protected:
    LayoutTest()
    {
        metrics_.height = 14;
        metrics_.averageCharWidth = 5;
    }

    // What a resize of the client area does: a new layout and response rows
    // cleared for it.
    void layoutPanes(std::uint16_t width, std::uint16_t height)
    {
        layoutPlots(layout_, plots_, width, height, arialFont, baseUnitY);
    }

    void expectControl(ControlId id, int x, int y, int width, int height) const
    {
        SCOPED_TRACE(static_cast<int>(id));
        const ControlGeometry& g = layout_.controlGeometry[id - 1];
        EXPECT_EQ(g.x, x);
        EXPECT_EQ(g.y, y);
        EXPECT_EQ(g.width, width);
        EXPECT_EQ(g.height, height);
    }

    bool outsideEveryPane(std::int32_t row) const
    {
        const auto inside = [row](const Rect& pane) { return row >= pane.top && row <= pane.bottom; };
        return !inside(layout_.magnitudePane) && !inside(layout_.phasePane);
    }

    bool allOutside(const std::vector<std::int32_t>& rows) const
    {
        return std::all_of(rows.begin(), rows.end(), [this](std::int32_t row) { return outsideEveryPane(row); });
    }

    // The curves and the cutoff marker of the default filter, drawn in the
    // current panes.
    void drawSomeResponse()
    {
        FilterState filter = initialFilterState();
        filter.modelIndex = 1;
        applyModel(filter);
        Surface surface;
        resizeSurface(surface, 800, 600);
        plots_.response.cutoffMarkerVisible = true;
        plots_.response.drawResponse(surface, magnitudePane, phasePane, filter, Fonts{}, false);
    }

    FontInfo metrics_;
    const FontInfo* arialFont = &metrics_;
    int baseUnitY = 16;
    ::Layout layout_;
    Plots plots_;
    const Rect& zPlaneRect = layout_.zPlaneRect;
    const Rect& paletteRect = layout_.paletteRect;
    const Rect& magnitudePane = layout_.magnitudePane;
    const Rect& phasePane = layout_.phasePane;
    const ControlGeometry (&controlGeometry)[CONTROL_COUNT] = layout_.controlGeometry;
    const std::vector<std::int32_t>& magnitudeRows() const { return plots_.response.magnitudeRows(); }
    const std::vector<std::int32_t>& phaseRows() const { return plots_.response.phaseRows(); }
};

void expectRect(const Rect& r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

// Closed form: margin 14 / 2 = 7, width left 800 − 15 − 7 − 20 = 758, height
// left 600 − 28 − 7 − 20 = 545, side min(⌊9 · 758 / 32⌋, 545) = 213, phase pane
// 545 / 3 = 181 high, controls 213 − 7 = 206 wide, sliders 15 · 16 / 8 = 30 high.
TEST_F(LayoutTest, PanesAndControlsOf800By600)
{
    layoutPanes(800, 600);
    expectRect(zPlaneRect, 7, 380, 220, 593);
    expectRect(paletteRect, 7, 346, 147, 381);
    expectRect(phasePane, 245, 395, 790, 576);
    expectRect(magnitudePane, 245, 10, 790, 374);
    EXPECT_EQ(magnitudeRows().size(), 800u);
    EXPECT_EQ(phaseRows().size(), 800u);

    expectControl(MODEL_LABEL, 7, 7, 206, 16);
    expectControl(MODEL_COMBO_BOX, 7, 23, 206, 577);
    expectControl(CUTOFF_LABEL, 7, 53, 206, 16);
    expectControl(CUTOFF_SLIDER, 7, 69, 206, 30);
    expectControl(Q_LABEL, 7, 101, 206, 16);
    expectControl(Q_SLIDER, 7, 117, 206, 30);
}

// Closed form: width left 1558 would give a side of ⌊9 · 1558 / 32⌋ = 438, more
// than the 345 of height left, so the side is 345.
TEST_F(LayoutTest, HeightLimitedZPlane)
{
    layoutPanes(1600, 400);
    expectRect(zPlaneRect, 7, 48, 352, 393);
    expectRect(paletteRect, 7, -8, 235, 49);
    expectRect(magnitudePane, 377, 10, 1590, 240);
    expectRect(phasePane, 377, 261, 1590, 376);
    EXPECT_EQ(magnitudeRows().size(), 1600u);
    EXPECT_EQ(phaseRows().size(), 1600u);
    expectControl(Q_SLIDER, 7, 117, 338, 30);
}

// A minimised window: d = −42 and e = −55 taken unsigned give a z-plane side
// of 2^27 − 12 and a phase pane e/3 = 1431655747 high, all off the client.
TEST_F(LayoutTest, ZeroClientSize)
{
    layoutPanes(0, 0);
    constexpr int side = (1 << 27) - 12;
    expectRect(zPlaneRect, 7, -7 - side, 7 + side, -7);
    expectRect(paletteRect, 7, -6 - side - side / 6, 7 + 4 * (side / 6), -6 - side);
    expectRect(phasePane, side + 32, -1431655771, -10, -24);
    expectRect(magnitudePane, side + 32, 10, -10, -1431655792);
    EXPECT_TRUE(magnitudeRows().empty());
    EXPECT_TRUE(phaseRows().empty());
    expectControl(MODEL_COMBO_BOX, 7, 23, side - 7, -23);
}

TEST_F(LayoutTest, EachLayoutReplacesTheRowsWithRowsOutsideThePanes)
{
    layoutPanes(800, 600);
    // A drawing puts the rows into the panes.
    drawSomeResponse();
    ASSERT_FALSE(allOutside(phaseRows()));
    layoutPanes(640, 480);
    ASSERT_EQ(magnitudeRows().size(), 640u);
    ASSERT_EQ(phaseRows().size(), 640u);
    EXPECT_TRUE(allOutside(magnitudeRows()));
    EXPECT_TRUE(allOutside(phaseRows()));
}

// The marker column of a drawing of the old panes would, erased in the new
// ones, cut a white line through whatever stands there now.
TEST_F(LayoutTest, EachLayoutForgetsTheCutoffMarkerColumn)
{
    layoutPanes(800, 600);
    drawSomeResponse();
    ASSERT_GE(plots_.response.cutoffMarkerX(), magnitudePane.left);
    layoutPanes(640, 480);
    EXPECT_LT(plots_.response.cutoffMarkerX(), std::min({zPlaneRect.left, paletteRect.left, magnitudePane.left, phasePane.left, 0}));

    // Drawn as a partial redraw erases it: no pixel of the client changes.
    Surface surface;
    resizeSurface(surface, 640, 480);
    fillRect(surface, {0, 0, 640, 480}, GREY);
    plots_.response.cutoffMarkerVisible = true;
    plots_.response.eraseResponseCurves(surface, magnitudePane);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(pixelAt(surface, x, y), GREY) << x << "," << y;
}

TEST_F(LayoutTest, WithoutArialFontTheMetricsCountAsZero)
{
    arialFont = nullptr;
    layoutPanes(800, 600);
    // m = 0, d = 780, e = 580, s = 7020 / 32 = 219.
    expectRect(zPlaneRect, 0, 381, 219, 600);
    expectRect(paletteRect, 0, 346, 144, 382);
    expectRect(phasePane, 229, 397, 790, 590);
    expectRect(magnitudePane, 229, 10, 790, 397);
    expectControl(MODEL_LABEL, 0, 0, 219, 16);
}

// What the layout promises for every size that leaves room, computed here in
// 64 bits from the available width and height; sizes without room (among
// them 0 × 0 and 1 × 1) must merely lay out cleanly.
TEST_F(LayoutTest, ConsequencesHoldOverRandomSizes)
{
    std::vector<std::pair<int, int>> sizes{{0, 0}, {1, 1}, {65535, 65535}, {65535, 0}, {0, 65535}, {42, 55}, {43, 56}};
    std::mt19937 random(20240607u);
    std::uniform_int_distribution<int> small(0, 300);
    std::uniform_int_distribution<int> any(0, 65535);
    for (int i = 0; i < 300; ++i)
        sizes.emplace_back(small(random), small(random));
    for (int i = 0; i < 300; ++i)
        sizes.emplace_back(any(random), any(random));

    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        layoutPanes(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
        ASSERT_EQ(magnitudeRows().size(), static_cast<std::size_t>(width));
        ASSERT_EQ(phaseRows().size(), static_cast<std::size_t>(width));

        const std::int64_t d = width - 42;
        const std::int64_t e = height - 55;
        if (d <= 0 || e <= 0)
            continue;
        const std::int64_t s = std::min(9 * d / 32, e);
        const std::int64_t m = 7;
        EXPECT_EQ(zPlaneRect.left, m);
        EXPECT_EQ(zPlaneRect.bottom, height - m);
        EXPECT_EQ(zPlaneRect.right - zPlaneRect.left, s);
        EXPECT_EQ(zPlaneRect.bottom - zPlaneRect.top, s);
        EXPECT_EQ(paletteRect.left, m);
        EXPECT_EQ(paletteRect.bottom, zPlaneRect.top + 1);
        EXPECT_EQ(paletteRect.bottom - paletteRect.top, s / 6);
        EXPECT_EQ(paletteRect.right - paletteRect.left, 4 * (s / 6));
        EXPECT_EQ(magnitudePane.left, phasePane.left);
        EXPECT_EQ(magnitudePane.right, phasePane.right);
        EXPECT_EQ(magnitudePane.right, width - 10);
        EXPECT_EQ(magnitudePane.left - zPlaneRect.right, 25);
        EXPECT_EQ(magnitudePane.right - magnitudePane.left, d - s);
        EXPECT_EQ(magnitudePane.top, 10);
        EXPECT_EQ(phasePane.bottom - phasePane.top, e / 3);
        EXPECT_EQ(magnitudePane.bottom - magnitudePane.top, e - e / 3);
        EXPECT_EQ(phasePane.top - magnitudePane.bottom, m + 14);
        EXPECT_EQ(height - phasePane.bottom, 14 + 10);
        const ControlGeometry& q = controlGeometry[Q_SLIDER - 1];
        EXPECT_EQ(q.x + q.width, zPlaneRect.right - m);
        EXPECT_TRUE(allOutside(magnitudeRows()));
    }
}

}  // namespace
