// Editing roots with the mouse on the real main window. Pointer events go to
// the window, as the platform sends them, so that Qt's grab of a pressed
// button carries a drag past the client area and the window's edges.

#include "tests/window_driver.h"

#include "app/control_panel.h"
#include "app/root_editor.h"
#include "model/filter_state.h"
#include "res/resource_ids.h"
#include "view/response_view.h"
#include "view/zplane_view.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>

class RootEditingTest : public QObject, public WindowDriver {
    Q_OBJECT

    CursorKind shownCursor()
    {
        const QCursor cursor = clientArea()->cursor();
        if (cursor.shape() != Qt::BitmapCursor)
            return CursorKind::Arrow;
        return cursor.hotSpot() == clientArea()->cursors().hand.hotSpot() ? CursorKind::Hand : CursorKind::Bin;
    }

    void chooseModel(int model)
    {
        chooseModelByKeys(model);
        // The pointer leaves the roots so that the next test starts from nothing.
        moveTo({zPlaneRect().right + 5, zPlaneRect().top + 5});
    }

    // The gain is the one normalizeGain gives the roots.
    bool normalised() const
    {
        FilterState normalisedCopy = filterState();
        normalizeGain(normalisedCopy);
        return normalisedCopy.gain == filterState().gain;
    }

    bool customShown()
    {
        return filterState().modelIndex == MODEL_CUSTOM && controls().modelComboBox->currentText() == "Custom" &&
               !controls().cutoffSlider->isVisible() && !controls().cutoffLabel->isVisible() &&
               !controls().qSlider->isVisible() && !controls().qLabel->isVisible();
    }

    int pixelsOfColour(const Rect& r, Rgb colour)
    {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                count += pixelAt(clientArea()->surface(), x, y) == colour ? 1 : 0;
        return count;
    }

    // How many pixels of the whole client surface differ from a fresh full paint.
    int pixelsUnlikeFullPaint()
    {
        const QImage reference = freshFullPaint();
        const QImage& shown = clientArea()->surface().image;
        int count = 0;
        for (int y = 0; y < std::min(shown.height(), reference.height()); ++y)
            for (int x = 0; x < std::min(shown.width(), reference.width()); ++x)
                count += shown.pixel(x, y) != reference.pixel(x, y) ? 1 : 0;
        return count;
    }

private slots:
    void initTestCase() { QVERIFY(openWindow()); }

    void cleanupTestCase() { closeWindow(); }

    void init() { chooseModel(1); }

    void hoverShowsTheHandOverRootsAndThePalette()
    {
        moveTo(markOf(filterState().poles.positions[0]));
        QCOMPARE(shownCursor(), CursorKind::Hand);
        QCOMPARE(rootEditor().selectedRoot.list, RootListKind::Poles);
        moveTo(markOf(filterState().poles.positions[0], true));
        QCOMPARE(shownCursor(), CursorKind::Hand);
        moveTo({zPlaneCentreX(), zPlaneCentreY()});
        QCOMPARE(shownCursor(), CursorKind::Arrow);
        moveTo({paletteRect().left + 3, paletteRect().top + 3});
        QCOMPARE(shownCursor(), CursorKind::Hand);
        moveTo({magnitudePane().left + 20, magnitudePane().top + 20});
        QCOMPARE(shownCursor(), CursorKind::Arrow);
    }

    void draggingAPolePair()
    {
        const Complex start = filterState().poles.positions[0];
        const Point grab = markOf(start);
        moveTo(grab);
        QVERIFY(rootEditor().hovering);
        press(grab);
        QVERIFY(customShown());
        const Point end{grab.x - 30, grab.y - 20};
        for (int step = 1; step <= 5; ++step)
            moveTo({grab.x - 6 * step, grab.y - 4 * step});
        release(end);

        // Above the axis at the grab, so the upward offset raises the pair.
        const Complex moved = filterState().poles.positions[0];
        QCOMPARE(moved.re, start.re + -30 / zPlaneScale());
        QCOMPARE(moved.im, std::fabs(start.im + 20 / zPlaneScale()));
        QVERIFY(filterState().poles.pairFlags[0]);
        QVERIFY(normalised());
        QVERIFY(!cutoffMarkerVisible());
        QCOMPARE(pixelsOfColour(magnitudePane(), MARKER_BLUE), 0);

        // New marks drawn, old ones gone, the rest as a full paint has it.
        const Point upper = markOf(moved), lower = markOf(moved, true);
        QCOMPARE(pixelAt(clientArea()->surface(), upper.x, upper.y), POLE_RED);
        QCOMPARE(pixelAt(clientArea()->surface(), lower.x, lower.y), POLE_RED);
        QVERIFY(pixelAt(clientArea()->surface(), grab.x, grab.y) != POLE_RED);
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
    }

