#include "app/coefficient_import_file.h"

#include "model/coefficient_import.h"
#include "model/coefficient_reader.h"

#include <QFile>
#include <QFileInfo>

#include <string_view>

CoefficientImportOutcome importCoefficientText(const QByteArray& utf8, const Document& current)
{
    const CoefficientImport imported =
        importIntoDocument(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), current);
    CoefficientImportOutcome outcome;
    outcome.document = imported.document;
    outcome.problem = QString::fromStdString(imported.error);
    outcome.warning = QString::fromStdString(imported.warning);
    return outcome;
}

CoefficientImportOutcome importCoefficientText(const QString& text, const Document& current)
{
    return importCoefficientText(text.toUtf8(), current);
}

CoefficientFileText readCoefficientFile(const QString& path)
{
    return readBoundedFile(path, MAX_IMPORT_TEXT_SIZE, QStringLiteral("a file of coefficients"));
}

CoefficientImportOutcome importCoefficientFile(const QString& path, const Document& current)
{
    const CoefficientFileText text = readCoefficientFile(path);
    if (!text.problem.isEmpty()) {
        CoefficientImportOutcome outcome;
        outcome.problem = text.problem;
        return outcome;
    }
    return importCoefficientText(text.bytes, current);
}
