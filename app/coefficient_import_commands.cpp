#include "app/design_files.h"
#include "app/coefficient_import_commands.h"

#include "app/coefficient_import_file.h"
#include "app/design_session.h"
#include "res/resource_ids.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>

namespace {

// How long a warning of the check stays in the status bar before the
// readout shows again: long enough to read a line of figures.
constexpr int WARNING_SHOWN_MS = 10000;


// Puts an imported design in place, or says why there is none. refusal is
// the box's first line, naming where the text came from.
void takeImport(QMainWindow& window, DesignSession& session, const CoefficientImportOutcome& outcome,
                const QString& refusal, const char* stepName)
{
    if (!outcome.document) {
        QMessageBox::warning(&window, QString::fromUtf8(APP_TITLE), refusal + QStringLiteral(":\n") + outcome.problem);
        return;
    }
    session.replaceDesign(*outcome.document, QString::fromUtf8(stepName));
    // An earlier warning is not this import's.
    if (outcome.warning.isEmpty())
        window.statusBar()->clearMessage();
    else
        window.statusBar()->showMessage(QStringLiteral("Warning: ") + outcome.warning, WARNING_SHOWN_MS);
}

void importFromFile(QMainWindow& window, DesignSession& session)
{
    const QString folder = session.filePath().isEmpty() ? QString() : QFileInfo(session.filePath()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(&window, QStringLiteral("Import Coefficients"), folder,
                                                      QString::fromUtf8(IMPORT_FILE_FILTER));
    if (path.isEmpty())
        return;
    takeImport(window, session, importCoefficientFile(path, session.document()),
               QStringLiteral("Cannot import %1").arg(quotedPath(path)), STEP_IMPORT_COEFFICIENTS);
}

void pasteFromClipboard(QMainWindow& window, DesignSession& session)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboard != nullptr ? clipboard->text() : QString();
    CoefficientImportOutcome outcome;
    if (text.isEmpty())
        outcome.problem = QStringLiteral("the clipboard holds no text");
    else
        outcome = importCoefficientText(text, session.document());
    takeImport(window, session, outcome, QStringLiteral("Cannot paste the coefficients on the clipboard"),
               STEP_PASTE_COEFFICIENTS);
}

}  // namespace

void installCoefficientImport(QMainWindow& window, DesignSession& session, QMenu& fileMenu, QAction* fileBefore,
                              QMenu& editMenu)
{
    auto* importAction = new QAction(QString::fromUtf8(MENU_IMPORT_COEFFICIENTS), &fileMenu);
    importAction->setData(IDM_IMPORT_COEFFICIENTS);
    fileMenu.insertAction(fileBefore, importAction);
    QObject::connect(importAction, &QAction::triggered, &window, [&window, &session] { importFromFile(window, session); });

    QAction* pasteAction = editMenu.addAction(QString::fromUtf8(MENU_PASTE_COEFFICIENTS));
    pasteAction->setData(IDM_PASTE_COEFFICIENTS);
    pasteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    QObject::connect(pasteAction, &QAction::triggered, &window,
                     [&window, &session] { pasteFromClipboard(window, session); });
}
