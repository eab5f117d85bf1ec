#include "app/root_editor.h"

#include "res/resource_ids.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

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

void select(RootEditor& editor, RootListKind list, int slot, const Root& root)
{
    editor.selectedRoot = SelectedRoot{list, slot};
    editor.selectedAsSeen = root;
}

// The list of the selected root while its slot still holds that root, else
// null: nothing selected yet, or a delete or a new design has dropped the
// slot or put another root into it. Every access to the selection goes
// through here.
const RootList* liveSelection(const RootEditor& editor, const FilterState& filter)
{
    const RootList* list = rootList(filter, editor.selectedRoot.list);
    const int index = editor.selectedRoot.index;
    if (list == nullptr || index < 0 || index >= validCount(*list))
        return nullptr;
    const Root now = list->root(index);
    if (now.pair != editor.selectedAsSeen.pair ||
        std::memcmp(&now.position, &editor.selectedAsSeen.position, sizeof now.position) != 0)
        return nullptr;
    return list;
}

double pixelsToUnits(const ZPlaneGeometry& geometry, std::int64_t pixels)
{
    return static_cast<double>(pixels) / geometry.scale;
}

EditorResponse redrawKeepingMarker(const EditorView& view)
{
    EditorResponse response;
    response.redraw = true;
    response.showMarker = view.cutoffMarkerVisible;
    return response;
}

// Deletes the selected root and redraws. The pointer then points at nothing
// until it moves: a press or a right-click in the same place must not reach
// whatever root has taken the deleted one's slot.
EditorResponse deleteAndForget(RootEditor& editor, const FilterState& filter, const EditorView& view)
{
    EditorResponse response = redrawKeepingMarker(view);
    response.edit = deleteSelectedRoot(editor, filter);
    editor.hovering = false;
    response.setCursor = true;
    response.cursor = CursorKind::Arrow;
    return response;
}

}  // namespace

namespace {

struct Nearest {
    RootListKind list = RootListKind::None;
    int index = 0;
    double distanceSquared = NEAREST_LIMIT;
};

// Poles before zeros, each list from its last root down: on equal distances
// the root found first stays.
Nearest nearestRoot(const FilterState& filter, double re, double im)
{
    Nearest nearest;
    const std::pair<const RootList*, RootListKind> lists[] = {{&filter.poles, RootListKind::Poles},
                                                              {&filter.zeros, RootListKind::Zeros}};
    for (const auto& [list, kind] : lists) {
        for (int i = validCount(*list) - 1; i >= 0; --i) {
            // The pointer comes folded into the upper half-plane, and a pair's
            // upper mark lies at |im| whatever the sign it is stored with.
            const double rootIm = list->pairFlags[i] ? std::fabs(list->positions[i].im) : list->positions[i].im;
            const double dRe = re - list->positions[i].re;
            const double dIm = im - rootIm;
            const double d2 = dRe * dRe + dIm * dIm;
            if (d2 < nearest.distanceSquared)
                nearest = {kind, i, d2};
        }
    }
    return nearest;
}

}  // namespace

void noteRootsChanged(RootEditor& editor) { editor.hoverBasis.rootsChanged = true; }

double findNearestRoot(RootEditor& editor, const FilterState& filter, double re, double im)
{
    const Nearest nearest = nearestRoot(filter, re, im);
    if (const RootList* list = rootList(filter, nearest.list))
        select(editor, nearest.list, nearest.index, list->root(nearest.index));
    return std::sqrt(nearest.distanceSquared);
}

bool hitTestRoot(RootEditor& editor, const FilterState& filter, const ZPlaneGeometry& geometry, int x, int y)
{
    const std::int64_t dxPix = static_cast<std::int64_t>(x) - geometry.centreX;
    const std::int64_t dyPix = static_cast<std::int64_t>(y) - geometry.centreY;
    editor.grabbedAbove = dyPix < 0;

    // Folded into the upper half-plane: a pair is stored with the imaginary
    // part of one mark, and either mark must find it.
    const double re = pixelsToUnits(geometry, dxPix);
    const double im = pixelsToUnits(geometry, dyPix < 0 ? -dyPix : dyPix);
    const double distance = findNearestRoot(editor, filter, re, im);

    if (const RootList* list = liveSelection(editor, filter)) {
        // A pair is picked up by its upper mark, so that the vertical offset
        // moves that mark the way the pointer goes.
        const int slot = editor.selectedRoot.index;
        editor.dragStart = list->positions[slot];
        if (list->pairFlags[slot])
            editor.dragStart.im = std::fabs(editor.dragStart.im);
    }
    return distance <= HIT_DISTANCE;
}

