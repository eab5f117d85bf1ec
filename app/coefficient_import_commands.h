#pragma once

class DesignSession;
class QAction;
class QMainWindow;
class QMenu;

// Brings a filter's coefficients in from another tool: "Import
// Coefficients…" in the File menu (a file chosen in a dialog), inserted
// before fileBefore (appended when null), and "Paste Coefficients"
// (Ctrl+Shift+V) appended to the Edit menu (the clipboard's text).
//
// Either makes the text a "Custom" design (app/coefficient_import_file.h),
// at the window's current sample rate unless the text names its own, and
// puts it in place as one undo step named "Import Coefficients" or "Paste
// Coefficients", unsaved. A warning of the import's check shows in the
// window's status bar for a while, over the readout, which comes back when
// it goes. A refused text is shown in a message box that names the file (or
// the clipboard), the line and the problem, and the design stays as it was.
void installCoefficientImport(QMainWindow& window, DesignSession& session, QMenu& fileMenu, QAction* fileBefore,
                              QMenu& editMenu);
