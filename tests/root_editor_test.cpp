#include "app/root_editor.h"

#include "model/designs.h"
#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/surface.h"
#include "view/zplane_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr int INT_LOW = std::numeric_limits<int>::min();
constexpr int INT_HIGH = std::numeric_limits<int>::max();

// The 800 × 600 window with Arial 14 pixels high, 5 wide, base unit 16:
// z-plane (7, 380)–(220, 593), palette (7, 346)–(147, 381) with cells of 35,
// origin pixel (113, 486), 66 pixels per unit.
constexpr Rect Z_PLANE{7, 380, 220, 593};
constexpr Rect PALETTE{7, 346, 147, 381};
constexpr int CX = 113;
constexpr int CY = 486;
constexpr double SCALE = 66.0;
constexpr int PALETTE_Y = 360;

int cellX(int cell)
{
    return PALETTE.left + 35 * cell + 10;
}

double units(int pixels)
{
    return pixels / SCALE;
}

void addRoot(RootList& list, double re, double im, bool pair)
{
    list.positions[list.count] = {re, im};
    list.pairFlags[list.count] = pair;
    ++list.count;
}

void expectRoot(const RootList& list, int slot, double re, double im, bool pair)
{
    SCOPED_TRACE(slot);
    EXPECT_EQ(list.positions[slot].re, re);
    EXPECT_EQ(list.positions[slot].im, im);
    EXPECT_EQ(list.pairFlags[slot], pair);
}

bool nothingRequested(const EditorResponse& r)
{
    return r.edit.kind == RootEdit::Kind::None && !r.switchToCustom && !r.setCursor && !r.openMenu && !r.redraw;
}

bool sameRoots(const FilterState& a, const FilterState& b)
{
    const auto same = [](const RootList& x, const RootList& y) {
        if (x.count != y.count)
            return false;
        for (int i = 0; i < x.count && i < MAX_ROOTS; ++i)
            if (x.pairFlags[i] != y.pairFlags[i] || std::memcmp(&x.positions[i], &y.positions[i], sizeof(Complex)) != 0)
                return false;
        return true;
    };
    return same(a.zeros, b.zeros) && same(a.poles, b.poles);
}

// The editor with what it works on, as the client area owns them: the filter,
// the layout of an 800 × 600 client area, the z-plane view drawn into it and
// the response's marker flag. The editor's operations and handlers are offered
// under their own names, bound to these objects.
class RootEditing : public testing::Test {
protected:
    void SetUp() override
    {
        metrics_.height = 14;
        metrics_.averageCharWidth = 5;
        layout_ = layoutPanes(800, 600, &metrics_, 16);
        resizeSurface(surface_, 800, 600);
        filterState.modelIndex = MODEL_CUSTOM;
        drawZPlane(surface_, zPlaneRect, false);

        ASSERT_EQ(zPlaneRect.left, Z_PLANE.left);
        ASSERT_EQ(zPlaneRect.top, Z_PLANE.top);
        ASSERT_EQ(zPlaneRect.right, Z_PLANE.right);
        ASSERT_EQ(zPlaneRect.bottom, Z_PLANE.bottom);
        ASSERT_EQ(paletteRect.left, PALETTE.left);
        ASSERT_EQ(paletteRect.top, PALETTE.top);
        ASSERT_EQ(paletteRect.right, PALETTE.right);
        ASSERT_EQ(paletteRect.bottom, PALETTE.bottom);
        ASSERT_EQ(zPlaneCentreX, CX);
        ASSERT_EQ(zPlaneCentreY, CY);
        ASSERT_EQ(zPlaneScale, SCALE);
    }

    // What the window shows the editor: the geometry of the last drawing,
    // the layout's rectangles and the marker flag, as they are now.
    EditorView view() const { return EditorView{zPlane_.geometry(), zPlaneRect, paletteRect, cutoffMarkerVisible}; }

    // The fixture owns the filter as the session does: it carries out every
    // edit the editor asks for, and reports to the editor whatever changed
    // the roots since its last call, the test's own writes included.
    EditorResponse handleMouseMove(int x, int y)
    {
        return carryOut(::handleMouseMove(rootEditor, reported(), view(), x, y));
    }
    EditorResponse handleLeftButtonDown(int x, int y)
    {
        return carryOut(::handleLeftButtonDown(rootEditor, reported(), view(), x, y));
    }
    EditorResponse handleLeftButtonUp() { return carryOut(::handleLeftButtonUp(rootEditor, reported(), view())); }
    EditorResponse handleContextMenu(int x, int y)
    {
        return carryOut(::handleContextMenu(rootEditor, reported(), view(), x, y));
    }
    EditorResponse handleRootCommand(int id)
    {
        return carryOut(::handleRootCommand(rootEditor, reported(), view(), id));
    }

    double findNearestRoot(double re, double im) { return ::findNearestRoot(rootEditor, reported(), re, im); }
    bool hitTestRoot(int x, int y) { return ::hitTestRoot(rootEditor, reported(), zPlane_.geometry(), x, y); }
    void moveSelectedRoot(std::int64_t dx, std::int64_t dy)
    {
        carryOut(::moveSelectedRoot(rootEditor, reported(), zPlane_.geometry(), dx, dy));
    }
    bool addRootFromPalette(int cell, int x, int y)
    {
        return carryOut(::addRootFromPalette(rootEditor, reported(), zPlane_.geometry(), cell, x, y)).kind ==
               RootEdit::Kind::Add;
    }
    void deleteSelectedRoot() { carryOut(::deleteSelectedRoot(rootEditor, reported())); }
    bool selectedPairFlag() const { return ::selectedPairFlag(rootEditor, filterState); }
    void setSelectedPairFlag(bool pair) { carryOut(::setSelectedPairFlag(rootEditor, reported(), pair)); }

    const FilterState& reported()
    {
        if (!sameRoots(filterState, reported_))
            noteRootsChanged(rootEditor);
        reported_ = filterState;
        return filterState;
    }
    RootEdit carryOut(const RootEdit& edit)
    {
        applyRootEdit(filterState, edit);
        reported();
        return edit;
    }
    EditorResponse carryOut(const EditorResponse& response)
    {
        carryOut(response.edit);
        return response;
    }

