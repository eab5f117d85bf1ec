// The status bar's readout and the typed position of a root, on the real
// main window: pointer events go to the window as the platform sends them.

#include "tests/window_driver.h"

#include "app/position_dialog.h"
#include "app/readout_bar.h"
#include "model/designs.h"
#include "model/readout.h"
#include "res/resource_ids.h"
#include "view/response_view.h"

#include <QAccessible>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QStatusBar>
#include <QTest>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

bool sameRoots(const RootList& a, const RootList& b)
{
    if (a.count != b.count)
        return false;
    for (int i = 0; i < a.count; ++i)
        if (a.pairFlags[i] != b.pairFlags[i] ||
            std::memcmp(&a.positions[i], &b.positions[i], sizeof a.positions[i]) != 0)
            return false;
    return true;
}

// Counts the events of one type that reach the objects it filters.
class EventCounter : public QObject {
public:
    explicit EventCounter(QEvent::Type type) : type_(type) {}
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_)
            ++count;
        return false;
    }

private:
    QEvent::Type type_;
};

// An accessibility update handler: counts each object's NameChanged events
// on the object itself and keeps there the name a client reads at the last.
void recordNameChange(QAccessibleEvent* event)
{
    QObject* object = event->object();
    if (event->type() != QAccessible::NameChanged || object == nullptr)
        return;
    object->setProperty("nameChanges", object->property("nameChanges").toInt() + 1);
    if (QAccessibleInterface* readable = event->accessibleInterface())
        object->setProperty("announcedName", readable->text(QAccessible::Name));
}

}  // namespace

class ReadoutWindowTest : public QObject, public WindowDriver {
    Q_OBJECT

    QString shown() { return readoutBar().text(); }

    ReadoutBar* bar() { return &readoutBar(); }

    // Pixels of the bar as painted now that differ from its background.
    int inkedPixels()
    {
        const QImage painted = bar()->grab().toImage();
        const QRgb background = bar()->palette().window().color().rgb();
        int inked = 0;
        for (int y = 0; y < painted.height(); ++y)
            for (int x = 0; x < painted.width(); ++x)
                inked += painted.pixel(x, y) != background;
        return inked;
    }

    static QString text(const std::string& s) { return QString::fromStdString(s); }

    QString summary() { return text(filterSummary(filterState(), modelName(filterState().modelIndex))); }

    bool normalised() const
    {
        FilterState copy = filterState();
        normalizeGain(copy);
        return copy.gain == filterState().gain;
    }

    // Runs act on the position dialog that the next action opens.
    void onDialog(std::function<void(PositionDialog*)> act, bool* found)
    {
        whenModalShows(
            [act](QWidget* modal) {
                auto* dialog = dynamic_cast<PositionDialog*>(modal);
                QVERIFY(dialog != nullptr);
                QVERIFY(QTest::qWaitForWindowActive(dialog));
                act(dialog);
            },
            found);
    }

    static void type(QLineEdit* field, const char* value)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, value);
    }

    void doubleClick(Point p)
    {
        QTest::mouseDClick(window(), Qt::LeftButton, {}, at(p));
        settle();
    }

