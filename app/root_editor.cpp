#include "app/root_editor.h"

#include "res/resource_ids.h"
#include "view/layout.h"
#include "view/response_view.h"
#include "view/zplane_view.h"

#include <cmath>
#include <cstdint>
#include <cstring>

RootEditor rootEditor;

namespace {

// The selected root as the editor last saw or left it. The selection names
// a slot, and a slot can come to hold another root: a delete moves the last
// root into it, a design rewrites it. Such a slot no longer holds the
// selected root.
Root selectedAsSeen;

// A palette press has added a root that no redraw has shown yet.
bool addedRootUnshown = false;

}  // namespace

void resetRootEditor()
{
    rootEditor = RootEditor{};
    selectedAsSeen = Root{};
    addedRootUnshown = false;
}

namespace {

// Squared distances of 1000 units and more never select a root.
constexpr double NEAREST_LIMIT = 1000000.0;
constexpr double HIT_DISTANCE = 0.15;

// A list's count as a loop bound that never leaves its slots.
int validCount(const RootList& list)
{
    if (list.count < 0)
        return 0;
    return list.count < MAX_ROOTS ? list.count : MAX_ROOTS;
}

void select(RootList& list, int slot)
{
    rootEditor.selectedRoot = SelectedRoot{&list, slot};
    selectedAsSeen = list.root(slot);
}

// The list of the selected root while its slot still holds that root, else
// null: nothing selected yet, or a delete or a new design has dropped the
// slot or put another root into it. Every access to the selection goes
// through here.
RootList* liveSelection()
{
    RootList* list = rootEditor.selectedRoot.list;
    const int index = rootEditor.selectedRoot.index;
    if (list == nullptr || index < 0 || index >= validCount(*list))
        return nullptr;
    const Root now = list->root(index);
    if (now.pair != selectedAsSeen.pair ||
        std::memcmp(&now.position, &selectedAsSeen.position, sizeof now.position) != 0)
        return nullptr;
    return list;
}

double pixelsToUnits(std::int64_t pixels)
{
    return static_cast<double>(pixels) / zPlaneScale;
}

EditorResponse redrawKeepingMarker()
{
    EditorResponse response;
    response.redraw = true;
    response.showMarker = cutoffMarkerVisible;
    return response;
}

// Deletes the selected root and redraws. The pointer then points at nothing
// until it moves: a press or a right-click in the same place must not reach
// whatever root has taken the deleted one's slot.
EditorResponse deleteAndForget()
{
    deleteSelectedRoot();
    rootEditor.hovering = false;
    EditorResponse response = redrawKeepingMarker();
    response.setCursor = true;
    response.cursor = CursorKind::Arrow;
    return response;
}

}  // namespace

double findNearestRoot(double re, double im)
{
    double best = NEAREST_LIMIT;
    RootList* const lists[] = {&filterState.poles, &filterState.zeros};
    for (RootList* list : lists) {
        for (int i = validCount(*list) - 1; i >= 0; --i) {
            // The pointer comes folded into the upper half-plane, and a pair's
            // upper mark lies at |im| whatever the sign it is stored with.
            const double rootIm = list->pairFlags[i] ? std::fabs(list->positions[i].im) : list->positions[i].im;
            const double dRe = re - list->positions[i].re;
            const double dIm = im - rootIm;
            const double d2 = dRe * dRe + dIm * dIm;
            if (d2 < best) {
                best = d2;
                select(*list, i);
            }
        }
    }
    return std::sqrt(best);
}

bool hitTestRoot(int x, int y)
{
    const std::int64_t dxPix = static_cast<std::int64_t>(x) - zPlaneCentreX;
    const std::int64_t dyPix = static_cast<std::int64_t>(y) - zPlaneCentreY;
    rootEditor.grabbedAbove = dyPix < 0;

    // Folded into the upper half-plane: a pair is stored with the imaginary
    // part of one mark, and either mark must find it.
    const double re = pixelsToUnits(dxPix);
    const double im = pixelsToUnits(dyPix < 0 ? -dyPix : dyPix);
    const double distance = findNearestRoot(re, im);

    if (const RootList* list = liveSelection()) {
        // A pair is picked up by its upper mark, so that the vertical offset
        // moves that mark the way the pointer goes.
        const int slot = rootEditor.selectedRoot.index;
        rootEditor.dragStart = list->positions[slot];
        if (list->pairFlags[slot])
            rootEditor.dragStart.im = std::fabs(rootEditor.dragStart.im);
    }
    return distance <= HIT_DISTANCE;
}

