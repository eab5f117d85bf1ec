#pragma once

class DesignSession;
class QMainWindow;
class QMenu;

// The Listen dock: a QDockWidget (title "Listen", object name "listenDock")
// holding the window's one ListenPanel, on the right of the window and
// closed at start. "&Listen" (Ctrl+L, checkable) in viewMenu shows and hides
// it. The panel follows the session's changed() from now on: every new
// design, rate or state put in place reaches the sound, whether the dock is
// open or not, so that Play always plays what the window shows. Hiding the
// dock leaves the sound as it is. The window offers no pop-up of its docks:
// the View menu shows and hides them.
//
// The dock, the panel and, once Play is first pressed, the audio output
// belong to window and go with it; a window destroyed while it plays fades
// the sound out.
void installListenDock(QMainWindow& window, QMenu& viewMenu, DesignSession& session);