private slots:
    void init()
    {
        QVERIFY(openWindow());
        // The second-order low-pass at the default 44100 Hz.
        chooseModelByKeys(1);
        QCOMPARE(controls().modelComboBox->currentText(), QString("2nd order LP"));
        QCOMPARE(filterState().nyquist, 22050.0);
    }

    void cleanup() { closeWindow(); }

    void statusBarLiesBelowTheClientArea()
    {
        QStatusBar* bar = mainWindow()->statusBar();
        QVERIFY(bar->isVisible());
        const QRect client = clientArea()->geometry();
        QVERIFY(bar->geometry().top() >= client.bottom());
        // The layout comes from the client area's own size.
        const double ratio = clientArea()->devicePixelRatioF();
        QCOMPARE(surfaceHeight(surface()), toPixel(std::round(clientArea()->height() * ratio)));
        QVERIFY(!shown().isEmpty());
    }

    void readoutOfEachPlace()
    {
        // Over the response panes: the response at the column's frequency,
        // lowest · (Nyquist / lowest)^(i / W) on the logarithmic axis.
        const Rect& magnitude = magnitudePane();
        const int column = 100;
        const int x = magnitude.left + column;
        const double width = magnitude.right - magnitude.left;
        const double expected = 10.0 * std::pow(22050.0 / 10.0, column / width);
        const std::optional<double> frequency = columnFrequency(magnitude, 10.0, 22050.0, x);
        QVERIFY(frequency.has_value());
        QVERIFY(std::fabs(*frequency - expected) < 1e-9 * expected);
        moveTo({x, magnitude.top + 5});
        QCOMPARE(shown(), text(responseReadout(filterState(), *frequency)));
        QVERIFY(shown().startsWith("f = "));
        const QString overMagnitude = shown();
        moveTo({x, phasePane().top + 5});
        QCOMPARE(shown(), overMagnitude);

        // Over the z-plane away from roots: the pointer's z, rows down.
        const int dx = toPixel(0.5 * zPlaneScale()), dy = toPixel(0.25 * zPlaneScale());
        moveTo({zPlaneCentreX() + dx, zPlaneCentreY() - dy});
        const Complex above{dx / zPlaneScale(), dy / zPlaneScale()};
        QCOMPARE(shown(), text(zPlaneReadout(above, 22050.0)));
        QVERIFY(shown().contains(" + j"));
        moveTo({zPlaneCentreX() + dx, zPlaneCentreY() + dy});
        QCOMPARE(shown(), text(zPlaneReadout({above.re, -above.im}, 22050.0)));
        QVERIFY(shown().contains(" - j"));

        // The default pole pair, by either mark.
        const char* const polePair =
            "Pole pair 0.95273 \u00b1 j0.04514   r = 0.95379   angle = 2.713\u00b0 (332.3 Hz)   Q = 0.707";
        moveTo(markOf(filterState().poles.positions[0]));
        QCOMPARE(shown(), QString::fromUtf8(polePair));
        moveTo(markOf(filterState().poles.positions[0], true));
        QCOMPARE(shown(), QString::fromUtf8(polePair));

        // Elsewhere: the summary, which the pointer's leaving also brings.
        moveTo({zPlaneRect().right + 3, magnitude.top + 3});
        QCOMPARE(shown(), summary());
        QVERIFY(shown().startsWith("2nd order LP   "));
        QVERIFY(shown().endsWith("   stable"));
        moveTo({x, magnitude.top + 5});
        QVERIFY(shown() != summary());
        QTest::mouseMove(window(), QPoint(-20, -20));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(clientArea(), &leave);
        settle();
        QCOMPARE(shown(), summary());

        // Coming back without a movement (the window mapped again under a
        // resting pointer): the place it comes back to.
        const QPointF back = QPointF(x, magnitude.top + 5) / clientArea()->devicePixelRatioF();
        QEnterEvent enter(back, clientArea()->mapToGlobal(back), clientArea()->mapToGlobal(back));
        QCoreApplication::sendEvent(clientArea(), &enter);
        settle();
        QCOMPARE(shown(), overMagnitude);
    }

    void readoutOfASingleRoot()
    {
        chooseModelByKeys(0);
        QCOMPARE(controls().modelComboBox->currentText(), QString("1st order LP"));
        QCOMPARE(filterState().zeros.count, 1);
        QVERIFY(!filterState().zeros.pairFlags[0]);
        moveTo(markOf(Complex{-1.0, 0.0}));
        QCOMPARE(shown(), QString("Zero -1.00000"));
    }

    void readoutFollowsADrag()
    {
        const Point grab = markOf(filterState().poles.positions[0]);
        moveTo(grab);
        QTest::mousePress(window(), Qt::LeftButton, {}, at(grab));
        settle();
        // Off the pole's old place: still the dragged pole, at its new position.
        moveTo({grab.x - 40, grab.y - 30});
        const Root moved = filterState().poles.root(0);
        QCOMPARE(shown(), text(rootReadout(moved, RootKind::Pole, 22050.0)));
        QVERIFY(shown().startsWith("Pole pair "));
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at({grab.x - 40, grab.y - 30}));
        settle();
        // The model is "Custom" now, and the summary says so.
        moveTo({zPlaneRect().right + 3, magnitudePane().top + 3});
        QVERIFY(shown().startsWith("Custom   "));
    }

    void readoutFollowsASliderKeyStep()
    {
        const Point over{magnitudePane().left + 200, magnitudePane().top + 10};
        moveTo(over);
        const QString before = shown();
        QSlider* slider = controls().cutoffSlider;
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_PageUp);
        settle();
        const std::optional<double> frequency = columnFrequency(magnitudePane(), 10.0, 22050.0, over.x);
        QVERIFY(frequency.has_value());
        QCOMPARE(shown(), text(responseReadout(filterState(), *frequency)));
        QVERIFY(shown() != before);

        // The summary follows the gain that the new cutoff gives.
        moveTo({zPlaneRect().right + 3, magnitudePane().top + 3});
        const QString summaryBefore = shown();
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_PageUp);
        settle();
        QCOMPARE(shown(), summary());
        QVERIFY(shown() != summaryBefore);
    }

    void doubleClickTypesAPairsPosition()
    {
        const int poles = filterState().poles.count;
        const Point mark = markOf(filterState().poles.positions[0]);
        moveTo(mark);
        bool found = false;
        onDialog(
            [](PositionDialog* dialog) {
                QVERIFY(!dialog->field(PositionField::Imaginary)->isReadOnly());
                QVERIFY(dialog->field(PositionField::Imaginary)->isEnabled());
                // Real has the focus with its text selected: typing replaces it.
                QTest::keyClicks(dialog->field(PositionField::Real), "0.5");
                type(dialog->field(PositionField::Imaginary), "-0.3");
                QTest::keyClick(dialog->field(PositionField::Imaginary), Qt::Key_Return);
            },
            &found);
        doubleClick(mark);
        QVERIFY(found);
        QCOMPARE(filterState().poles.count, poles);
        QCOMPARE(filterState().poles.positions[0].re, 0.5);
        QCOMPARE(filterState().poles.positions[0].im, -0.3);
        QVERIFY(filterState().poles.pairFlags[0]);
        QCOMPARE(filterState().modelIndex, MODEL_CUSTOM);
        QCOMPARE(controls().modelComboBox->currentText(), QString("Custom"));
        QVERIFY(normalised());
        QVERIFY(!cutoffMarkerVisible());
        QVERIFY(!rootEditor().dragging);
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
        // Where the pole was, the pointer now finds no root; where the pole
        // is, the readout shows it as typed (by its upper root).
        moveTo({mark.x + 1, mark.y});
        moveTo(mark);
        QCOMPARE(shown(), text(zPlaneReadout({(mark.x - zPlaneCentreX()) / zPlaneScale(),
                                              (zPlaneCentreY() - mark.y) / zPlaneScale()},
                                             22050.0)));
        moveTo(markOf({0.5, 0.3}));
        QCOMPARE(shown(), text(rootReadout({{0.5, -0.3}, true}, RootKind::Pole, 22050.0)));
        QVERIFY(shown().startsWith("Pole pair 0.50000 \u00b1 j0.30000"));
    }

    void escapeAndInvalidTextChangeNothing()
    {
        const Point mark = markOf(filterState().poles.positions[0]);
        moveTo(mark);
        // The first click of a double-click is a click on the root, and that
        // alone turns the model into "Custom"; the dialog changes nothing more.
        QTest::mouseClick(window(), Qt::LeftButton, {}, at(mark));
        settle();
        QCOMPARE(filterState().modelIndex, MODEL_CUSTOM);
        const FilterState before = filterState();
        const QImage shownBefore = surface().image.copy();

        bool found = false;
        onDialog(
            [](PositionDialog* dialog) {
                QTest::keyClicks(dialog->field(PositionField::Real), "0.1");
                QTest::keyClick(dialog->field(PositionField::Real), Qt::Key_Escape);
            },
            &found);
        doubleClick(mark);
        QVERIFY(found);

        found = false;
        bool okDisabled = false;
        onDialog(
            [&okDisabled](PositionDialog* dialog) {
                QTest::keyClicks(dialog->field(PositionField::Real), "abc");
                okDisabled = !dialog->okButton()->isEnabled();
                // Enter does nothing while OK is disabled; Esc leaves.
                QTest::keyClick(dialog->field(PositionField::Real), Qt::Key_Return);
                QVERIFY(dialog->isVisible());
                type(dialog->field(PositionField::Real), "2");
                okDisabled = okDisabled && !dialog->okButton()->isEnabled();
                QTest::keyClick(dialog->field(PositionField::Real), Qt::Key_Escape);
            },
            &found);
        doubleClick(mark);
        QVERIFY(found);
        QVERIFY(okDisabled);

        QVERIFY(sameRoots(filterState().poles, before.poles));
        QVERIFY(sameRoots(filterState().zeros, before.zeros));
        QCOMPARE(filterState().gain, before.gain);
        QCOMPARE(filterState().modelIndex, before.modelIndex);
        QCOMPARE(QString::fromStdString(firstDifference(surface().image, shownBefore,
                                                        {0, 0, surfaceWidth(surface()), surfaceHeight(surface())})),
                 QString());
    }

    void doubleClickAwayFromRootsIsAPress()
    {
        const int zeros = filterState().zeros.count;
        // A double-click on the zero cell of the palette adds a zero with
        // each of its presses, as two clicks do.
        const Rect& palette = paletteRect();
        const int side = palette.bottom - palette.top;
        const Point cell{palette.left + 2 * side + side / 2, palette.top + side / 2};
        moveTo(cell);
        bool found = false;
        whenModalShows([](QWidget* modal) { modal->close(); }, &found, 300);
        doubleClick(cell);
        // Lets the watch for a dialog run out, so that it closes nothing later.
        QTest::qWait(400);
        QVERIFY(!found);
        QVERIFY(filterState().zeros.count > zeros);
    }

    void positionItemOfTheRootMenu()
    {
        // The single zero of the first-order low-pass.
        chooseModelByKeys(0);
        QVERIFY(!filterState().zeros.pairFlags[0]);
        const Point zero = markOf(Complex{-1.0, 0.0});
        moveTo(zero);
        bool menuFound = false, dialogFound = false, imaginaryDisabled = false;
        whenModalShows(
            [this, &dialogFound, &imaginaryDisabled](QWidget* popup) {
                auto* menu = qobject_cast<QMenu*>(popup);
                QVERIFY(menu != nullptr);
                const QList<QAction*> actions = menu->actions();
                QVERIFY(!actions.isEmpty());
                QAction* last = actions.last();
                QCOMPARE(last->text(), QString::fromUtf8("Position\u2026"));
                QCOMPARE(last->data().toInt(), IDM_ROOT_POSITION);
                onDialog(
                    [&imaginaryDisabled](PositionDialog* dialog) {
                        imaginaryDisabled = !dialog->field(PositionField::Imaginary)->isEnabled();
                        QTest::keyClicks(dialog->field(PositionField::Real), "-0.25");
                        QTest::keyClick(dialog->field(PositionField::Real), Qt::Key_Enter);
                    },
                    &dialogFound);
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(last).center());
            },
            &menuFound);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(zero));
        settle();
        QVERIFY(menuFound);
        QVERIFY(dialogFound);
        QVERIFY(imaginaryDisabled);

        int moved = -1;
        for (int i = 0; i < filterState().zeros.count; ++i)
            if (filterState().zeros.positions[i].re == -0.25)
                moved = i;
        QVERIFY(moved >= 0);
        QCOMPARE(filterState().zeros.positions[moved].im, 0.0);
        QVERIFY(!filterState().zeros.pairFlags[moved]);
        QCOMPARE(filterState().modelIndex, MODEL_CUSTOM);
        QVERIFY(normalised());
        QVERIFY(!cutoffMarkerVisible());
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
    }

    // A drag rewrites the text at every step, but the line is painted at
    // most once per refresh of the screen, and in the end shows the newest.
    void readoutIsPaintedOncePerRefreshAtMost()
    {
        QVERIFY(QTest::qWaitFor([this] { return bar()->shownText() == shown(); }));
        const double rate = bar()->screen()->refreshRate();
        QVERIFY(rate >= 1.0);
        const Point grab = markOf(filterState().poles.positions[0]);
        moveTo(grab);
        QTest::mousePress(window(), Qt::LeftButton, {}, at(grab));
        settle();
        EventCounter paints(QEvent::Paint);
        bar()->installEventFilter(&paints);
        QElapsedTimer elapsed;
        elapsed.start();
        QSet<QString> texts;
        for (int step = 1; step <= 60; ++step) {
            moveTo({grab.x - step % 20, grab.y - step % 15});
            texts.insert(shown());
        }
        const double milliseconds = static_cast<double>(elapsed.elapsed());
        bar()->removeEventFilter(&paints);
        QVERIFY(texts.size() > 10);
        // One more paint than refreshes: a paint that was due may arrive
        // just after the drag began.
        QVERIFY2(paints.count <= 2 + milliseconds * rate / 1000.0,
                 qPrintable(QString("%1 paints in %2 ms").arg(paints.count).arg(milliseconds)));
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at({grab.x - 1, grab.y - 1}));
        settle();
        QVERIFY(QTest::qWaitFor([this] { return bar()->shownText() == shown(); }));
        QVERIFY(shown().startsWith("Pole pair "));
    }

    // A new text, however long, repaints the line and lays nothing out: the
    // window, the client area and the bar keep their places.
    void readoutTextLaysNothingOut()
    {
        const QRect client = clientArea()->geometry(), line = bar()->geometry();
        const QSize window = mainWindow()->size();
        EventCounter layouts(QEvent::LayoutRequest);
        for (QObject* watched : {static_cast<QObject*>(mainWindow()), static_cast<QObject*>(mainWindow()->statusBar()),
                                 static_cast<QObject*>(bar())})
            watched->installEventFilter(&layouts);
        bar()->setText(QString(2000, QChar('8')));
        QVERIFY(QTest::qWaitFor([this] { return bar()->shownText() == bar()->text(); }));
        QVERIFY(inkedPixels() > 0);
        bar()->setText(QString());
        QVERIFY(QTest::qWaitFor([this] { return bar()->shownText().isEmpty(); }));
        QCOMPARE(inkedPixels(), 0);
        moveTo({zPlaneRect().right + 3, magnitudePane().top + 3});
        QVERIFY(QTest::qWaitFor([this] { return bar()->shownText() == summary(); }));
        QVERIFY(inkedPixels() > 0);
        QCOMPARE(layouts.count, 0);
        QCOMPARE(clientArea()->geometry(), client);
        QCOMPARE(bar()->geometry(), line);
        QCOMPARE(mainWindow()->size(), window);
    }

    // The bar draws its line where a label of its size puts the same text,
    // pixel for pixel.
    void readoutLooksLikeALabel()
    {
        moveTo({magnitudePane().left + 150, magnitudePane().top + 20});
        QVERIFY(shown().startsWith("f = "));
        QLabel label(shown());
        label.setFont(bar()->font());
        label.setPalette(bar()->palette());
        label.setAutoFillBackground(true);
        label.resize(bar()->size());
        const QImage expected = label.grab().toImage();
        const QImage painted = bar()->grab().toImage();
        QCOMPARE(painted.size(), expected.size());
        QCOMPARE(painted, expected);
        QVERIFY(inkedPixels() > 0);
    }

    // Assistive technology reads the bar as a label of the same text: static
    // text named by the newest text, at once.
    void readoutIsReadLikeALabel()
    {
        moveTo({magnitudePane().left + 170, magnitudePane().top + 30});
        QVERIFY(shown().startsWith("f = "));
        QLabel label(shown());
        QAccessibleInterface* readout = QAccessible::queryAccessibleInterface(bar());
        QAccessibleInterface* labelled = QAccessible::queryAccessibleInterface(&label);
        QVERIFY(readout != nullptr && labelled != nullptr);
        QCOMPARE(readout->role(), QAccessible::StaticText);
        QCOMPARE(readout->role(), labelled->role());
        QCOMPARE(readout->text(QAccessible::Name), shown());
        QCOMPARE(readout->text(QAccessible::Name), labelled->text(QAccessible::Name));
        QCOMPARE(readout->text(QAccessible::Value), labelled->text(QAccessible::Value));
        QVERIFY(!readout->text(QAccessible::Description).isEmpty());
        QAccessibleInterface* statusBar = QAccessible::queryAccessibleInterface(mainWindow()->statusBar());
        QVERIFY(statusBar->indexOfChild(readout) >= 0);
        bar()->setText("z = 0.5");
        label.setText("z = 0.5");
        QCOMPARE(readout->text(QAccessible::Name), QString("z = 0.5"));
        QCOMPARE(readout->text(QAccessible::Name), labelled->text(QAccessible::Name));
    }

    // While a client listens, a label announces every new text; the bar
    // announces a burst of them with the repaint that shows the last, and the
    // client then reads the newest. Needs a platform with an accessibility
    // client (offscreen has none), e.g. X11 with the AT-SPI bus running:
    //   dbus-run-session -- sh -c '/usr/libexec/at-spi-bus-launcher & QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    //   xvfb-run -a readout_window_test -platform xcb readoutIsAnnouncedWithTheRepaint'
    void readoutIsAnnouncedWithTheRepaint()
    {
        // A client may connect a moment after the window shows.
        if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 1000))
            QSKIP("no accessibility client on this platform");
        QLabel label;
        QVERIFY(QTest::qWaitFor([this] { return bar()->shownText() == bar()->text(); }));
        const QAccessible::UpdateHandler platformHandler = QAccessible::installUpdateHandler(recordNameChange);
        QElapsedTimer elapsed;
        elapsed.start();
        for (int step = 0; step < 50; ++step) {
            bar()->setText(QString("step %1").arg(step));
            label.setText(QString("step %1").arg(step));
        }
        QVERIFY(QTest::qWaitFor([this] { return bar()->shownText() == bar()->text(); }));
        const double milliseconds = static_cast<double>(elapsed.elapsed());
        QAccessible::installUpdateHandler(platformHandler);
        QCOMPARE(label.property("nameChanges").toInt(), 50);
        const int announced = bar()->property("nameChanges").toInt();
        QVERIFY2(announced >= 1 && announced <= 2 + milliseconds * bar()->screen()->refreshRate() / 1000.0,
                 qPrintable(QString("%1 announcements in %2 ms").arg(announced).arg(milliseconds)));
        QCOMPARE(bar()->property("announcedName").toString(), QString("step 49"));
    }

    void positionItemCancelledChangesNothing()
    {
        const Point pole = markOf(filterState().poles.positions[0]);
        moveTo(pole);
        const FilterState before = filterState();
        bool menuFound = false, dialogFound = false;
        whenModalShows(
            [this, &dialogFound](QWidget* popup) {
                auto* menu = qobject_cast<QMenu*>(popup);
                QVERIFY(menu != nullptr);
                QAction* last = menu->actions().last();
                onDialog(
                    [](PositionDialog* dialog) {
                        QTest::keyClicks(dialog->field(PositionField::Real), "0.2");
                        QTest::keyClick(dialog->field(PositionField::Real), Qt::Key_Escape);
                    },
                    &dialogFound);
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(last).center());
            },
            &menuFound);
        QTest::mouseClick(window(), Qt::RightButton, {}, at(pole));
        settle();
        QVERIFY(menuFound);
        QVERIFY(dialogFound);
        QVERIFY(sameRoots(filterState().poles, before.poles));
        QVERIFY(sameRoots(filterState().zeros, before.zeros));
        QCOMPARE(filterState().gain, before.gain);
        QCOMPARE(filterState().modelIndex, 1);
        QVERIFY(cutoffMarkerVisible());
    }
};

QTEST_MAIN(ReadoutWindowTest)
#include "readout_window_test.moc"
