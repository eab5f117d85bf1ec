#include "view/zplane_view.h"

#include "view/layout.h"
#include "view/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

constexpr Rgb GREEN = rgb(0, 160, 0);

// A 200-pixel pane: half 100, centre (110, 120), scale 62, circle radius 5,
// cross half-size 4.
constexpr Rect PANE{10, 20, 210, 220};
constexpr int CX = 110;
constexpr int CY = 120;

Pixels pixelsOf(const Surface& surface, Rgb colour)
{
    Pixels found;
    for (int y = 0; y < surfaceHeight(surface); ++y)
        for (int x = 0; x < surfaceWidth(surface); ++x)
            if (pixelAt(surface, x, y) == colour)
                found.insert({x, y});
    return found;
}

Pixels cross(int x, int y, int h)
{
    Pixels pixels;
    for (int i = -h; i <= h; ++i) {
        pixels.insert({x + i, y + i});
        pixels.insert({x + i, y - i});
    }
    return pixels;
}

Pixels unite(std::initializer_list<Pixels> parts)
{
    Pixels all;
    for (const Pixels& part : parts)
        all.insert(part.begin(), part.end());
    return all;
}

void addRoot(RootList& list, double re, double im, bool pair)
{
    list.positions[list.count] = {re, im};
    list.pairFlags[list.count] = pair;
    ++list.count;
}

// Blue circle marks of radius r centred on the given pixels: each centre and
// the four extreme points of each outline are blue, and no blue pixel lies
// outside the marks' bounding squares.
void expectCircleMarks(const Surface& surface, std::initializer_list<std::pair<int, int>> centres, int r)
{
    for (const auto& [x, y] : centres) {
        EXPECT_EQ(pixelAt(surface, x, y), ZERO_BLUE) << x << "," << y;
        EXPECT_EQ(pixelAt(surface, x - r, y), ZERO_BLUE) << x << "," << y;
        EXPECT_EQ(pixelAt(surface, x + r, y), ZERO_BLUE) << x << "," << y;
        EXPECT_EQ(pixelAt(surface, x, y - r), ZERO_BLUE) << x << "," << y;
        EXPECT_EQ(pixelAt(surface, x, y + r), ZERO_BLUE) << x << "," << y;
    }
    for (const auto& [px, py] : pixelsOf(surface, ZERO_BLUE)) {
        bool inside = false;
        for (const auto& [x, y] : centres)
            inside = inside || (px >= x - r && px <= x + r && py >= y - r && py <= y + r);
        EXPECT_TRUE(inside) << "stray blue pixel " << px << "," << py;
    }
}

// The view under test and the filter it draws, both fresh for every test,
// with the drawing and its results under their short names.
class ZPlaneViewTest : public testing::Test {
protected:
    ZPlaneViewTest() { resizeSurface(surface, 300, 300); }

    void drawZPlane(Surface& target, const Rect& rect, bool erase) { view_.drawZPlane(target, rect, filterState, erase); }

    // What a new window starts from: a view that has drawn nothing.
    void resetZPlaneView() { view_ = ::ZPlaneView{}; }

    // Poles on the real axis, on the frame, on the unit circle; zeros on the
    // imaginary axis and on the unit circle.
    void sceneA()
    {
        filterState = initialFilterState();
        addRoot(filterState.poles, 1.0, 0.0, false);  // (172, 120)
        addRoot(filterState.poles, 1.6, 0.3, true);   // (209, 102), (209, 138)
        addRoot(filterState.poles, 0.2, 1.0, true);   // (122, 58), (122, 182)
        addRoot(filterState.zeros, 0.0, 0.5, true);   // (110, 89), (110, 151)
        addRoot(filterState.zeros, -1.0, 0.0, false); // (48, 120)
    }

    void sceneB()
    {
        filterState = initialFilterState();
        addRoot(filterState.poles, 0.5, 0.0, false);  // (141, 120)
        addRoot(filterState.poles, 0.3, 0.3, true);   // (128, 102), (128, 138)
        addRoot(filterState.zeros, -0.5, 0.0, false); // (79, 120)
    }

    Surface surface;
    FilterState filterState = initialFilterState();
    ::ZPlaneView view_;
    const int& zPlaneCentreX = view_.geometry().centreX;
    const int& zPlaneCentreY = view_.geometry().centreY;
    const double& zPlaneScale = view_.geometry().scale;
    const RootList& drawnZeros = view_.drawnZeros();
    const RootList& drawnPoles = view_.drawnPoles();
};

