#pragma once

#include "model/filter_state.h"
#include "model/root_edits.h"
#include "view/geometry.h"
#include "view/zplane_view.h"

#include <cstdint>
#include <optional>

// Editing poles and zeros with the mouse in the z-plane pane. The editor
// decides; the window carries out what each handler's EditorResponse asks for
// (cursor, an edit of the roots with a switch to "Custom", pop-up menu,
// redraw), so that all of this runs and is tested without a window. Every
// decision is a plain function of the editor's own state, the filter it
// reads, what the window shows (EditorView) and the event. The editor never
// writes the filter: it hands out RootEdit values, which the filter's owner
// carries out before the next event reaches the editor.

enum class CursorKind { Arrow, Hand, Bin };

// The selected root's slot; RootListKind::None while nothing is selected.
// The selection can outlive its root (a delete or a new design can drop the
// slot below the list's count); such a stale slot is never read or moved.
using SelectedRoot = RootSlot;

// What the editor needs of the window's views: where the z-plane was last
// drawn, the pane and palette rectangles of the layout, and whether the
// response shows its cutoff marker (a redraw keeps it as it is).
struct EditorView {
    ZPlaneGeometry geometry;
    Rect zPlaneRect;
    Rect paletteRect;
    bool cutoffMarkerVisible = true;
};

struct RootEditor {
    bool hovering = false;     // the last movement outside a drag pointed at a root or the palette
    bool dragging = false;     // a drag is in progress; the mouse is grabbed
    bool outside = false;      // the last drag position lay outside zPlaneRect: a release deletes
    bool fromPalette = false;  // the drag began on the palette and never left it
    SelectedRoot selectedRoot;
    Complex dragStart;         // the selected root's position when picked up
    bool grabbedAbove = false; // picked up above the real axis: the vertical offset is mirrored
    Point pressPoint;          // client pixel where the left button went down
    Point lastDragPoint;       // the last clamped position applied to the dragged root

    // The z-plane geometry that the last hover's hit test saw, and whether
    // the roots have changed since (the filter's owner says so through
    // noteRootsChanged). Once either has, a press tests again where it lands.
    struct HoverBasis {
        bool rootsChanged = false;
        int centreX = 0;
        int centreY = 0;
        double scale = 0.0;
    } hoverBasis;

    // The selected root as the editor last saw or left it. The selection
    // names a slot, and a slot can come to hold another root: a delete moves
    // the last root into it, a design rewrites it. Such a slot no longer
    // holds the selected root.
    Root selectedAsSeen;

    // A palette press has added a root that no redraw has shown yet.
    bool addedRootUnshown = false;

    // The last hover found a root's mark over the palette within reach: a
    // pair clicked in from the palette is drawn there, above the z-plane,
    // and only this way can it be picked up, its menu opened or deleted.
    bool rootOverPalette = false;
};

// The pop-up menu of a root: "Delete", a separator, "Single real" and
// "Double complex conjugate". The item of the root's current kind carries the
// check mark and the id that does nothing.
struct RootMenu {
    int deleteId = 0;
    int singleId = 0;
    bool singleChecked = false;
    int pairId = 0;
    bool pairChecked = false;
    int positionId = 0;  // "Position…", after the three
};

// What the window must do after a handler, in this order: carry out the edit
// of the roots and switch the model to "Custom" (one change of the design,
// with the cutoff marker as showMarker says when redraw is set, else as it
// is), set the cursor, open the menu or the position dialog. redraw without
// an edit or a switch asks only for the plots to catch up with a root that a
// press added and no redraw has shown yet.
struct EditorResponse {
    RootEdit edit;
    bool switchToCustom = false;
    bool setCursor = false;
    CursorKind cursor = CursorKind::Arrow;
    bool openMenu = false;
    RootMenu menu;
    bool openPositionDialog = false;  // for the selected root; applyTypedPosition takes its result
    bool redraw = false;
    bool showMarker = false;  // for the redraw
};

// The roots of the filter have changed since the editor last looked: a
// design, a sample rate, an undo, an edit.
void noteRootsChanged(RootEditor& editor);

// Operations on the root lists, in z-plane units; positions from pixels use
// the geometry of the last drawZPlane. moveSelectedRoot takes the pixel
// offset from pressPoint in 64 bits: the difference of two client
// coordinates need not fit an int. Those that return an edit leave the
// editor as it is once the edit is carried out; every edit they return
// normalises the gain, a stale selection's included, except a palette add
// that cannot be made (kind None).
double findNearestRoot(RootEditor& editor, const FilterState& filter, double re, double im);
bool hitTestRoot(RootEditor& editor, const FilterState& filter, const ZPlaneGeometry& geometry, int x, int y);
RootEdit moveSelectedRoot(RootEditor& editor, const FilterState& filter, const ZPlaneGeometry& geometry,
                          std::int64_t dx, std::int64_t dy);
RootEdit addRootFromPalette(RootEditor& editor, const FilterState& filter, const ZPlaneGeometry& geometry, int cell,
                            int x, int y);
RootEdit deleteSelectedRoot(RootEditor& editor, const FilterState& filter);
bool selectedPairFlag(const RootEditor& editor, const FilterState& filter);
RootEdit setSelectedPairFlag(RootEditor& editor, const FilterState& filter, bool pair);

// Event handlers; positions are signed client pixels. handleContextMenu takes
// the request's point already converted to client pixels.
EditorResponse handleMouseMove(RootEditor& editor, const FilterState& filter, const EditorView& view, int x, int y);
EditorResponse handleLeftButtonDown(RootEditor& editor, const FilterState& filter, const EditorView& view, int x,
                                    int y);
EditorResponse handleLeftButtonUp(RootEditor& editor, const FilterState& filter, const EditorView& view);
EditorResponse handleContextMenu(RootEditor& editor, const FilterState& filter, const EditorView& view, int clientX,
                                 int clientY);
EditorResponse handleRootCommand(RootEditor& editor, const FilterState& filter, const EditorView& view, int id);

// A double-click of the left button. On a root's mark it selects that root
// and asks for the position dialog; anywhere else it asks for nothing, and the
// window treats it as the press it also is. It never starts a drag, so the
// second click of a pair cannot move or delete the root it opens.
EditorResponse handleDoubleClick(RootEditor& editor, const FilterState& filter, const EditorView& view, int x,
                                 int y);

// A root and the list it lies in.
struct PointedRoot {
    RootListKind list = RootListKind::None;
    Root root;
};

// The selected root while its slot still holds it.
std::optional<PointedRoot> selectedRoot(const RootEditor& editor, const FilterState& filter);

// The root whose mark lies within reach of client pixel (x, y) in the z-plane
// or over the palette, found as a hover there would find it, but changing
// nothing: for showing what the pointer points at.
std::optional<PointedRoot> rootAt(const FilterState& filter, const EditorView& view, int x, int y);

// Where a typed position begins: the selected root's position, a pair by its
// upper root.
std::optional<Complex> typedPositionStart(const RootEditor& editor, const FilterState& filter);

// The edit that moves the selected root exactly to a typed position: a pair
// takes both parts as typed (its mirror follows), a single root the real
// part only. As a drag does, the gain is normalised, the model becomes
// "Custom" and the redraw hides the cutoff marker. Nothing is asked for when
// no root is selected.
EditorResponse applyTypedPosition(RootEditor& editor, const FilterState& filter, Complex position);
