// Import Coefficients… and Paste Coefficients on the real main window: the
// text's filter shown as a full paint would show it, one undo step that
// takes back exactly the design before, refusals in a message box that
// change nothing, and the check's warning in the status bar over the
// readout, which comes back.

#include "tests/window_driver.h"

#include "app/undo_history.h"
#include "model/coefficients.h"
#include "model/designs.h"
#include "model/document.h"
#include "res/resource_ids.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <cmath>
#include <complex>

namespace {

// The example: 0.075·(1 + z⁻¹)² / (1 − 1.2z⁻¹ + 0.5z⁻²), zeros at −1
// twice, poles 0.6 ± j√0.14, |H| = 0.075·4 / 0.3 = 1 at 0 Hz.
constexpr const char* EXAMPLE = "b = [0.075 0.15 0.075]; a = [1 -1.2 0.5]";
// Two poles that are conjugates only to 1e-9: a pair whose response differs
// from the text's by more than the check lets pass silently.
constexpr const char* NEARLY_CONJUGATE = "p = [0.9+0.4j, 0.9000000009-0.4j]\nz = []\nk = 1";

// |H| at z = 1 of a document's roots and gain, multiplied out here.
double gainAtZeroHertz(const FilterState& filter)
{
    std::complex<double> h = filter.gain;
    const auto factor = [](const RootList& list, int slot) {
        const std::complex<double> r(list.positions[slot].re, list.positions[slot].im);
        return list.pairFlags[slot] ? (1.0 - r) * (1.0 - std::conj(r)) : 1.0 - r;
    };
    for (int i = 0; i < filter.zeros.count; ++i)
        h *= factor(filter.zeros, i);
    for (int i = 0; i < filter.poles.count; ++i)
        h /= factor(filter.poles, i);
    return std::abs(h);
}

}  // namespace

class CoefficientImportWindowTest : public QObject, public WindowDriver {
    Q_OBJECT

    const QUndoStack& stack() const { return session().history().stack(); }
    QStatusBar* statusBar() const { return mainWindow()->statusBar(); }