TEST_F(ZPlaneViewTest, GeometryFromTheRectangle)
{
    drawZPlane(surface, PANE, false);
    EXPECT_EQ(zPlaneCentreX, 110);
    EXPECT_EQ(zPlaneCentreY, 120);
    EXPECT_EQ(zPlaneScale, 62.0);

    drawZPlane(surface, Rect{10, 20, 211, 221}, false);
    EXPECT_EQ(zPlaneCentreX, 110);
    EXPECT_EQ(zPlaneCentreY, 120);
    EXPECT_EQ(zPlaneScale, 62.0);

    drawZPlane(surface, Rect{0, 0, 7, 7}, false);
    EXPECT_EQ(zPlaneCentreX, 3);
    EXPECT_EQ(zPlaneCentreY, 3);
    EXPECT_EQ(zPlaneScale, 1.0);

    // The vertical centre comes from the half-width.
    drawZPlane(surface, Rect{10, 20, 210, 120}, false);
    EXPECT_EQ(zPlaneCentreY, 120);

    // 5 × 1073741823 wraps modulo 2^32 to 1073741819 before the shift.
    drawZPlane(surface, Rect{0, 0, std::numeric_limits<int>::max(), std::numeric_limits<int>::max()}, false);
    EXPECT_EQ(zPlaneCentreX, 1073741823);
    EXPECT_EQ(zPlaneScale, 134217727.0);
}

TEST_F(ZPlaneViewTest, EmptyPaneFrameAxesAndUnitCircle)
{
    drawZPlane(surface, PANE, false);
    EXPECT_EQ(surface.pen, DEFAULT_PEN);
    EXPECT_EQ(surface.brush, Brush::White);

    for (int x = PANE.left; x < PANE.right; ++x) {
        EXPECT_EQ(pixelAt(surface, x, PANE.top), GREY) << x;
        EXPECT_EQ(pixelAt(surface, x, PANE.bottom - 1), GREY) << x;
        EXPECT_EQ(pixelAt(surface, x, PANE.top - 1), WHITE) << x;
        EXPECT_EQ(pixelAt(surface, x, PANE.bottom), WHITE) << x;
    }
    for (int y = PANE.top; y < PANE.bottom; ++y) {
        EXPECT_EQ(pixelAt(surface, PANE.left, y), GREY) << y;
        EXPECT_EQ(pixelAt(surface, PANE.right - 1, y), GREY) << y;
        EXPECT_EQ(pixelAt(surface, PANE.left - 1, y), WHITE) << y;
        EXPECT_EQ(pixelAt(surface, PANE.right, y), WHITE) << y;
    }
    for (int i = 1; i < 199; ++i) {
        EXPECT_EQ(pixelAt(surface, CX, PANE.top + i), BLACK) << i;
        EXPECT_EQ(pixelAt(surface, PANE.left + i, CY), BLACK) << i;
    }

    // Off the axes, black is the unit circle alone: columns and rows
    // centre − 62 … centre + 61.
    Pixels circle;
    for (const auto& pixel : pixelsOf(surface, BLACK))
        if (pixel.first != CX && pixel.second != CY)
            circle.insert(pixel);
    ASSERT_FALSE(circle.empty());
    int left = 300, right = -1, top = 300, bottom = -1;
    for (const auto& [x, y] : circle) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    EXPECT_EQ(left, CX - 62);
    EXPECT_EQ(right, CX + 61);
    EXPECT_EQ(top, CY - 62);
    EXPECT_EQ(bottom, CY + 61);
    EXPECT_TRUE(pixelsOf(surface, POLE_RED).empty());
    EXPECT_TRUE(pixelsOf(surface, ZERO_BLUE).empty());
}

