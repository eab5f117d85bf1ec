// The "Export Code…" dialog on the offscreen platform: its preview follows
// format, name and design, a refused name or filter disables Save and says
// why, and Save writes the file whole or not at all.

#include "app/export_code_dialog.h"

#include "model/code_export.h"
#include "model/designs.h"
#include "model/document.h"
#include "res/resource_ids.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string expected(const Document& document, ExportFormat format, const QString& name)
{
    return exportCode(document, format, name.toStdString()).text;
}

}  // namespace

class ExportCodeDialogTest : public QObject {
    Q_OBJECT

private slots:
    void previewFollowsFormatNameAndDesign()
    {
        const Document document = designedDocument(5, 48000, 1300, 0);
        ExportCodeDialog dialog(document, ExportFormat::CmsisQ15, "vorbel");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.format(), ExportFormat::CmsisQ15);
        QCOMPARE(dialog.preview()->toPlainText().toStdString(), expected(document, ExportFormat::CmsisQ15, "vorbel"));

        // Every format, chosen with the keyboard from the top of the list.
        QCOMPARE(dialog.formatBox()->count(), static_cast<int>(std::size(EXPORT_FORMATS)));
        dialog.formatBox()->setFocus();
        QTest::keyClick(dialog.formatBox(), Qt::Key_Home);
        for (const ExportFormatInfo& info : EXPORT_FORMATS) {
            QCOMPARE(dialog.format(), info.format);
            QCOMPARE(dialog.formatBox()->currentText(), QString::fromUtf8(info.title));
            QCOMPARE(dialog.preview()->toPlainText().toStdString(), expected(document, info.format, "vorbel"));
            QCOMPARE(dialog.exportText(), expected(document, info.format, "vorbel"));
            QVERIFY(dialog.saveButton()->isEnabled());
            QVERIFY(dialog.message()->isHidden());
            QTest::keyClick(dialog.formatBox(), Qt::Key_Down);
        }

        QTest::keyClick(dialog.formatBox(), Qt::Key_Home);
        QTest::keyClick(dialog.formatBox(), Qt::Key_Down);  // "c"
        dialog.nameField()->selectAll();
        QTest::keyClicks(dialog.nameField(), "low_pass");
        QCOMPARE(dialog.name(), QString("low_pass"));
        QCOMPARE(dialog.preview()->toPlainText().toStdString(), expected(document, ExportFormat::C, "low_pass"));
        QVERIFY(dialog.preview()->toPlainText().contains("low_pass_step"));

