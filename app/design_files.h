#pragma once

#include "model/document.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

class QImage;

// Reading and writing the files a design goes to and comes from, without
// any dialog: what the window's file commands and the command line share.

struct DesignFileRead {
    std::optional<Document> document;  // set when the file holds a valid design
    QString problem;                   // otherwise the first problem, without the file's name
};

// A file's bytes, read up to one byte past limit so that a huge file is
// refused without being read whole, or why it cannot be read ("is a folder,
// not " followed by whatFile for a folder).
struct BoundedFileRead {
    QByteArray bytes;
    QString problem;
};
BoundedFileRead readBoundedFile(const QString& path, std::size_t limit, const QString& whatFile);

// Reads a design file. Reads at most one byte past the size limit, so that a
// huge file is refused without being read whole.
DesignFileRead readDesignFile(const QString& path);

// Writes bytes to path through a temporary file beside it, renamed over the
// target only once everything is written: a failure leaves any earlier file
// as it was. Returns "" on success, else the reason.
QString writeFileAtomically(const QString& path, const QByteArray& bytes);

// The picture as PNG, written the same way.
QString writePictureAtomically(const QString& path, const QImage& picture);

// The text of the document's design file, or the problem that keeps it from
// being one the reader takes back (a value that cannot be stored).
struct DesignText {
    QByteArray text;
    QString problem;
};
DesignText designFileText(const Document& document);

// A path as messages name it: in curly quotes, with the platform's separators.
QString quotedPath(const QString& path);

// path with ".suffix" appended when its file name has no suffix at all.
QString withDefaultSuffix(const QString& path, const QString& suffix);
