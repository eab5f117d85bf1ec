// The Listen dock in the real main window, on the offscreen platform and with
// no sound server to talk to: the View menu's item and its shortcut, the
// panel following the design through a drag of the mouse, undo and a rate,
// and what the dock says when there is no audio device.

#include "tests/window_driver.h"
#include "tests/coefficient_rows.h"

#include "app/audio_output.h"
#include "app/listen_panel.h"
#include "model/audio_cascade.h"
#include "model/coefficients.h"
#include "model/filter_state.h"
#include "res/resource_ids.h"

#include <QContextMenuEvent>
#include <QDockWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Whether the cascade is exactly the export's sections.
bool cascadeIsTheExport(const CascadeCoefficients& cascade, const Document& document)
{
    // The rows b0,b1,b2,a0,a1,a2, as a user's tool reads the export.
    const std::vector<std::vector<double>> rows = coefficientRows(coefficientText(document));
    if (rows.size() != static_cast<std::size_t>(cascade.count))
        return false;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const Section& s = cascade.sections[k];
        const std::vector<double> row{s.b[0], s.b[1], s.b[2], s.a[0], s.a[1], s.a[2]};
        if (row != rows[k])
            return false;
    }
    return true;
}

}  // namespace

class ListenWindowTest : public QObject, public WindowDriver {
    Q_OBJECT

    QDockWidget* dock() const { return mainWindow()->findChild<QDockWidget*>(QStringLiteral("listenDock")); }
    ListenPanel* panel() const { return dynamic_cast<ListenPanel*>(dock()->widget()); }
    const EngineControls& engineControls() const { return panel()->engine().controls(); }

private slots:
    void initTestCase() { QVERIFY(openWindow()); }

    void cleanupTestCase() { closeWindow(); }

