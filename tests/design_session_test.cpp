// The design session on its own: every named edit that changes something is
// one undo step and one change signal naming what it touched, checked
// against a comparison of the documents made here field by field; an edit
// that changes nothing records and announces nothing; gestures make one step
// however they nest; undo, redo and open announce a state put in place.

#include "app/design_session.h"
#include "model/designs.h"
#include "model/root_edits.h"
#include "model/slider_positions.h"
#include "res/resource_ids.h"

#include <QSignalSpy>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool sameList(const RootList& a, const RootList& b)
{
    if (a.count != b.count)
        return false;
    for (int i = 0; i < a.count; ++i)
        if (a.pairFlags[i] != b.pairFlags[i] || !same(a.positions[i].re, b.positions[i].re)
            || !same(a.positions[i].im, b.positions[i].im))
            return false;
    return true;
}

// What an edit touched, worked out from the two states field by field.
DesignChanges expectedChanges(const ShownState& a, const ShownState& b)
{
    const FilterState& f = a.document.filter;
    const FilterState& g = b.document.filter;
    DesignChanges what;
    if (!same(f.gain, g.gain) || !sameList(f.zeros, g.zeros) || !sameList(f.poles, g.poles))
        what |= DesignChange::Roots;
    if (f.modelIndex != g.modelIndex || f.qVisible != g.qVisible)
        what |= DesignChange::Model;
    if (a.document.cutoffPosition != b.document.cutoffPosition || a.document.qPosition != b.document.qPosition
        || !same(f.cutoff, g.cutoff) || !same(f.q, g.q))
        what |= DesignChange::Positions;
    if (a.document.sampleRate != b.document.sampleRate || !same(f.nyquist, g.nyquist))
        what |= DesignChange::Rate;
    if (a.cutoffMarkerVisible != b.cutoffMarkerVisible)
        what |= DesignChange::Marker;
    return what;
}

class DesignSessionTest : public testing::Test {
protected:
    DesignSession session;
    QSignalSpy spy{&session, &DesignSession::changed};

    int steps() const { return session.history().stack().index(); }
    DesignChanges lastChange() const { return spy.last().at(0).value<DesignChanges>(); }

    // Runs edit and checks that it is one step and one signal naming
    // exactly what differs, plus unsaved when it differs from the saved
    // state for the first time.
    void expectOneStep(const std::string& name, const std::function<void()>& edit)
    {
        SCOPED_TRACE(name);
        const ShownState before = session.shownState();
        const bool unsavedBefore = session.hasUnsavedChanges();
        const int stepsBefore = steps();
        spy.clear();
        edit();
        ASSERT_EQ(spy.count(), 1);
        DesignChanges expected = expectedChanges(before, session.shownState());
        if (session.hasUnsavedChanges() != unsavedBefore)
            expected |= DesignChange::Saved;
        EXPECT_NE(expected, DesignChanges());
        EXPECT_EQ(lastChange(), expected);
        EXPECT_EQ(steps(), stepsBefore + 1);

        // The same edit again finds nothing to change.
        spy.clear();
        edit();
        EXPECT_EQ(spy.count(), 0);
        EXPECT_EQ(steps(), stepsBefore + 1);
    }
};

TEST_F(DesignSessionTest, EveryNamedEditIsOneStepAndOneSignal)
{
    EXPECT_EQ(session.document(), designedDocument(0, 44100, 1000, 0));
    EXPECT_TRUE(session.cutoffMarkerVisible());
    expectOneStep("model", [this] { session.chooseModel(4); });
    expectOneStep("rate", [this] { session.setSampleRate(96000); });
    EXPECT_EQ(session.filter().nyquist, 48000.0);
    expectOneStep("cutoff", [this] { session.setCutoffPosition(1500); });
    EXPECT_EQ(session.filter().cutoff, cutoffAtPosition(48000.0, 10.0, 1500));
    // Key steps of one slider in a row make one step.
    const int before = steps();
    session.setCutoffPosition(1501);
    EXPECT_EQ(steps(), before);
    EXPECT_EQ(session.history().stack().undoText(), QString::fromUtf8(STEP_CHANGE_CUTOFF));
    expectOneStep("Q", [this] { session.setQPosition(700); });
    EXPECT_EQ(session.filter().q, qAtPosition(700));
    EXPECT_EQ(session.document(), designedDocument(4, 96000, 1501, 700));

    const Complex pole = session.filter().poles.positions[0];
    expectOneStep("typed", [this, pole] { session.setRootPosition(RootListKind::Poles, 0, {pole.re * 0.5, 0.25}); });
    EXPECT_EQ(session.filter().modelIndex, MODEL_CUSTOM);
    EXPECT_FALSE(session.filter().qVisible);
    EXPECT_FALSE(session.cutoffMarkerVisible());
    EXPECT_EQ(session.history().stack().undoText(), QString::fromUtf8(STEP_MOVE_ROOT[1]));

    const RootEdit add{RootEdit::Kind::Add, {RootListKind::Zeros, 0}, {{0.5, 0.0}, false}};
    spy.clear();
    session.editRoots(add, true, true, QStringLiteral("Add Zero"));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(lastChange(), DesignChanges(DesignChange::Roots | DesignChange::Marker));
    // Done twice, the second finds the slot gone and changes nothing.
    const int last = session.filter().zeros.count - 1;
    expectOneStep("delete", [this, last] {
        session.editRoots({RootEdit::Kind::Delete, {RootListKind::Zeros, last}, {}}, true, true, "Delete Zero");
    });

    Document imported = designedDocument(MODEL_CUSTOM, 48000, 0, 0);
    imported.filter.zeros.count = 0;
    expectOneStep("replace", [this, &imported] { session.replaceDesign(imported, QStringLiteral("Import")); });
    EXPECT_EQ(session.document(), imported);

    // Nothing changes: a slot that does not exist, the rate and model shown.
    spy.clear();
    const int stepsNow = steps();
    session.setRootPosition(RootListKind::Poles, 7, {0.1, 0.1});
    session.setRootPosition(RootListKind::None, 0, {0.1, 0.1});
    session.setSampleRate(48000);
    session.chooseModel(MODEL_CUSTOM);
    session.editRoots({}, true, true, QString());
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(steps(), stepsNow);
}