    void applyModel() { ::applyModel(filterState); }
    void drawZPlane(Surface& surface, const Rect& rect, bool erase)
    {
        zPlane_.drawZPlane(surface, rect, filterState, erase);
    }

    // Back to the start-up state: nothing selected, geometry 0.
    void resetRootEditor() { rootEditor = RootEditor{}; }
    void resetZPlaneView() { zPlane_ = ZPlaneView{}; }

    // Points at (x, y) and presses there, as the window would deliver it.
    EditorResponse pickUp(int x, int y)
    {
        handleMouseMove(x, y);
        return handleLeftButtonDown(x, y);
    }

    // The selection names the list by its kind; list is one of filterState's.
    void expectSelected(const RootList& list, int slot) const
    {
        const RootListKind kind = &list == &filterState.poles   ? RootListKind::Poles
                                  : &list == &filterState.zeros ? RootListKind::Zeros
                                                                : RootListKind::None;
        ASSERT_NE(kind, RootListKind::None) << "not a list of the edited filter";
        EXPECT_EQ(rootEditor.selectedRoot.list, kind);
        EXPECT_EQ(rootEditor.selectedRoot.index, slot);
    }

    // The larger of |H(1)| and |H(−1)| is 1 after every edit.
    void expectNormalized() const
    {
        const Complex a = evaluateResponse(filterState, {1.0, 0.0});
        const Complex b = evaluateResponse(filterState, {-1.0, 0.0});
        const double m = std::max(std::hypot(a.re, a.im), std::hypot(b.re, b.im));
        EXPECT_NEAR(m, 1.0, 1e-12);
    }

    Surface surface_;
    FilterState filterState = initialFilterState();
    RootEditor rootEditor;
    bool cutoffMarkerVisible = true;

private:
    FontInfo metrics_;
    ::Layout layout_;
    ZPlaneView zPlane_;
    // The roots as the editor was last told of them.
    FilterState reported_ = initialFilterState();

protected:
    Rect& zPlaneRect = layout_.zPlaneRect;
    Rect& paletteRect = layout_.paletteRect;
    const int& zPlaneCentreX = zPlane_.geometry().centreX;
    const int& zPlaneCentreY = zPlane_.geometry().centreY;
    const double& zPlaneScale = zPlane_.geometry().scale;
};

TEST_F(RootEditing, HitReachesExactlyFifteenHundredthsOfAUnit)
{
    // 20 pixels right of the origin and a pole 0.15 units left of that point,
    // the difference exact in doubles.
    const double re = units(20) - 0.15;
    ASSERT_EQ(units(20) - re, 0.15);
    addRoot(filterState.poles, re, 0.0, false);

    EXPECT_EQ(findNearestRoot(units(20), 0.0), 0.15);
    EXPECT_TRUE(hitTestRoot(CX + 20, CY));
    expectSelected(filterState.poles, 0);
    EXPECT_EQ(rootEditor.dragStart.re, re);

    // One step of the last digit further is a miss, though the root is still
    // selected and taken as the drag start.
    resetRootEditor();
    const double beyond = std::nextafter(re, -1.0);
    filterState.poles.positions[0].re = beyond;
    EXPECT_FALSE(hitTestRoot(CX + 20, CY));
    expectSelected(filterState.poles, 0);
    EXPECT_EQ(rootEditor.dragStart.re, beyond);
}

TEST_F(RootEditing, PointerIsFoldedIntoTheUpperHalfPlane)
{
    const double im = units(20) - 0.15;
    ASSERT_EQ(units(20) - im, 0.15);
    addRoot(filterState.zeros, 0.0, im, true);

    EXPECT_TRUE(hitTestRoot(CX, CY + 20));
    EXPECT_FALSE(rootEditor.grabbedAbove);
    EXPECT_TRUE(hitTestRoot(CX, CY - 20));
    EXPECT_TRUE(rootEditor.grabbedAbove);
    expectSelected(filterState.zeros, 0);
    // The real axis's own row is not above it.
    hitTestRoot(CX, CY);
    EXPECT_FALSE(rootEditor.grabbedAbove);
}

TEST_F(RootEditing, NearestRootWithinAThousandUnits)
{
    EXPECT_EQ(findNearestRoot(0.0, 0.0), 1000.0);
    EXPECT_EQ(rootEditor.selectedRoot.list, RootListKind::None);

    addRoot(filterState.zeros, 1000.0, 0.0, false);
    EXPECT_EQ(findNearestRoot(0.0, 0.0), 1000.0);
    EXPECT_EQ(rootEditor.selectedRoot.list, RootListKind::None);

    addRoot(filterState.zeros, 0.0, 999.0, false);
    EXPECT_EQ(findNearestRoot(0.0, 0.0), 999.0);
    expectSelected(filterState.zeros, 1);

    // A miss keeps the previous selection.
    filterState.zeros.count = 0;
    EXPECT_EQ(findNearestRoot(0.0, 0.0), 1000.0);
    expectSelected(filterState.zeros, 1);
}

TEST_F(RootEditing, TiesGoToPolesAndToHigherIndexes)
{
    addRoot(filterState.zeros, 0.25, 0.0, false);
    addRoot(filterState.poles, 0.0, 0.25, true);
    EXPECT_EQ(findNearestRoot(0.0, 0.0), 0.25);
    expectSelected(filterState.poles, 0);

    addRoot(filterState.poles, -0.25, 0.0, false);
    findNearestRoot(0.0, 0.0);
    expectSelected(filterState.poles, 1);

    filterState.poles.positions[0] = {0.5, 0.0};
    filterState.poles.positions[1] = {0.5, 0.0};
    addRoot(filterState.zeros, 0.0, -0.25, false);
    findNearestRoot(0.0, 0.0);
    expectSelected(filterState.zeros, 1);
}