TEST_F(ZPlaneViewTest, MarkShapes)
{
    surface.pen = Pen{POLE_RED, false};
    drawCrossMark(surface, 50, 50, 62);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), cross(50, 50, 4));
    EXPECT_EQ(pixelsOf(surface, POLE_RED).size(), 17u);
    EXPECT_EQ(pixelsOf(surface, WHITE).size(), 300u * 300u - 17u);

    resizeSurface(surface, 300, 300);
    surface.pen = Pen{ZERO_BLUE, false};
    drawCircleMark(surface, 50, 50, 62);
    expectCircleMarks(surface, {{50, 50}}, 5);
    EXPECT_EQ(pixelAt(surface, 47, 50), WHITE);
    EXPECT_EQ(pixelsOf(surface, WHITE).size() + pixelsOf(surface, ZERO_BLUE).size(), 300u * 300u);

    // The centre is blue whatever pen drew the outline, white while erasing.
    resizeSurface(surface, 300, 300);
    surface.pen = Pen{POLE_RED, false};
    drawCircleMark(surface, 50, 50, 62);
    EXPECT_EQ(pixelsOf(surface, ZERO_BLUE), (Pixels{{50, 50}}));
    EXPECT_EQ(pixelAt(surface, 45, 50), POLE_RED);
    drawCircleMark(surface, 50, 50, 62, true);
    EXPECT_EQ(pixelAt(surface, 50, 50), WHITE);

    // Sizes below 12 and 14 shrink the marks to their centre pixel.
    resizeSurface(surface, 300, 300);
    surface.pen = Pen{ZERO_BLUE, false};
    drawCircleMark(surface, 50, 50, 11);
    surface.pen = Pen{POLE_RED, false};
    drawCrossMark(surface, 60, 50, 13);
    EXPECT_EQ(pixelsOf(surface, ZERO_BLUE), (Pixels{{50, 50}}));
    EXPECT_EQ(pixelsOf(surface, POLE_RED), (Pixels{{60, 50}}));
    EXPECT_EQ(pixelsOf(surface, WHITE).size(), 300u * 300u - 2u);
}

TEST_F(ZPlaneViewTest, PositionsTruncateTowardZero)
{
    addRoot(filterState.poles, -3.7 / 62.0, 0.0, false);  // 3 left of the centre, not 4
    addRoot(filterState.poles, 0.0, -3.7 / 62.0, false);  // 3 below, not 4
    drawZPlane(surface, PANE, false);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), unite({cross(CX - 3, CY, 4), cross(CX, CY + 3, 4)}));
}

TEST_F(ZPlaneViewTest, PairsMirrorAboutTheRealAxis)
{
    addRoot(filterState.poles, 0.5, 0.5, true);    // (141, 89), (141, 151)
    addRoot(filterState.poles, -0.5, 0.0, true);   // both at (79, 120)
    addRoot(filterState.zeros, -0.4, 0.6, true);   // (86, 83), (86, 157)
    addRoot(filterState.zeros, 0.3, -0.2, false);  // (128, 132) only
    drawZPlane(surface, PANE, false);

    EXPECT_EQ(pixelsOf(surface, POLE_RED), unite({cross(141, 89, 4), cross(141, 151, 4), cross(79, 120, 4)}));
    expectCircleMarks(surface, {{86, 83}, {86, 157}, {128, 132}}, 5);
    EXPECT_EQ(pixelAt(surface, 128, 108), WHITE);
}

TEST_F(ZPlaneViewTest, UnfilledEllipses)
{
    fillRect(surface, Rect{0, 0, 300, 300}, GREEN);
    addRoot(filterState.zeros, 0.5, 0.0, false);  // (141, 120)
    drawZPlane(surface, PANE, false);
    EXPECT_EQ(pixelAt(surface, 130, 100), GREEN);
    EXPECT_EQ(pixelAt(surface, 143, 122), GREEN);
    EXPECT_EQ(pixelAt(surface, 141, 120), ZERO_BLUE);
}

TEST_F(ZPlaneViewTest, TinyPaneAndMarksOutsideIt)
{
    addRoot(filterState.zeros, 10.0, 0.0, false);
    addRoot(filterState.poles, 20.0, 0.0, false);
    drawZPlane(surface, Rect{0, 0, 7, 7}, false);
    EXPECT_EQ(pixelsOf(surface, ZERO_BLUE), (Pixels{{13, 3}}));
    EXPECT_EQ(pixelsOf(surface, POLE_RED), (Pixels{{23, 3}}));
}