// The position follows from dragStart and the whole offset, so nothing
// accumulates over a drag. The absolute value keeps a pair's stored imaginary
// part non-negative: across the real axis the pointer holds the other mark.
RootEdit moveSelectedRoot(RootEditor& editor, const FilterState& filter, const ZPlaneGeometry& geometry,
                          std::int64_t dx, std::int64_t dy)
{
    if (editor.grabbedAbove)
        dy = -dy;
    const RootList* list = liveSelection(editor, filter);
    if (list == nullptr)
        return {RootEdit::Kind::Normalize, {}, {}};
    const int slot = editor.selectedRoot.index;
    Root moved = list->root(slot);
    moved.position.re = editor.dragStart.re + pixelsToUnits(geometry, dx);
    if (moved.pair)
        moved.position.im = std::fabs(editor.dragStart.im + pixelsToUnits(geometry, dy));
    editor.selectedAsSeen = moved;
    return {RootEdit::Kind::Replace, editor.selectedRoot, moved};
}

// The palette lies above the z-plane, so a new pair starts below the real
// axis: its mirrored mark is the one under the pointer.
RootEdit addRootFromPalette(RootEditor& editor, const FilterState& filter, const ZPlaneGeometry& geometry, int cell,
                            int x, int y)
{
    if (cell < 0 || cell > 3)
        return {};
    const bool pair = cell % 2 != 0;
    const double im = pair ? pixelsToUnits(geometry, static_cast<std::int64_t>(y) - geometry.centreY) : 0.0;
    const double re = pixelsToUnits(geometry, static_cast<std::int64_t>(x) - geometry.centreX);

    const RootListKind kind = cell < 2 ? RootListKind::Poles : RootListKind::Zeros;
    const RootList& list = *rootList(filter, kind);
    if (list.count < 0 || list.count >= MAX_ROOTS)
        return {};
    const Root added{Complex{re, im}, pair};
    editor.dragStart = added.position;
    editor.grabbedAbove = false;
    select(editor, kind, list.count, added);
    return {RootEdit::Kind::Add, editor.selectedRoot, added};
}

// The last root of the list takes the deleted root's slot.
RootEdit deleteSelectedRoot(RootEditor& editor, const FilterState& filter)
{
    if (liveSelection(editor, filter) == nullptr)
        return {RootEdit::Kind::Normalize, {}, {}};
    return {RootEdit::Kind::Delete, editor.selectedRoot, {}};
}

bool selectedPairFlag(const RootEditor& editor, const FilterState& filter)
{
    const RootList* list = liveSelection(editor, filter);
    return list != nullptr && list->pairFlags[editor.selectedRoot.index];
}

// A pair made from a single root keeps the imaginary part 0: a double real
// root until it is dragged.
RootEdit setSelectedPairFlag(RootEditor& editor, const FilterState& filter, bool pair)
{
    const RootList* list = liveSelection(editor, filter);
    if (list == nullptr)
        return {RootEdit::Kind::Normalize, {}, {}};
    Root changed = list->root(editor.selectedRoot.index);
    changed.pair = pair;
    if (!pair)
        changed.position.im = 0.0;
    editor.selectedAsSeen = changed;
    return {RootEdit::Kind::Replace, editor.selectedRoot, changed};
}

