#include "app/code_export_commands.h"

#include "app/client_area.h"
#include "app/export_code_dialog.h"
#include "model/rounding.h"
#include "res/resource_ids.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

#include <cstddef>
#include <iterator>

namespace {

// The precisions of PRECISION_COMMANDS, in the same order.
constexpr Precision PRECISIONS[] = {Precision::Exact, Precision::Float32, Precision::Q15, Precision::Q31};
static_assert(std::size(PRECISIONS) == std::size(PRECISION_COMMANDS));

QString folderOf(const QString& path) { return path.isEmpty() ? QString() : QFileInfo(path).absolutePath(); }

}  // namespace

CodeExportCommands::CodeExportCommands(DesignSession& session, ClientArea& area, QWidget* window)
    : QObject(window), session_(session), area_(area), window_(window)
{
}

void CodeExportCommands::addPrecisionMenu(QMenu& menu)
{
    QMenu* precision = menu.addMenu(QString::fromUtf8(MENU_PRECISION));
    auto* group = new QActionGroup(precision);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (std::size_t i = 0; i < std::size(PRECISION_COMMANDS); ++i) {
        QAction* action = precision->addAction(QString::fromUtf8(PRECISION_COMMANDS[i].text));
        action->setData(PRECISION_COMMANDS[i].id);
        action->setCheckable(true);
        action->setChecked(PRECISION_COMMANDS[i].id == DEFAULT_PRECISION_COMMAND);
        group->addAction(action);
        const Precision chosen = PRECISIONS[i];
        connect(action, &QAction::triggered, this, [this, chosen] { area_.setPrecision(chosen); });
    }
}

void CodeExportCommands::exportCodeAs()
{
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    auto* dialog = new ExportCodeDialog(session_.document(), format_, name_, window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setSaveFolder(folderOf(session_.filePath()));
    connect(&session_, &DesignSession::changed, dialog, [this, dialog](DesignChanges what) {
        if (what & DesignChange::File)
            dialog->setSaveFolder(folderOf(session_.filePath()));
        dialog->showDocument(session_.document());
    });
    // Every choice made in the dialog is the last one, also while it is
    // open, so that Copy Code agrees with its preview.
    connect(dialog->formatBox(), &QComboBox::currentIndexChanged, this, [this, dialog] { remember(*dialog); });
    connect(dialog->nameField(), &QLineEdit::textChanged, this, [this, dialog] { remember(*dialog); });
    dialog_ = dialog;
    dialog->show();
}

void CodeExportCommands::remember(const ExportCodeDialog& dialog)
{
    format_ = dialog.format();
    if (exportNameProblem(dialog.name().toStdString()).empty())
        name_ = dialog.name();
}

void CodeExportCommands::copyCode()
{
    const CodeExport code = exportCode(session_.document(), format_, name_.toStdString());
    if (!code.problem.empty()) {
        QMessageBox::warning(window_, QString::fromUtf8(APP_TITLE),
                             QStringLiteral("Cannot copy the code:\n%1").arg(QString::fromStdString(code.problem)));
        return;
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromStdString(code.text));
}
