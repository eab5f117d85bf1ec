#pragma once

#include "model/filter_state.h"
#include "view/geometry.h"

#include <cstdint>

// Editing poles and zeros with the mouse in the z-plane pane. The editor
// decides; the window applies what each handler's EditorResponse asks for
// (cursor, mouse grab, switch to "Custom", pop-up menu, redraw), so that all
// of this runs and is tested without a window.

enum class CursorKind { Arrow, Hand, Bin };

// One root slot: a list of filterState (zeros or poles) and an index 0 … 19.
// The selection can outlive its root (a delete or a new design can drop the
// slot below the list's count); such a stale slot is never read or moved.
struct SelectedRoot {
    RootList* list = nullptr;  // none selected yet
    int index = 0;
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

    // The roots and the z-plane geometry that the last hover's hit test
    // saw. Once either has changed, a press tests again where it lands.
    struct HoverBasis {
        RootList zeros;
        RootList poles;
        int centreX = 0;
        int centreY = 0;
        double scale = 0.0;
    } hoverBasis;
};

extern RootEditor rootEditor;

// Back to the start-up state.
void resetRootEditor();

// The pop-up menu of a root: "Delete", a separator, "Single real" and
// "Double complex conjugate". The item of the root's current kind carries the
// check mark and the id that does nothing.
struct RootMenu {
    int deleteId = 0;
    int singleId = 0;
    bool singleChecked = false;
    int pairId = 0;
    bool pairChecked = false;
};

// What the window must do after a handler, in this order: switch the model to
// "Custom", grab or release the mouse, set the cursor, open the menu, redraw.
struct EditorResponse {
    bool switchToCustom = false;
    bool grabMouse = false;
    bool releaseMouse = false;
    bool setCursor = false;
    CursorKind cursor = CursorKind::Arrow;
    bool openMenu = false;
    RootMenu menu;
    bool redraw = false;
    bool showMarker = false;  // for the redraw
};

// Operations on the root lists, in z-plane units; positions from pixels use
// zPlaneCentreX, zPlaneCentreY and zPlaneScale of the last drawZPlane.
// moveSelectedRoot takes the pixel offset from pressPoint in 64 bits: the
// difference of two client coordinates need not fit an int.
double findNearestRoot(double re, double im);
bool hitTestRoot(int x, int y);
void moveSelectedRoot(std::int64_t dx, std::int64_t dy);
bool addRootFromPalette(int cell, int x, int y);
void deleteSelectedRoot();
bool selectedPairFlag();
void setSelectedPairFlag(bool pair);

// Event handlers; positions are signed client pixels. handleContextMenu takes
// the request's point already converted to client pixels.
EditorResponse handleMouseMove(int x, int y);
EditorResponse handleLeftButtonDown(int x, int y);
EditorResponse handleLeftButtonUp();
EditorResponse handleContextMenu(int clientX, int clientY);
EditorResponse handleRootCommand(int id);
