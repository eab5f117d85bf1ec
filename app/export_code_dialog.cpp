#include "app/export_code_dialog.h"

#include "app/design_files.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cstddef>
#include <iterator>

namespace {

constexpr const char* TITLE = "Export Code";

const ExportFormatInfo& infoAt(int index)
{
    const auto count = static_cast<int>(std::size(EXPORT_FORMATS));
    return EXPORT_FORMATS[static_cast<std::size_t>(index >= 0 && index < count ? index : 0)];
}

}  // namespace

ExportCodeDialog::ExportCodeDialog(const Document& document, ExportFormat format, const QString& name,
                                   QWidget* parent)
    : QDialog(parent), document_(document)
{
    setWindowTitle(tr(TITLE));
    formats_ = new QComboBox;
    for (const ExportFormatInfo& info : EXPORT_FORMATS) {
        formats_->addItem(QString::fromUtf8(info.title));
        if (info.format == format)
            formats_->setCurrentIndex(formats_->count() - 1);
    }
    name_ = new QLineEdit(name);
    message_ = new QLabel;
    message_->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0)"));
    message_->setWordWrap(true);
    preview_ = new QPlainTextEdit;
    preview_->setReadOnly(true);
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics metrics(preview_->font());
    preview_->setMinimumSize(metrics.horizontalAdvance(QString(90, QLatin1Char('0'))), metrics.lineSpacing() * 24);

    auto* form = new QFormLayout;
    form->addRow(tr("&Format:"), formats_);
    form->addRow(tr("&Name:"), name_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close);
    save_ = buttons->button(QDialogButtonBox::Save);
    save_->setDefault(true);
    connect(save_, &QPushButton::clicked, this, [this] { save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addWidget(preview_, 1);
    layout->addWidget(buttons);

    askSavePath = [this](const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(this, tr(TITLE), suggested, filter);
    };
    connect(formats_, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(name_, &QLineEdit::textChanged, this, [this] { refresh(); });
    refresh();
}

void ExportCodeDialog::showDocument(const Document& document)
{
    document_ = document;
    refresh();
}

ExportFormat ExportCodeDialog::format() const { return infoAt(formats_->currentIndex()).format; }

QString ExportCodeDialog::name() const { return name_->text(); }

void ExportCodeDialog::refresh()
{
    const CodeExport result = exportCode(document_, format(), name_->text().toStdString());
    text_ = result.text;
    message_->setText(QString::fromStdString(result.problem));
    message_->setVisible(!result.problem.empty());
    save_->setEnabled(result.problem.empty());
    // Kept in place where only the design moved on, so that the reader's
    // place in a long export stays.
    const QString preview = QString::fromStdString(text_);
    if (preview_->toPlainText() != preview) {
        const int position = preview_->verticalScrollBar()->value();
        preview_->setPlainText(preview);
        preview_->verticalScrollBar()->setValue(position);
    }
}

QString ExportCodeDialog::saveTo(const QString& path) const
{
    if (text_.empty())
        return message_->text();
    return writeFileAtomically(path, QByteArray::fromStdString(text_));
}

void ExportCodeDialog::save()
{
    if (text_.empty())
        return;
    const ExportFormatInfo& info = exportFormatInfo(format());
    const QString folder = saveFolder_.isEmpty() ? QDir::currentPath() : saveFolder_;
    const QString suggested = QDir(folder).filePath(name() + QLatin1Char('.') + QString::fromUtf8(info.suffix));
    const QString chosen = askSavePath ? askSavePath(suggested, tr(info.fileFilter)) : QString();
    if (chosen.isEmpty())
        return;
    const QString path = withDefaultSuffix(chosen, QString::fromUtf8(info.suffix));
    const QString problem = saveTo(path);
    if (!problem.isEmpty()) {
        message_->setText(QStringLiteral("Cannot export the code to \u201c%1\u201d:\n%2")
                              .arg(QDir::toNativeSeparators(path), problem));
        message_->setVisible(true);
        return;
    }
    accept();
}