namespace {

// Whether the hover state was found on roots or a geometry that have
// changed since: a design, a sample rate, an edit or a resize.
bool hoverIsStale(const RootEditor& editor, const ZPlaneGeometry& geometry)
{
    const RootEditor::HoverBasis& seen = editor.hoverBasis;
    return seen.rootsChanged || seen.centreX != geometry.centreX || seen.centreY != geometry.centreY ||
           std::memcmp(&seen.scale, &geometry.scale, sizeof seen.scale) != 0;
}

// The z-plane test comes first: the row the palette shares with the z-plane
// counts as z-plane.
EditorResponse hover(RootEditor& editor, const FilterState& filter, const EditorView& view, int x, int y)
{
    RootEditor::HoverBasis& seen = editor.hoverBasis;
    seen.rootsChanged = false;
    seen.centreX = view.geometry.centreX;
    seen.centreY = view.geometry.centreY;
    seen.scale = view.geometry.scale;

    editor.hovering = false;
    editor.rootOverPalette = false;
    if (contains(view.zPlaneRect, x, y)) {
        editor.hovering = hitTestRoot(editor, filter, view.geometry, x, y);
    } else if (contains(view.paletteRect, x, y)) {
        // A root's mark over the palette comes before the palette cell under
        // it; a miss leaves the selection as it was, as the palette alone does.
        const RootEditor before = editor;
        editor.rootOverPalette = hitTestRoot(editor, filter, view.geometry, x, y);
        if (!editor.rootOverPalette) {
            editor.selectedRoot = before.selectedRoot;
            editor.selectedAsSeen = before.selectedAsSeen;
            editor.dragStart = before.dragStart;
            editor.grabbedAbove = before.grabbedAbove;
        }
        editor.hovering = true;
    }

    EditorResponse response;
    response.setCursor = true;
    response.cursor = editor.hovering ? CursorKind::Hand : CursorKind::Arrow;
    return response;
}

// The applied position never leaves zPlaneRect. A root fresh from the palette
// waits on the top row, not outside, while the pointer stays in the palette;
// once the pointer has been anywhere else, the palette counts as outside.
EditorResponse drag(RootEditor& editor, const FilterState& filter, const EditorView& view, int x, int y)
{
    const Rect& zPlaneRect = view.zPlaneRect;
    const bool wasFromPalette = editor.fromPalette;
    editor.fromPalette = false;
    editor.outside = false;

    std::int64_t cx = x;
    if (cx < zPlaneRect.left) {
        cx = zPlaneRect.left;
        editor.outside = true;
    } else if (cx >= zPlaneRect.right) {
        cx = static_cast<std::int64_t>(zPlaneRect.right) - 1;
        editor.outside = true;
    }
    const int clampedX = narrowPixel(cx);

    std::int64_t cy = y;
    if (cy < zPlaneRect.top) {
        if (wasFromPalette && contains(view.paletteRect, clampedX, y))
            editor.fromPalette = true;
        else
            editor.outside = true;
        cy = zPlaneRect.top;
    } else if (cy >= zPlaneRect.bottom) {
        cy = static_cast<std::int64_t>(zPlaneRect.bottom) - 1;
        editor.outside = true;
    }
    const Point clamped{clampedX, narrowPixel(cy)};

    EditorResponse response;
    response.setCursor = true;
    response.cursor = editor.outside ? CursorKind::Bin : CursorKind::Hand;
    if (clamped == editor.lastDragPoint)
        return response;

    editor.lastDragPoint = clamped;
    editor.addedRootUnshown = false;
    response.edit = moveSelectedRoot(editor, filter, view.geometry,
                                     static_cast<std::int64_t>(clamped.x) - editor.pressPoint.x,
                                     static_cast<std::int64_t>(clamped.y) - editor.pressPoint.y);
    response.redraw = true;
    response.showMarker = false;
    return response;
}

}  // namespace

EditorResponse handleMouseMove(RootEditor& editor, const FilterState& filter, const EditorView& view, int x, int y)
{
    return editor.dragging ? drag(editor, filter, view, x, y) : hover(editor, filter, view, x, y);
}

// Nothing is redrawn on the press; the first movement redraws. A drag of a
// root uses the selection, dragStart and grabbedAbove of the last hover,
// unless the roots or the geometry have changed since that hover: the press
// must act on what lies under the pointer, so it then hit-tests again where
// it lands, as a movement there would. A drag ends only with a release: a
// press during one, which only a lost release lets through, changes nothing.
EditorResponse handleLeftButtonDown(RootEditor& editor, const FilterState& filter, const EditorView& view, int x,
                                    int y)
{
    const Rect& paletteRect = view.paletteRect;
    if (editor.dragging)
        return {};
    editor.fromPalette = false;
    editor.outside = false;
    editor.pressPoint = Point{x, y};

    EditorResponse response;
    if (hoverIsStale(editor, view.geometry)) {
        const bool wasHovering = editor.hovering;
        const EditorResponse again = hover(editor, filter, view, x, y);
        if (editor.hovering != wasHovering) {
            response.setCursor = true;
            response.cursor = again.cursor;
        }
    }
    if (!editor.hovering)
        return response;

    if (contains(paletteRect, x, y) && !editor.rootOverPalette) {
        const std::int64_t side = static_cast<std::int64_t>(paletteRect.bottom) - paletteRect.top;
        if (side <= 0)
            return response;
        const std::int64_t cell = (static_cast<std::int64_t>(x) - paletteRect.left) / side;
        if (cell < 0 || cell > 3)
            return response;
        response.edit = addRootFromPalette(editor, filter, view.geometry, static_cast<int>(cell), x, y);
        editor.fromPalette = response.edit.kind == RootEdit::Kind::Add;
        if (!editor.fromPalette)
            return response;
        editor.addedRootUnshown = true;
    }

    editor.dragging = true;
    editor.lastDragPoint = editor.pressPoint;
    response.switchToCustom = true;
    return response;
}

