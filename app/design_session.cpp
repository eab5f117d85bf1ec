#include "app/design_session.h"

#include "model/designs.h"
#include "model/slider_positions.h"
#include "res/resource_ids.h"

#include <algorithm>

namespace {

// Merge keys: the key steps of one slider in a row become one step.
constexpr int CUTOFF_STEPS = 0;
constexpr int Q_STEPS = 1;

DesignChanges differences(const ShownState& a, const ShownState& b)
{
    const DocumentDifference difference = documentDifference(a.document, b.document);
    DesignChanges what;
    what.setFlag(DesignChange::Roots, difference.roots);
    what.setFlag(DesignChange::Model, difference.model);
    what.setFlag(DesignChange::Positions, difference.positions);
    what.setFlag(DesignChange::Rate, difference.rate);
    what.setFlag(DesignChange::Marker, a.cutoffMarkerVisible != b.cutoffMarkerVisible);
    return what;
}

// "Custom" never shows the Q controls; the designs leave the flag set.
void keepQHiddenInCustom(FilterState& filter)
{
    if (filter.modelIndex == MODEL_CUSTOM)
        filter.qVisible = false;
}

QString stepText(const char* name) { return QString::fromUtf8(name); }

// The cutoff that the rate and the cutoff slider give, and the model's design
// for it; "Custom" keeps its roots.
void redesign(ShownState& state)
{
    Document& document = state.document;
    FilterState& filter = document.filter;
    filter.cutoff = cutoffAtPosition(filter.nyquist, filter.lowestFrequency, document.cutoffPosition);
    applyModel(filter);
    keepQHiddenInCustom(filter);
}

std::size_t listIndex(RootListKind list) { return list == RootListKind::Poles ? 1 : 0; }

}  // namespace

DesignSession::DesignSession(QObject* parent)
    : QObject(parent), history_([this](const ShownState& state) { putInPlace(state, DesignChange::Restored); })
{
    shown_.document = designedDocument(0, 44100, 1000, 0);
    saved_ = shown_.document;
    gestureBefore_ = shown_;
}

// The step is recorded before the views hear of the change, and only when
// no gesture was open as the edit began: a gesture that a view ends while it
// follows this change (a slider hidden under its drag) takes the edit into
// its own step.
void DesignSession::commit(const ShownState& next, const QString& stepName, int mergeKey)
{
    if (next == shown_)
        return;
    if (openGestures_ == 0)
        history_.record(stepName, shown_, next, mergeKey);
    putInPlace(next, {});
}

// Everything that differs is announced at once, after the state is in place,
// so that every view reads the state it is told about.
void DesignSession::putInPlace(const ShownState& next, DesignChanges also)
{
    const bool wasUnsaved = hasUnsavedChanges();
    DesignChanges what = differences(shown_, next) | also;
    shown_ = next;
    what.setFlag(DesignChange::Saved, wasUnsaved != hasUnsavedChanges());
    emit changed(what);
}

void DesignSession::chooseModel(int model)
{
    ShownState next = shown_;
    FilterState& filter = next.document.filter;
    filter.modelIndex = std::clamp(model, 0, MODEL_CUSTOM);
    if (filter.modelIndex != MODEL_CUSTOM) {
        applyModel(filter);
        next.cutoffMarkerVisible = true;
    }
    keepQHiddenInCustom(filter);
    commit(next, stepText(STEP_CHANGE_MODEL));
}

void DesignSession::setSampleRate(int rate)
{
    ShownState next = shown_;
    next.document.sampleRate = rate;
    next.document.filter.nyquist = rate / 2.0;
    // A new rate in "Custom" keeps the roots and the hidden Q controls.
    redesign(next);
    commit(next, stepText(STEP_CHANGE_RATE));
}

void DesignSession::setCutoffPosition(int position)
{
    ShownState next = shown_;
    next.document.cutoffPosition = position;
    redesign(next);
    next.cutoffMarkerVisible = true;
    commit(next, stepText(STEP_CHANGE_CUTOFF), CUTOFF_STEPS);
}

void DesignSession::setQPosition(int position)
{
    ShownState next = shown_;
    next.document.qPosition = position;
    next.document.filter.q = qAtPosition(position);
    redesign(next);
    next.cutoffMarkerVisible = true;
    commit(next, stepText(STEP_CHANGE_Q), Q_STEPS);
}

void DesignSession::editRoots(const RootEdit& edit, bool toCustom, bool showMarker, const QString& stepName)
{
    ShownState next = shown_;
    FilterState& filter = next.document.filter;
    applyRootEdit(filter, edit);
    if (toCustom) {
        filter.modelIndex = MODEL_CUSTOM;
        keepQHiddenInCustom(filter);
    }
    next.cutoffMarkerVisible = showMarker;
    commit(next, stepName);
}

void DesignSession::setRootPosition(RootListKind list, int index, Complex position)
{
    const RootList* roots = rootList(filter(), list);
    if (roots == nullptr || index < 0 || index >= roots->count || index >= MAX_ROOTS)
        return;
    const RootEdit edit{RootEdit::Kind::Replace, {list, index}, typedRoot(roots->root(index), position)};
    editRoots(edit, true, false, stepText(STEP_MOVE_ROOT[listIndex(list)]));
}

void DesignSession::replaceDesign(const Document& document, const QString& stepName)
{
    commit({document, true}, stepName);
}

void DesignSession::beginGesture(Gesture gesture)
{
    if (openGestures_ == 0)
        gestureBefore_ = shown_;
    openGestures_ |= static_cast<unsigned>(gesture);
}

void DesignSession::endGesture(Gesture gesture, const QString& stepName)
{
    const unsigned bit = static_cast<unsigned>(gesture);
    if ((openGestures_ & bit) == 0)
        return;
    openGestures_ &= ~bit;
    if (openGestures_ == 0)
        history_.record(stepName, gestureBefore_, shown_);
}

void DesignSession::undo()
{
    if (openGestures_ == 0)
        history_.undo();
}

void DesignSession::redo()
{
    if (openGestures_ == 0)
        history_.redo();
}

void DesignSession::open(const Document& document, const QString& path)
{
    const ShownState next{document, true};
    DesignChanges what = differences(shown_, next) | DesignChange::Restored;
    what.setFlag(DesignChange::File, path != filePath_);
    what.setFlag(DesignChange::Saved, hasUnsavedChanges());
    filePath_ = path;
    saved_ = document;
    shown_ = next;
    history_.clear();
    // A drag in progress goes on from the state now shown: its step must
    // not lead back to a state that the cleared history held.
    gestureBefore_ = shown_;
    emit changed(what);
}

void DesignSession::markSaved(const QString& path)
{
    const bool wasUnsaved = hasUnsavedChanges();
    DesignChanges what;
    what.setFlag(DesignChange::File, path != filePath_);
    filePath_ = path;
    saved_ = shown_.document;
    what.setFlag(DesignChange::Saved, wasUnsaved);
    if (what)
        emit changed(what);
}