TEST_F(RootEditing, HoverSetsHandOnRootsAndPalette)
{
    addRoot(filterState.poles, units(20), 0.0, false);

    EditorResponse r = handleMouseMove(CX + 20, CY + 1);
    EXPECT_TRUE(r.setCursor);
    EXPECT_EQ(r.cursor, CursorKind::Hand);
    EXPECT_TRUE(rootEditor.hovering);
    EXPECT_FALSE(r.redraw);

    r = handleMouseMove(CX - 40, CY);
    EXPECT_EQ(r.cursor, CursorKind::Arrow);
    EXPECT_FALSE(rootEditor.hovering);
    expectSelected(filterState.poles, 0);

    // The palette selects nothing; the row it shares with the z-plane is
    // z-plane, where no root is near.
    filterState.poles.count = 0;
    resetRootEditor();
    r = handleMouseMove(cellX(1), PALETTE_Y);
    EXPECT_EQ(r.cursor, CursorKind::Hand);
    EXPECT_TRUE(rootEditor.hovering);
    EXPECT_EQ(rootEditor.selectedRoot.list, RootListKind::None);
    r = handleMouseMove(cellX(1), Z_PLANE.top);
    EXPECT_EQ(r.cursor, CursorKind::Arrow);
    EXPECT_FALSE(rootEditor.hovering);

    r = handleMouseMove(500, 100);
    EXPECT_TRUE(r.setCursor);
    EXPECT_EQ(r.cursor, CursorKind::Arrow);
}

TEST_F(RootEditing, SingleRootMovesAlongTheRealAxisOnly)
{
    addRoot(filterState.poles, units(20), 0.0, false);

    const EditorResponse press = pickUp(CX + 20, CY);
    EXPECT_TRUE(press.switchToCustom);
    EXPECT_TRUE(rootEditor.dragging);
    EXPECT_FALSE(press.redraw);
    EXPECT_TRUE(rootEditor.dragging);

    EditorResponse r = handleMouseMove(CX + 20, CY + 50);
    EXPECT_TRUE(r.redraw);
    EXPECT_FALSE(r.showMarker);
    EXPECT_EQ(r.cursor, CursorKind::Hand);
    expectRoot(filterState.poles, 0, units(20), 0.0, false);
    expectNormalized();

    r = handleMouseMove(CX + 53, CY + 50);
    EXPECT_TRUE(r.redraw);
    expectRoot(filterState.poles, 0, units(20) + units(33), 0.0, false);

    r = handleLeftButtonUp();
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_FALSE(r.redraw);
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_EQ(filterState.poles.count, 1);
}

TEST_F(RootEditing, PairDraggedAcrossTheAxisKeepsAPositiveImaginaryPart)
{
    // A 128-pixel pane: origin (74, 84), 40 pixels per unit.
    zPlaneRect = Rect{10, 20, 138, 148};
    drawZPlane(surface_, zPlaneRect, false);
    ASSERT_EQ(zPlaneScale, 40.0);
    ASSERT_EQ(zPlaneCentreX, 74);
    ASSERT_EQ(zPlaneCentreY, 84);
    addRoot(filterState.poles, 0.5, 0.5, true);

    pickUp(74 + 20, 84 - 20);
    EXPECT_TRUE(rootEditor.grabbedAbove);
    handleMouseMove(74 + 20, 84 - 20 + 28);
    EXPECT_EQ(filterState.poles.positions[0].re, 0.5);
    EXPECT_DOUBLE_EQ(filterState.poles.positions[0].im, 0.2);
    EXPECT_TRUE(filterState.poles.pairFlags[0]);
}

TEST_F(RootEditing, DragIsClampedToTheZPlane)
{
    addRoot(filterState.zeros, 0.0, 0.5, true);
    const int pressY = CY - 33;
    pickUp(CX, pressY);
    ASSERT_TRUE(rootEditor.dragging);

    EditorResponse r = handleMouseMove(INT_LOW, pressY);
    EXPECT_EQ(rootEditor.lastDragPoint, (Point{Z_PLANE.left, pressY}));
    EXPECT_TRUE(rootEditor.outside);
    EXPECT_EQ(r.cursor, CursorKind::Bin);
    EXPECT_TRUE(r.redraw);
    EXPECT_EQ(filterState.zeros.positions[0].re, 0.0 + units(Z_PLANE.left - CX));

    r = handleMouseMove(INT_HIGH, pressY);
    EXPECT_EQ(rootEditor.lastDragPoint, (Point{Z_PLANE.right - 1, pressY}));
    EXPECT_EQ(r.cursor, CursorKind::Bin);
    EXPECT_EQ(filterState.zeros.positions[0].re, 0.0 + units(Z_PLANE.right - 1 - CX));

    // Grabbed above the axis: a downward offset lowers the imaginary part.
    r = handleMouseMove(CX, INT_HIGH);
    EXPECT_EQ(rootEditor.lastDragPoint, (Point{CX, Z_PLANE.bottom - 1}));
    EXPECT_EQ(r.cursor, CursorKind::Bin);
    EXPECT_EQ(filterState.zeros.positions[0].im, std::fabs(0.5 + units(-(Z_PLANE.bottom - 1 - pressY))));

    r = handleMouseMove(CX, INT_LOW);
    EXPECT_EQ(rootEditor.lastDragPoint, (Point{CX, Z_PLANE.top}));
    EXPECT_EQ(r.cursor, CursorKind::Bin);
    EXPECT_TRUE(rootEditor.outside);
    EXPECT_FALSE(rootEditor.fromPalette);
    EXPECT_EQ(filterState.zeros.positions[0].im, 0.5 + units(pressY - Z_PLANE.top));

    r = handleMouseMove(CX + 1, CY);
    EXPECT_EQ(r.cursor, CursorKind::Hand);
    EXPECT_FALSE(rootEditor.outside);

    r = handleLeftButtonUp();
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_FALSE(r.redraw);
    EXPECT_EQ(filterState.zeros.count, 1);
}

TEST_F(RootEditing, ReleaseOutsideDeletesAndKeepsTheMarkerState)
{
    addRoot(filterState.poles, units(-20), 0.0, false);
    addRoot(filterState.zeros, units(30), 0.0, false);

    for (const bool marker : {false, true}) {
        SCOPED_TRACE(marker);
        RootList& list = marker ? filterState.zeros : filterState.poles;
        const int x = marker ? CX + 30 : CX - 20;
        pickUp(x, CY);
        handleMouseMove(x, INT_HIGH);
        cutoffMarkerVisible = marker;
        const EditorResponse r = handleLeftButtonUp();
        EXPECT_FALSE(rootEditor.dragging);
        EXPECT_TRUE(r.redraw);
        EXPECT_EQ(r.showMarker, marker);
        EXPECT_EQ(list.count, 0);
        expectNormalized();
    }
}