// A release inside the z-plane leaves the root where the last movement put
// it; that movement has redrawn already. A root added from the palette with
// no movement since is shown now, where the press put it.
EditorResponse handleLeftButtonUp(RootEditor& editor, const FilterState& filter, const EditorView& view)
{
    if (!editor.dragging)
        return {};
    editor.dragging = false;

    EditorResponse response;
    if (editor.outside) {
        response = deleteAndForget(editor, filter, view);
    } else if (editor.addedRootUnshown) {
        response = redrawKeepingMarker(view);
    }
    editor.addedRootUnshown = false;
    return response;
}

// The item of the root's current kind carries the check mark and the id
// that nothing handles; the other item switches the kind.
EditorResponse handleContextMenu(RootEditor& editor, const FilterState& filter, const EditorView& view, int clientX,
                                 int clientY)
{
    const bool onRoot = contains(view.zPlaneRect, clientX, clientY) ||
                        (editor.rootOverPalette && contains(view.paletteRect, clientX, clientY));
    if (!editor.hovering || !onRoot)
        return {};

    const bool pair = selectedPairFlag(editor, filter);
    EditorResponse response;
    response.openMenu = true;
    response.menu.deleteId = IDM_ROOT_DELETE;
    response.menu.singleId = pair ? IDM_ROOT_TOGGLE : IDM_ROOT_KEEP;
    response.menu.singleChecked = !pair;
    response.menu.pairId = pair ? IDM_ROOT_KEEP : IDM_ROOT_TOGGLE;
    response.menu.pairChecked = pair;
    response.menu.positionId = IDM_ROOT_POSITION;
    return response;
}

EditorResponse handleRootCommand(RootEditor& editor, const FilterState& filter, const EditorView& view, int id)
{
    EditorResponse response;
    if (id == IDM_ROOT_DELETE) {
        response = deleteAndForget(editor, filter, view);
    } else if (id == IDM_ROOT_TOGGLE) {
        response = redrawKeepingMarker(view);
        response.edit = setSelectedPairFlag(editor, filter, !selectedPairFlag(editor, filter));
    } else {
        return {};
    }
    response.switchToCustom = true;
    return response;
}

EditorResponse handleDoubleClick(RootEditor& editor, const FilterState& filter, const EditorView& view, int x,
                                 int y)
{
    if (editor.dragging)
        return {};
    EditorResponse response = hover(editor, filter, view, x, y);
    const bool onRoot = contains(view.zPlaneRect, x, y) || (editor.rootOverPalette && contains(view.paletteRect, x, y));
    response.openPositionDialog = editor.hovering && onRoot && liveSelection(editor, filter) != nullptr;
    return response;
}

std::optional<PointedRoot> selectedRoot(const RootEditor& editor, const FilterState& filter)
{
    if (liveSelection(editor, filter) == nullptr)
        return std::nullopt;
    return PointedRoot{editor.selectedRoot.list, editor.selectedAsSeen};
}

std::optional<PointedRoot> rootAt(const FilterState& filter, const EditorView& view, int x, int y)
{
    if (!contains(view.zPlaneRect, x, y) && !contains(view.paletteRect, x, y))
        return std::nullopt;
    const ZPlaneGeometry& geometry = view.geometry;
    const std::int64_t dxPix = static_cast<std::int64_t>(x) - geometry.centreX;
    const std::int64_t dyPix = static_cast<std::int64_t>(y) - geometry.centreY;
    const Nearest nearest =
        nearestRoot(filter, pixelsToUnits(geometry, dxPix), pixelsToUnits(geometry, dyPix < 0 ? -dyPix : dyPix));
    const RootList* list = rootList(filter, nearest.list);
    if (list == nullptr || !(std::sqrt(nearest.distanceSquared) <= HIT_DISTANCE))
        return std::nullopt;
    return PointedRoot{nearest.list, list->root(nearest.index)};
}

std::optional<Complex> typedPositionStart(const RootEditor& editor, const FilterState& filter)
{
    const std::optional<PointedRoot> selected = selectedRoot(editor, filter);
    if (!selected)
        return std::nullopt;
    Complex start = selected->root.position;
    if (selected->root.pair)
        start.im = std::fabs(start.im);
    return start;
}

EditorResponse applyTypedPosition(RootEditor& editor, const FilterState& filter, Complex position)
{
    const RootList* list = liveSelection(editor, filter);
    if (list == nullptr)
        return {};
    editor.selectedAsSeen = typedRoot(list->root(editor.selectedRoot.index), position);
    EditorResponse response;
    response.edit = {RootEdit::Kind::Replace, editor.selectedRoot, editor.selectedAsSeen};
    response.switchToCustom = true;
    response.redraw = true;
    response.showMarker = false;
    return response;
}
