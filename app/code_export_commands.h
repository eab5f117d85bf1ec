#pragma once

#include "app/design_session.h"
#include "model/code_export.h"

#include <QObject>
#include <QPointer>
#include <QString>

class ClientArea;
class ExportCodeDialog;
class QMenu;
class QWidget;

// The commands of the code exports and of the precision view: "Export
// Code…" (the dialog), "Copy Code" and the View menu's "Precision" choice.
//
// The format and name are the last the dialog was given, for as long as the
// program runs: the dialog opens with them and Copy Code puts the same text
// on the clipboard that the dialog would save with them. A name the dialog
// refuses is not taken. The dialog is modeless and follows the session's
// design while it is open. The precision is the client area's view state,
// not part of the design nor of its history.
class CodeExportCommands : public QObject {
    Q_OBJECT

public:
    CodeExportCommands(DesignSession& session, ClientArea& area, QWidget* window);

    ExportFormat format() const { return format_; }
    const QString& name() const { return name_; }

    // Adds the "Precision" submenu to menu: its four choices as one
    // exclusive group, "Exact" checked.
    void addPrecisionMenu(QMenu& menu);

public slots:
    // Opens the dialog, or brings the open one to the front.
    void exportCodeAs();
    // The export in the last format under the last name on the clipboard;
    // a design the format cannot take is said in a message box, and the
    // clipboard keeps what it had.
    void copyCode();

private:
    void remember(const ExportCodeDialog& dialog);

    DesignSession& session_;
    ClientArea& area_;
    QWidget* window_;
    ExportFormat format_ = ExportFormat::C;
    QString name_ = QString::fromLatin1(DEFAULT_EXPORT_NAME);
    QPointer<ExportCodeDialog> dialog_;
};
