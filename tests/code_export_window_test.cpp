// The code exports and the precision view in the real main window: the
// Precision choice and what it paints, partial redraws with the view on
// against a fresh full paint at any display scale, the status bar's verdict,
// Copy Code and what the Export Code dialog remembers.

#include "tests/window_driver.h"

#include "app/code_export_commands.h"
#include "app/export_code_dialog.h"
#include "model/code_export.h"
#include "model/designs.h"
#include "model/readout.h"
#include "model/rounding.h"
#include "res/resource_ids.h"
#include "view/colours.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <algorithm>
#include <cstddef>
#include <iterator>

class CodeExportWindowTest : public QObject, public WindowDriver {
    Q_OBJECT

    void choose(int id)
    {
        QAction* action = commandAction(id);
        QVERIFY(action != nullptr);
        action->trigger();
        settle();
    }

    Precision precision() const { return clientArea()->plots().precision; }

    // The client surface as a fresh full paint with the window's precision
    // would draw it: new views, nothing the window's own views keep.
    // The precision view's grey inside r (the antialiased labels outside
    // the panes have pixels of that grey too).
    int greyPixels(const Rect& r) const
    {
        const Surface& surface = clientArea()->surface();
        int count = 0;
        for (int y = std::max(r.top, 0); y < std::min(r.bottom, surfaceHeight(surface)); ++y)
            for (int x = std::max(r.left, 0); x < std::min(r.right, surfaceWidth(surface)); ++x)
                count += pixelAt(surface, x, y) == ROUNDED_GREY ? 1 : 0;
        return count;
    }

    // The dialog's combo box index of a format.
    static int indexOf(ExportFormat format)
    {
        for (std::size_t i = 0; i < std::size(EXPORT_FORMATS); ++i)
            if (EXPORT_FORMATS[i].format == format)
                return static_cast<int>(i);
        return -1;
    }

    // Window coordinates of a client device pixel, for pointer events.
    QPoint windowPointOf(Point pixel) const
    {
        const double ratio = clientArea()->devicePixelRatioF();
        return clientArea()->mapTo(mainWindow(), QPoint(toPixel(pixel.x / ratio), toPixel(pixel.y / ratio)));
    }

    void pointerTo(Point pixel) const
    {
        QTest::mouseMove(window(), windowPointOf(pixel));
        settle();
    }

    // What the window shows after partial redraws, against a full repaint
    // of the same state: the device pixels that differ, plus those of the
    // full repaint's panes and z-plane that a fresh full paint draws
    // otherwise.
    int shownDifferenceFromAFullRepaint()
    {
        const QImage partial = shownClientPixels();
        const QImage surface = clientArea()->surface().image.copy();
        clientArea()->invalidate();
        settle();
        const QImage full = shownClientPixels();
        const QImage reference = freshFullPaint();
        int differing = differingPixels(partial, full, {0, 0, full.width(), full.height()});
        for (const Rect& r : {magnitudePane(), phasePane(), zPlaneRect()})
            differing += differingPixels(surface, reference, r) + differingPixels(full, reference, r);
        return differing;
    }

    void startFrom(int model, int rateId, int cutoffPosition)
    {
        choose(IDM_PRECISION_EXACT);
        chooseModelByKeys(model);
        choose(rateId);
        setSliderByKeys(controls().cutoffSlider, cutoffPosition);
    }

private slots:
    void initTestCase() { QVERIFY(openWindow()); }

    void cleanupTestCase() { closeWindow(); }