TEST_F(RootEditing, FirstMovementOnThePressPixelDoesNothing)
{
    addRoot(filterState.poles, units(10), units(10), true);
    pickUp(CX + 10, CY + 10);
    EXPECT_EQ(rootEditor.lastDragPoint, (Point{CX + 10, CY + 10}));

    EditorResponse r = handleMouseMove(CX + 10, CY + 10);
    EXPECT_TRUE(r.setCursor);
    EXPECT_EQ(r.cursor, CursorKind::Hand);
    EXPECT_FALSE(r.redraw);
    expectRoot(filterState.poles, 0, units(10), units(10), true);

    r = handleMouseMove(CX + 11, CY + 10);
    EXPECT_TRUE(r.redraw);
    expectRoot(filterState.poles, 0, units(10) + units(1), units(10), true);
}

TEST_F(RootEditing, PalettePressAddsARootUnderThePointer)
{
    struct Case {
        int cell;
        bool poles;
        bool pair;
    };
    for (const Case c : {Case{0, true, false}, Case{1, true, true}, Case{2, false, false}, Case{3, false, true}}) {
        SCOPED_TRACE(c.cell);
        filterState.poles.count = 0;
        filterState.zeros.count = 0;
        resetRootEditor();
        rootEditor.grabbedAbove = true;  // as a hover above the axis leaves it
        RootList& list = c.poles ? filterState.poles : filterState.zeros;
        const int x = cellX(c.cell);

        const EditorResponse press = pickUp(x, PALETTE_Y);
        EXPECT_TRUE(press.switchToCustom);
        EXPECT_TRUE(rootEditor.dragging);
        EXPECT_FALSE(press.redraw);
        EXPECT_FALSE(press.setCursor);
        EXPECT_TRUE(rootEditor.fromPalette);
        EXPECT_FALSE(rootEditor.grabbedAbove);

        // No movement has drawn the new root: the release shows it.
        cutoffMarkerVisible = c.cell % 2 == 0;
        const EditorResponse release = handleLeftButtonUp();
        EXPECT_FALSE(rootEditor.dragging);
        EXPECT_TRUE(release.redraw);
        EXPECT_EQ(release.showMarker, cutoffMarkerVisible);

        ASSERT_EQ(list.count, 1);
        EXPECT_EQ((c.poles ? filterState.zeros : filterState.poles).count, 0);
        const double im = c.pair ? units(PALETTE_Y - CY) : 0.0;
        expectRoot(list, 0, units(x - CX), im, c.pair);
        expectSelected(list, 0);
        EXPECT_EQ(rootEditor.dragStart.re, units(x - CX));
        EXPECT_EQ(rootEditor.dragStart.im, im);
        expectNormalized();
    }
    EXPECT_LT(filterState.zeros.positions[0].im, 0.0);
}

TEST_F(RootEditing, PaletteRootWaitsOnTheTopRowWhileThePointerStaysInThePalette)
{
    const int x = cellX(3);
    pickUp(x, PALETTE_Y);

    EditorResponse r = handleMouseMove(x + 8, PALETTE_Y + 10);
    EXPECT_TRUE(rootEditor.fromPalette);
    EXPECT_FALSE(rootEditor.outside);
    EXPECT_EQ(r.cursor, CursorKind::Hand);
    EXPECT_TRUE(r.redraw);
    EXPECT_EQ(rootEditor.lastDragPoint, (Point{x + 8, Z_PLANE.top}));
    EXPECT_EQ(filterState.zeros.positions[0].re, units(x - CX) + units(8));
    EXPECT_DOUBLE_EQ(filterState.zeros.positions[0].im, units(CY - Z_PLANE.top));

    // Elsewhere in the palette, the clamped point is the same.
    r = handleMouseMove(x + 8, PALETTE.top);
    EXPECT_FALSE(r.redraw);
    EXPECT_TRUE(rootEditor.fromPalette);

    r = handleLeftButtonUp();
    EXPECT_FALSE(r.redraw);
    EXPECT_EQ(filterState.zeros.count, 1);
}

TEST_F(RootEditing, BackIntoThePaletteCountsAsOutside)
{
    // Once through the z-plane's top row, once above the palette.
    for (const int via : {Z_PLANE.top, PALETTE.top - 40}) {
        SCOPED_TRACE(via);
        filterState.poles.count = 0;
        const int x = cellX(1);
        pickUp(x, PALETTE_Y);
        handleMouseMove(x, via);
        EXPECT_FALSE(rootEditor.fromPalette);
        const EditorResponse r = handleMouseMove(x + 1, PALETTE_Y);
        EXPECT_EQ(r.cursor, CursorKind::Bin);
        EXPECT_TRUE(rootEditor.outside);

        const EditorResponse release = handleLeftButtonUp();
        EXPECT_TRUE(release.redraw);
        EXPECT_EQ(filterState.poles.count, 0);
    }

    // Right of the palette but above the z-plane.
    pickUp(cellX(0), PALETTE_Y);
    EXPECT_EQ(handleMouseMove(PALETTE.right, PALETTE_Y).cursor, CursorKind::Bin);
}

TEST_F(RootEditing, PaletteRootIsShownOnceWhetherMovedOrNot)
{
    // Moved onto the z-plane's top row: that movement has drawn it.
    pickUp(cellX(0), PALETTE_Y);
    EXPECT_TRUE(handleMouseMove(cellX(0), PALETTE_Y + 1).redraw);
    EXPECT_FALSE(handleLeftButtonUp().redraw);

    // Pressed and released in place: the release draws it.
    pickUp(cellX(2), PALETTE_Y);
    EXPECT_TRUE(handleLeftButtonUp().redraw);
    EXPECT_EQ(filterState.poles.count, 1);
    EXPECT_EQ(filterState.zeros.count, 1);

    // A later drag of a root that is already shown redraws only on movement.
    addRoot(filterState.poles, 0.0, 0.0, false);
    pickUp(CX, CY);
    EXPECT_FALSE(handleLeftButtonUp().redraw);
}