// The position follows from dragStart and the whole offset, so nothing
// accumulates over a drag. The absolute value keeps a pair's stored imaginary
// part non-negative: across the real axis the pointer holds the other mark.
void moveSelectedRoot(std::int64_t dx, std::int64_t dy)
{
    if (rootEditor.grabbedAbove)
        dy = -dy;
    if (RootList* list = liveSelection()) {
        const int slot = rootEditor.selectedRoot.index;
        list->positions[slot].re = rootEditor.dragStart.re + pixelsToUnits(dx);
        if (list->pairFlags[slot])
            list->positions[slot].im = std::fabs(rootEditor.dragStart.im + pixelsToUnits(dy));
        selectedAsSeen = list->root(slot);
    }
    normalizeGain();
}

// The palette lies above the z-plane, so a new pair starts below the real
// axis: its mirrored mark is the one under the pointer.
bool addRootFromPalette(int cell, int x, int y)
{
    if (cell < 0 || cell > 3)
        return false;
    const bool pair = cell % 2 != 0;
    const double im = pair ? pixelsToUnits(static_cast<std::int64_t>(y) - zPlaneCentreY) : 0.0;
    const double re = pixelsToUnits(static_cast<std::int64_t>(x) - zPlaneCentreX);

    RootList& list = cell < 2 ? filterState.poles : filterState.zeros;
    if (list.count < 0 || list.count >= MAX_ROOTS)
        return false;
    const int slot = list.count;
    list.positions[slot] = Complex{re, im};
    list.count = slot + 1;

    rootEditor.dragStart = Complex{re, im};
    rootEditor.grabbedAbove = false;
    list.pairFlags[slot] = pair;
    select(list, slot);
    normalizeGain();
    return true;
}

// The last root of the list takes the deleted root's slot.
void deleteSelectedRoot()
{
    if (RootList* list = liveSelection()) {
        const int slot = rootEditor.selectedRoot.index;
        list->count = list->count - 1;
        list->pairFlags[slot] = list->pairFlags[list->count];
        list->positions[slot] = list->positions[list->count];
    }
    normalizeGain();
}

bool selectedPairFlag()
{
    const RootList* list = liveSelection();
    return list != nullptr && list->pairFlags[rootEditor.selectedRoot.index];
}

// A pair made from a single root keeps the imaginary part 0: a double real
// root until it is dragged.
void setSelectedPairFlag(bool pair)
{
    if (RootList* list = liveSelection()) {
        const int slot = rootEditor.selectedRoot.index;
        list->pairFlags[slot] = pair;
        if (!pair)
            list->positions[slot].im = 0.0;
        selectedAsSeen = list->root(slot);
    }
    normalizeGain();
}

namespace {

bool sameRoots(const RootList& a, const RootList& b)
{
    const int count = validCount(a);
    if (count != validCount(b))
        return false;
    for (int i = 0; i < count; ++i)
        if (a.pairFlags[i] != b.pairFlags[i] ||
            std::memcmp(&a.positions[i], &b.positions[i], sizeof a.positions[i]) != 0)
            return false;
    return true;
}

// Whether the hover state was found on roots or a geometry that have
// changed since: a design, a sample rate, an edit or a resize.
bool hoverIsStale()
{
    const RootEditor::HoverBasis& seen = rootEditor.hoverBasis;
    return !sameRoots(seen.zeros, filterState.zeros) || !sameRoots(seen.poles, filterState.poles) ||
           seen.centreX != zPlaneCentreX || seen.centreY != zPlaneCentreY ||
           std::memcmp(&seen.scale, &zPlaneScale, sizeof seen.scale) != 0;
}

// The z-plane test comes first: the row the palette shares with the z-plane
// counts as z-plane.
EditorResponse hover(int x, int y)
{
    RootEditor::HoverBasis& seen = rootEditor.hoverBasis;
    seen.zeros = filterState.zeros;
    seen.poles = filterState.poles;
    seen.centreX = zPlaneCentreX;
    seen.centreY = zPlaneCentreY;
    seen.scale = zPlaneScale;

    rootEditor.hovering = false;
    if (contains(zPlaneRect, x, y))
        rootEditor.hovering = hitTestRoot(x, y);
    else if (contains(paletteRect, x, y))
        rootEditor.hovering = true;

    EditorResponse response;
    response.setCursor = true;
    response.cursor = rootEditor.hovering ? CursorKind::Hand : CursorKind::Arrow;
    return response;
}

// The applied position never leaves zPlaneRect. A root fresh from the palette
// waits on the top row, not outside, while the pointer stays in the palette;
// once the pointer has been anywhere else, the palette counts as outside.
EditorResponse drag(int x, int y)
{
    const bool wasFromPalette = rootEditor.fromPalette;
    rootEditor.fromPalette = false;
    rootEditor.outside = false;

    std::int64_t cx = x;
    if (cx < zPlaneRect.left) {
        cx = zPlaneRect.left;
        rootEditor.outside = true;
    } else if (cx >= zPlaneRect.right) {
        cx = static_cast<std::int64_t>(zPlaneRect.right) - 1;
        rootEditor.outside = true;
    }
    const int clampedX = narrowPixel(cx);

    std::int64_t cy = y;
    if (cy < zPlaneRect.top) {
        if (wasFromPalette && contains(paletteRect, clampedX, y))
            rootEditor.fromPalette = true;
        else
            rootEditor.outside = true;
        cy = zPlaneRect.top;
    } else if (cy >= zPlaneRect.bottom) {
        cy = static_cast<std::int64_t>(zPlaneRect.bottom) - 1;
        rootEditor.outside = true;
    }
    const Point clamped{clampedX, narrowPixel(cy)};

    EditorResponse response;
    response.setCursor = true;
    response.cursor = rootEditor.outside ? CursorKind::Bin : CursorKind::Hand;
    if (clamped == rootEditor.lastDragPoint)
        return response;

    rootEditor.lastDragPoint = clamped;
    addedRootUnshown = false;
    moveSelectedRoot(static_cast<std::int64_t>(clamped.x) - rootEditor.pressPoint.x,
                     static_cast<std::int64_t>(clamped.y) - rootEditor.pressPoint.y);
    response.redraw = true;
    response.showMarker = false;
    return response;
}

}  // namespace

