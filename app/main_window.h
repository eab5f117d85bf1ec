#pragma once

#include "app/client_area.h"
#include "app/control_panel.h"
#include "app/undo_history.h"
#include "model/document.h"
#include "res/resource_ids.h"
#include "view/fonts.h"

#include <QMainWindow>

#include <iterator>
#include <memory>
#include <optional>

class QAction;
class QCloseEvent;
class QScreen;
class QString;
class ReadoutBar;

// The one top-level window: title, menus, shortcuts, the client area with
// its controls, and the two redraw operations every interactive change ends
// with. It owns the document, the display's fonts, the cursors, the rate
// actions, the client area and the control panel; those report to it through
// their callbacks and know nothing of it.
class MainWindow : public QMainWindow {
public:
    // The window with the default filter, laid out for screen; not yet shown.
    explicit MainWindow(QScreen* screen);
    ~MainWindow() override;

    // Every menu, shortcut and pop-up menu command goes through here.
    void handleCommand(int id);

    // The partial redraw after an interactive change, shown without clearing
    // the window.
    void redrawPlots(bool showMarker);

    // applyModel, then redrawPlots with the cutoff marker shown.
    void applyAndRedraw();

    // Sets Nyquist to half the sample rate, derives the cutoff from the
    // cutoff slider, rewrites its label and applies the model. Redraws nothing.
    void updateCutoff(double sampleRate);

    // Any user movement of either slider.
    void handleSliderScroll(const QSlider* slider);

    // A model chosen by the user in the combo box.
    void handleModelSelection();

    void updateControlVisibility();

    // Shows "Custom" without recomputing or redrawing the filter.
    void switchToCustom();

    // Puts document in place as it stands (no design is re-run), sets every
    // control and the rate menu from it and shows a full paint, with the
    // cutoff marker as showMarker says. Undo, redo and opening a file end
    // here.
    void setDocument(const Document& document, bool showMarker);

    // Shows in the status bar what lies under the pointer, or the filter's
    // summary; every change of the pointer's place or of the filter ends here.
    void updateReadout();

    // The readout's newest text; the bar shows it by the next refresh.
    QString readoutText() const;
    ReadoutBar& readoutBar() { return *readout_; }

    // Every change of the document by the user ends here, after the change
    // is drawn: the title follows whether anything is unsaved.
    void documentChanged();

    // Where a new state is opened, from a file or as the start of a session:
    // shows document as setDocument does, with the marker, and takes it as
    // the saved state of path (empty: no file).
    void openState(const Document& document, const QString& path);

    // The file commands without their dialogs. Each returns "" on success,
    // else the message the window would show, which names the file and the
    // problem; a refused open or a failed save changes nothing in the window
    // nor in any file.
    QString openDesignFile(const QString& path);
    QString saveDesignFile(const QString& path);
    QString exportCoefficients(const QString& path);
    QString exportPicture(const QString& path);
    void copyCoefficients();

    // openDesignFile with the message shown in a box on refusal.
    void openDesign(const QString& path);

    // The design file the window's document belongs to; empty for none.
    const QString& filePath() const { return filePath_; }
    // The document differs from the one last saved or opened.
    bool hasUnsavedChanges() const { return !(document_ == savedDocument_); }

    // What an undo step keeps of the window: the document and the marker.
    ShownState shownState() const;

    // Ends every gesture of the user's that can change the document: one
    // undo step named text (one of the STEP_ names) from before, taken with
    // shownState() when the gesture began, to what the window shows now.
    // A gesture that changed nothing records nothing. Steps with the same
    // merge key and nothing else between them become one. Under a drag of a
    // root or a slider nothing is recorded: the drag's own step spans it.
    void recordGesture(const QString& text, const ShownState& before, int mergeKey = UndoHistory::NO_MERGE);

    // Show the state before the last step, or after the next one; nothing
    // while a drag of a root or a slider is in progress.
    void undo();
    void redo();
    // Forgets every undo step, for a state that none of them leads to.
    void clearHistory();
    const UndoHistory& history() const { return history_; }

    // Keeps the user from sizing the window below 620 × 420, frame included;
    // the frame is known only once the window is shown.
    void updateMinimumWindowSize();

    const Document& document() const { return document_; }
    // The filter the window studies; tests and the stress driver set it up.
    FilterState& filter() { return document_.filter; }
    const Fonts& fonts() const { return fonts_; }
    const Cursors& cursors() const { return cursors_; }
    ClientArea* clientArea() const { return clientArea_; }
    const ControlPanel& controls() const { return controls_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void prepareForRatio(const QScreen* screen, double ratio);
    void createMenus();
    void createShortcuts();
    void sampleRateCommand(int id);
    void openCommand();
    bool saveCommand();
    bool saveAsCommand();
    void exportCoefficientsCommand();
    void exportPictureCommand();
    bool mayClose();
    void showProblem(const QString& message);
    void updateTitle();
    QString dialogFolder() const;
    QString askSavePath(const QString& title, const QString& start, const char* filter, const char* suffix);
    bool reported(const QString& problem);
    void updateUndoActions();
    bool dragInProgress() const;

    Document document_;
    Document savedDocument_;
    QString filePath_;
    Fonts fonts_;
    Cursors cursors_;
    QAction* rateActions_[std::size(RATE_COMMANDS)] = {};
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    UndoHistory history_;
    // Where the root edit in progress began.
    ShownState editBefore_;
    // Where the mouse drag of a slider in progress began.
    std::optional<ShownState> sliderDragBefore_;
    ControlPanel controls_;
    ClientArea* clientArea_ = nullptr;  // a child: the window deletes it
    ReadoutBar* readout_ = nullptr;     // in the status bar, which the window deletes
};

// Creates and shows a window with the default filter on the primary screen,
// with the keyboard focus in the client area; null without a screen. A file
// named is opened in it, and a bad one refused in a message box, which
// leaves the default filter. The window must go before the QApplication
// does.
std::unique_ptr<MainWindow> createMainWindow(const QString& file = {});

// Creates and shows the window with the file, runs the event loop until the
// window is closed and deletes the window. The program's exit code: always
// 0, also when no window can be created.
int runMainWindow(const QString& file = {});