TEST_F(RootEditing, PressDuringADragChangesNothing)
{
    addRoot(filterState.poles, 0.0, 0.0, false);
    pickUp(CX, CY);
    handleMouseMove(CX + 10, CY);
    const EditorResponse lost = handleMouseMove(cellX(1), PALETTE_Y);
    EXPECT_EQ(lost.cursor, CursorKind::Bin);

    // The release went astray; the next press lands on the palette.
    EXPECT_TRUE(nothingRequested(handleLeftButtonDown(cellX(1), PALETTE_Y)));
    EXPECT_TRUE(rootEditor.dragging);
    EXPECT_TRUE(rootEditor.outside);
    EXPECT_EQ(rootEditor.pressPoint, (Point{CX, CY}));
    EXPECT_EQ(filterState.poles.count, 1);

    // The drag goes on from its own press point and ends with the release.
    handleMouseMove(CX + 20, CY);
    EXPECT_EQ(filterState.poles.positions[0].re, units(20));
    EXPECT_FALSE(handleLeftButtonUp().redraw);
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_EQ(filterState.poles.count, 1);
}

TEST_F(RootEditing, DeletingDropForgetsThePointedRoot)
{
    addRoot(filterState.poles, units(-20), 0.0, false);
    addRoot(filterState.poles, units(40), 0.0, false);
    pickUp(CX - 20, CY);
    handleMouseMove(CX - 20, INT_HIGH);
    const EditorResponse drop = handleLeftButtonUp();
    EXPECT_TRUE(drop.redraw);
    EXPECT_TRUE(drop.setCursor);
    EXPECT_EQ(drop.cursor, CursorKind::Arrow);
    EXPECT_FALSE(rootEditor.hovering);
    ASSERT_EQ(filterState.poles.count, 1);

    // A second click in the same place, before any movement, reaches neither
    // the deleted root nor the one that took its slot.
    EXPECT_TRUE(nothingRequested(handleLeftButtonDown(CX - 20, Z_PLANE.bottom + 5)));
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_TRUE(nothingRequested(handleContextMenu(CX - 20, CY)));
    expectRoot(filterState.poles, 0, units(40), 0.0, false);
}

// A slot that has come to hold another root is no longer the selection: the
// delete that moved the last root into it, or a design that rewrote it.
TEST_F(RootEditing, SelectionDoesNotPassToTheRootThatTakesItsSlot)
{
    addRoot(filterState.poles, units(-30), 0.0, false);
    addRoot(filterState.poles, units(30), units(30), true);
    addRoot(filterState.poles, 0.9, 0.0, false);
    handleMouseMove(CX - 30, CY);
    expectSelected(filterState.poles, 0);
    EXPECT_TRUE(handleContextMenu(CX - 30, CY).openMenu);
    EXPECT_EQ(handleRootCommand(200).cursor, CursorKind::Arrow);
    ASSERT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, 0.9, 0.0, false);

    // Without a movement the menu does not open again; its commands, which
    // nothing can send now, would change nothing either.
    EXPECT_FALSE(handleContextMenu(CX - 30, CY).openMenu);
    filterState.gain = 0.5;
    handleRootCommand(200);
    handleRootCommand(201);
    EXPECT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, 0.9, 0.0, false);
    expectRoot(filterState.poles, 1, units(30), units(30), true);
    EXPECT_FALSE(selectedPairFlag());

    // Pointed at, then a design puts its own pole into the slot: pressing
    // in the same place and dragging leaves the design's pole alone.
    handleMouseMove(CX + 30, CY - 30);
    expectSelected(filterState.poles, 1);
    filterState.modelIndex = 5;
    applyModel();
    const FilterState designed = filterState;
    ASSERT_EQ(filterState.poles.count, 2);
    handleLeftButtonDown(CX + 30, CY - 30);
    EXPECT_FALSE(rootEditor.dragging);
    handleMouseMove(CX - 50, CY + 40);
    handleLeftButtonUp();
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_EQ(filterState.poles.positions[slot].re, designed.poles.positions[slot].re);
        EXPECT_EQ(filterState.poles.positions[slot].im, designed.poles.positions[slot].im);
    }

    // A fresh movement onto the root selects it again, and the edits follow
    // the selected root as it moves and changes kind.
    handleMouseMove(CX + 30, CY - 30);
    filterState.poles.count = 0;
    addRoot(filterState.poles, units(30), units(30), true);
    handleMouseMove(CX + 30, CY - 30);
    pickUp(CX + 30, CY - 30);
    handleMouseMove(CX + 40, CY - 30);
    handleLeftButtonUp();
    EXPECT_TRUE(handleRootCommand(201).redraw);
    expectRoot(filterState.poles, 0, units(30) + units(10), 0.0, false);
    handleRootCommand(201);
    expectRoot(filterState.poles, 0, units(30) + units(10), 0.0, true);
    handleRootCommand(200);
    EXPECT_EQ(filterState.poles.count, 0);
}