        const Document other = designedDocument(3, 96000, 900, 1200);
        dialog.showDocument(other);
        QCOMPARE(dialog.preview()->toPlainText().toStdString(), expected(other, ExportFormat::C, "low_pass"));
    }

    void refusedNamesAndFiltersDisableSave()
    {
        const Document document = designedDocument(1, 44100, 1000, 0);
        ExportCodeDialog dialog(document, ExportFormat::C, "vorbel");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const char* name : {"2nd", "low-pass", "_x", ""}) {
            dialog.nameField()->selectAll();
            if (*name == '\0')
                QTest::keyClick(dialog.nameField(), Qt::Key_Delete);
            else
                QTest::keyClicks(dialog.nameField(), name);
            QCOMPARE(dialog.name(), QString(name));
            QVERIFY(!dialog.saveButton()->isEnabled());
            QVERIFY(dialog.message()->isVisible());
            QCOMPARE(dialog.message()->text().toStdString(), exportNameProblem(name));
            QCOMPARE(dialog.preview()->toPlainText(), QString());
            QCOMPARE(dialog.saveTo(QDir::temp().filePath("never.h")), dialog.message()->text());
            QVERIFY(!QFile::exists(QDir::temp().filePath("never.h")));
        }
        dialog.nameField()->selectAll();
        QTest::keyClicks(dialog.nameField(), "ok");
        QVERIFY(dialog.saveButton()->isEnabled());
        QVERIFY(dialog.message()->isHidden());

        // A pole on the unit circle has no fixed-point scaling.
        Document onCircle = designedDocument(MODEL_CUSTOM, 48000, 1000, 0);
        onCircle.filter.gain = 1.0;
        onCircle.filter.poles.count = 1;
        onCircle.filter.poles.positions[0] = {1.0, 0.0};
        dialog.showDocument(onCircle);
        QVERIFY(dialog.saveButton()->isEnabled());
        dialog.formatBox()->setCurrentIndex(4);  // cmsis-q15
        QCOMPARE(dialog.format(), ExportFormat::CmsisQ15);
        QVERIFY(!dialog.saveButton()->isEnabled());
        QCOMPARE(dialog.message()->text().toStdString(),
                 exportCode(onCircle, ExportFormat::CmsisQ15, "ok").problem);
    }

    // Save asks for a file, adds the format's suffix to a name without one
    // and writes exactly the preview; the dialog closes.
    void saveWritesThePreview()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const Document document = designedDocument(4, 48000, 1200, 900);
        ExportCodeDialog dialog(document, ExportFormat::Faust, "notch");
        dialog.setSaveFolder(folder.path());
        QString suggested, filter;
        dialog.askSavePath = [&](const QString& path, const QString& offered) {
            suggested = path;
            filter = offered;
            return QDir(folder.path()).filePath("mine");
        };
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.saveButton()->click();
        QCOMPARE(suggested, QDir(folder.path()).filePath("notch.dsp"));
        QCOMPARE(filter, QString("Faust programs (*.dsp)"));
        QCOMPARE(contents(QDir(folder.path()).filePath("mine.dsp")).toStdString(),
                 expected(document, ExportFormat::Faust, "notch"));
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(dialog.isHidden());

        // Cancelling the file dialog writes nothing and keeps the dialog.
        ExportCodeDialog again(document, ExportFormat::Matlab, "notch");
        again.askSavePath = [](const QString&, const QString&) { return QString(); };
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        again.saveButton()->click();
        QVERIFY(again.isVisible());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"mine.dsp"});
    }

    // A save that fails leaves the earlier file and no temporary file, and
    // says why in the dialog, which stays open.
    void failedSaveLosesNothing()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString earlierPath = QDir(folder.path()).filePath("earlier.h");
        {
            QFile earlier(earlierPath);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("kept\n");
        }
        QVERIFY(QDir(folder.path()).mkdir("occupied.h"));
        const Document document = designedDocument(1, 44100, 1000, 0);
        ExportCodeDialog dialog(document, ExportFormat::CFloat, "vorbel");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const QString& target : {QDir(folder.path()).filePath("no-such-folder/x.h"),
                                     QDir(folder.path()).filePath("occupied.h")}) {
            dialog.askSavePath = [target](const QString&, const QString&) { return target; };
            dialog.saveButton()->click();
            QVERIFY(dialog.isVisible());
            QVERIFY(dialog.message()->isVisible());
            QVERIFY2(dialog.message()->text().startsWith("Cannot export the code to \u201c" + QDir::toNativeSeparators(target)),
                     qPrintable(dialog.message()->text()));
        }
        QCOMPARE(contents(earlierPath), QByteArray("kept\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"earlier.h", "occupied.h"}));
        QVERIFY(QDir(QDir(folder.path()).filePath("occupied.h")).isEmpty());
    }

    // The commands' ids are new, the menu texts those of the window's menus.
    void menuCommands()
    {
        const std::set<int> existing = {IDM_ABOUT, IDM_EXIT, IDM_RATE_44100, IDM_RATE_48000, IDM_RATE_96000,
                                        IDM_RATE_192000, IDM_FILE_OPEN, IDM_FILE_SAVE, IDM_FILE_SAVE_AS,
                                        IDM_EXPORT_COEFFICIENTS, IDM_EXPORT_PICTURE, IDM_COPY_COEFFICIENTS, IDM_UNDO,
                                        IDM_REDO, IDM_ROOT_DELETE, IDM_ROOT_TOGGLE, IDM_ROOT_KEEP, IDM_ROOT_POSITION};
        std::set<int> added = {IDM_EXPORT_CODE, IDM_COPY_CODE};
        for (const PrecisionCommand& command : PRECISION_COMMANDS)
            added.insert(command.id);
        QCOMPARE(added.size(), std::size_t{6});
        for (const int id : added)
            QVERIFY(!existing.contains(id));
        const auto shown = [](const char* text) { return QString::fromUtf8(text).remove('&'); };
        QCOMPARE(shown(MENU_EXPORT_CODE), QString("Export Code\u2026"));
        QCOMPARE(shown(MENU_COPY_CODE), QString("Copy Code"));
        QCOMPARE(shown(MENU_VIEW), QString("View"));
        QCOMPARE(shown(MENU_PRECISION), QString("Precision"));
        QStringList choices;
        for (const PrecisionCommand& command : PRECISION_COMMANDS)
            choices << shown(command.text);
        QCOMPARE(choices, (QStringList{"Exact", "float32", "Q15", "Q31"}));
        QCOMPARE(DEFAULT_PRECISION_COMMAND, IDM_PRECISION_EXACT);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ExportCodeDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "export_code_dialog_test.moc"
