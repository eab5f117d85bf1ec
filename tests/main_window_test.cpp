// The real main window, driven as a user would: menus, the model combo box,
// both sliders by keys and mouse, the About box and its shortcuts.

#include "tests/window_driver.h"

#include "app/control_panel.h"
#include "app/root_editor.h"
#include "app/slider_scales.h"
#include "model/designs.h"
#include "model/filter_state.h"
#include "res/resource_ids.h"
#include "view/response_view.h"
#include "view/zplane_view.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <cmath>
#include <cstdio>

class MainWindowTest : public QObject, public WindowDriver {
    Q_OBJECT

    QList<QAction*> menuItems(int menuIndex)
    {
        return mainWindow()->menuBar()->actions().at(menuIndex)->menu()->actions();
    }

    QString cutoffText() { return controls().cutoffLabel->text(); }

    // The filter a fresh design of the given model gives for the current
    // parameters, to compare with what the window computed.
    FilterState designed(int model) const
    {
        FilterState result = filterState();
        result.modelIndex = model;
        applyModel(result);
        return result;
    }

    bool sameRoots(const FilterState& a, const FilterState& b)
    {
        if (a.zeros.count != b.zeros.count || a.poles.count != b.poles.count || a.gain != b.gain)
            return false;
        for (const auto list : {&FilterState::zeros, &FilterState::poles})
            for (int i = 0; i < (a.*list).count; ++i)
                if ((a.*list).positions[i].re != (b.*list).positions[i].re ||
                    (a.*list).positions[i].im != (b.*list).positions[i].im ||
                    (a.*list).pairFlags[i] != (b.*list).pairFlags[i])
                    return false;
        return true;
    }

    // What the screen shows of the client area, for comparison with the surface.
    QImage shownClientArea()
    {
        const QImage window = mainWindow()->screen()->grabWindow(mainWindow()->winId()).toImage();
        const QPoint origin = clientArea()->mapTo(mainWindow(), QPoint(0, 0));
        return window.copy(QRect(origin, clientArea()->size())).convertToFormat(QImage::Format_RGB32);
    }

    // Window coordinates of a client device pixel, for pointer events.
    QPoint windowPointOf(Point pixel)
    {
        const double ratio = clientArea()->devicePixelRatioF();
        const QPoint logical(toPixel(pixel.x / ratio), toPixel(pixel.y / ratio));
        return clientArea()->mapTo(mainWindow(), logical);
    }

    void pointerTo(Point pixel)
    {
        QTest::mouseMove(mainWindow()->windowHandle(), windowPointOf(pixel));
        settle();
    }

    // What the window shows of the client area after partial redraws, against
    // a full repaint of the same state: the device pixels that differ from what
    // the full repaint shows, and those of the full repaint's panes, z-plane and
    // palette that are not the surface's pixel at the same place.
    struct ShownDifference {
        int leftByPartialRedraws = 0;
        int fullRepaintNotSurface = 0;
    };

    ShownDifference shownAgainstAFullRepaint()
    {
        const QImage partial = shownClientPixels();
        clientArea()->invalidate();
        settle();
        const QImage full = shownClientPixels();
        const QImage reference = freshFullPaint();
        ShownDifference difference;
        difference.leftByPartialRedraws = differingPixels(partial, full, {0, 0, full.width(), full.height()});
        for (const Rect& r : {magnitudePane(), phasePane(), zPlaneRect(), paletteRect()})
            difference.fullRepaintNotSurface += differingPixels(full, reference, r);
        return difference;
    }

private slots:
    void initTestCase() { QVERIFY(openWindow()); }

    void cleanupTestCase() { closeWindow(); }

    void startsWithTheDefaultFilter()
    {
        QCOMPARE(mainWindow()->windowTitle(), QString("Vorbel"));
        QCOMPARE(filterState().nyquist, 22050.0);
        QCOMPARE(filterState().modelIndex, 0);
        QCOMPARE(filterState().poles.count, 1);
        QVERIFY(std::fabs(filterState().poles.positions[0].re - 0.9352391910) < 5e-11);

        QCOMPARE(controls().modelLabel->text(), QString("Filter model:"));
        QCOMPARE(controls().modelComboBox->count(), 9);
        QCOMPARE(controls().modelComboBox->currentText(), QString("1st order LP"));
        QCOMPARE(controls().modelComboBox->itemText(8), QString("Custom"));
        QCOMPARE(cutoffText(), QString("fc = 470 Hz"));
        QCOMPARE(controls().cutoffSlider->value(), 1000);
        QCOMPARE(controls().qSlider->value(), 0);
        QCOMPARE(controls().qLabel->text(), QString("Q = 0.707"));
        QVERIFY(controls().modelLabel->isVisible());
        QVERIFY(controls().modelComboBox->isVisible());
        QVERIFY(controls().cutoffLabel->isVisible());
        QVERIFY(controls().cutoffSlider->isVisible());
        QVERIFY(!controls().qLabel->isVisible());
        QVERIFY(!controls().qSlider->isVisible());
    }