TEST_F(ZPlaneViewTest, EraseLeavesExactlyAFreshDrawing)
{
    sceneA();
    filterState.poles.positions[7] = {0.7, 0.1};
    drawZPlane(surface, PANE, false);
    EXPECT_EQ(drawnPoles.count, 3);
    EXPECT_EQ(drawnZeros.count, 2);
    EXPECT_TRUE(drawnPoles.pairFlags[2]);
    EXPECT_EQ(drawnPoles.positions[1].re, 1.6);
    EXPECT_EQ(drawnPoles.positions[7].re, 0.7);
    EXPECT_EQ(drawnZeros.positions[1].re, -1.0);
    ASSERT_EQ(pixelAt(surface, 172, 120), POLE_RED);
    // The frame overdraws a mark on the border; the surface alone limits it.
    EXPECT_EQ(pixelAt(surface, 209, 102), GREY);
    EXPECT_EQ(pixelAt(surface, 208, 101), POLE_RED);
    EXPECT_EQ(pixelAt(surface, 213, 106), POLE_RED);

    sceneB();
    drawZPlane(surface, PANE, true);
    EXPECT_EQ(surface.pen, DEFAULT_PEN);
    EXPECT_EQ(surface.brush, Brush::White);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), unite({cross(141, 120, 4), cross(128, 102, 4), cross(128, 138, 4)}));
    // Blue centres: the white ones of the erase pass end with it.
    expectCircleMarks(surface, {{79, 120}}, 5);
    EXPECT_EQ(pixelAt(surface, 172, 120), BLACK);  // the real axis is whole again
    EXPECT_EQ(pixelAt(surface, 209, 102), GREY);   // and the frame
    EXPECT_EQ(drawnPoles.count, 2);
    EXPECT_EQ(drawnZeros.count, 1);

    Surface fresh;
    resizeSurface(fresh, 300, 300);
    drawZPlane(fresh, PANE, false);
    EXPECT_TRUE(surface.image == fresh.image);
}

TEST_F(ZPlaneViewTest, FirstEraseAfterResetErasesNothing)
{
    // Marks clear of the circle and the axes, which the redraw repaints.
    addRoot(filterState.poles, 0.5, 0.5, true);   // (141, 89), (141, 151)
    addRoot(filterState.zeros, -0.4, 0.6, true);  // (86, 83), (86, 157)
    drawZPlane(surface, PANE, false);
    const Pixels red = pixelsOf(surface, POLE_RED);
    const Pixels blue = pixelsOf(surface, ZERO_BLUE);
    ASSERT_EQ(red, unite({cross(141, 89, 4), cross(141, 151, 4)}));
    ASSERT_FALSE(blue.empty());

    resetZPlaneView();
    EXPECT_EQ(zPlaneCentreX, 0);
    EXPECT_EQ(zPlaneCentreY, 0);
    EXPECT_EQ(zPlaneScale, 0.0);
    EXPECT_EQ(drawnPoles.count, 0);
    EXPECT_EQ(drawnZeros.count, 0);
    EXPECT_EQ(drawnPoles.positions[0].re, 0.0);

    filterState = initialFilterState();
    drawZPlane(surface, PANE, true);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), red);
    EXPECT_EQ(pixelsOf(surface, ZERO_BLUE), blue);
}

TEST_F(ZPlaneViewTest, RootListCountsBelowOneDrawNothing)
{
    const Complex positions[1] = {{0.5, 0.5}};
    const bool pairFlags[1] = {true};
    drawRootList(surface, CX, CY, 62, positions, pairFlags, 0, true);
    drawRootList(surface, CX, CY, 62, positions, pairFlags, -1, false);
    EXPECT_EQ(pixelsOf(surface, WHITE).size(), 300u * 300u);
}

TEST_F(ZPlaneViewTest, FarAndNonFiniteRoots)
{
    Surface empty;
    resizeSurface(empty, 300, 300);
    drawZPlane(empty, PANE, false);

    addRoot(filterState.poles, 1e6, 1e6, true);
    addRoot(filterState.poles, 0.0, -1e6, true);
    addRoot(filterState.zeros, -1e6, 0.0, false);
    addRoot(filterState.zeros, 1e9, -1e9, true);
    addRoot(filterState.zeros, -1e300, 1e300, true);
    drawZPlane(surface, PANE, false);
    drawZPlane(surface, PANE, true);
    EXPECT_TRUE(surface.image == empty.image);

    // A coordinate that is not finite converts to 0.
    filterState = initialFilterState();
    addRoot(filterState.poles, std::nan(""), std::numeric_limits<double>::infinity(), true);
    drawZPlane(surface, PANE, true);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), cross(CX, CY, 4));
}

