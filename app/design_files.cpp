#include "app/design_files.h"

#include "model/design_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

#include <string>
#include <string_view>

BoundedFileRead readBoundedFile(const QString& path, std::size_t limit, const QString& whatFile)
{
    BoundedFileRead result;
    if (QFileInfo(path).isDir()) {
        result.problem = QStringLiteral("is a folder, not %1").arg(whatFile);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = QStringLiteral("cannot open: %1").arg(file.errorString());
        return result;
    }
    result.bytes = file.read(static_cast<qint64>(limit) + 1);
    if (file.error() != QFileDevice::NoError) {
        result.bytes.clear();
        result.problem = QStringLiteral("cannot read: %1").arg(file.errorString());
    }
    return result;
}

DesignFileRead readDesignFile(const QString& path)
{
    DesignFileRead result;
    const BoundedFileRead file = readBoundedFile(path, MAX_DESIGN_FILE_SIZE, QStringLiteral("a design file"));
    if (!file.problem.isEmpty()) {
        result.problem = file.problem;
        return result;
    }
    const QByteArray& bytes = file.bytes;
    DesignReadResult read = readDesign(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!read.document) {
        result.problem = QString::fromStdString(read.error);
        return result;
    }
    result.document = read.document;
    return result;
}

QString writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString writePictureAtomically(const QString& path, const QImage& picture)
{
    if (picture.isNull())
        return QStringLiteral("there is no picture to write");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (!picture.save(&file, "PNG")) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                                                                     : QStringLiteral("the PNG could not be written");
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

// The writer turns a value it cannot store into text the reader refuses; a
// file saved from such a document could never be opened again, so it is
// refused before anything is written.
DesignText designFileText(const Document& document)
{
    const std::string text = writeDesign(document);
    const DesignReadResult back = readDesign(text);
    DesignText result;
    if (!back.document || !(*back.document == document))
        result.problem = QStringLiteral("the design holds a value a design file cannot keep (%1)")
                             .arg(back.document ? QStringLiteral("it reads back differently")
                                                : QString::fromStdString(back.error));
    else
        result.text = QByteArray::fromStdString(text);
    return result;
}

QString withDefaultSuffix(const QString& path, const QString& suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

QString quotedPath(const QString& path) { return QStringLiteral("\u201c%1\u201d").arg(QDir::toNativeSeparators(path)); }
