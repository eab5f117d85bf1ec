// Undo and redo on the real main window: every kind of gesture, made as the
// user makes it, is one step that undo takes back and redo makes again, and
// the client surface then holds exactly the pixels it held before or after
// the gesture, the cutoff marker included.

#include "tests/window_driver.h"

#include "app/control_panel.h"
#include "app/undo_history.h"
#include "model/document.h"
#include "res/resource_ids.h"

#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QTest>
#include <QUndoStack>

#include <functional>

class UndoTest : public QObject, public WindowDriver {
    Q_OBJECT

    // A drag of the left button from one client pixel to another in steps.
    void drag(Point from, Point to)
    {
        moveTo(from);
        QTest::mousePress(window(), Qt::LeftButton, {}, at(from));
        settle();
        for (int step = 1; step <= 4; ++step)
            moveTo({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4});
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at(to));
        settle();
    }

    // A click on the root's mark with the right button, then the item of
    // the pop-up menu with this text, clicked.
    void popupCommand(Point mark, const QString& text)
    {
        moveTo(mark);
        bool shown = false;
        clickMenuItemWhenShown(text, &shown);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(mark));
        settle();
        QVERIFY(shown);
    }

    QMenu* menu(int index) { return mainWindow()->menuBar()->actions().at(index)->menu(); }

    QString shownText(int id) { return commandAction(id)->text().remove('&'); }

    const QUndoStack& stack() { return session().history().stack(); }

    QImage surfaceImage() { return clientArea()->surface().image.copy(); }

    // The document the window starts with.
    Document initial_;

    // The window as it started, the marker shown, with no history.
    void startAfresh()
    {
        session().open(initial_, QString());
        settle();
        moveTo({zPlaneRect().right + 5, zPlaneRect().top + 5});
    }

    // Makes the gesture, then checks that it is one step named name, that
    // undo shows the document and pixels from before it and redo those from
    // after it, through the Edit menu's items.
    void checkUndoAndRedo(const char* name, const std::function<void()>& gesture)
    {
        const Document documentBefore = session().document();
        const bool markerBefore = cutoffMarkerVisible();
        const QImage before = surfaceImage();
        const int steps = stack().count();
        gesture();
        settle();
        const Document documentAfter = session().document();
        const bool markerAfter = cutoffMarkerVisible();
        const QImage after = surfaceImage();
        QVERIFY2(!(documentAfter == documentBefore) || markerAfter != markerBefore, name);
        QVERIFY2(stack().count() == steps + 1, name);
        QCOMPARE(shownText(IDM_UNDO), QString("Undo ") + name);
        QVERIFY(commandAction(IDM_UNDO)->isEnabled());

        triggerCommand(IDM_UNDO);
        QVERIFY2(session().document() == documentBefore, name);
        QCOMPARE(cutoffMarkerVisible(), markerBefore);
        QVERIFY2(surfaceImage() == before, name);
        QCOMPARE(shownText(IDM_REDO), QString("Redo ") + name);
        QVERIFY(commandAction(IDM_REDO)->isEnabled());
        // The controls follow the document put back.
        QCOMPARE(controls().modelComboBox->currentIndex(), documentBefore.filter.modelIndex);
        QCOMPARE(controls().cutoffSlider->value(), documentBefore.cutoffPosition);
        QCOMPARE(controls().cutoffSlider->isVisible(), documentBefore.filter.modelIndex != MODEL_CUSTOM);
        QCOMPARE(controls().qSlider->isVisible(), documentBefore.filter.qVisible);

        triggerCommand(IDM_REDO);
        QVERIFY2(session().document() == documentAfter, name);
        QCOMPARE(cutoffMarkerVisible(), markerAfter);
        QVERIFY2(surfaceImage() == after, name);
        QCOMPARE(shownText(IDM_UNDO), QString("Undo ") + name);
        QCOMPARE(controls().modelComboBox->currentIndex(), documentAfter.filter.modelIndex);
        QCOMPARE(controls().qSlider->value(), documentAfter.qPosition);
        moveTo({zPlaneRect().right + 5, zPlaneRect().top + 5});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(openWindow());
        initial_ = session().document();
        mainWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
    }

    void cleanupTestCase() { closeWindow(); }

    void init() { startAfresh(); }

    void theEditMenuStandsBetweenFileAndSampleRate()
    {
        const QList<QAction*> menus = mainWindow()->menuBar()->actions();
        QVERIFY(menus.size() >= 4);
        QCOMPARE(menus.at(0)->text(), QString(MENU_FILE));
        QCOMPARE(menus.at(1)->text(), QString("&Edit"));
        QCOMPARE(menus.at(2)->text(), QString(MENU_VIEW));
        QCOMPARE(menus.at(3)->text(), QString(MENU_SAMPLE_RATE));
        // then a separator, Copy Coefficients, Copy Code and Paste Coefficients
        QCOMPARE(menu(1)->actions().size(), 6);
        QCOMPARE(menu(1)->actions().at(0), commandAction(IDM_UNDO));
        QCOMPARE(menu(1)->actions().at(1), commandAction(IDM_REDO));

        // With nothing to take back or make again, the bare verbs, disabled.
        QCOMPARE(shownText(IDM_UNDO), QString("Undo"));
        QCOMPARE(shownText(IDM_REDO), QString("Redo"));
        QVERIFY(!commandAction(IDM_UNDO)->isEnabled());
        QVERIFY(!commandAction(IDM_REDO)->isEnabled());
        QCOMPARE(commandAction(IDM_UNDO)->shortcut(), QKeySequence("Ctrl+Z"));
    }

    void modelAndRateAndSliderKeys()
    {
        // Each key on the closed combo box chooses a model: one step each.
        QComboBox* combo = controls().modelComboBox;
        combo->setFocus();
        checkUndoAndRedo("Change Model", [combo] { QTest::keyClick(combo, Qt::Key_Down); });
        QCOMPARE(filterState().modelIndex, 1);
        checkUndoAndRedo("Change Sample Rate", [this] { triggerCommand(IDM_RATE_96000); });
        checkUndoAndRedo("Change Cutoff", [this] { keySteps(controls().cutoffSlider, Qt::Key_Right, 3); });
        checkUndoAndRedo("Change Q", [this] { keySteps(controls().qSlider, Qt::Key_PageUp, 2); });
        combo->setFocus();
        checkUndoAndRedo("Change Model", [combo] { QTest::keyClick(combo, Qt::Key_End); });
        QCOMPARE(filterState().modelIndex, MODEL_CUSTOM);
        combo->setFocus();
        checkUndoAndRedo("Change Model", [combo] { QTest::keyClick(combo, Qt::Key_Home); });
        QCOMPARE(stack().count(), 6);
    }

    void sliderMouseDragIsOneStep()
    {
        QSlider* slider = controls().cutoffSlider;
        const QPoint handle = sliderHandle(slider).center();
        checkUndoAndRedo("Change Cutoff", [slider, handle] {
            QTest::mousePress(slider, Qt::LeftButton, {}, handle);
            for (int dx = 4; dx <= 40; dx += 4) {
                QTest::mouseMove(slider, handle + QPoint(dx, 0));
                settle();
            }
            QTest::mouseRelease(slider, Qt::LeftButton, {}, handle + QPoint(40, 0));
        });
        // Ten movements, one step.
        QCOMPARE(stack().count(), 1);
        QVERIFY(session().document().cutoffPosition > 1000);
    }

    // From a drawn filter whose marker a root edit hides, so that undo must
    // show the marker again.
    void rootDragsAndDrops()
    {
        chooseModelByKeys(1);
        session().open(session().document(), session().filePath());
        checkUndoAndRedo("Move Pole", [this] {
            const Point grab = markOf(filterState().poles.positions[0]);
            drag(grab, {grab.x - 30, grab.y - 20});
        });
        QVERIFY(!cutoffMarkerVisible());
        checkUndoAndRedo("Move Zero", [this] {
            const Point grab = markOf(filterState().zeros.positions[0]);
            drag(grab, {grab.x + 25, grab.y - 35});
        });
        checkUndoAndRedo("Delete Pole", [this] {
            const Point grab = markOf(filterState().poles.positions[0]);
            drag(grab, {zPlaneRect().left - 30, grab.y});
        });
        QCOMPARE(stack().count(), 3);
    }

    void paletteAdds()
    {
        const int side = paletteRect().bottom - paletteRect().top;
        const auto cell = [this, side](int index) {
            return Point{paletteRect().left + index * side + side / 2, paletteRect().top + side / 2};
        };
        const Point target{zPlaneCentreX() - 20, zPlaneCentreY() - 30};
        checkUndoAndRedo("Add Pole", [&] { drag(cell(0), target); });
        checkUndoAndRedo("Add Pole Pair", [&] { drag(cell(1), target); });
        checkUndoAndRedo("Add Zero", [&] { drag(cell(2), target); });
        checkUndoAndRedo("Add Zero Pair", [&] { drag(cell(3), {target.x + 40, target.y}); });
    }

    void popupCommands()
    {
        chooseModelByKeys(1);
        checkUndoAndRedo("Make Pole Single",
                         [this] { popupCommand(markOf(filterState().poles.positions[0]), "Single real"); });
        checkUndoAndRedo("Make Pole Pair",
                         [this] { popupCommand(markOf(filterState().poles.positions[0]), "Double complex conjugate"); });
        checkUndoAndRedo("Delete Zero", [this] { popupCommand(markOf(filterState().zeros.positions[0]), "Delete"); });
    }

    // The checked item keeps the root as it is: no step.
    void gesturesThatChangeNothingRecordNothing()
    {
        chooseModelByKeys(1);
        const int steps = stack().count();
        popupCommand(markOf(filterState().poles.positions[0]), "Double complex conjugate");
        triggerCommand(IDM_RATE_44100);
        keySteps(controls().cutoffSlider, Qt::Key_Right, 1);
        keySteps(controls().cutoffSlider, Qt::Key_Left, 1);
        QCOMPARE(stack().count(), steps);
        QCOMPARE(shownText(IDM_UNDO), QString("Undo Change Model"));
    }

    void keyStepsOnOneSliderMerge()
    {
        QSlider* cutoff = controls().cutoffSlider;
        const Document start = session().document();
        keySteps(cutoff, Qt::Key_Right, 5);
        QCOMPARE(stack().count(), 1);
        QCOMPARE(session().document().cutoffPosition, start.cutoffPosition + 5 * cutoff->singleStep());
        triggerCommand(IDM_UNDO);
        QVERIFY(session().document() == start);
        QVERIFY(!commandAction(IDM_UNDO)->isEnabled());

        // Another action between the steps breaks the merge: a model...
        keySteps(cutoff, Qt::Key_Right, 2);
        chooseModelByKeys(1);
        keySteps(cutoff, Qt::Key_Right, 2);
        QCOMPARE(stack().count(), 3);
        // ...the other slider...
        keySteps(controls().qSlider, Qt::Key_Right, 2);
        keySteps(cutoff, Qt::Key_Right, 1);
        QCOMPARE(stack().count(), 5);
        // ...or an undo, even of a step on top of the slider's steps.
        const Document afterCutoff = session().document();
        triggerCommand(IDM_RATE_48000);
        triggerCommand(IDM_UNDO);
        keySteps(cutoff, Qt::Key_Right, 3);
        QCOMPARE(stack().count(), 6);
        triggerCommand(IDM_UNDO);
        QVERIFY(session().document() == afterCutoff);

        // An undo and a redo between the steps break the merge, though the
        // slider's step is on top again.
        keySteps(cutoff, Qt::Key_Right, 1);
        QCOMPARE(stack().count(), 6);
        triggerCommand(IDM_UNDO);
        triggerCommand(IDM_REDO);
        keySteps(cutoff, Qt::Key_Right, 1);
        QCOMPARE(stack().count(), 7);
        triggerCommand(IDM_UNDO);
        triggerCommand(IDM_UNDO);
        QVERIFY(session().document() == afterCutoff);
        QCOMPARE(stack().index(), 5);

        // Steps that come back to where they began leave no step.
        keySteps(cutoff, Qt::Key_Left, 1);
        QCOMPARE(stack().count(), 6);
        keySteps(cutoff, Qt::Key_Right, 1);
        QCOMPARE(stack().count(), 5);
        // ...and then the next step stands on its own.
        keySteps(cutoff, Qt::Key_Right, 1);
        QCOMPARE(stack().count(), 6);
        triggerCommand(IDM_UNDO);
        QVERIFY(session().document() == afterCutoff);
    }

    void keyboardShortcuts()
    {
        // The window's shortcuts work only in the active window, which a
        // loaded machine may make it late.
        mainWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
        const Document start = session().document();
        triggerCommand(IDM_RATE_192000);
        const Document changed = session().document();
        clientArea()->setFocus();
        QTest::keyClick(clientArea(), Qt::Key_Z, Qt::ControlModifier);
        settle();
        QVERIFY(session().document() == start);
        QTest::keyClick(clientArea(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        settle();
        QVERIFY(session().document() == changed);
        QTest::keyClick(clientArea(), Qt::Key_Z, Qt::ControlModifier);
        settle();
        QVERIFY(session().document() == start);
        QTest::keyClick(clientArea(), Qt::Key_Y, Qt::ControlModifier);
        settle();
        QVERIFY(session().document() == changed);
        QCOMPARE(session().document().sampleRate, 192000);
    }

    // A state put in place under a drag would be edited on as if nothing had
    // happened; the drag ends first, as one step, and what changed under it
    // (here a new rate) is part of that step.
    void undoWaitsForTheEndOfADrag()
    {
        chooseModelByKeys(1);
        const Document designed = session().document();
        const Point grab = markOf(filterState().poles.positions[0]);
        moveTo(grab);
        QTest::mousePress(window(), Qt::LeftButton, {}, at(grab));
        moveTo({grab.x - 20, grab.y});
        const Document dragged = session().document();
        QVERIFY(!(dragged == designed));
        QTest::keyClick(clientArea(), Qt::Key_Z, Qt::ControlModifier);
        settle();
        QVERIFY(session().document() == dragged);
        const int steps = stack().count();
        triggerCommand(IDM_RATE_48000);
        QCOMPARE(stack().count(), steps);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at({grab.x - 20, grab.y}));
        settle();
        QCOMPARE(stack().count(), steps + 1);
        QCOMPARE(shownText(IDM_UNDO), QString("Undo Move Pole"));
        const Document released = session().document();
        QCOMPARE(released.sampleRate, 48000);
        triggerCommand(IDM_UNDO);
        QVERIFY(session().document() == designed);
        triggerCommand(IDM_REDO);
        QVERIFY(session().document() == released);
    }

    // A slider held by the mouse while a root is dragged (only an event
    // sequence a test or a second pointer makes): the press on the root
    // hides the slider, which ends the slider's drag under the root's. Both
    // are one step, and undo goes back to before the slider moved.
    void aSliderDragCutShortByARootDragIsPartOfItsStep()
    {
        chooseModelByKeys(1);
        const Document designed = session().document();
        const int steps = stack().index();
        QSlider* slider = controls().cutoffSlider;
        const QPoint handle = sliderHandle(slider).center();
        QTest::mousePress(slider, Qt::LeftButton, {}, handle);
        QTest::mouseMove(slider, handle + QPoint(30, 0));
        settle();
        QVERIFY(slider->isSliderDown());
        QVERIFY(session().document().cutoffPosition != designed.cutoffPosition);

        const Point grab = markOf(filterState().poles.positions[0]);
        drag(grab, {grab.x - 20, grab.y + 10});
        QVERIFY(slider->isHidden());
        QTest::mouseRelease(slider, Qt::LeftButton, {}, handle + QPoint(30, 0));
        settle();
        QCOMPARE(stack().index(), steps + 1);
        const Document released = session().document();
        triggerCommand(IDM_UNDO);
        QVERIFY(session().document() == designed);
        QCOMPARE(controls().cutoffSlider->value(), designed.cutoffPosition);
        triggerCommand(IDM_REDO);
        QVERIFY(session().document() == released);
    }

    void moreThanAThousandStepsAreKept()
    {
        QVERIFY(UndoHistory::STEP_LIMIT >= 1000);
        const Document start = session().document();
        constexpr int steps = 1100;
        for (int i = 0; i < steps; ++i)
            commandAction(i % 2 == 0 ? IDM_RATE_48000 : IDM_RATE_44100)->trigger();
        QCOMPARE(stack().count(), steps);
        for (int i = 0; i < steps; ++i)
            commandAction(IDM_UNDO)->trigger();
        QVERIFY(session().document() == start);
        QVERIFY(!commandAction(IDM_UNDO)->isEnabled());
        QCOMPARE(shownText(IDM_REDO), QString("Redo Change Sample Rate"));
    }

    void clearingTheHistoryLeavesNothingToUndo()
    {
        triggerCommand(IDM_RATE_48000);
        triggerCommand(IDM_UNDO);
        triggerCommand(IDM_RATE_96000);
        QVERIFY(commandAction(IDM_UNDO)->isEnabled());
        session().open(session().document(), session().filePath());
        QCOMPARE(stack().count(), 0);
        QCOMPARE(shownText(IDM_UNDO), QString("Undo"));
        QVERIFY(!commandAction(IDM_UNDO)->isEnabled());
        QVERIFY(!commandAction(IDM_REDO)->isEnabled());
        const Document kept = session().document();
        clientArea()->setFocus();
        QTest::keyClick(clientArea(), Qt::Key_Z, Qt::ControlModifier);
        settle();
        QVERIFY(session().document() == kept);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    UndoTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "undo_test.moc"