// The filter changed after the hover (a new design, another sample rate)
// and the pointer has not moved since: the press acts on what lies under the
// pointer now, found by the same hit test as a movement.
TEST_F(RootEditing, PressAfterAFilterChangeActsOnTheRootUnderThePointer)
{
    // The pointed-at pole moved a little: it is picked up from where it is.
    addRoot(filterState.poles, units(30), 0.0, false);
    EXPECT_EQ(handleMouseMove(CX + 30, CY).cursor, CursorKind::Hand);
    filterState.poles.positions[0].re = units(33);
    EditorResponse press = handleLeftButtonDown(CX + 30, CY);
    EXPECT_TRUE(press.switchToCustom);
    EXPECT_TRUE(rootEditor.dragging);
    EXPECT_FALSE(press.setCursor);
    ASSERT_TRUE(rootEditor.dragging);
    EXPECT_EQ(rootEditor.dragStart.re, units(33));
    EXPECT_TRUE(handleMouseMove(CX + 40, CY).redraw);
    handleLeftButtonUp();
    expectRoot(filterState.poles, 0, units(33) + units(10), 0.0, false);
    expectNormalized();

    // Moved out of reach: the press starts nothing and the arrow returns;
    // no menu opens there either.
    handleMouseMove(CX + 43, CY);
    ASSERT_TRUE(rootEditor.hovering);
    filterState.poles.positions[0].re = units(80);
    filterState.modelIndex = 0;
    press = handleLeftButtonDown(CX + 43, CY);
    EXPECT_FALSE(press.switchToCustom);
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_TRUE(press.setCursor);
    EXPECT_EQ(press.cursor, CursorKind::Arrow);
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_FALSE(rootEditor.hovering);
    EXPECT_FALSE(handleContextMenu(CX + 43, CY).openMenu);
    handleMouseMove(CX - 40, CY - 40);
    handleLeftButtonUp();
    expectRoot(filterState.poles, 0, units(80), 0.0, false);

    // A root that came under the resting pointer is the one pressed on; at
    // equal distance the pole still beats the zero.
    handleMouseMove(CX - 50, CY - 20);
    ASSERT_FALSE(rootEditor.hovering);
    addRoot(filterState.zeros, units(-50), units(20), true);
    addRoot(filterState.poles, units(-50), units(20), true);
    press = handleLeftButtonDown(CX - 50, CY - 20);
    EXPECT_TRUE(press.switchToCustom);
    EXPECT_EQ(press.cursor, CursorKind::Hand);
    expectSelected(filterState.poles, 1);
    EXPECT_TRUE(rootEditor.grabbedAbove);
    handleMouseMove(CX - 50, CY - 30);
    handleLeftButtonUp();
    expectRoot(filterState.poles, 1, units(-50), units(20) + units(10), true);
    expectRoot(filterState.zeros, 0, units(-50), units(20), true);

    // Nothing changed since the hover: the press keeps its selection.
    handleMouseMove(CX - 50, CY - 30);
    handleLeftButtonDown(CX - 50, CY + 60);
    expectSelected(filterState.poles, 1);
    EXPECT_TRUE(rootEditor.grabbedAbove);
    handleLeftButtonUp();
}

// A pair clicked in from the palette without a drag is stored below the
// real axis; both its marks must be within reach of the pointer. Clicked on
// the palette's lowest own row (379), its marks lie one pixel beyond the
// z-plane's top and bottom rows (380 and 592).
TEST_F(RootEditing, PairClickedInFromThePaletteCanBePointedAt)
{
    const int x = cellX(3);
    pickUp(x, Z_PLANE.top - 1);
    handleLeftButtonUp();
    ASSERT_EQ(filterState.zeros.count, 1);
    expectRoot(filterState.zeros, 0, units(x - CX), units(Z_PLANE.top - 1 - CY), true);

    for (const int y : {Z_PLANE.top, Z_PLANE.top + 1, Z_PLANE.bottom - 1}) {
        SCOPED_TRACE(y);
        resetRootEditor();
        EXPECT_EQ(handleMouseMove(x, y).cursor, CursorKind::Hand);
        expectSelected(filterState.zeros, 0);
        EXPECT_NEAR(findNearestRoot(units(x - CX), units(std::abs(CY - y))), units(107 - std::abs(CY - y)), 1e-12);
    }

    // Taken by its upper mark below the row it shares with the palette, where
    // a press adds a root, and pulled down by 40 pixels, it comes 40 pixels
    // nearer the axis: the mark stays under the pointer.
    pickUp(x, Z_PLANE.top + 1);
    EXPECT_TRUE(rootEditor.grabbedAbove);
    handleMouseMove(x, Z_PLANE.top + 41);
    handleLeftButtonUp();
    expectRoot(filterState.zeros, 0, units(x - CX), units(107) + units(-40), true);
    expectNormalized();

    handleMouseMove(x, Z_PLANE.top + 41);
    ASSERT_TRUE(handleContextMenu(x, Z_PLANE.top + 41).openMenu);
    handleRootCommand(200);
    EXPECT_EQ(filterState.zeros.count, 0);
}

// A pair clicked in at the middle of a cell is drawn over the palette, out
// of the z-plane's reach; there its mark comes before the cell beneath it.
TEST_F(RootEditing, PairMarkOverThePaletteComesBeforeItsCell)
{
    const int x = cellX(3);
    pickUp(x, PALETTE_Y);
    handleLeftButtonUp();
    ASSERT_EQ(filterState.zeros.count, 1);
    expectRoot(filterState.zeros, 0, units(x - CX), units(PALETTE_Y - CY), true);

    // Beside the mark, out of reach, the cell still takes the pointer and
    // keeps the selection it had.
    resetRootEditor();
    EXPECT_EQ(handleMouseMove(cellX(0), PALETTE_Y).cursor, CursorKind::Hand);
    EXPECT_FALSE(rootEditor.rootOverPalette);
    EXPECT_EQ(rootEditor.selectedRoot.list, RootListKind::None);
    EXPECT_FALSE(handleContextMenu(cellX(0), PALETTE_Y).openMenu);

    // On the mark: a press picks the pair up instead of adding a new root,
    // and pulled into the z-plane its mark follows the pointer.
    EXPECT_EQ(handleMouseMove(x, PALETTE_Y).cursor, CursorKind::Hand);
    EXPECT_TRUE(rootEditor.rootOverPalette);
    expectSelected(filterState.zeros, 0);
    ASSERT_TRUE(handleContextMenu(x, PALETTE_Y).openMenu);
    pickUp(x, PALETTE_Y);
    EXPECT_EQ(filterState.zeros.count, 1);
    handleMouseMove(x, CY - 30);
    handleLeftButtonUp();
    ASSERT_EQ(filterState.zeros.count, 1);
    expectRoot(filterState.zeros, 0, units(x - CX), units(CY - PALETTE_Y) + units(PALETTE_Y - (CY - 30)), true);
    expectNormalized();
}