TEST_F(DesignSessionTest, UndoRedoAndOpenPutAStateInPlace)
{
    session.chooseModel(1);
    session.setSampleRate(48000);
    const ShownState second = session.shownState();
    spy.clear();
    session.undo();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(lastChange() & DesignChange::Restored);
    EXPECT_TRUE(lastChange() & DesignChange::Rate);
    EXPECT_EQ(session.document().sampleRate, 44100);
    session.redo();
    EXPECT_EQ(spy.count(), 2);
    EXPECT_TRUE(session.shownState() == second);

    // Opening: the saved copy, a new file, no history, no unsaved change.
    const Document opened = designedDocument(3, 192000, 10, 20);
    spy.clear();
    session.open(opened, QStringLiteral("/tmp/a.vorbel"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(lastChange(), DesignChanges(expectedChanges(second, {opened, true}) | DesignChange::Restored
                                          | DesignChange::File | DesignChange::Saved));
    EXPECT_EQ(steps(), 0);
    EXPECT_FALSE(session.hasUnsavedChanges());
    session.chooseModel(4);
    EXPECT_TRUE(session.hasUnsavedChanges());
    EXPECT_TRUE(lastChange() & DesignChange::Saved);
    session.chooseModel(2);
    EXPECT_FALSE(lastChange() & DesignChange::Saved);
    spy.clear();
    session.markSaved(QStringLiteral("/tmp/b.vorbel"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(lastChange(), DesignChanges(DesignChange::File | DesignChange::Saved));
    session.markSaved(QStringLiteral("/tmp/b.vorbel"));
    EXPECT_EQ(spy.count(), 1);
}

// A slider drag that a root drag interrupts, as when a press on a root hides
// the slider held by the mouse: everything from the start of the first
// gesture to the end of the last is one step, and undo goes back to where
// the first began. A view that ends a gesture while it follows an edit (the
// hidden slider's release) takes that edit into the gesture's step.
TEST_F(DesignSessionTest, GesturesMakeOneStepHoweverTheyNest)
{
    session.chooseModel(1);
    const ShownState start = session.shownState();
    const int stepsBefore = steps();

    session.beginGesture(Gesture::CutoffDrag);
    session.setCutoffPosition(386);
    session.setCutoffPosition(400);
    EXPECT_EQ(steps(), stepsBefore);
    session.undo();  // nothing is undone under a gesture
    EXPECT_EQ(session.document().cutoffPosition, 400);

    const QMetaObject::Connection hiding = QObject::connect(&session, &DesignSession::changed, [this] {
        if (session.filter().modelIndex == MODEL_CUSTOM)
            session.endGesture(Gesture::CutoffDrag, QString::fromUtf8(STEP_CHANGE_CUTOFF));
    });
    session.beginGesture(Gesture::RootDrag);
    session.editRoots({}, true, true, QString());
    QObject::disconnect(hiding);
    const Complex pole = session.filter().poles.positions[0];
    session.editRoots({RootEdit::Kind::Replace, {RootListKind::Poles, 0}, {{pole.re - 0.1, pole.im}, true}}, false,
                      false, QString());
    EXPECT_EQ(steps(), stepsBefore);
    session.endGesture(Gesture::RootDrag, QString::fromUtf8(STEP_MOVE_ROOT[1]));
    EXPECT_EQ(steps(), stepsBefore + 1);
    EXPECT_EQ(session.history().stack().undoText(), QString::fromUtf8(STEP_MOVE_ROOT[1]));

    session.undo();
    EXPECT_TRUE(session.shownState() == start);
    EXPECT_EQ(session.document().cutoffPosition, 1000);

    // A model chosen while a slider is held (the keys reach the combo box):
    // the follower that hides the slider ends its drag, and the model's
    // change belongs to that drag's step.
    session.beginGesture(Gesture::CutoffDrag);
    session.setCutoffPosition(100);
    const QMetaObject::Connection hidingAgain = QObject::connect(&session, &DesignSession::changed, [this] {
        if (session.filter().modelIndex == MODEL_CUSTOM)
            session.endGesture(Gesture::CutoffDrag, QString::fromUtf8(STEP_CHANGE_CUTOFF));
    });
    const int stepsNow = steps();
    session.chooseModel(MODEL_CUSTOM);
    QObject::disconnect(hidingAgain);
    EXPECT_EQ(steps(), stepsNow + 1);
    session.undo();
    EXPECT_TRUE(session.shownState() == start);

    // Opening a design under a gesture: its step starts from what was opened.
    session.beginGesture(Gesture::RootDrag);
    const Document opened = designedDocument(2, 44100, 500, 500);
    session.open(opened, QString());
    session.setSampleRate(48000);
    session.endGesture(Gesture::RootDrag, QString::fromUtf8(STEP_MOVE_ROOT[0]));
    ASSERT_EQ(steps(), 1);
    session.undo();
    EXPECT_EQ(session.document(), opened);
}

}  // namespace
