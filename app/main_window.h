#pragma once

class QCursor;
class QMainWindow;

// The one top-level window: title, menus, shortcuts, the client area with
// its controls, and the two redraw operations every interactive change ends
// with.

extern QMainWindow* mainWindow;

// The pointer's shapes, loaded with the window and freed with it: the system
// arrow, the pointing hand over a root or the palette, the bin over a
// deleting drop.
extern const QCursor* arrowCursor;
extern const QCursor* handCursor;
extern const QCursor* binCursor;

// Creates and shows the main window with the default filter; false when it
// cannot be created.
bool createMainWindow();

// Deletes the window with everything in it, its cursors and the display's
// fonts, while the QApplication still exists; no pointer to any of them is
// left behind. Does nothing without a window.
void destroyMainWindow();

// Keeps the user from sizing the window below 620 × 420, frame included;
// the frame is known only once the window is shown.
void updateMinimumWindowSize();

// Creates the window, runs the event loop until the window is closed and
// destroys the window.
// The program's exit code: always 0, also when no window can be created.
int runMainWindow();

// Every menu, shortcut and pop-up menu command goes through here.
void handleCommand(int id);

// The partial redraw after an interactive change, shown without clearing the
// window.
void redrawPlots(bool showMarker);

// applyModel, then redrawPlots with the cutoff marker shown.
void applyAndRedraw();