    // Four choices of one, Exact first and checked; a choice is the view's
    // state: the design, its history and its saved state stay as they were.
    void precisionIsAChoiceOfOneAndNoEdit()
    {
        QAction* submenu = nullptr;
        for (QAction* top : mainWindow()->menuBar()->actions())
            if (top->text() == QString(MENU_VIEW))
                for (QAction* item : top->menu()->actions())
                    if (item->menu() != nullptr)
                        submenu = item;
        QVERIFY(submenu != nullptr && submenu->menu() != nullptr);
        QCOMPARE(submenu->text(), QString("&Precision"));
        const QList<QAction*> items = submenu->menu()->actions();
        QStringList texts;
        for (const QAction* item : items)
            texts << item->text();
        QCOMPARE(texts, QStringList({"&Exact", "&float32", "Q&15", "Q&31"}));
        QActionGroup* group = items.at(0)->actionGroup();
        QVERIFY(group != nullptr);
        QCOMPARE(group->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
        QCOMPARE(group->actions(), items);
        QCOMPARE(group->checkedAction(), commandAction(IDM_PRECISION_EXACT));
        QCOMPARE(precision(), Precision::Exact);

        const Document before = session().document();
        const int steps = session().history().stack().count();
        const struct {
            int id;
            Precision precision;
        } choices[] = {{IDM_PRECISION_Q15, Precision::Q15},
                       {IDM_PRECISION_FLOAT32, Precision::Float32},
                       {IDM_PRECISION_Q31, Precision::Q31},
                       {IDM_PRECISION_Q31, Precision::Q31},
                       {IDM_PRECISION_EXACT, Precision::Exact}};
        for (const auto& choice : choices) {
            choose(choice.id);
            QCOMPARE(group->checkedAction(), commandAction(choice.id));
            QCOMPARE(precision(), choice.precision);
        }
        QVERIFY(session().document() == before);
        QCOMPARE(session().history().stack().count(), steps);
        QVERIFY(!session().hasUnsavedChanges());
    }

    // A new choice is a full paint: a stray pixel outside the panes goes.
    // The overlay shows in grey; back to Exact, the window shows exactly
    // what it showed before, and keeps nothing of the overlay.
    void precisionChangeIsAFullPaintAndExactIsAsBefore()
    {
        startFrom(1, IDM_RATE_192000, 0);
        clientArea()->invalidate();
        settle();
        const QImage exact = clientArea()->surface().image.copy();
        QCOMPARE(greyPixels(zPlaneRect()), 0);

        for (const int id : {IDM_PRECISION_Q15, IDM_PRECISION_FLOAT32, IDM_PRECISION_Q31, IDM_PRECISION_EXACT}) {
            const Point stray{1, surfaceHeight(clientArea()->surface()) - 2};
            setPixel(clientArea()->surface(), stray.x, stray.y, rgb(1, 2, 3));
            choose(id);
            QCOMPARE(pixelAt(clientArea()->surface(), stray.x, stray.y), WHITE);
            const QImage reference = freshFullPaint();
            QCOMPARE(QString::fromStdString(firstDifference(clientArea()->surface().image, reference,
                                                            {0, 0, reference.width(), reference.height()})),
                     QString());
            if (id != IDM_PRECISION_EXACT) {
                QVERIFY(greyPixels(zPlaneRect()) > 0);
                QVERIFY(clientArea()->surface().image != exact);
            }
        }
        QCOMPARE(clientArea()->surface().image, exact);
        QVERIFY(clientArea()->plots().response.roundedRows().empty());
        QVERIFY(clientArea()->plots().zPlane.drawnRoundedPoles().empty());
    }

    // With the precision view on, what slider steps and a root drag leave on
    // the screen is what a full repaint shows, at any device pixel ratio.
    // The steps cross the cutoffs where the Q15 poles leave the unit circle
    // and where the numerator stops rounding to 0; the drag makes the
    // numerator large, so that rounded zeros and a rounded curve appear.
    void partialRedrawsWithThePrecisionViewShowAFullPaint()
    {
        QVERIFY(!shownClientPixels().isNull());
        startFrom(1, IDM_RATE_192000, 675);
        choose(IDM_PRECISION_Q15);
        QVERIFY(!stableAfterRounding(roundFilter(filterState(), Precision::Q15)));
        QVERIFY(greyPixels(zPlaneRect()) > 0);

        // 40 key steps right and 13 left, each shown before the next.
        keySteps(controls().cutoffSlider, Qt::Key_Right, 40);
        keySteps(controls().cutoffSlider, Qt::Key_Left, 13);
        QCOMPARE(controls().cutoffSlider->value(), 702);
        const RoundedFilter afterSteps = roundFilter(filterState(), Precision::Q15);
        QVERIFY(stableAfterRounding(afterSteps));
        QCOMPARE(afterSteps.silentSections, 0);
        QVERIFY(greyPixels(zPlaneRect()) > 0);
        QVERIFY(greyPixels(magnitudePane()) > 0);
        QCOMPARE(shownDifferenceFromAFullRepaint(), 0);

        const Complex start = filterState().poles.positions[0];
        const Point grab = markOf(start);
        pointerTo({magnitudePane().left + 5, magnitudePane().top + 5});
        pointerTo(grab);
        QVERIFY(rootEditor().hovering);
        QTest::mousePress(window(), Qt::LeftButton, {}, windowPointOf(grab));
        settle();
        const int scale = toPixel(zPlaneScale());
        for (int step = 1; step <= 6; ++step)
            pointerTo({grab.x - scale * step / 12, grab.y - scale * step / 16});
        QTest::mouseRelease(window(), Qt::LeftButton, {}, windowPointOf({grab.x - scale / 2, grab.y - scale * 3 / 8}));
        settle();
        QVERIFY(filterState().poles.positions[0].re < start.re - 0.25);
        QVERIFY(!roundFilter(filterState(), Precision::Q15).zeros.empty());
        QCOMPARE(shownDifferenceFromAFullRepaint(), 0);

        pointerTo({magnitudePane().left + 5, magnitudePane().top + 5});
        startFrom(0, IDM_RATE_44100, 1000);
    }

    // The status bar's summary adds what rounding leaves; with Exact it is
    // the summary as it always was.
    void statusBarSaysWhatRoundingLeaves()
    {
        startFrom(1, IDM_RATE_192000, 0);
        pointerTo({zPlaneRect().right + 3, magnitudePane().top + 3});
        const QString name = QString::fromUtf8(modelName(1));
        const QString exact = QString::fromStdString(filterSummary(filterState(), modelName(1)));
        QCOMPARE(readoutBar().text(), exact);

        choose(IDM_PRECISION_Q15);
        QCOMPARE(readoutBar().text(), QString::fromStdString(filterSummary(filterState(), modelName(1), Precision::Q15)));
        QVERIFY(readoutBar().text().startsWith(exact + "   Q15: 1 pole on the unit circle"));
        QVERIFY(readoutBar().text().contains("unstable after rounding"));

        // It follows the design: further up, the Q15 poles are inside again.
        setSliderByKeys(controls().cutoffSlider, 1000);
        pointerTo({zPlaneRect().right + 3, magnitudePane().top + 3});
        QVERIFY(stableAfterRounding(roundFilter(filterState(), Precision::Q15)));
        QCOMPARE(readoutBar().text(), QString::fromStdString(filterSummary(filterState(), modelName(1), Precision::Q15)));
        QVERIFY(readoutBar().text().contains("stable after rounding"));

        choose(IDM_PRECISION_EXACT);
        QCOMPARE(readoutBar().text(), QString::fromStdString(filterSummary(filterState(), modelName(1))));
        QVERIFY(readoutBar().text().startsWith(name));
        startFrom(0, IDM_RATE_44100, 1000);
    }

    // The dialog opens with the last format and name, follows the design
    // while open, and Copy Code puts on the clipboard what it would save.
    void copyCodeIsWhatTheDialogWouldSave()
    {
        startFrom(7, IDM_RATE_48000, 1200);
        auto* commands = mainWindow()->findChild<CodeExportCommands*>();
        QVERIFY(commands != nullptr);
        QCOMPARE(commands->format(), ExportFormat::C);
        QCOMPARE(commands->name(), QString(DEFAULT_EXPORT_NAME));

        choose(IDM_EXPORT_CODE);
        auto* dialog = mainWindow()->findChild<ExportCodeDialog*>();
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QCOMPARE(dialog->format(), ExportFormat::C);
        QCOMPARE(dialog->name(), QString(DEFAULT_EXPORT_NAME));
        dialog->formatBox()->setCurrentIndex(indexOf(ExportFormat::CmsisQ31));
        QTest::keyClick(dialog->nameField(), Qt::Key_End);
        QTest::keyClick(dialog->nameField(), Qt::Key_Underscore);  // refused: ends in _
        QCOMPARE(dialog->name(), QString("vorbel_"));
        QCOMPARE(dialog->exportText(), std::string());
        dialog->nameField()->setText("biquad");

        // The design moves on under the open dialog.
        setSliderByKeys(controls().cutoffSlider, 1400);
        const std::string shown = dialog->exportText();
        QCOMPARE(shown, exportCode(session().document(), ExportFormat::CmsisQ31, "biquad").text);
        QVERIFY(!shown.empty());

        QGuiApplication::clipboard()->setText("earlier");
        choose(IDM_COPY_CODE);
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), shown);