EditorResponse handleMouseMove(int x, int y)
{
    return rootEditor.dragging ? drag(x, y) : hover(x, y);
}

// Nothing is redrawn on the press; the first movement redraws. A drag of a
// root uses the selection, dragStart and grabbedAbove of the last hover,
// unless the roots or the geometry have changed since that hover: the press
// must act on what lies under the pointer, so it then hit-tests again where
// it lands, as a movement there would. A drag ends only with a release: a
// press during one, which only a lost release lets through, changes nothing.
EditorResponse handleLeftButtonDown(int x, int y)
{
    if (rootEditor.dragging)
        return {};
    rootEditor.fromPalette = false;
    rootEditor.outside = false;
    rootEditor.pressPoint = Point{x, y};

    EditorResponse response;
    if (hoverIsStale()) {
        const bool wasHovering = rootEditor.hovering;
        const EditorResponse again = hover(x, y);
        if (rootEditor.hovering != wasHovering) {
            response.setCursor = true;
            response.cursor = again.cursor;
        }
    }
    if (!rootEditor.hovering)
        return response;

    if (contains(paletteRect, x, y)) {
        const std::int64_t side = static_cast<std::int64_t>(paletteRect.bottom) - paletteRect.top;
        if (side <= 0)
            return response;
        const std::int64_t cell = (static_cast<std::int64_t>(x) - paletteRect.left) / side;
        if (cell < 0 || cell > 3)
            return response;
        rootEditor.fromPalette = addRootFromPalette(static_cast<int>(cell), x, y);
        if (!rootEditor.fromPalette)
            return response;
        addedRootUnshown = true;
    }

    rootEditor.dragging = true;
    rootEditor.lastDragPoint = rootEditor.pressPoint;
    response.switchToCustom = true;
    response.grabMouse = true;
    return response;
}

// A release inside the z-plane leaves the root where the last movement put
// it; that movement has redrawn already. A root added from the palette with
// no movement since is shown now, where the press put it.
EditorResponse handleLeftButtonUp()
{
    if (!rootEditor.dragging)
        return {};
    rootEditor.dragging = false;

    EditorResponse response;
    if (rootEditor.outside) {
        response = deleteAndForget();
    } else if (addedRootUnshown) {
        response = redrawKeepingMarker();
    }
    addedRootUnshown = false;
    response.releaseMouse = true;
    return response;
}

// The item of the root's current kind carries the check mark and the id
// that nothing handles; the other item switches the kind.
EditorResponse handleContextMenu(int clientX, int clientY)
{
    if (!rootEditor.hovering || !contains(zPlaneRect, clientX, clientY))
        return {};

    const bool pair = selectedPairFlag();
    EditorResponse response;
    response.openMenu = true;
    response.menu.deleteId = IDM_ROOT_DELETE;
    response.menu.singleId = pair ? IDM_ROOT_TOGGLE : IDM_ROOT_KEEP;
    response.menu.singleChecked = !pair;
    response.menu.pairId = pair ? IDM_ROOT_KEEP : IDM_ROOT_TOGGLE;
    response.menu.pairChecked = pair;
    return response;
}

EditorResponse handleRootCommand(int id)
{
    EditorResponse response;
    if (id == IDM_ROOT_DELETE) {
        response = deleteAndForget();
    } else if (id == IDM_ROOT_TOGGLE) {
        setSelectedPairFlag(!selectedPairFlag());
        response = redrawKeepingMarker();
    } else {
        return {};
    }
    response.switchToCustom = true;
    return response;
}
