#pragma once

// The invariants the stress driver checks on the real window. Each check
// returns "" when it holds, else "tag: detail", the tag naming the invariant
// so that a shrunk sequence can be required to break the same one.

#include <string>

// The filter record, the model and its controls, the cursor.
std::string checkState();

// The roots the z-plane view last drew are the filter's, except while the
// display may lag behind for a reason the program accepts.
std::string checkShownRoots();

// Call after every input event: follows what the z-plane view has drawn, so
// that the display check knows where marks may have been left.
void observeDrawnRoots();

// True when the display must equal a fresh full paint: it shows the current
// roots, and every mark of them and of the roots the last redraw erased lies
// inside zPlaneRect. Marks drawn outside it leave pixels that only a full
// paint clears, which the program accepts.
bool displayCheckable();

// The panes and the z-plane of the window's surface against a fresh full
// paint of the same state. Leaves the view's drawn copies, row arrays and
// marker column as the window's last drawing left them.
std::string checkDisplay();

// When not empty, where checkDisplay saves both images of a difference, as
// this path followed by "-shown.png" and "-full-paint.png".
extern std::string displayImages;
