#include "view/fonts.h"
#include "view/layout.h"
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
class Layout : public testing::Test {
protected:
    void SetUp() override
    {
        savedFont_ = arialFont;
        savedBaseUnit_ = baseUnitY;
        metrics_.height = 14;
        metrics_.averageCharWidth = 5;
        arialFont = &metrics_;
        baseUnitY = 16;
    }

    void TearDown() override
    {
        arialFont = savedFont_;
        baseUnitY = savedBaseUnit_;
    }

private:
    FontInfo metrics_;
    FontInfo* savedFont_ = nullptr;
    int savedBaseUnit_ = 0;
};

void expectRect(const Rect& r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

void expectControl(ControlId id, int x, int y, int width, int height)
{
    SCOPED_TRACE(static_cast<int>(id));
    const ControlGeometry& g = controlGeometry[id - 1];
    EXPECT_EQ(g.x, x);
    EXPECT_EQ(g.y, y);
    EXPECT_EQ(g.width, width);
    EXPECT_EQ(g.height, height);
}

bool outsideEveryPane(std::int32_t row)
{
    const auto inside = [row](const Rect& pane) { return row >= pane.top && row <= pane.bottom; };
    return !inside(magnitudePane) && !inside(phasePane);
}

// Closed form: margin 14 / 2 = 7, width left 800 − 15 − 7 − 20 = 758, height
// left 600 − 28 − 7 − 20 = 545, side min(⌊9 · 758 / 32⌋, 545) = 213, phase pane
// 545 / 3 = 181 high, controls 213 − 7 = 206 wide, sliders 15 · 16 / 8 = 30 high.
TEST_F(Layout, PanesAndControlsOf800By600)
{
    layoutPanes(800, 600);
    expectRect(zPlaneRect, 7, 380, 220, 593);
    expectRect(paletteRect, 7, 346, 147, 381);
    expectRect(phasePane, 245, 395, 790, 576);
    expectRect(magnitudePane, 245, 10, 790, 374);
    EXPECT_EQ(magnitudeRows.size(), 800u);
    EXPECT_EQ(phaseRows.size(), 800u);

    expectControl(MODEL_LABEL, 7, 7, 206, 16);
    expectControl(MODEL_COMBO_BOX, 7, 23, 206, 577);
    expectControl(CUTOFF_LABEL, 7, 53, 206, 16);
    expectControl(CUTOFF_SLIDER, 7, 69, 206, 30);
    expectControl(Q_LABEL, 7, 101, 206, 16);
    expectControl(Q_SLIDER, 7, 117, 206, 30);
}

// Closed form: width left 1558 would give a side of ⌊9 · 1558 / 32⌋ = 438, more
// than the 345 of height left, so the side is 345.
TEST_F(Layout, HeightLimitedZPlane)
{
    layoutPanes(1600, 400);
    expectRect(zPlaneRect, 7, 48, 352, 393);
    expectRect(paletteRect, 7, -8, 235, 49);
    expectRect(magnitudePane, 377, 10, 1590, 240);
    expectRect(phasePane, 377, 261, 1590, 376);
    EXPECT_EQ(magnitudeRows.size(), 1600u);
    EXPECT_EQ(phaseRows.size(), 1600u);
    expectControl(Q_SLIDER, 7, 117, 338, 30);
}

// A minimised window: d = −42 and e = −55 taken unsigned give a z-plane side
// of 2^27 − 12 and a phase pane e/3 = 1431655747 high, all off the client.
TEST_F(Layout, ZeroClientSize)
{
    layoutPanes(0, 0);
    constexpr int side = (1 << 27) - 12;
    expectRect(zPlaneRect, 7, -7 - side, 7 + side, -7);
    expectRect(paletteRect, 7, -6 - side - side / 6, 7 + 4 * (side / 6), -6 - side);
    expectRect(phasePane, side + 32, -1431655771, -10, -24);
    expectRect(magnitudePane, side + 32, 10, -10, -1431655792);
    EXPECT_TRUE(magnitudeRows.empty());
    EXPECT_TRUE(phaseRows.empty());
    expectControl(MODEL_COMBO_BOX, 7, 23, side - 7, -23);
}

TEST_F(Layout, EachLayoutReplacesTheRowsWithRowsOutsideThePanes)
{
    layoutPanes(800, 600);
    std::fill(magnitudeRows.begin(), magnitudeRows.end(), 100);
    std::fill(phaseRows.begin(), phaseRows.end(), 400);
    layoutPanes(640, 480);
    ASSERT_EQ(magnitudeRows.size(), 640u);
    ASSERT_EQ(phaseRows.size(), 640u);
    EXPECT_TRUE(std::all_of(magnitudeRows.begin(), magnitudeRows.end(), outsideEveryPane));
    EXPECT_TRUE(std::all_of(phaseRows.begin(), phaseRows.end(), outsideEveryPane));
}

// The marker column of a drawing of the old panes would, erased in the new
// ones, cut a white line through whatever stands there now.
TEST_F(Layout, EachLayoutForgetsTheCutoffMarkerColumn)
{
    layoutPanes(800, 600);
    cutoffMarkerX = magnitudePane.left + 100;
    layoutPanes(640, 480);
    EXPECT_LT(cutoffMarkerX, std::min({zPlaneRect.left, paletteRect.left, magnitudePane.left, phasePane.left, 0}));

    // Drawn as a partial redraw erases it: no pixel of the client changes.
    Surface surface;
    resizeSurface(surface, 640, 480);
    fillRect(surface, {0, 0, 640, 480}, GREY);
    cutoffMarkerVisible = true;
    eraseResponseCurves(surface);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(pixelAt(surface, x, y), GREY) << x << "," << y;
}

TEST_F(Layout, WithoutArialFontTheMetricsCountAsZero)
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
TEST_F(Layout, ConsequencesHoldOverRandomSizes)
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
        ASSERT_EQ(magnitudeRows.size(), static_cast<std::size_t>(width));
        ASSERT_EQ(phaseRows.size(), static_cast<std::size_t>(width));

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
        EXPECT_TRUE(std::all_of(magnitudeRows.begin(), magnitudeRows.end(), outsideEveryPane));
    }
}

}  // namespace