    // Ctrl+Shift+V pressed in the window, which a message box just closed
    // may have left inactive.
    void pasteByKeys()
    {
        mainWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
        clientArea()->setFocus();
        QTest::keyClick(clientArea(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        settle();
    }

    // The message box's text, read as it shows, and the box closed.
    static QPointer<QTimer> readNextBox(QString* text, bool* shown)
    {
        return whenModalShows(
            [text](QWidget* dialog) {
                if (auto* box = qobject_cast<QMessageBox*>(dialog))
                    *text = box->text();
                dialog->close();
            },
            shown);
    }

    // Import Coefficients… with path chosen in its file dialog; then the
    // text of a message box, if one shows. A box can only show before the
    // command returns, so the watch for it ends there: left running, it
    // would take the next command's file dialog for the box.
    void importThroughDialog(const QString& path, QString* boxText, bool* boxShown)
    {
        bool dialogShown = false;
        QPointer<QTimer> boxWatch;
        whenModalShows(
            [path, boxText, boxShown, &boxWatch](QWidget* dialog) {
                auto* files = qobject_cast<QFileDialog*>(dialog);
                QVERIFY(files != nullptr);
                boxWatch = readNextBox(boxText, boxShown);
                // As a user types it: selectFile leaves a name field that
                // has the focus as it is.
                auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name != nullptr);
                name->setText(path);
                // What the dialog's Open button does.
                static_cast<QDialog*>(files)->accept();
            },
            &dialogShown);
        triggerCommand(IDM_IMPORT_COEFFICIENTS);
        stopWatch(boxWatch);
        QVERIFY(dialogShown);
    }

    QString pathOf(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }

    void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder_.isValid());
        QVERIFY(openWindow());
    }

    void init()
    {
        closeWindow();
        QVERIFY(openWindow());
    }

    void cleanupTestCase() { closeWindow(); }

    // Both commands are where the user looks, and Ctrl+Shift+V belongs to
    // Paste Coefficients alone.
    void commandsAndShortcut()
    {
        const QList<QAction*> menus = mainWindow()->menuBar()->actions();
        QAction* importAction = commandAction(IDM_IMPORT_COEFFICIENTS);
        QAction* pasteAction = commandAction(IDM_PASTE_COEFFICIENTS);
        QVERIFY(importAction != nullptr && pasteAction != nullptr);
        QCOMPARE(importAction->text(), QString("&Import Coefficients…"));
        QCOMPARE(pasteAction->text(), QString("&Paste Coefficients"));
        QVERIFY(menus.at(0)->menu()->actions().contains(importAction));
        QCOMPARE(menus.at(0)->text(), QString("&File"));
        QVERIFY(menus.at(1)->menu()->actions().contains(pasteAction));
        QCOMPARE(menus.at(1)->text(), QString("&Edit"));
        const QKeySequence keys(Qt::CTRL | Qt::SHIFT | Qt::Key_V);
        QCOMPARE(pasteAction->shortcut(), keys);
        int owners = 0;
        for (const QAction* action : mainWindow()->findChildren<QAction*>())
            owners += action->shortcuts().contains(keys) ? 1 : 0;
        QCOMPARE(owners, 1);
    }

    // The example from the clipboard by Ctrl+Shift+V: its filter at
    // the window's rate, drawn as a full paint draws it, one step named
    // "Paste Coefficients" that undo takes back to the very design and
    // picture before, and redo brings again.
    void pasteShowsTheFilterAsOneStep()
    {
        const QString path = pathOf("earlier.vorbel");
        chooseModelByKeys(3);
        triggerCommand(IDM_RATE_96000);
        QCOMPARE(files().saveDesignFile(path), QString());
        settle();
        const ShownState before = session().shownState();
        const QImage pictureBefore = surface().image;
        const int steps = stack().count();

        QGuiApplication::clipboard()->setText(QString::fromLatin1(EXAMPLE));
        pasteByKeys();

        const FilterState& filter = filterState();
        QCOMPARE(filter.modelIndex, MODEL_CUSTOM);
        QCOMPARE(session().document().sampleRate, 96000);
        QCOMPARE(filter.zeros.count, 1);
        QVERIFY(filter.zeros.pairFlags[0]);
        QCOMPARE(filter.zeros.positions[0].re, -1.0);
        QCOMPARE(filter.zeros.positions[0].im, 0.0);
        QCOMPARE(filter.poles.count, 1);
        QVERIFY(filter.poles.pairFlags[0]);
        QVERIFY(std::fabs(filter.poles.positions[0].re - 0.6) < 1e-15);
        QVERIFY(std::fabs(std::fabs(filter.poles.positions[0].im) - std::sqrt(0.14)) < 1e-15);
        QVERIFY(std::fabs(gainAtZeroHertz(filter) - 1.0) < 1e-14);
        QVERIFY(session().cutoffMarkerVisible());
        QCOMPARE(differenceFromFullPaint(), std::string());
        QVERIFY(!(surface().image == pictureBefore));

        QCOMPARE(stack().count(), steps + 1);
        QCOMPARE(stack().undoText(), QString("Paste Coefficients"));
        QCOMPARE(commandAction(IDM_UNDO)->text(), QString("&Undo Paste Coefficients"));
        QVERIFY(session().hasUnsavedChanges());
        QCOMPARE(mainWindow()->windowTitle(), QString("earlier.vorbel* - Vorbel"));
        QVERIFY(statusBar()->currentMessage().isEmpty());
        const ShownState pasted = session().shownState();
        const QImage picturePasted = surface().image;

        QTest::keyClick(clientArea(), Qt::Key_Z, Qt::ControlModifier);
        settle();
        QVERIFY(session().shownState() == before);
        QVERIFY(surface().image == pictureBefore);
        QVERIFY(!session().hasUnsavedChanges());
        QCOMPARE(mainWindow()->windowTitle(), QString("earlier.vorbel - Vorbel"));
        QTest::keyClick(clientArea(), Qt::Key_Y, Qt::ControlModifier);
        settle();
        QVERIFY(session().shownState() == pasted);
        QVERIFY(surface().image == picturePasted);
    }

    // A text the importer refuses, or no text at all: a box that says what
    // and where, and neither the design, the picture nor the history moves.
    void refusedPasteChangesNothing()
    {
        chooseModelByKeys(5);
        const ShownState before = session().shownState();
        const QImage pictureBefore = surface().image;
        const int steps = stack().count();
        const QString undoText = stack().undoText();

        struct Case {
            QString clipboard;
            const char* said;
        };
        for (const Case& c : {Case{"0.5,1,0.5,0,-1,0.5", "line 1: a0 is 0"},
                              Case{"b = [0.5 1 0.5]\na = [1 -1 oops]", "line 2: 'oops' is not a number"},
                              Case{QString(), "the clipboard holds no text"}}) {
            QGuiApplication::clipboard()->setText(c.clipboard);
            QString text;
            bool shown = false;
            const QPointer<QTimer> boxWatch = readNextBox(&text, &shown);
            pasteByKeys();
            stopWatch(boxWatch);
            QVERIFY(shown);
            QVERIFY2(text.contains("clipboard"), qPrintable(text));
            QVERIFY2(text.contains(c.said), qPrintable(text));
            QVERIFY(session().shownState() == before);
            QVERIFY(surface().image == pictureBefore);
            QCOMPARE(stack().count(), steps);
            QCOMPARE(stack().undoText(), undoText);
        }
    }

    // Import Coefficients… takes the file chosen: a coefficient export of
    // another design comes in with that design's rate (its rate line wins
    // over the window's) and roots; a refused file changes nothing, and the
    // box names it; a cancelled dialog does nothing.
    void importTakesTheFileChosen()
    {
        const Document exported = designedDocument(4, 48000, 1500, 1200);
        const QString good = pathOf("notch.csv");
        writeFile(good, QByteArray::fromStdString(coefficientText(exported)));
        const ShownState before = session().shownState();
        QCOMPARE(before.document.sampleRate, 44100);
        const int steps = stack().count();

        QString text;
        bool boxShown = false;
        importThroughDialog(good, &text, &boxShown);
        QVERIFY2(!boxShown, qPrintable(text));
        const Document& imported = session().document();
        QCOMPARE(imported.filter.modelIndex, MODEL_CUSTOM);
        QCOMPARE(imported.sampleRate, 48000);
        QVERIFY(commandAction(IDM_RATE_48000)->isChecked());
        QCOMPARE(imported.filter.gain, exported.filter.gain);
        for (const auto& [got, want] : {std::pair{&imported.filter.zeros, &exported.filter.zeros},
                                        std::pair{&imported.filter.poles, &exported.filter.poles}}) {
            QCOMPARE(got->count, want->count);
            for (int i = 0; i < want->count; ++i) {
                QCOMPARE(got->pairFlags[i], want->pairFlags[i]);
                const std::complex<double> g(got->positions[i].re, std::fabs(got->positions[i].im));
                const std::complex<double> w(want->positions[i].re, std::fabs(want->positions[i].im));
                QVERIFY(std::abs(g - w) <= 1e-12 * std::abs(w));
            }
        }
        QCOMPARE(differenceFromFullPaint(), std::string());
        QCOMPARE(stack().count(), steps + 1);
        QCOMPARE(stack().undoText(), QString("Import Coefficients"));
        triggerCommand(IDM_UNDO);
        QVERIFY(session().shownState() == before);
        QVERIFY(commandAction(IDM_RATE_44100)->isChecked());

        const QString bad = pathOf("bad.csv");
        writeFile(bad, "# from a script\n0.5,1,0.5,0,-1,0.5\n");
        const int stepsNow = stack().count();
        importThroughDialog(bad, &text, &boxShown);
        QVERIFY(boxShown);
        QVERIFY2(text.contains(QDir::toNativeSeparators(bad)), qPrintable(text));
        QVERIFY2(text.contains("line 2: a0 is 0"), qPrintable(text));
        QVERIFY(session().shownState() == before);
        QCOMPARE(stack().count(), stepsNow);

        bool dialogShown = false;
        whenModalShows([](QWidget* dialog) { dialog->close(); }, &dialogShown);
        triggerCommand(IDM_IMPORT_COEFFICIENTS);
        QVERIFY(dialogShown);
        QVERIFY(session().shownState() == before);
        QCOMPARE(stack().count(), stepsNow);
    }

    // The check's warning stands in the status bar in place of the readout
    // for a while; then the readout is back. A later import without one
    // takes an earlier warning away at once.
    void warningShowsOverTheReadoutForAWhile()
    {
        ReadoutBar& readout = readoutBar();
        QVERIFY(readout.isVisible());
        QGuiApplication::clipboard()->setText(QString::fromLatin1(NEARLY_CONJUGATE));
        pasteByKeys();
        QCOMPARE(filterState().poles.count, 1);
        QVERIFY2(statusBar()->currentMessage().startsWith("Warning: the response differs from the coefficients'"),
                 qPrintable(statusBar()->currentMessage()));
        QVERIFY(!readout.isVisible());
        QCOMPARE(stack().undoText(), QString("Paste Coefficients"));
        QTRY_VERIFY_WITH_TIMEOUT(statusBar()->currentMessage().isEmpty(), 15000);
        QVERIFY(readout.isVisible());
        QCOMPARE(readout.text(), clientArea()->readoutText());

        pasteByKeys();
        QVERIFY(!statusBar()->currentMessage().isEmpty());
        QGuiApplication::clipboard()->setText(QString::fromLatin1(EXAMPLE));
        pasteByKeys();
        QVERIFY(statusBar()->currentMessage().isEmpty());
        QVERIFY(readout.isVisible());
    }

private:
    QTemporaryDir folder_;
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    CoefficientImportWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "coefficient_import_window_test.moc"
