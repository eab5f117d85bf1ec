#pragma once

#include "app/design_session.h"
#include "res/resource_ids.h"

#include <QMainWindow>

#include <iterator>
#include <memory>

class ClientArea;
class FileCommands;
class QAction;
class QCloseEvent;
class QScreen;
class QShowEvent;
class QString;
class ReadoutBar;

// The one top-level window: the menus with their actions, the shortcuts, the
// client area, the status bar's readout and the title. It owns the design
// session, which every part of the window follows, and wires the actions to
// the session, the client area and the file commands.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // The window with the default design, laid out for screen; not yet shown.
    explicit MainWindow(QScreen* screen);
    ~MainWindow() override;

    // The design the window shows; every view of it follows its changes.
    DesignSession& session() { return session_; }
    const DesignSession& session() const { return session_; }

    // Opens a design file, showing a refusal in a message box.
    void openDesign(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createMenus();
    void createShortcuts();
    void follow(DesignChanges what);
    void updateTitle();
    void updateUndoActions();
    void updateMinimumWindowSize();

    // First: the window's parts refer to it until they are gone.
    DesignSession session_;
    ClientArea* clientArea_ = nullptr;
    FileCommands* files_ = nullptr;
    ReadoutBar* readout_ = nullptr;
    QAction* rateActions_[std::size(RATE_COMMANDS)] = {};
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
};

// The version of the layouts that saveState gives and restoreState takes;
// a new one makes the window forget layouts saved by an older program.
constexpr int WINDOW_LAYOUT_VERSION = 1;

// Creates and shows a window with the default design on the primary screen,
// with the keyboard focus in the client area; null without a screen. The
// docks take the places layout (from saveState) gives them; without one, or
// with one that is not a layout of this version, they are closed. A file
// named is opened in the window, and a bad one refused in a message box,
// which leaves the default design. The window must go before the
// QApplication does.
std::unique_ptr<MainWindow> createMainWindow(const QString& file = {}, const QByteArray& layout = {});

// Creates and shows the window with the file, runs the event loop until the
// window is closed and deletes the window. The program's exit code: always
// 0, also when no window can be created.
int runMainWindow(const QString& file = {});