    void droppingARootOutsideTheWindowDeletesIt()
    {
        const int poles = filterState().poles.count;
        const Point grab = markOf(filterState().poles.positions[0]);
        moveTo(grab);
        press(grab);
        QTest::mouseMove(window(), QPoint(-40, at(grab).y()));
        settle();
        QVERIFY(rootEditor().outside);
        QCOMPARE(shownCursor(), CursorKind::Bin);
        // Held at the pane's left edge while the pointer is away.
        QCOMPARE(rootEditor().lastDragPoint.x, zPlaneRect().left);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, QPoint(-40, at(grab).y()));
        settle();
        QCOMPARE(filterState().poles.count, poles - 1);
        QVERIFY(!rootEditor().dragging);
        QVERIFY(customShown());
        QVERIFY(normalised());
        QCOMPARE(pixelsOfColour(zPlaneRect(), POLE_RED), 0);
    }

    void addingAZeroPairFromThePalette()
    {
        const int zeros = filterState().zeros.count;
        const int side = paletteRect().bottom - paletteRect().top;
        const Point cell{paletteRect().left + 3 * side + side / 2, paletteRect().top + side / 2};
        moveTo(cell);
        QCOMPARE(shownCursor(), CursorKind::Hand);
        press(cell);
        QCOMPARE(filterState().zeros.count, zeros + 1);
        QVERIFY(customShown());
        const Point target{zPlaneCentreX() - 20, zPlaneCentreY() - 30};
        for (int step = 1; step <= 4; ++step)
            moveTo({cell.x + (target.x - cell.x) * step / 4, cell.y + (target.y - cell.y) * step / 4});
        release(target);
        QCOMPARE(filterState().zeros.count, zeros + 1);
        const Complex added = filterState().zeros.positions[zeros];
        QVERIFY(filterState().zeros.pairFlags[zeros]);
        const Point upper = markOf(added), lower = markOf(added, true);
        QVERIFY(std::abs(upper.x - target.x) <= 1);
        QVERIFY(std::abs(upper.y - target.y) <= 1 || std::abs(lower.y - target.y) <= 1);
        QCOMPARE(pixelAt(clientArea()->surface(), upper.x, upper.y), ZERO_BLUE);
        QCOMPARE(pixelAt(clientArea()->surface(), lower.x, lower.y), ZERO_BLUE);
        QVERIFY(normalised());
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
    }

    void popupMenuCommands()
    {
        const Point mark = markOf(filterState().poles.positions[0]);
        moveTo(mark);

        // On a pair "Double complex conjugate" is checked and does nothing.
        bool shown = false;
        clickMenuItemWhenShown("Double complex conjugate", &shown);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(mark));
        settle();
        QVERIFY(shown);
        QVERIFY(filterState().poles.pairFlags[0]);
        QCOMPARE(filterState().modelIndex, 1);

        // "Single real" makes it a single root on the real axis.
        moveTo(mark);
        clickMenuItemWhenShown("Single real", &shown);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(mark));
        settle();
        QVERIFY(shown);
        QVERIFY(!filterState().poles.pairFlags[0]);
        QCOMPARE(filterState().poles.positions[0].im, 0.0);
        QVERIFY(customShown());
        QVERIFY(normalised());

        // "Double complex conjugate" on a single root gives a double real pair.
        const Point single = markOf(filterState().poles.positions[0]);
        moveTo(single);
        clickMenuItemWhenShown("Double complex conjugate", &shown);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(single));
        settle();
        QVERIFY(shown);
        QVERIFY(filterState().poles.pairFlags[0]);
        QCOMPARE(filterState().poles.positions[0].im, 0.0);

        // "Delete" removes it.
        const int poles = filterState().poles.count;
        moveTo(single);
        clickMenuItemWhenShown("Delete", &shown);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(single));
        settle();
        QVERIFY(shown);
        QCOMPARE(filterState().poles.count, poles - 1);
        QVERIFY(normalised());
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
    }

    void noMenuOverThePalette()
    {
        const Point cell{paletteRect().left + 3, paletteRect().top + 3};
        moveTo(cell);
        QVERIFY(rootEditor().hovering);
        bool shown = false;
        whenModalShows([](QWidget* popup) { popup->close(); }, &shown, 300);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(cell));
        QTest::qWait(400);
        QVERIFY(!shown);
    }

    // The pointer rests on the first-order pole, which the hover has found;
    // then the filter changes under it without any pointer movement. The
    // press acts on the pole now under the pointer: it follows the drag.
    void aPointedAtPoleFollowsTheDragAfterTheFilterChanged()
    {
        const struct {
            const char* change;
            std::function<void()> act;
        } changes[] = {
            {"cutoff key step",
             [this] {
                 controls().cutoffSlider->setFocus();
                 QTest::keyClick(controls().cutoffSlider, Qt::Key_Right);
             }},
            {"sample rate 48000", [this] { commandAction(IDM_RATE_48000)->trigger(); }},
        };
        for (const auto& change : changes) {
            chooseModel(0);
            const Point grab = markOf(filterState().poles.positions[0]);
            moveTo(grab);
            QCOMPARE(shownCursor(), CursorKind::Hand);

            const Complex before = filterState().poles.positions[0];
            change.act();
            settle();
            const Complex designed = filterState().poles.positions[0];
            QVERIFY2(designed.re != before.re, change.change);

            press(grab);
            QVERIFY2(customShown(), change.change);
            for (int step = 1; step <= 5; ++step)
                moveTo({grab.x - 6 * step, grab.y - 4 * step});
            release({grab.x - 30, grab.y - 20});

            // A single real pole: only the horizontal offset moves it.
            QCOMPARE(filterState().poles.count, 1);
            QCOMPARE(filterState().poles.positions[0].re, designed.re + -30 / zPlaneScale());
            QCOMPARE(filterState().poles.positions[0].im, 0.0);
            QVERIFY(normalised());
            commandAction(IDM_RATE_44100)->trigger();
            settle();
        }
    }

    // A click on the zero-pair cell draws the new pair's mark over that
    // cell's sample; the erase of that mark must leave the sample whole.
    void thePaletteSampleSurvivesTheEraseOfAMarkOverIt()
    {
        const int side = paletteRect().bottom - paletteRect().top;
        for (const int cell : {3, 1}) {
            const Point centre{paletteRect().left + cell * side + side / 2, paletteRect().top + side / 2};
            moveTo(centre);
            press(centre);
            release(centre);
            QCOMPARE(pixelsUnlikeFullPaint(), 0);
            chooseModel(2);
            QCOMPARE(pixelsUnlikeFullPaint(), 0);
        }
    }

    // A pair clicked in from the palette without a drag is stored below the
    // real axis; its upper mark must still be reachable, movable and
    // deletable. Clicked on the palette's lowest row, its marks lie within
    // reach of the z-plane's top and bottom rows.
    void aPairClickedInFromThePaletteCanBePointedAt()
    {
        const int side = paletteRect().bottom - paletteRect().top;
        const int zeros = filterState().zeros.count;
        const Point click{paletteRect().left + 3 * side + side / 2, zPlaneRect().top - 1};
        moveTo(click);
        press(click);
        release(click);
        QCOMPARE(filterState().zeros.count, zeros + 1);
        QVERIFY(filterState().zeros.positions[zeros].im < 0.0);

        // The top row itself is shared with the palette, where a press adds.
        const Point onTopRow{click.x, zPlaneRect().top + 1};
        moveTo({zPlaneCentreX(), zPlaneCentreY() + 5});
        QCOMPARE(shownCursor(), CursorKind::Arrow);
        moveTo(onTopRow);
        QCOMPARE(shownCursor(), CursorKind::Hand);
        QCOMPARE(rootEditor().selectedRoot.list, RootListKind::Zeros);
        QCOMPARE(rootEditor().selectedRoot.index, zeros);

        // Pulled down into the plane, the upper mark stays under the pointer.
        const Complex start = filterState().zeros.positions[zeros];
        press(onTopRow);
        for (int step = 1; step <= 4; ++step)
            moveTo({onTopRow.x - 5 * step, onTopRow.y + 10 * step});
        release({onTopRow.x - 20, onTopRow.y + 40});
        const Complex moved = filterState().zeros.positions[zeros];
        QCOMPARE(moved.re, start.re + -20 / zPlaneScale());
        QCOMPARE(moved.im, std::fabs(-start.im - 40 / zPlaneScale()));
        QVERIFY(normalised());
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());

        const Point upper = markOf(moved);
        moveTo(upper);
        bool shown = false;
        clickMenuItemWhenShown("Delete", &shown);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(upper));
        settle();
        QVERIFY(shown);
        QCOMPARE(filterState().zeros.count, zeros);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    RootEditingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "root_editing_test.moc"
