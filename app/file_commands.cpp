#include "app/file_commands.h"

#include "app/design_files.h"
#include "model/coefficients.h"
#include "res/resource_ids.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QWidget>

#include <utility>

FileCommands::FileCommands(DesignSession& session, QWidget* window, std::function<const QImage&()> picture)
    : QObject(window), session_(session), window_(window), picture_(std::move(picture))
{
}

QString FileCommands::openDesignFile(const QString& path)
{
    const DesignFileRead read = readDesignFile(path);
    if (!read.document)
        return QStringLiteral("Cannot open %1:\n%2").arg(quotedPath(path), read.problem);
    session_.open(*read.document, QFileInfo(path).absoluteFilePath());
    return {};
}

QString FileCommands::saveDesignFile(const QString& path)
{
    const DesignText design = designFileText(session_.document());
    QString problem = design.problem;
    if (problem.isEmpty())
        problem = writeFileAtomically(path, design.text);
    if (!problem.isEmpty())
        return QStringLiteral("Cannot save %1:\n%2\nNothing was written; an earlier file of that name is unchanged.")
            .arg(quotedPath(path), problem);
    session_.markSaved(QFileInfo(path).absoluteFilePath());
    return {};
}

QString FileCommands::exportCoefficients(const QString& path)
{
    const QString problem =
        writeFileAtomically(path, QByteArray::fromStdString(coefficientText(session_.document())));
    if (!problem.isEmpty())
        return QStringLiteral("Cannot export the coefficients to %1:\n%2").arg(quotedPath(path), problem);
    return {};
}

QString FileCommands::exportPicture(const QString& path)
{
    const QString problem = writePictureAtomically(path, picture_());
    if (!problem.isEmpty())
        return QStringLiteral("Cannot export the picture to %1:\n%2").arg(quotedPath(path), problem);
    return {};
}

void FileCommands::copyCoefficients()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromStdString(coefficientText(session_.document())));
}

void FileCommands::openDesign(const QString& path) { reported(openDesignFile(path)); }

QString FileCommands::dialogFolder() const
{
    const QString& path = session_.filePath();
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

void FileCommands::open()
{
    const QString path = QFileDialog::getOpenFileName(window_, QStringLiteral("Open Design"), dialogFolder(),
                                                      QString::fromUtf8(DESIGN_FILE_FILTER));
    if (!path.isEmpty())
        openDesign(path);
}

bool FileCommands::save()
{
    if (session_.filePath().isEmpty())
        return saveAs();
    return reported(saveDesignFile(session_.filePath()));
}

bool FileCommands::saveAs()
{
    const QString path =
        askSavePath(QStringLiteral("Save Design As"), session_.filePath(), DESIGN_FILE_FILTER, DESIGN_FILE_SUFFIX);
    return !path.isEmpty() && reported(saveDesignFile(path));
}

void FileCommands::exportCoefficientsAs()
{
    const QString path = askSavePath(QStringLiteral("Export Coefficients"), dialogFolder(), COEFFICIENT_FILE_FILTER,
                                     COEFFICIENT_FILE_SUFFIX);
    if (!path.isEmpty())
        reported(exportCoefficients(path));
}

void FileCommands::exportPictureAs()
{
    const QString path =
        askSavePath(QStringLiteral("Export Picture"), dialogFolder(), PICTURE_FILE_FILTER, PICTURE_FILE_SUFFIX);
    if (!path.isEmpty())
        reported(exportPicture(path));
}

// The file the user names in a save dialog, with the suffix added when the
// name has none; empty when the dialog was cancelled.
QString FileCommands::askSavePath(const QString& title, const QString& start, const char* filter, const char* suffix)
{
    return withDefaultSuffix(QFileDialog::getSaveFileName(window_, title, start, QString::fromUtf8(filter)),
                             QString::fromUtf8(suffix));
}

// Shows a command's problem, if it had one; true when it had none.
bool FileCommands::reported(const QString& problem)
{
    if (!problem.isEmpty())
        QMessageBox::warning(window_, QString::fromUtf8(APP_TITLE), problem);
    return problem.isEmpty();
}

bool FileCommands::mayClose()
{
    if (session_.filePath().isEmpty() || !session_.hasUnsavedChanges())
        return true;
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(APP_TITLE),
                    QStringLiteral("Save the changes to %1?").arg(quotedPath(session_.filePath())),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window_);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Save: return save();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}