TEST_F(RootEditing, FullListRefusesAPalettePress)
{
    for (int i = 0; i < MAX_ROOTS; ++i)
        addRoot(filterState.zeros, 0.01 * i, 0.0, false);
    filterState.gain = 0.25;

    const EditorResponse r = pickUp(cellX(3), PALETTE_Y);
    EXPECT_TRUE(nothingRequested(r));
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_FALSE(rootEditor.fromPalette);
    EXPECT_EQ(filterState.zeros.count, MAX_ROOTS);
    EXPECT_EQ(filterState.gain, 0.25);
    EXPECT_EQ(rootEditor.selectedRoot.list, RootListKind::None);

    // The poles still take one.
    pickUp(cellX(1), PALETTE_Y);
    EXPECT_TRUE(rootEditor.dragging);
    EXPECT_EQ(filterState.poles.count, 1);
}

TEST_F(RootEditing, PressOffEverythingStoresOnlyThePressPoint)
{
    addRoot(filterState.poles, 0.0, 0.0, false);
    const EditorResponse r = pickUp(500, 100);
    EXPECT_TRUE(nothingRequested(r));
    EXPECT_EQ(rootEditor.pressPoint, (Point{500, 100}));
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_TRUE(nothingRequested(handleLeftButtonUp()));
}

TEST_F(RootEditing, DeleteMovesTheLastRootIntoTheHole)
{
    addRoot(filterState.poles, units(-30), 0.0, false);
    addRoot(filterState.poles, units(30), units(30), true);
    addRoot(filterState.poles, 0.9, 0.0, false);
    addRoot(filterState.zeros, -1.0, 0.0, false);
    handleMouseMove(CX + 30, CY - 30);
    expectSelected(filterState.poles, 1);

    cutoffMarkerVisible = false;
    const EditorResponse r = handleRootCommand(200);
    EXPECT_TRUE(r.switchToCustom);
    EXPECT_TRUE(r.redraw);
    EXPECT_FALSE(r.showMarker);
    EXPECT_FALSE(r.openMenu);
    EXPECT_EQ(filterState.poles.count, 2);
    expectRoot(filterState.poles, 0, units(-30), 0.0, false);
    expectRoot(filterState.poles, 1, 0.9, 0.0, false);
    EXPECT_EQ(filterState.zeros.count, 1);
    expectNormalized();
}

TEST_F(RootEditing, ContextMenuOffersTheOtherKind)
{
    addRoot(filterState.poles, units(30), units(30), true);
    addRoot(filterState.zeros, units(-30), 0.0, false);

    handleMouseMove(CX + 30, CY + 30);
    EditorResponse r = handleContextMenu(CX + 30, CY + 30);
    EXPECT_TRUE(r.openMenu);
    EXPECT_FALSE(r.redraw);
    EXPECT_FALSE(r.switchToCustom);
    EXPECT_EQ(r.menu.deleteId, 200);
    EXPECT_EQ(r.menu.singleId, 201);
    EXPECT_FALSE(r.menu.singleChecked);
    EXPECT_EQ(r.menu.pairId, 202);
    EXPECT_TRUE(r.menu.pairChecked);

    handleMouseMove(CX - 30, CY);
    r = handleContextMenu(CX - 30, CY);
    EXPECT_TRUE(r.openMenu);
    EXPECT_EQ(r.menu.deleteId, 200);
    EXPECT_EQ(r.menu.singleId, 202);
    EXPECT_TRUE(r.menu.singleChecked);
    EXPECT_EQ(r.menu.pairId, 201);
    EXPECT_FALSE(r.menu.pairChecked);

    // Only where the last movement found a root, and only inside the z-plane.
    EXPECT_FALSE(handleContextMenu(PALETTE.left, PALETTE_Y).openMenu);
    handleMouseMove(cellX(2), PALETTE_Y);
    EXPECT_TRUE(nothingRequested(handleContextMenu(cellX(2), PALETTE_Y)));
    handleMouseMove(CX, CY + 80);
    EXPECT_TRUE(nothingRequested(handleContextMenu(CX - 30, CY)));
}

TEST_F(RootEditing, ToggleSwitchesBetweenSingleAndPair)
{
    addRoot(filterState.zeros, 0.3, 0.4, true);
    findNearestRoot(0.3, 0.4);

    cutoffMarkerVisible = true;
    EditorResponse r = handleRootCommand(201);
    EXPECT_TRUE(r.switchToCustom);
    EXPECT_TRUE(r.redraw);
    EXPECT_TRUE(r.showMarker);
    expectRoot(filterState.zeros, 0, 0.3, 0.0, false);
    expectNormalized();

    r = handleRootCommand(201);
    EXPECT_TRUE(r.redraw);
    expectRoot(filterState.zeros, 0, 0.3, 0.0, true);

    // The id of the root's own kind, and any other id, do nothing.
    filterState.gain = 0.5;
    for (const int id : {202, 199, 104, 0}) {
        EXPECT_TRUE(nothingRequested(handleRootCommand(id)));
        expectRoot(filterState.zeros, 0, 0.3, 0.0, true);
        EXPECT_EQ(filterState.gain, 0.5);
    }
}

TEST_F(RootEditing, SecondDeleteWithoutMovementChangesNothing)
{
    addRoot(filterState.poles, 0.1, 0.0, false);
    addRoot(filterState.poles, 0.2, 0.0, false);
    findNearestRoot(0.2, 0.0);
    expectSelected(filterState.poles, 1);

    handleRootCommand(200);
    ASSERT_EQ(filterState.poles.count, 1);
    const EditorResponse r = handleRootCommand(200);
    EXPECT_TRUE(r.switchToCustom);
    EXPECT_TRUE(r.redraw);
    EXPECT_EQ(filterState.poles.count, 1);
    expectRoot(filterState.poles, 0, 0.1, 0.0, false);

    // Down to an empty list and never below.
    findNearestRoot(0.1, 0.0);
    handleRootCommand(200);
    handleRootCommand(200);
    EXPECT_EQ(filterState.poles.count, 0);
    EXPECT_TRUE(handleRootCommand(201).redraw);
    EXPECT_EQ(filterState.poles.count, 0);
    EXPECT_FALSE(selectedPairFlag());
}

