#pragma once

#include "app/design_files.h"

#include "model/document.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Coefficients brought in from a file or the clipboard (model/coefficient_import.h
// does the reading): what the window's "Import Coefficients…" and "Paste
// Coefficients" and the command line's --import share, without any dialog.

struct CoefficientImportOutcome {
    std::optional<Document> document;  // the imported "Custom" design
    QString problem;                   // otherwise why not, without the file's name
    QString warning;                   // with a document: what the check found, or empty
};

// The text imported with the current design's rate (unless the text names
// its own) and slider positions.
CoefficientImportOutcome importCoefficientText(const QByteArray& utf8, const Document& current);
CoefficientImportOutcome importCoefficientText(const QString& text, const Document& current);

// A file's bytes, read up to one byte past the importer's size limit so that
// a huge file is refused without being read whole, or why it cannot be read.
using CoefficientFileText = BoundedFileRead;
CoefficientFileText readCoefficientFile(const QString& path);

// readCoefficientFile, then importCoefficientText.
CoefficientImportOutcome importCoefficientFile(const QString& path, const Document& current);