TEST_F(ZPlaneViewTest, ReversedRectangleWrapsTheScale)
{
    // half −50; 5 × (2^32 − 50) modulo 2^32, shifted, gives 536870880 and a
    // cross half-size of 38347920 around (150, −30).
    addRoot(filterState.poles, 0.0, 0.0, false);
    drawZPlane(surface, Rect{200, 20, 100, 120}, false);
    EXPECT_EQ(zPlaneCentreX, 150);
    EXPECT_EQ(zPlaneCentreY, -30);
    EXPECT_EQ(zPlaneScale, 536870880.0);
    EXPECT_EQ(pixelAt(surface, 250, 70), POLE_RED);
    EXPECT_EQ(pixelAt(surface, 20, 100), POLE_RED);
    EXPECT_EQ(pixelAt(surface, 150, 50), BLACK);
}

// The palette drawn into paletteRect with samples sized by zPlaneScale, as the
// z-plane's last drawing would have set it.
class RootPalette : public testing::Test {
protected:
    RootPalette() { resizeSurface(surface, 300, 300); }

    void drawPalette(Surface& target, bool withMarks) { ::drawPalette(target, paletteRect, zPlaneScale, withMarks); }

    Surface surface;
    Rect paletteRect{10, 10, 142, 43};  // cells of side 33
    double zPlaneScale = 62.0;
};

TEST_F(RootPalette, FrameAndDividers)
{
    drawPalette(surface, false);
    EXPECT_EQ(surface.pen, DEFAULT_PEN);
    for (int x = 10; x < 142; ++x) {
        EXPECT_EQ(pixelAt(surface, x, 10), GREY) << x;
        EXPECT_EQ(pixelAt(surface, x, 42), GREY) << x;
        EXPECT_EQ(pixelAt(surface, x, 43), WHITE) << x;
    }
    for (int y = 10; y < 43; ++y) {
        for (int x : {10, 43, 76, 109, 141})
            EXPECT_EQ(pixelAt(surface, x, y), GREY) << x << "," << y;
        const bool insideFrame = y > 10 && y < 42;
        for (int x : {9, 42, 44, 108, 110, 142})
            EXPECT_EQ(pixelAt(surface, x, y), insideFrame || x == 9 || x == 142 ? WHITE : GREY) << x << "," << y;
    }
    EXPECT_TRUE(pixelsOf(surface, POLE_RED).empty());
    EXPECT_TRUE(pixelsOf(surface, ZERO_BLUE).empty());
}

TEST_F(RootPalette, SamplesFollowTheZPlaneScale)
{
    // cy = x0 = 26, pair offset 33 / 12 = 2.
    drawPalette(surface, true);
    EXPECT_EQ(surface.pen, DEFAULT_PEN);
    EXPECT_EQ(surface.brush, Brush::White);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), unite({cross(26, 26, 4), cross(59, 24, 4), cross(59, 28, 4)}));
    expectCircleMarks(surface, {{92, 26}, {125, 24}, {125, 28}}, 5);

    resizeSurface(surface, 300, 300);
    zPlaneScale = 140.0;
    drawPalette(surface, true);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), unite({cross(26, 26, 10), cross(59, 24, 10), cross(59, 28, 10)}));
    expectCircleMarks(surface, {{92, 26}, {125, 24}, {125, 28}}, 11);
}

TEST_F(RootPalette, SmallCellsPutBothMarksOfAPairOnOnePixel)
{
    paletteRect = Rect{0, 0, 44, 11};  // side 11: cy = x0 = 5, offset 0
    zPlaneScale = 28.0;
    drawPalette(surface, true);
    EXPECT_EQ(pixelsOf(surface, POLE_RED), unite({cross(5, 5, 2), cross(16, 5, 2)}));
    expectCircleMarks(surface, {{27, 5}, {38, 5}}, 2);
}

TEST_F(RootPalette, ScaleOutOfRangeGivesPointMarks)
{
    for (double scale : {-5.0, std::nan(""), -std::numeric_limits<double>::infinity()}) {
        resizeSurface(surface, 300, 300);
        zPlaneScale = scale;
        drawPalette(surface, true);
        EXPECT_EQ(pixelsOf(surface, POLE_RED), (Pixels{{26, 26}, {59, 24}, {59, 28}})) << scale;
        EXPECT_EQ(pixelsOf(surface, ZERO_BLUE), (Pixels{{92, 26}, {125, 24}, {125, 28}})) << scale;
    }
    // Beyond the unsigned range the size saturates: a cross wider than the
    // surface through each sample.
    resizeSurface(surface, 300, 300);
    zPlaneScale = 1e300;
    drawPalette(surface, true);
    EXPECT_EQ(pixelAt(surface, 31, 31), POLE_RED);
    EXPECT_EQ(pixelAt(surface, 0, 0), POLE_RED);
}

}  // namespace
