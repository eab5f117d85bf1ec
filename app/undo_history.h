#pragma once

#include "model/document.h"

#include <QString>
#include <QUndoStack>

#include <functional>

// What an undo step puts back: the document, and whether the response shows
// the cutoff marker, the one part of the picture the document does not say.
struct ShownState {
    Document document;
    bool cutoffMarkerVisible = true;
};

bool operator==(const ShownState& a, const ShownState& b);

// The user's gestures as undo steps, each holding the whole state before and
// after it (a document is small), so that undo and redo never recompute a
// design and show exactly what was shown.
//
// Steps recorded with the same merge key, with no other step, undo or redo
// between them, become one step: the key steps of one slider.
class UndoHistory {
public:
    // Far more than a session's worth of gestures, within a few megabytes.
    static constexpr int STEP_LIMIT = 10000;
    static constexpr int NO_MERGE = -1;

    // restore puts a state in place and shows it; every undo and every redo
    // after the first of a step go through it.
    explicit UndoHistory(std::function<void(const ShownState&)> restore);

    // One step named text from before to after, which is already shown.
    // Nothing is recorded when the two are equal; a step merged into the
    // one before that then equals its own start is dropped.
    void record(const QString& text, const ShownState& before, const ShownState& after, int mergeKey = NO_MERGE);

    void undo();
    void redo();
    // Forgets every step: a state that no step leads to has been opened.
    void clear();

    QUndoStack& stack() { return stack_; }
    const QUndoStack& stack() const { return stack_; }

private:
    // Before the stack: its steps refer to it.
    std::function<void(const ShownState&)> restore_;
    QUndoStack stack_;
    // The step on top that the next step of its merge key joins, while
    // nothing else has happened to the history since it was recorded.
    const QUndoCommand* openStep_ = nullptr;
};
