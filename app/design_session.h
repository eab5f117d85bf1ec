#pragma once

#include "app/undo_history.h"
#include "model/document.h"
#include "model/root_edits.h"

#include <QFlags>
#include <QObject>
#include <QString>

// What a change of the design touched. Views redraw only what they show of it.
enum class DesignChange : unsigned {
    Roots = 0x01,      // zeros, poles or gain: what the plots draw
    Model = 0x02,      // the model index or whether the Q controls show
    Positions = 0x04,  // the slider positions and the cutoff and Q they give
    Rate = 0x08,       // the sample rate, and with it Nyquist
    Marker = 0x10,     // whether the response shows the cutoff marker
    File = 0x20,       // the design file the design belongs to
    Saved = 0x40,      // whether the design differs from the one last saved or opened
    Restored = 0x80,   // put in place as a whole (undo, redo, open): views show it afresh
};
Q_DECLARE_FLAGS(DesignChanges, DesignChange)
Q_DECLARE_OPERATORS_FOR_FLAGS(DesignChanges)

// Gestures of the user's that span many events and make one undo step: a
// drag of a root from press to release, a mouse drag of either slider.
enum class Gesture : unsigned { RootDrag = 0x1, CutoffDrag = 0x2, QDrag = 0x4 };

// The one owner of the design the window studies: the document, whether the
// response shows the cutoff marker, the design file it belongs to, the copy
// last saved or opened and the undo history.
//
// Every change of the design goes through one of the named edits below. An
// edit that changes something records one undo step (named by the STEP_
// texts) and then emits changed() once with what it touched; an edit that
// changes nothing records nothing and emits nothing. Views follow changed()
// and read what they show from here; no view is called by the code that made
// a change.
//
// While a gesture is open, edits record no steps of their own: the step of
// the gestures spans everything from the start of the first to the end of
// the last, so that a change made under a drag (a key on a slider, a rate
// command) belongs to the drag's step. Undo and redo do nothing then.
class DesignSession : public QObject {
    Q_OBJECT

public:
    // The default design: model 0 at 44100 Hz, cutoff slider at 1000, Q
    // slider at 0, marker shown, no file.
    explicit DesignSession(QObject* parent = nullptr);

    const Document& document() const { return shown_.document; }
    const FilterState& filter() const { return shown_.document.filter; }
    bool cutoffMarkerVisible() const { return shown_.cutoffMarkerVisible; }
    // What an undo step keeps: the document and the marker.
    const ShownState& shownState() const { return shown_; }

    // The design file the document belongs to; empty for none.
    const QString& filePath() const { return filePath_; }
    // The document differs from the one last saved or opened.
    bool hasUnsavedChanges() const { return !(shown_.document == saved_); }

    const UndoHistory& history() const { return history_; }
    bool gestureInProgress() const { return openGestures_ != 0; }

    // A model of the combo box: its design, with the marker shown; "Custom"
    // keeps the roots. Either way the Q controls show only where the model
    // has a Q.
    void chooseModel(int model);
    // A rate of the rate menu (Hz): Nyquist, the cutoff from its slider
    // position and the model's design follow; "Custom" keeps its roots.
    void setSampleRate(int rate);
    // A slider moved to position: the cutoff or Q it gives, the design, the
    // marker shown. Outside a gesture each is a step of its own, joined to
    // the same slider's steps just before.
    void setCutoffPosition(int position);
    void setQPosition(int position);

    // An edit of the roots by the root editor: the edit carried out, the
    // model made "Custom" when toCustom, the marker as showMarker says;
    // stepName names the step when no gesture spans it.
    void editRoots(const RootEdit& edit, bool toCustom, bool showMarker, const QString& stepName);
    // A root moved exactly to a typed position (a pair takes both parts, a
    // single root the real part): as a drag does, the gain is normalised,
    // the model becomes "Custom" and the marker hides. A slot the list does
    // not hold changes nothing.
    void setRootPosition(RootListKind list, int index, Complex position);
    // A whole new design in place of the current one, as one step named
    // stepName, with the marker shown; it belongs to the file as before,
    // unsaved.
    void replaceDesign(const Document& document, const QString& stepName);

    // Gestures: begin when one starts, end when it ends. The step is
    // recorded, named stepName, when the last open gesture ends. Beginning
    // one that is open, or ending one that is not, does nothing.
    void beginGesture(Gesture gesture);
    void endGesture(Gesture gesture, const QString& stepName);

    // The state before the last step, or after the next one.
    void undo();
    void redo();

    // A design opened from path (empty: none): the saved copy, with the
    // marker shown, and a history started afresh, since no step leads from
    // the states before to it. A gesture in progress goes on from it.
    void open(const Document& document, const QString& path);
    // The design has been saved to path.
    void markSaved(const QString& path);

signals:
    void changed(DesignChanges what);

private:
    void commit(const ShownState& next, const QString& stepName, int mergeKey = UndoHistory::NO_MERGE);
    void putInPlace(const ShownState& next, DesignChanges also);

    ShownState shown_;
    Document saved_;
    QString filePath_;
    unsigned openGestures_ = 0;
    // The state the open gestures began from.
    ShownState gestureBefore_;
    UndoHistory history_;
};
