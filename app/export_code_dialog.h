#pragma once

#include "model/code_export.h"
#include "model/document.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Export Code…": the filter as code in a chosen format, under a chosen
// name, previewed as it would be saved. The preview follows every change of
// format, name or design; a name that is no C identifier, or a filter the
// format cannot take, empties the preview, says why and disables Save. Save
// asks for a file (the format's suffix added when the name typed has none)
// and writes it through a temporary file renamed over the target, so that a
// failed save leaves an earlier file intact; the dialog closes on success
// and says why otherwise.
class ExportCodeDialog : public QDialog {
public:
    ExportCodeDialog(const Document& document, ExportFormat format, const QString& name, QWidget* parent = nullptr);

    // The design to export from now on; the window passes each change.
    void showDocument(const Document& document);

    // The folder Save suggests, e.g. the design file's.
    void setSaveFolder(const QString& folder) { saveFolder_ = folder; }

    ExportFormat format() const;
    QString name() const;

    // The export the preview shows; empty while it is refused.
    const std::string& exportText() const { return text_; }

    // Writes the export to path; "" on success, else the reason. Nothing is
    // written while the export is refused.
    QString saveTo(const QString& path) const;

    // Asks for the file Save writes, given the suggested path and the file
    // filter; empty when the user cancels. By default a file dialog; a test
    // puts its own in place.
    std::function<QString(const QString& suggested, const QString& filter)> askSavePath;

    QComboBox* formatBox() const { return formats_; }
    QLineEdit* nameField() const { return name_; }
    QPlainTextEdit* preview() const { return preview_; }
    QLabel* message() const { return message_; }
    QPushButton* saveButton() const { return save_; }

private:
    void refresh();
    void save();

    Document document_;
    std::string text_;
    QString saveFolder_;
    QComboBox* formats_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* save_ = nullptr;
};