TEST_F(RootEditing, NoSelectionAtAllChangesNoList)
{
    addRoot(filterState.zeros, 0.5, 0.5, true);
    for (const int id : {200, 201}) {
        const EditorResponse r = handleRootCommand(id);
        EXPECT_TRUE(r.switchToCustom);
        EXPECT_TRUE(r.redraw);
    }
    moveSelectedRoot(10, 10);
    deleteSelectedRoot();
    setSelectedPairFlag(false);
    EXPECT_FALSE(selectedPairFlag());
    EXPECT_EQ(filterState.zeros.count, 1);
    expectRoot(filterState.zeros, 0, 0.5, 0.5, true);
}

// Five custom poles, the last one pointed at, then the first-order low-pass
// chosen: the selection now lies beyond the poles' count.
class StaleSelection : public RootEditing {
protected:
    void SetUp() override
    {
        RootEditing::SetUp();
        for (int i = 0; i < 5; ++i)
            addRoot(filterState.poles, units(10 * i), units(10 * i), true);
        handleMouseMove(CX + 40, CY + 40);
        expectSelected(filterState.poles, 4);
        ASSERT_TRUE(rootEditor.hovering);

        filterState.modelIndex = 0;
        applyModel();
        ASSERT_LT(filterState.poles.count, 5);
        before_ = filterState;
    }

    void expectUnchanged()
    {
        EXPECT_EQ(filterState.poles.count, before_.poles.count);
        EXPECT_EQ(filterState.zeros.count, before_.zeros.count);
        for (int i = 0; i < MAX_ROOTS; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(filterState.poles.positions[i].re, before_.poles.positions[i].re);
            EXPECT_EQ(filterState.poles.positions[i].im, before_.poles.positions[i].im);
            EXPECT_EQ(filterState.poles.pairFlags[i], before_.poles.pairFlags[i]);
        }
    }

    FilterState before_;
};

TEST_F(StaleSelection, CommandsChangeNoList)
{
    EXPECT_FALSE(selectedPairFlag());
    EXPECT_TRUE(handleContextMenu(CX + 40, CY + 40).openMenu);
    for (const int id : {200, 201, 200}) {
        const EditorResponse r = handleRootCommand(id);
        EXPECT_TRUE(r.switchToCustom);
        EXPECT_TRUE(r.redraw);
        expectUnchanged();
    }
}

TEST_F(StaleSelection, HitTestWithoutRootsKeepsTheDragStart)
{
    filterState.poles.count = 0;
    filterState.zeros.count = 0;
    rootEditor.dragStart = {7.0, 7.0};
    EXPECT_FALSE(hitTestRoot(CX + 40, CY + 40));
    expectSelected(filterState.poles, 4);
    EXPECT_EQ(rootEditor.dragStart.re, 7.0);
    EXPECT_EQ(rootEditor.dragStart.im, 7.0);
}

TEST_F(StaleSelection, PressWhereTheRootWasStartsNoDrag)
{
    const EditorResponse press = handleLeftButtonDown(CX + 40, CY + 40);
    EXPECT_FALSE(press.switchToCustom);
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_TRUE(press.setCursor);
    EXPECT_EQ(press.cursor, CursorKind::Arrow);
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_FALSE(handleMouseMove(CX - 40, CY - 70).redraw);
    EXPECT_TRUE(nothingRequested(handleLeftButtonUp()));
    expectUnchanged();
}

// A design that changes during a drag keeps its roots: the drag moves and
// drops nothing.
TEST_F(StaleSelection, DesignChangedDuringADragMovesAndDropsNothing)
{
    ASSERT_FALSE(filterState.poles.pairFlags[0]);
    pickUp(CX + toPixel(filterState.poles.positions[0].re * SCALE), CY);
    ASSERT_TRUE(rootEditor.dragging);
    filterState.modelIndex = 1;
    applyModel();
    before_ = filterState;

    EditorResponse r = handleMouseMove(CX - 40, CY - 70);
    EXPECT_TRUE(r.redraw);
    expectUnchanged();

    r = handleMouseMove(INT_LOW, INT_LOW);
    EXPECT_EQ(r.cursor, CursorKind::Bin);
    r = handleLeftButtonUp();
    EXPECT_FALSE(rootEditor.dragging);
    EXPECT_TRUE(r.redraw);
    expectUnchanged();
}

TEST_F(RootEditing, ExtremeGeometryAndPointersStayDefined)
{
    addRoot(filterState.poles, 0.0, 0.0, false);

    // Before any drawing the scale is 0: nothing is within reach.
    resetZPlaneView();
    EXPECT_FALSE(hitTestRoot(0, 0));
    EXPECT_FALSE(hitTestRoot(CX, CY));
    EXPECT_EQ(handleMouseMove(CX, CY).cursor, CursorKind::Arrow);
    drawZPlane(surface_, zPlaneRect, false);

    EXPECT_FALSE(hitTestRoot(INT_LOW, INT_HIGH));
    EXPECT_FALSE(rootEditor.grabbedAbove);
    EXPECT_FALSE(hitTestRoot(INT_HIGH, INT_LOW));
    EXPECT_TRUE(rootEditor.grabbedAbove);

    // A press far from the last hover point: offsets beyond the int range.
    handleMouseMove(CX, CY);
    handleLeftButtonDown(INT_LOW, INT_LOW);
    ASSERT_TRUE(rootEditor.dragging);
    handleMouseMove(INT_HIGH, INT_HIGH);
    EXPECT_EQ(filterState.poles.positions[0].re, 0.0 + (Z_PLANE.right - 1 - static_cast<double>(INT_LOW)) / SCALE);
    EXPECT_EQ(filterState.poles.positions[0].im, 0.0);
    EXPECT_TRUE(handleLeftButtonUp().redraw);
    EXPECT_EQ(filterState.poles.count, 0);

    // A palette wider than four cells: a press past the fourth adds nothing.
    paletteRect = Rect{0, 0, 1000, 10};
    handleMouseMove(500, 5);
    ASSERT_TRUE(rootEditor.hovering);
    EXPECT_TRUE(nothingRequested(handleLeftButtonDown(500, 5)));
    EXPECT_EQ(filterState.poles.count, 0);
    EXPECT_EQ(filterState.zeros.count, 0);
    EXPECT_FALSE(addRootFromPalette(4, 500, 5));
    EXPECT_FALSE(addRootFromPalette(-1, 500, 5));
}

}  // namespace
