// The time views' docks in the real window: the View menu opens them, they
// follow a drag at the pace of the screen, their layout is remembered, and
// the roots table moves a root through the typed-position dialog.

#include "tests/window_driver.h"

#include "app/position_dialog.h"
#include "app/refresh_interval.h"
#include "app/time_docks.h"
#include "app/time_plot.h"
#include "model/time_response.h"
#include "res/resource_ids.h"

#include <QClipboard>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

#include <cmath>

class TimeViewsWindowTest : public QObject, public WindowDriver {
    Q_OBJECT

    QDockWidget* dock(int index) const
    {
        return mainWindow()->findChild<QDockWidget*>(QString::fromUtf8(TIME_VIEW_DOCKS[index].objectName));
    }
    TimePlot* plot(int index) const { return qobject_cast<TimePlot*>(dock(index)->widget()); }
    RootsTable* table() const { return qobject_cast<RootsTable*>(dock(3)->widget()); }

    // The samples the impulse view must show for the session's design now.
    std::vector<double> expectedImpulse() const
    {
        return impulseResponse(filterState(), shownImpulseLength(filterState()));
    }

private slots:
    void init() { QVERIFY(openWindow()); }
    void cleanup() { closeWindow(); }

    // The four items, in order, after the Edit menu's commands; each shows
    // and hides its dock, closed at start, and the check mark follows the
    // dock's own close button.
    void theViewMenuOpensEachDock()
    {
        for (int i = 0; i < 4; ++i) {
            QAction* item = commandAction(TIME_VIEW_DOCKS[i].id);
            QVERIFY(item != nullptr);
            QCOMPARE(item->text(), QString::fromUtf8(TIME_VIEW_DOCKS[i].menuText));
            QVERIFY(item->isCheckable());
            QVERIFY(!item->isChecked());
            QVERIFY(dock(i) != nullptr);
            QVERIFY(!dock(i)->isVisible());
            QCOMPARE(dock(i)->windowTitle(), QString::fromUtf8(TIME_VIEW_DOCKS[i].title));
            QVERIFY(dock(i)->features() & QDockWidget::DockWidgetClosable);
            QVERIFY(dock(i)->features() & QDockWidget::DockWidgetMovable);
            QVERIFY(dock(i)->features() & QDockWidget::DockWidgetFloatable);
        }
        const QList<QAction*> menus = mainWindow()->menuBar()->actions();
        QCOMPARE(menus[2]->text(), QString("&View"));
        QCOMPARE(menus[1]->text(), QString("&Edit"));
        QCOMPARE(menus[3]->text(), QString("F&s"));
        const QList<QAction*> view = menus[2]->menu()->actions();
        QVERIFY(view.size() > 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(view[i]->data().toInt(), TIME_VIEW_DOCKS[i].id);

        for (int i = 0; i < 4; ++i) {
            triggerCommand(TIME_VIEW_DOCKS[i].id);
            QVERIFY(dock(i)->isVisible());
            QVERIFY(commandAction(TIME_VIEW_DOCKS[i].id)->isChecked());
        }
        // The client area keeps the window's top, and the size it has in the
        // smallest window: the docks make the window larger instead.
        QVERIFY(clientArea()->geometry().bottom() < dock(0)->geometry().top());
        const QSize smallest = clientArea()->minimumSize();
        QVERIFY(smallest.width() > 400 && smallest.height() > 250);
        mainWindow()->resize(620, 420);
        settle();
        QVERIFY(clientArea()->width() >= smallest.width());
        QVERIFY(clientArea()->height() >= smallest.height());
        QVERIFY(mainWindow()->height() > 420);
        dock(2)->close();
        settle();
        QVERIFY(!commandAction(IDM_VIEW_GROUP_DELAY)->isChecked());
        triggerCommand(IDM_VIEW_ROOTS);
        QVERIFY(!dock(3)->isVisible());
    }

    // Each step of a drag of a pole pair toward the unit circle reaches the
    // open plots within a refresh or two, as the model computes it for the
    // design the window shows; a closed dock computes nothing. Undo is
    // followed too.
    void theDocksFollowADrag()
    {
        chooseModelByKeys(1);
        triggerCommand(IDM_VIEW_IMPULSE);
        triggerCommand(IDM_VIEW_GROUP_DELAY);
        TimePlot* impulse = plot(0);
        QTRY_VERIFY(impulse->upToDate());
        QCOMPARE(impulse->samples(), expectedImpulse());

        const Complex start = filterState().poles.positions[0];
        const std::vector<double> before = expectedImpulse();
        const Point grab = markOf(start);
        moveTo(grab);
        press(grab);
        const double angle = std::atan2(start.im, start.re);
        int lengthened = 0;
        std::size_t length = before.size();
        for (double radius = 0.6; radius < 0.99; radius += 0.05) {
            const int paints = impulse->paintCount();
            moveTo(markOf({radius * std::cos(angle), radius * std::sin(angle)}));
            QVERIFY(session().gestureInProgress());
            QTRY_VERIFY(impulse->paintCount() > paints);
            QVERIFY(impulse->upToDate());
            QVERIFY(!plot(1)->upToDate());
            QCOMPARE(plot(1)->paintCount(), 0);
            QCOMPARE(impulse->samples(), expectedImpulse());
            if (impulse->samples().size() > length)
                ++lengthened;
            length = impulse->samples().size();
        }
        // The pole's pull toward the circle makes it ring longer.
        QVERIFY2(lengthened >= 4, qPrintable(QString::number(lengthened)));
        release(markOf({0.98 * std::cos(angle), 0.98 * std::sin(angle)}));

        // The pointer over the plot: the sample under it in the status bar.
        const QRect area = impulse->rect();
        QTest::mouseMove(impulse, QPoint(area.width() / 2, area.height() / 2));
        settle();
        const QString line = mainWindow()->statusBar()->currentMessage();
        QVERIFY2(line.startsWith("n = ") && line.contains("   h[n] = "), qPrintable(line));
        const int n = line.mid(4, line.indexOf(' ', 4) - 4).toInt();
        QCOMPARE(line, QString("n = %1   h[n] = %2").arg(n).arg(impulse->samples()[static_cast<std::size_t>(n)], 0, 'g', 3));

        // Copy Data: what the plot shows, one value per line.
        QAction* copy = dock(0)->actions().value(0);
        QVERIFY(copy != nullptr);
        QCOMPARE(copy->text(), QString("Copy Data"));
        copy->trigger();
        const QStringList values = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(static_cast<std::size_t>(values.size()), impulse->samples().size());
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(values[i].toDouble(), impulse->samples()[static_cast<std::size_t>(i)]);

        triggerCommand(IDM_UNDO);
        QTRY_VERIFY(impulse->upToDate());
        QCOMPARE(impulse->samples(), before);
    }

    // Changes closer together than a refresh of the screen are painted once
    // a refresh, not once each.
    void thePlotsPaintAtMostOncePerRefresh()
    {
        chooseModelByKeys(1);
        triggerCommand(IDM_VIEW_IMPULSE);
        TimePlot* impulse = plot(0);
        QTRY_VERIFY(impulse->upToDate());
        const Complex start = filterState().poles.positions[0];
        const Point grab = markOf(start);
        moveTo(grab);
        press(grab);
        const int paints = impulse->paintCount();
        QElapsedTimer clock;
        clock.start();
        for (int i = 1; i <= 12; ++i) {
            QTest::mouseMove(window(), at({grab.x - i, grab.y}));
            QCoreApplication::processEvents();
        }
        const qint64 elapsed = clock.elapsed();
        const int interval = refreshInterval(impulse->screen());
        const int painted = impulse->paintCount() - paints;
        QVERIFY2(painted <= elapsed / interval + 1,
                 qPrintable(QString("%1 paints in %2 ms").arg(painted).arg(elapsed)));
        QTRY_VERIFY(impulse->upToDate());
        QCOMPARE(impulse->samples(), expectedImpulse());
        release({grab.x - 12, grab.y});
    }

    // Open docks come back in a window made with the layout saved; no
    // layout, or one that is not a layout, leaves them closed.
    void theLayoutIsRemembered()
    {
        triggerCommand(IDM_VIEW_STEP);
        triggerCommand(IDM_VIEW_ROOTS);
        const QByteArray layout = mainWindow()->saveState(WINDOW_LAYOUT_VERSION);
        closeWindow();
        for (const QByteArray& given : {layout, QByteArray("not a layout"), QByteArray()}) {
            const std::unique_ptr<MainWindow> window = createMainWindow({}, given);
            QVERIFY(window != nullptr);
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            for (int i = 0; i < 4; ++i) {
                auto* shown = window->findChild<QDockWidget*>(QString::fromUtf8(TIME_VIEW_DOCKS[i].objectName));
                const bool open = given == layout && (i == 1 || i == 3);
                QCOMPARE(shown->isVisible(), open);
                QCOMPARE(shown->toggleViewAction()->isChecked(), open);
            }
        }
        QVERIFY(openWindow());
    }

    // A double-click on a pole's row types its position: the window moves the
    // root, as one undo step; the table follows.
    void theRootsTableTypesAPosition()
    {
        chooseModelByKeys(1);
        triggerCommand(IDM_VIEW_ROOTS);
        RootsTable* roots = table();
        QTRY_COMPARE(roots->rowCount(), filterState().zeros.count + filterState().poles.count);
        int poleRow = -1;
        for (int row = 0; row < roots->rowCount(); ++row)
            if (roots->item(row, 0)->text() == QString("Pole pair"))
                poleRow = row;
        QVERIFY(poleRow >= 0);
        const int steps = session().history().stack().count();
        bool shown = false;
        whenModalShows(
            [](QWidget* dialog) {
                auto* typed = dynamic_cast<PositionDialog*>(dialog);
                QVERIFY(typed != nullptr);
                for (const auto& [field, text] : {std::pair{PositionField::Real, "0.5"},
                                                  std::pair{PositionField::Imaginary, "0.25"}}) {
                    typed->field(field)->selectAll();
                    QTest::keyClicks(typed->field(field), text);
                }
                typed->okButton()->click();
            },
            &shown);
        roots->editRow(poleRow);
        QVERIFY(shown);
        const int slot = roots->rows()[static_cast<std::size_t>(poleRow)].slot;
        QCOMPARE(filterState().poles.positions[slot].re, 0.5);
        QCOMPARE(std::fabs(filterState().poles.positions[slot].im), 0.25);
        QCOMPARE(session().history().stack().count(), steps + 1);
        QTRY_COMPARE(roots->item(poleRow, 1)->text(), QString("0.50000"));
        QCOMPARE(roots->item(poleRow, 2)->text(), QString::fromUtf8("±0.25000"));
        QCOMPARE(differenceFromFullPaint(), std::string());

        // With a precision chosen, the rounded roots follow the stored ones.
        triggerCommand(IDM_PRECISION_Q15);
        QTRY_VERIFY(roots->rowCount() > roots->storedRowCount());
        QVERIFY(roots->item(roots->rowCount() - 1, 0)->text().endsWith("(Q15)"));
    }
};

QTEST_MAIN(TimeViewsWindowTest)
#include "time_views_window_test.moc"