    // Closed at start, shown and hidden by the View menu's item, by Ctrl+L
    // and by the dock's own close button, the check mark following each;
    // none of it looks for an audio device.
    void theViewMenuShowsTheDock()
    {
        QDockWidget* listen = dock();
        QVERIFY(listen != nullptr);
        QCOMPARE(listen->windowTitle(), QString("Listen"));
        QVERIFY(panel() != nullptr);
        QVERIFY(!listen->isVisible());
        QAction* item = commandAction(IDM_VIEW_LISTEN);
        QVERIFY(item != nullptr);
        QCOMPARE(item->text(), QString("&Listen"));
        QVERIFY(!item->isChecked());

        triggerCommand(IDM_VIEW_LISTEN);
        QVERIFY(listen->isVisible());
        QVERIFY(item->isChecked());
        QCOMPARE(mainWindow()->dockWidgetArea(listen), Qt::RightDockWidgetArea);
        // The client area gave way to it.
        QVERIFY(clientArea()->geometry().right() < listen->geometry().left());
        triggerCommand(IDM_VIEW_LISTEN);
        QVERIFY(!listen->isVisible());
        QVERIFY(!item->isChecked());

        mainWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
        QTest::keyClick(mainWindow(), Qt::Key_L, Qt::ControlModifier);
        settle();
        QVERIFY(listen->isVisible());
        QVERIFY(item->isChecked());
        listen->close();
        settle();
        QVERIFY(!item->isChecked());
        QTest::keyClick(mainWindow(), Qt::Key_L, Qt::ControlModifier);
        settle();
        QVERIFY(listen->isVisible());

        QVERIFY(panel()->output() == nullptr);
        QVERIFY(panel()->statusText().isEmpty());

        // A right-click on the menu bar offers no pop-up of the docks: the
        // View menu has them.
        bool popupShown = false;
        // A pop-up could only show while the event is handled.
        const QPointer<QTimer> popupWatch = whenModalShows([](QWidget* popup) { popup->close(); }, &popupShown);
        QMenuBar* bar = mainWindow()->menuBar();
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(bar->width() - 5, bar->height() / 2),
                                bar->mapToGlobal(QPoint(bar->width() - 5, bar->height() / 2)));
        QApplication::sendEvent(bar, &click);
        stopWatch(popupWatch);
        QVERIFY(!popupShown);
    }

    // Every step of a drag of a pole pair reaches the engine as the export's
    // sections of the design the window shows; a pole dragged out of the
    // unit circle mutes the sound and says so, and undo brings the stable
    // design back.
    void thePanelFollowsADrag()
    {
        chooseModelByKeys(1);
        QVERIFY(dock()->isVisible());
        QVERIFY(cascadeIsTheExport(engineControls().cascade, session().document()));
        QCOMPARE(filterState().poles.count, 1);
        QVERIFY(filterState().poles.pairFlags[0]);

        const Complex start = filterState().poles.positions[0];
        const Point grab = markOf(start);
        moveTo(grab);
        press(grab);
        // At the pole's angle, from radius 0.5 toward the unit circle, then
        // out beyond it.
        const double angle = std::atan2(start.im, start.re);
        CascadeCoefficients previous = engineControls().cascade;
        int steps = 0;
        for (double radius = 0.5; radius < 0.99; radius += 0.04) {
            moveTo(markOf({radius * std::cos(angle), radius * std::sin(angle)}));
            QVERIFY(session().gestureInProgress());
            QVERIFY2(cascadeIsTheExport(engineControls().cascade, session().document()),
                     qPrintable(QString("at radius %1").arg(radius)));
            if (!sameCascade(previous, engineControls().cascade))
                ++steps;
            previous = engineControls().cascade;
            QVERIFY(engineControls().playable);
            QVERIFY(panel()->statusText().isEmpty());
        }
        QVERIFY2(steps >= 10, qPrintable(QString("%1 changes heard").arg(steps)));

        const Point outside = markOf({1.2 * std::cos(angle), 1.2 * std::sin(angle)});
        moveTo(outside);
        release(outside);
        QVERIFY(!session().gestureInProgress());
        QVERIFY(std::hypot(filterState().poles.positions[0].re, filterState().poles.positions[0].im) > 1.0);
        QVERIFY(cascadeIsTheExport(engineControls().cascade, session().document()));
        QVERIFY(!engineControls().playable);
        QCOMPARE(panel()->statusText(), QString::fromUtf8("Unstable filter – muted"));

        triggerCommand(IDM_UNDO);
        QCOMPARE(filterState().poles.positions[0].re, start.re);
        QCOMPARE(filterState().poles.positions[0].im, start.im);
        QVERIFY(cascadeIsTheExport(engineControls().cascade, session().document()));
        QVERIFY(engineControls().playable);
        QVERIFY(panel()->statusText().isEmpty());
        QVERIFY(panel()->output() == nullptr);
    }

    // Play makes the one audio output; Qt finds no device, the dock says so,
    // and the window goes on as before: the design, the rate and the pixels.
    // Last, because the output stays for the rest of the window's life.
    void withoutADeviceTheDockSaysSo()
    {
        const Document before = session().document();
        QPushButton* play = panel()->playButton();
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(play->text(), QString("Stop"));
        AudioOutput* output = panel()->output();
        QVERIFY(output != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(panel()->statusText() == QString("No audio output device"), 5000);
        QVERIFY(session().document() == before);
        QCOMPARE(differenceFromFullPaint(), std::string());

        // The rate reaches the output, and the dock still says the same.
        triggerCommand(IDM_RATE_96000);
        QCOMPARE(output->sampleRate(), 96000);
        QVERIFY(cascadeIsTheExport(engineControls().cascade, session().document()));
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(play->text(), QString("Play"));
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(panel()->output(), output);
        QTest::qWait(100);
        QCOMPARE(panel()->statusText(), QString("No audio output device"));
        // The window goes while it "plays": no wait for a device.
        QElapsedTimer clock;
        clock.start();
        closeWindow();
        QVERIFY(clock.elapsed() < AudioOutput::FINISH_TIMEOUT_MS);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No sound server, whatever this machine runs.
    qputenv("PULSE_SERVER", "unix:/nonexistent/vorbel-no-sound-server");
    QApplication application(argc, argv);
    ListenWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "listen_window_test.moc"
