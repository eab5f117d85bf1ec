#include "app/coefficient_import_file.h"

#include "model/coefficient_reader.h"
#include "model/designs.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST(CoefficientImportFile, FileTakesTheCurrentRateAndPositions)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("filter.txt"));
    ASSERT_TRUE(writeFile(path, "b = [0.075 0.15 0.075]; a = [1 -1.2 0.5]\n"));
    const Document current = designedDocument(2, 96000, 1500, 800);
    const CoefficientImportOutcome outcome = importCoefficientFile(path, current);
    ASSERT_TRUE(outcome.document) << outcome.problem.toStdString();
    EXPECT_TRUE(outcome.problem.isEmpty());
    EXPECT_TRUE(outcome.warning.isEmpty());
    EXPECT_EQ(outcome.document->sampleRate, 96000);
    EXPECT_EQ(outcome.document->cutoffPosition, 1500);
    EXPECT_EQ(outcome.document->qPosition, 800);
    EXPECT_EQ(outcome.document->filter.modelIndex, MODEL_CUSTOM);
    EXPECT_EQ(outcome.document->filter.gain, 0.075);
}

TEST(CoefficientImportFile, FilesThatCannotBeRead)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const Document current;
    const CoefficientImportOutcome missing =
        importCoefficientFile(folder.filePath(QStringLiteral("none.txt")), current);
    EXPECT_FALSE(missing.document);
    EXPECT_TRUE(missing.problem.startsWith(QStringLiteral("cannot open: "))) << missing.problem.toStdString();
    const CoefficientImportOutcome directory = importCoefficientFile(folder.path(), current);
    EXPECT_FALSE(directory.document);
    EXPECT_EQ(directory.problem, QStringLiteral("is a folder, not a file of coefficients"));

    // A huge file is read only up to one byte past the limit.
    const QString huge = folder.filePath(QStringLiteral("huge.txt"));
    ASSERT_TRUE(writeFile(huge, QByteArray(static_cast<qsizetype>(3 * MAX_IMPORT_TEXT_SIZE), ' ')));
    EXPECT_EQ(readCoefficientFile(huge).bytes.size(), static_cast<qsizetype>(MAX_IMPORT_TEXT_SIZE) + 1);
    const CoefficientImportOutcome tooLarge = importCoefficientFile(huge, current);
    EXPECT_FALSE(tooLarge.document);
    EXPECT_EQ(tooLarge.problem, QStringLiteral("text larger than 1 MiB"));
}

// The clipboard's text as UTF-8: a typographic minus is quoted as it was
// written, and a warning comes along with the document.
TEST(CoefficientImportFile, ClipboardText)
{
    const Document current = designedDocument(0, 48000, 1000, 0);
    const CoefficientImportOutcome minus =
        importCoefficientText(QStringLiteral("b = [1 1]\na = [1 \u22120.5]"), current);
    EXPECT_FALSE(minus.document);
    EXPECT_EQ(minus.problem, QStringLiteral("line 2: '\u22120.5' is not a number"));

    const CoefficientImportOutcome warned =
        importCoefficientText(QStringLiteral("p = [0.9+0.4j, 0.9000000009-0.4j]\nz = []\nk = 1"), current);
    ASSERT_TRUE(warned.document) << warned.problem.toStdString();
    EXPECT_TRUE(warned.warning.startsWith(QStringLiteral("the response differs from the coefficients' by up to ")))
        << warned.warning.toStdString();
}

}  // namespace