        // Closed with a refused name: the format is kept, the name is the
        // last one taken.
        dialog->formatBox()->setCurrentIndex(indexOf(ExportFormat::Faust));
        dialog->nameField()->setText("9lives");
        dialog->reject();
        QTRY_VERIFY(mainWindow()->findChild<ExportCodeDialog*>() == nullptr);
        QCOMPARE(commands->format(), ExportFormat::Faust);
        QCOMPARE(commands->name(), QString("biquad"));
        choose(IDM_COPY_CODE);
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(),
                 exportCode(session().document(), ExportFormat::Faust, "biquad").text);

        choose(IDM_EXPORT_CODE);
        dialog = mainWindow()->findChild<ExportCodeDialog*>();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->format(), ExportFormat::Faust);
        QCOMPARE(dialog->name(), QString("biquad"));
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), dialog->exportText());
        dialog->formatBox()->setCurrentIndex(indexOf(ExportFormat::CmsisQ15));
        dialog->reject();
        QTRY_VERIFY(mainWindow()->findChild<ExportCodeDialog*>() == nullptr);

        // A design Q15 cannot take: the box says why, the clipboard keeps
        // what it had.
        chooseModelByKeys(0);
        session().setRootPosition(RootListKind::Poles, 0, Complex{1.0, 0.0});
        settle();
        QGuiApplication::clipboard()->setText("earlier");
        QString boxText;
        bool shownBox = false;
        whenModalShows(
            [&boxText](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (box != nullptr)
                    boxText = box->text();
                modal->close();
            },
            &shownBox);
        choose(IDM_COPY_CODE);
        QVERIFY(shownBox);
        QVERIFY2(boxText.contains("unit circle"), qPrintable(boxText));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("earlier"));
        startFrom(0, IDM_RATE_44100, 1000);
    }
};

QTEST_MAIN(CodeExportWindowTest)
#include "code_export_window_test.moc"