    void menusCarryTheirTextsAndOneCheckMark()
    {
        QStringList titles;
        for (const QAction* action : mainWindow()->menuBar()->actions())
            titles << action->text();
        QCOMPARE(titles, QStringList({"&File", "&Edit", "&View", "F&s", "&Help"}));
        QStringList fileItems;
        for (const QAction* action : menuItems(0))
            fileItems << (action->isSeparator() ? QString("-") : action->text() + " " + action->shortcut().toString());
        QCOMPARE(fileItems, QStringList({"&Open\u2026 Ctrl+O", "&Save Ctrl+S", "Save &As\u2026 Ctrl+Shift+S",
                                         "&Import Coefficients\u2026 ", "Export &Coefficients\u2026 ",
                                         "Export &Picture\u2026 ", "Export Co&de\u2026 ", "-", "E&xit "}));
        QCOMPARE(menuItems(0).at(3)->data().toInt(), IDM_IMPORT_COEFFICIENTS);
        QCOMPARE(menuItems(0).last()->data().toInt(), IDM_EXIT);
        QCOMPARE(menuItems(1).size(), 6);
        QCOMPARE(menuItems(1).at(0)->data().toInt(), IDM_UNDO);
        QCOMPARE(menuItems(1).at(1)->data().toInt(), IDM_REDO);
        QVERIFY(menuItems(1).at(2)->isSeparator());
        QCOMPARE(menuItems(1).at(3)->text(), QString("&Copy Coefficients"));
        QCOMPARE(menuItems(1).at(3)->data().toInt(), IDM_COPY_COEFFICIENTS);
        QCOMPARE(menuItems(1).at(4)->text(), QString("Copy Co&de"));
        QCOMPARE(menuItems(1).at(4)->data().toInt(), IDM_COPY_CODE);
        QCOMPARE(menuItems(1).last()->text(), QString("&Paste Coefficients"));
        QCOMPARE(menuItems(1).last()->shortcut(), QKeySequence("Ctrl+Shift+V"));
        QCOMPARE(menuItems(1).last()->data().toInt(), IDM_PASTE_COEFFICIENTS);
        QStringList views;
        for (const QAction* action : menuItems(2).mid(0, 4)) {
            views << action->text();
            QVERIFY(action->isCheckable());
            QVERIFY(!action->isChecked());
        }
        QCOMPARE(views, QStringList({"&Impulse Response", "&Step Response", "&Group Delay", "&Roots"}));
        QVERIFY(menuItems(2).at(4)->isSeparator());
        QCOMPARE(menuItems(2).at(5)->text(), QString("&Precision"));
        QCOMPARE(menuItems(2).at(6)->text(), QString("&Listen"));
        QCOMPARE(menuItems(2).at(6)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        QCOMPARE(menuItems(2).at(6)->data().toInt(), IDM_VIEW_LISTEN);
        QVERIFY(menuItems(2).at(6)->isCheckable());
        QVERIFY(!menuItems(2).at(6)->isChecked());
        QStringList rates;
        for (const QAction* action : menuItems(3)) {
            rates << action->text();
            QVERIFY(action->isCheckable());
            QCOMPARE(action->isChecked(), action->data().toInt() == IDM_RATE_44100);
        }
        QCOMPARE(rates, QStringList({"4&4100", "4&8000", "9&6000", "19&2000"}));
        QCOMPARE(menuItems(4).at(0)->text(), QString("&About ..."));
        QCOMPARE(menuItems(4).at(0)->data().toInt(), IDM_ABOUT);
    }

    // The four rates form one exclusive group, which the style shows as a
    // choice of one; choosing any rate leaves exactly that one checked.
    void sampleRateItemsAreAChoiceOfOne()
    {
        const QList<QAction*> rates = menuItems(3);
        QActionGroup* group = rates.at(0)->actionGroup();
        QVERIFY(group != nullptr);
        QCOMPARE(group->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
        QCOMPARE(group->actions(), rates);
        for (const int id : {IDM_RATE_192000, IDM_RATE_48000, IDM_RATE_48000, IDM_RATE_44100}) {
            triggerCommand(id);
            QCOMPARE(group->checkedAction(), commandAction(id));
            int checked = 0;
            for (const QAction* action : rates)
                checked += action->isChecked() ? 1 : 0;
            QCOMPARE(checked, 1);
        }
    }

    void firstPaintShowsTheFullPaint()
    {
        const QImage reference = freshFullPaint();
        const Rect all{0, 0, reference.width(), reference.height()};
        QCOMPARE(QString::fromStdString(firstDifference(clientArea()->surface().image, reference, all)), QString());
        // What the screen shows is the surface, under the controls().
        const QImage shown = shownClientArea();
        for (const Rect& r : {magnitudePane(), phasePane(), zPlaneRect()})
            QCOMPARE(QString::fromStdString(firstDifference(shown, clientArea()->surface().image, r)), QString());
        QVERIFY(cutoffMarkerVisible());
    }

    void sampleRateItemsMoveTheCheckMarkAndRepaint()
    {
        const struct {
            int id;
            double nyquist;
            const char* label;
        } rates[] = {{IDM_RATE_48000, 24000.0, "fc = 490 Hz"},
                     {IDM_RATE_96000, 48000.0, "fc = 693 Hz"},
                     {IDM_RATE_192000, 96000.0, "fc = 980 Hz"},
                     {IDM_RATE_44100, 22050.0, "fc = 470 Hz"}};
        for (const auto& rate : rates) {
            // A stray pixel outside the panes: only a full paint removes it.
            setPixel(clientArea()->surface(), 1, surfaceHeight(clientArea()->surface()) - 2, rgb(1, 2, 3));
            triggerCommand(rate.id);
            for (const QAction* action : menuItems(3))
                QCOMPARE(action->isChecked(), action->data().toInt() == rate.id);
            QCOMPARE(filterState().nyquist, rate.nyquist);
            QCOMPARE(cutoffText(), QString(rate.label));
            QCOMPARE(controls().cutoffSlider->value(), 1000);
            QCOMPARE(pixelAt(clientArea()->surface(), 1, surfaceHeight(clientArea()->surface()) - 2), WHITE);
            const QImage reference = freshFullPaint();
            QCOMPARE(QString::fromStdString(firstDifference(clientArea()->surface().image, reference,
                                                            {0, 0, reference.width(), reference.height()})),
                     QString());
        }
        // Choosing the rate that carries the mark runs the same steps.
        triggerCommand(IDM_RATE_44100);
        QCOMPARE(commandAction(IDM_RATE_44100)->isChecked(), true);
    }

    void cutoffSliderByKeys()
    {
        const struct {
            int id;
            int position;
            const char* label;
        } cases[] = {{IDM_RATE_44100, 0, "fc = 10 Hz"},      {IDM_RATE_44100, 598, "fc = 99.9 Hz"},
                     {IDM_RATE_44100, 599, "fc = 100 Hz"},    {IDM_RATE_44100, 1000, "fc = 470 Hz"},
                     {IDM_RATE_44100, 1999, "fc = 21965 Hz"}, {IDM_RATE_44100, 2000, "fc = 22050 Hz"},
                     {IDM_RATE_48000, 591, "fc = 99.7 Hz"},   {IDM_RATE_48000, 592, "fc = 100 Hz"},
                     {IDM_RATE_192000, 2000, "fc = 96000 Hz"}};
        for (const auto& c : cases) {
            if (!commandAction(c.id)->isChecked())
                triggerCommand(c.id);
            setSliderByKeys(controls().cutoffSlider, c.position);
            QCOMPARE(controls().cutoffSlider->value(), c.position);
            QCOMPARE(cutoffText(), QString(c.label));
            QCOMPARE(filterState().cutoff,
                     cutoffAtPosition(filterState().nyquist, filterState().lowestFrequency, c.position));
            QVERIFY(sameRoots(filterState(), designed(0)));
            QVERIFY(cutoffMarkerVisible());
            QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
        }
        // The end key at the top of the range still redraws: a no-op move
        // keeps the picture.
        QTest::keyClick(controls().cutoffSlider, Qt::Key_End);
        settle();
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
        triggerCommand(IDM_RATE_44100);
        setSliderByKeys(controls().cutoffSlider, 1000);
        QCOMPARE(cutoffText(), QString("fc = 470 Hz"));
    }

    void cutoffSliderByMouse()
    {
        QSlider* slider = controls().cutoffSlider;
        const QRect handle = sliderHandle(slider);

        // Dragging the handle to the right raises the cutoff at every step.
        const int before = slider->value();
        QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
        for (int dx = 4; dx <= 40; dx += 4)
            QTest::mouseMove(slider, handle.center() + QPoint(dx, 0));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, handle.center() + QPoint(40, 0));
        settle();
        QVERIFY(slider->value() > before);
        QCOMPARE(cutoffText(), QString::fromStdString(cutoffLabelText(filterState().cutoff)));
        QCOMPARE(filterState().cutoff, cutoffAtPosition(filterState().nyquist, filterState().lowestFrequency, slider->value()));
        QVERIFY(sameRoots(filterState(), designed(0)));
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());

        // A click on the groove left of the handle moves it down.
        const int dragged = slider->value();
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(2, slider->height() / 2));
        settle();
        QVERIFY(slider->value() < dragged);
        QCOMPARE(filterState().cutoff, cutoffAtPosition(filterState().nyquist, filterState().lowestFrequency, slider->value()));
        setSliderByKeys(slider, 1000);
    }

    void qSliderByKeys()
    {
        chooseModelByKeys(1);
        QVERIFY(controls().qSlider->isVisible());
        const struct {
            int position;
            const char* label;
        } cases[] = {{0, "Q = 0.707"}, {500, "Q = 1.37"}, {1000, "Q = 2.66"}, {1500, "Q = 5.16"}, {2000, "Q = 10"}};
        for (const auto& c : cases) {
            setSliderByKeys(controls().qSlider, c.position);
            QCOMPARE(controls().qLabel->text(), QString(c.label));
            QCOMPARE(filterState().q, qAtPosition(c.position));
            QVERIFY(sameRoots(filterState(), designed(1)));
            QVERIFY(cutoffMarkerVisible());
            QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
        }
        setSliderByKeys(controls().qSlider, 0);
        chooseModelByKeys(0);
    }

    void modelSelectionShowsItsControls()
    {
        const bool qShown[] = {false, true, true, true, true, false, true, false, false};
        for (int model = 0; model < 8; ++model) {
            chooseModelByKeys(model);
            QCOMPARE(filterState().modelIndex, model);
            QVERIFY(controls().cutoffLabel->isVisible());
            QVERIFY(controls().cutoffSlider->isVisible());
            QCOMPARE(controls().qLabel->isVisible(), qShown[model]);
            QCOMPARE(controls().qSlider->isVisible(), qShown[model]);
            QVERIFY(sameRoots(filterState(), designed(model)));
            QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
        }
    }

    void customKeepsRootsAndPicture()
    {
        chooseModelByKeys(7);
        settle();
        const FilterState before = filterState();
        const QImage picture = clientArea()->surface().image.copy();
        chooseModelByKeys(8);
        QCOMPARE(filterState().modelIndex, MODEL_CUSTOM);
        QVERIFY(sameRoots(filterState(), before));
        QVERIFY(clientArea()->surface().image == picture);
        QVERIFY(!controls().cutoffLabel->isVisible());
        QVERIFY(!controls().cutoffSlider->isVisible());
        QVERIFY(!controls().qLabel->isVisible());
        QVERIFY(!controls().qSlider->isVisible());
        QVERIFY(!filterState().qVisible);

        // Back to a model: rebuilt from the sliders, which kept their places.
        setPixel(clientArea()->surface(), 0, 0, rgb(1, 1, 1));
        chooseModelByKeys(3);
        QCOMPARE(filterState().cutoff, cutoffAtPosition(filterState().nyquist, filterState().lowestFrequency, 1000));
        QVERIFY(sameRoots(filterState(), designed(3)));
        QVERIFY(controls().qSlider->isVisible());
    }

    // A new rate in "Custom" keeps the roots and the hidden Q controls, and
    // the Q-visible flag stays clear with them.
    void sampleRateInCustomKeepsTheQFlagClear()
    {
        chooseModelByKeys(6);
        QVERIFY(filterState().qVisible);
        chooseModelByKeys(8);
        const FilterState before = filterState();
        triggerCommand(IDM_RATE_96000);
        QCOMPARE(filterState().nyquist, 48000.0);
        QCOMPARE(cutoffText(), QString("fc = 693 Hz"));
        QVERIFY(sameRoots(filterState(), before));
        QVERIFY(!filterState().qVisible);
        QVERIFY(controls().qSlider->isHidden());
        QVERIFY(controls().qLabel->isHidden());
        QVERIFY(controls().cutoffSlider->isHidden());
        triggerCommand(IDM_RATE_44100);
        QVERIFY(!filterState().qVisible);
        chooseModelByKeys(0);
        QVERIFY(!filterState().qVisible);
    }

    // A root grabbed while a press holds a slider switches to "Custom" and
    // hides the slider: from then on what the slider still does (the
    // auto-repeat of a press on its groove, the release of its handle) moves
    // nothing and recomputes nothing.
    void hiddenSliderChangesNothing()
    {
        chooseModelByKeys(1);
        QSlider* slider = controls().cutoffSlider;
        const QPoint groove(slider->width() - 3, slider->height() / 2);
        QTest::mousePress(slider, Qt::LeftButton, {}, groove);
        settle();
        const int pressed = slider->value();
        // What a press on a root does: the model becomes "Custom".
        session().editRoots({}, true, session().cutoffMarkerVisible(), QString());
        const FilterState custom = filterState();
        QTest::qWait(900);
        QCOMPARE(slider->value(), pressed);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, groove);
        settle();
        QCOMPARE(filterState().cutoff, custom.cutoff);
        QVERIFY(!filterState().qVisible);
        QVERIFY(sameRoots(filterState(), custom));

        // Held by its handle, released after the hiding.
        chooseModelByKeys(1);
        const QPoint handle = sliderHandle(slider).center();
        QTest::mousePress(slider, Qt::LeftButton, {}, handle);
        QVERIFY(slider->isSliderDown());
        // A press on a root and its drag's first movement.
        session().editRoots({}, true, false, QString());
        QTest::mouseRelease(slider, Qt::LeftButton, {}, handle);
        settle();
        QVERIFY(!filterState().qVisible);
        QVERIFY(!cutoffMarkerVisible());

        // Shown again with a model, the slider works again.
        chooseModelByKeys(0);
        QVERIFY(slider->isEnabled());
        setSliderByKeys(slider, 1000);
        QCOMPARE(cutoffText(), QString("fc = 470 Hz"));
        QVERIFY(cutoffMarkerVisible());
    }

    void modelChosenFromTheOpenList()
    {
        QComboBox* combo = controls().modelComboBox;
        combo->showPopup();
        QAbstractItemView* list = combo->view();
        QTRY_VERIFY(list->isVisible());
        QVERIFY(list->width() >= list->sizeHintForColumn(0));
        const QRect item = list->visualRect(list->model()->index(5, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
        settle();
        QCOMPARE(combo->currentIndex(), 5);
        QCOMPARE(filterState().modelIndex, 5);
        QVERIFY(sameRoots(filterState(), designed(5)));
        chooseModelByKeys(0);
    }

    void aboutBoxByMenuAndShortcuts()
    {
        // By the menu, closed with OK.
        bool shown = false;
        whenModalShows(
            [](QWidget* dialog) {
                auto* ok = dialog->findChild<QPushButton*>();
                QVERIFY(ok != nullptr);
                QCOMPARE(ok->text(), QString("OK"));
                QVERIFY(ok->isDefault());
                bool hasIcon = false;
                for (const QLabel* label : dialog->findChildren<QLabel*>())
                    hasIcon = hasIcon || label->pixmap().size() == QSize(32, 32);
                QVERIFY(hasIcon);
                QTest::mouseClick(ok, Qt::LeftButton);
            },
            &shown);
        commandAction(IDM_ABOUT)->trigger();
        QVERIFY(shown);

        // Alt with a typed "?", closed with Enter; Alt with "/", closed with Esc.
        const struct {
            Qt::Key typed;
            Qt::Key closing;
        } keys[] = {{Qt::Key_Question, Qt::Key_Return}, {Qt::Key_Slash, Qt::Key_Escape}};
        for (const auto& k : keys) {
            mainWindow()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
            clientArea()->setFocus();
            QCOMPARE(QApplication::focusWidget(), clientArea());
            Qt::Key closing = k.closing;
            whenModalShows([closing](QWidget* dialog) { QTest::keyClick(dialog, closing); }, &shown);
            QTest::keyClick(clientArea(), k.typed, Qt::AltModifier);
            QVERIFY(shown);
            QVERIFY(QApplication::activeModalWidget() == nullptr);
        }

        // While the combo box has the focus the keys do nothing.
        controls().modelComboBox->setFocus();
        whenModalShows([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }, &shown, 300);
        QTest::keyClick(controls().modelComboBox, Qt::Key_Question, Qt::AltModifier);
        QTest::qWait(400);
        QVERIFY(!shown);
        QCOMPARE(controls().modelComboBox->currentIndex(), 0);
    }

    // A click on a response pane or the z-plane takes the keyboard focus back
    // from the control the user worked with, so that Alt with "?" or "/"
    // opens the About box again.
    void clickOnThePlotsBringsTheAboutKeysBack()
    {
        const Point plots[] = {{magnitudePane().left + 20, magnitudePane().top + 20},
                               {phasePane().left + 20, phasePane().bottom - 20},
                               {zPlaneCentreX() - 15, zPlaneCentreY() + 40}};
        const Qt::Key typed[] = {Qt::Key_Question, Qt::Key_Slash, Qt::Key_Question};
        // Used by a click on its handle, or by keys.
        QWidget* const usedControls[] = {controls().cutoffSlider, controls().modelComboBox, controls().cutoffSlider};
        for (std::size_t i = 0; i < std::size(plots); ++i) {
            // The window is active again once the About box has closed.
            mainWindow()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
            QWidget* control = usedControls[i];
            if (control == controls().cutoffSlider) {
                QTest::mouseClick(mainWindow()->windowHandle(), Qt::LeftButton, {},
                                  control->mapTo(mainWindow(), sliderHandle(controls().cutoffSlider).center()));
                settle();
            } else {
                chooseModelByKeys(1);
                chooseModelByKeys(0);
            }
            QCOMPARE(QApplication::focusWidget(), control);

            // While the control has the focus the keys do not reach the window.
            bool shown = false;
            whenModalShows([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }, &shown, 300);
            QTest::keyClick(mainWindow()->windowHandle(), typed[i], Qt::AltModifier);
            QTest::qWait(400);
            QVERIFY(!shown);

            QTest::mouseClick(mainWindow()->windowHandle(), Qt::LeftButton, {}, windowPointOf(plots[i]));
            settle();
            QCOMPARE(QApplication::focusWidget(), clientArea());
            whenModalShows([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }, &shown);
            QTest::keyClick(mainWindow()->windowHandle(), typed[i], Qt::AltModifier);
            QVERIFY(shown);
            QVERIFY(QApplication::activeModalWidget() == nullptr);
        }
        QCOMPARE(filterState().modelIndex, 0);
    }

    // At any device pixel ratio, what slider steps, a root drag and a
    // palette add leave on the screen is what a full repaint shows.
    void partialRedrawsShowWhatAFullRepaintShows()
    {
        QVERIFY(!shownClientPixels().isNull());
        chooseModelByKeys(0);
        setSliderByKeys(controls().cutoffSlider, 1000);
        clientArea()->invalidate();
        settle();

        // 40 key steps right and 13 left, each shown before the next.
        keySteps(controls().cutoffSlider, Qt::Key_Right, 40);
        keySteps(controls().cutoffSlider, Qt::Key_Left, 13);
        QCOMPARE(controls().cutoffSlider->value(), 1027);
        const ShownDifference afterSliderSteps = shownAgainstAFullRepaint();

        const Complex start = filterState().poles.positions[0];
        const Point grab = markOf(start);
        // From elsewhere, so that the pointer arrives at the pole after the
        // last filter change and the press takes it.
        pointerTo({magnitudePane().left + 5, magnitudePane().top + 5});
        pointerTo(grab);
        QVERIFY(rootEditor().hovering);
        QTest::mousePress(mainWindow()->windowHandle(), Qt::LeftButton, {}, windowPointOf(grab));
        settle();
        for (int step = 1; step <= 6; ++step)
            pointerTo({grab.x - 7 * step, grab.y - 5 * step});
        QTest::mouseRelease(mainWindow()->windowHandle(), Qt::LeftButton, {}, windowPointOf({grab.x - 42, grab.y - 30}));
        settle();
        QVERIFY(filterState().poles.positions[0].re < start.re);
        const ShownDifference afterRootDrag = shownAgainstAFullRepaint();

        const int zeros = filterState().zeros.count;
        const int side = paletteRect().bottom - paletteRect().top;
        const Point cell{paletteRect().left + 3 * side + side / 2, paletteRect().top + side / 2};
        pointerTo(cell);
        QTest::mousePress(mainWindow()->windowHandle(), Qt::LeftButton, {}, windowPointOf(cell));
        settle();
        const Point target{zPlaneCentreX() - 25, zPlaneCentreY() - 35};
        for (int step = 1; step <= 4; ++step)
            pointerTo({cell.x + (target.x - cell.x) * step / 4, cell.y + (target.y - cell.y) * step / 4});
        QTest::mouseRelease(mainWindow()->windowHandle(), Qt::LeftButton, {}, windowPointOf(target));
        settle();
        QCOMPARE(filterState().zeros.count, zeros + 1);
        const ShownDifference afterPaletteAdd = shownAgainstAFullRepaint();

        for (const ShownDifference& shown : {afterSliderSteps, afterRootDrag, afterPaletteAdd}) {
            QCOMPARE(shown.leftByPartialRedraws, 0);
            QCOMPARE(shown.fullRepaintNotSurface, 0);
        }
        pointerTo({magnitudePane().left + 5, magnitudePane().top + 5});
        chooseModelByKeys(0);
        setSliderByKeys(controls().cutoffSlider, 1000);
    }

    // With twice as many device pixels as logical ones, the surface, the
    // controls and the pointer all count device pixels.
    // A state put in place by undo or redo shows exactly what the window
    // showed when it held that state, controls, rate and cutoff marker
    // included.
    void restoredStateShowsWhatTheWindowShowedWithIt()
    {
        chooseModelByKeys(1);
        setSliderByKeys(controls().cutoffSlider, 1000);
        clientArea()->invalidate();
        settle();
        const Document before = session().document();
        const int stepsBefore = session().history().stack().index();
        const QImage pictureBefore = clientArea()->surface().image.copy();

        chooseModelByKeys(4);
        setSliderByKeys(controls().qSlider, 700);
        setSliderByKeys(controls().cutoffSlider, 1500);
        triggerCommand(IDM_RATE_96000);
        // A drag hides the marker: the restored picture must bring it back.
        const Complex pole = filterState().poles.positions[0];
        session().setRootPosition(RootListKind::Poles, 0, Complex{pole.re * 0.5, pole.im});
        settle();
        const Document after = session().document();
        const QImage pictureAfter = clientArea()->surface().image.copy();
        QVERIFY(!(after == before));
        QVERIFY(pictureAfter != pictureBefore);
        QVERIFY(!cutoffMarkerVisible());

        const int stepsAfter = session().history().stack().index();
        while (session().history().stack().index() > stepsBefore)
            triggerCommand(IDM_UNDO);
        QVERIFY(session().document() == before);
        QCOMPARE(controls().modelComboBox->currentIndex(), 1);
        QCOMPARE(controls().cutoffSlider->value(), 1000);
        QVERIFY(controls().cutoffSlider->isVisible());
        QCOMPARE(controls().qSlider->isVisible(), before.filter.qVisible);
        QVERIFY(session().document() == before);  // the controls moved nothing
        QCOMPARE(clientArea()->surface().image, pictureBefore);

        while (session().history().stack().index() < stepsAfter)
            triggerCommand(IDM_REDO);
        QVERIFY(session().document() == after);
        QCOMPARE(controls().modelComboBox->currentIndex(), MODEL_CUSTOM);
        QCOMPARE(controls().qSlider->value(), 700);
        QCOMPARE(clientArea()->surface().image, pictureAfter);

        chooseModelByKeys(0);
        triggerCommand(IDM_RATE_44100);
        setSliderByKeys(controls().cutoffSlider, 1000);
        settle();
    }

    // Moved to a screen of another scale, the window makes its fonts, layout
    // and surface again for the new ratio and shows a full paint of it.
    void ratioChangeMakesEverythingAgain()
    {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (screens.size() < 2)
            QSKIP("runs with the two-screen offscreen configuration");
        // Whichever screen the window is not on.
        QScreen* dense = screens[0] == mainWindow()->screen() ? screens[1] : screens[0];
        QVERIFY(dense->devicePixelRatio() > clientArea()->devicePixelRatioF());
        const int fontHeightBefore = clientArea()->fonts().arialFont->height;

        mainWindow()->windowHandle()->setScreen(dense);
        settle();
        const double ratio = clientArea()->devicePixelRatioF();
        QCOMPARE(ratio, dense->devicePixelRatio());
        QCOMPARE(surfaceWidth(clientArea()->surface()), static_cast<int>(std::lround(clientArea()->width() * ratio)));
        QCOMPARE(surfaceHeight(clientArea()->surface()), static_cast<int>(std::lround(clientArea()->height() * ratio)));
        const Fonts expected = createFonts(toPixel(dense->logicalDotsPerInchY() * ratio));
        QCOMPARE(clientArea()->fonts().arialFont->height, expected.arialFont->height);
        QVERIFY(clientArea()->fonts().arialFont->height > fontHeightBefore);
        const ControlGeometry& slider = layout().controlGeometry[CUTOFF_SLIDER - 1];
        QCOMPARE(controls().cutoffSlider->x(), static_cast<int>(slider.x / ratio));
        // The offscreen platform keeps showing its old pixels after such a
        // move, so the surface is compared: it holds a full paint.
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());
    }

    void highDensityScreen()
    {
        const double ratio = clientArea()->devicePixelRatioF();
        if (ratio == 1.0)
            QSKIP("runs with QT_SCALE_FACTOR=2");
        QCOMPARE(surfaceWidth(clientArea()->surface()), static_cast<int>(std::lround(clientArea()->width() * ratio)));
        QCOMPARE(surfaceHeight(clientArea()->surface()), static_cast<int>(std::lround(clientArea()->height() * ratio)));
        const ControlGeometry& slider = layout().controlGeometry[CUTOFF_SLIDER - 1];
        QCOMPARE(controls().cutoffSlider->x(), static_cast<int>(slider.x / ratio));
        QCOMPARE(controls().cutoffSlider->width(), static_cast<int>(slider.width / ratio));
        QCOMPARE(QString::fromStdString(differenceFromFullPaint()), QString());

        // Pointing at the pole's mark finds the pole.
        const Complex pole = filterState().poles.positions[0];
        const int px = zPlaneCentreX() + static_cast<int>(pole.re * zPlaneScale());
        const int py = zPlaneCentreY() - static_cast<int>(pole.im * zPlaneScale());
        QTest::mouseMove(clientArea(), QPoint(static_cast<int>(px / ratio), static_cast<int>(py / ratio)));
        settle();
        QVERIFY(rootEditor().hovering);
        QCOMPARE(rootEditor().selectedRoot.list, RootListKind::Poles);
        QCOMPARE(clientArea()->cursor().shape(), clientArea()->cursors().hand.shape());
    }

    // The whole program in a child process: Exit and the close box end the
    // event loop with exit code 0.
    void exitEndsTheProgramWithZero()
    {
        for (const char* how : {"exit-command", "close-box"}) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {QString("--child"), QString(how)});
            QVERIFY(child.waitForFinished(20000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
            QVERIFY2(child.readAllStandardOutput().contains("closed"), how);
        }
    }
};

// The child process of exitEndsTheProgramWithZero.
int runChild(int argc, char** argv, const QString& how)
{
    QApplication application(argc, argv);
    // The window is runMainWindow's own; the event loop finds it shown.
    QTimer::singleShot(0, [how] {
        MainWindow* window = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* candidate = dynamic_cast<MainWindow*>(widget))
                window = candidate;
        if (window == nullptr)
            return;
        if (how == "exit-command") {
            for (QAction* top : window->menuBar()->actions())
                if (top->menu() != nullptr)
                    for (QAction* item : top->menu()->actions())
                        if (item->data().toInt() == IDM_EXIT)
                            item->trigger();
        }
        else
            window->close();
        std::printf("closed\n");
        std::fflush(stdout);
    });
    return runMainWindow();
}

int main(int argc, char** argv)
{
    // The offscreen platform, unless ctest chose it with options of its own.
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && QString(argv[1]) == "--child")
        return runChild(argc, argv, QString(argv[2]));
    QApplication application(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
