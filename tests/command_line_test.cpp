// The real vorbel executable run as a child process: its exit statuses, what
// it prints, and the pictures it writes against the shared renderer and the
// developers' vorbel-render.

#include "model/code_export.h"
#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "model/rounding.h"
#include "model/slider_positions.h"
#include "view/render_picture.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Finished {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The environment of a terminal without a window system: no display and no
// platform chosen.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

// Runs a program to its end, without a display unless the environment says
// otherwise, so that a picture is made the way a terminal without a window
// system makes it.
Finished run(const char* program, const QStringList& arguments,
             const QProcessEnvironment& environment = withoutDisplay())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(program), arguments);
    Finished result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

Finished vorbel(const QStringList& arguments, const QProcessEnvironment& environment = withoutDisplay())
{
    return run(VORBEL_EXECUTABLE, arguments, environment);
}

void writeFile(const QString& path, const std::string& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(text.data(), static_cast<qint64>(text.size())), static_cast<qint64>(text.size()));
}

// Standard error as lines, without the last line break.
QList<QByteArray> lines(const QByteArray& text)
{
    QByteArray trimmed = text;
    if (trimmed.endsWith('\n'))
        trimmed.chop(1);
    return trimmed.isEmpty() ? QList<QByteArray>() : trimmed.split('\n');
}

class CommandLineTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

    // A design file of the given document, and the document read back
    // from that file as the program reads it.
    Document saved(const char* name, const Document& document)
    {
        const std::string text = writeDesign(document);
        writeFile(path(name), text);
        const DesignReadResult read = readDesign(text);
        EXPECT_TRUE(read.document.has_value()) << read.error;
        return read.document.value_or(Document{});
    }

    QTemporaryDir folder;
};

TEST_F(CommandLineTest, HelpAndVersionSucceedWithoutAWindow)
{
    const Finished help = vorbel({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"vorbel --coefficients FILE", "vorbel --picture OUT.png [--size WxH] [--dpi N] FILE",
                             "vorbel --export FORMAT [--name NAME] FILE", "vorbel --precision FORMAT FILE",
                             "--coefficients", "--picture", "--size", "--dpi", "--version", "-platform"})
        EXPECT_TRUE(help.out.contains(text)) << text;

    const Finished version = vorbel({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QByteArray("vorbel " VORBEL_VERSION "\n"));
}

TEST_F(CommandLineTest, CoefficientsPrintTheTextOfTheStoredDesign)
{
    struct Setting {
        int model, rate, cutoffPosition, qPosition;
    };
    for (const Setting s : {Setting{0, 44100, 1000, 0}, Setting{7, 192000, 1500, 800}, Setting{5, 48000, 300, 2000}}) {
        const Document document = saved("design.vorbel", designedDocument(s.model, s.rate, s.cutoffPosition, s.qPosition));
        const Finished result = vorbel({QStringLiteral("--coefficients"), path("design.vorbel")});
        EXPECT_EQ(result.status, 0) << result.err.constData();
        EXPECT_EQ(result.out.toStdString(), coefficientText(document)) << "model " << s.model;
        EXPECT_TRUE(result.err.isEmpty()) << result.err.constData();
    }
}

// Every format under the default name and a name of the user's, and every
// rounding: exactly the model's texts.
TEST_F(CommandLineTest, ExportAndPrecisionPrintTheModelsText)
{
    struct Setting {
        int model, rate, cutoffPosition, qPosition;
    };
    for (const Setting s : {Setting{1, 192000, 0, 0}, Setting{7, 48000, 1500, 800}, Setting{3, 96000, 900, 1200}}) {
        const Document document = saved("design.vorbel", designedDocument(s.model, s.rate, s.cutoffPosition, s.qPosition));
        for (const ExportFormatInfo& info : EXPORT_FORMATS) {
            const QString format = QString::fromLatin1(info.name);
            for (const char* name : {"", "low_pass2"}) {
                QStringList arguments{QStringLiteral("--export"), format};
                if (*name != '\0')
                    arguments << QStringLiteral("--name") << QString::fromLatin1(name);
                const Finished result = vorbel(arguments + QStringList{path("design.vorbel")});
                const CodeExport expected = exportCode(document, info.format, *name != '\0' ? name : DEFAULT_EXPORT_NAME);
                ASSERT_TRUE(expected.problem.empty()) << expected.problem;
                EXPECT_EQ(result.status, 0) << info.name << ": " << result.err.constData();
                EXPECT_EQ(result.out.toStdString(), expected.text) << "model " << s.model << ", " << info.name;
                EXPECT_TRUE(result.err.isEmpty()) << result.err.constData();
            }
        }
        for (const Precision precision : {Precision::Float32, Precision::Q15, Precision::Q31}) {
            const QString format = QString::fromLatin1(precisionLabel(precision)).toLower();
            const Finished result = vorbel({QStringLiteral("--precision"), format, path("design.vorbel")});
            const PrecisionText expected = precisionText(document, precision);
            ASSERT_TRUE(expected.problem.empty()) << expected.problem;
            EXPECT_EQ(result.status, 0) << result.err.constData();
            EXPECT_EQ(result.out.toStdString(), expected.text) << "model " << s.model << ", " << format.toStdString();
        }
    }

    // The 2nd-order low-pass at 10 Hz and 192 kHz rounds in Q15 to
    // a1 = -32760 / 2^14 and a2 = 16376 / 2^14: z² + a1·z + a2 has the
    // roots 1 and 16376 / 16384 exactly.
    saved("slow.vorbel", designedDocument(1, 192000, 0, 0));
    const Finished q15 = vorbel({QStringLiteral("--precision"), QStringLiteral("q15"), path("slow.vorbel")});
    EXPECT_TRUE(q15.out.contains("\npole,1,0,false\n")) << q15.out.constData();
    EXPECT_TRUE(q15.out.contains("\npole,0.99951171875,0,false\n")) << q15.out.constData();
    EXPECT_TRUE(q15.out.endsWith("\n# unstable\n")) << q15.out.constData();
}

// A design the format cannot take: exit status 1 and one line naming the
// file and the problem; the formats that can take it still print it.
TEST_F(CommandLineTest, ExportOfADesignTheFormatCannotTakeExitsWithOne)
{
    Document onCircle = designedDocument(0, 44100, 1000, 0);
    onCircle.filter.modelIndex = MODEL_CUSTOM;
    onCircle.filter.poles.positions[0] = {1.0, 0.0};
    const Document document = saved("integrator.vorbel", onCircle);
    const QString file = path("integrator.vorbel");
    for (const QStringList& arguments : {QStringList{QStringLiteral("--export"), QStringLiteral("cmsis-q15"), file},
                                         QStringList{QStringLiteral("--export"), QStringLiteral("cmsis-q31"), file},
                                         QStringList{QStringLiteral("--precision"), QStringLiteral("q15"), file}}) {
        const Finished result = vorbel(arguments);
        EXPECT_EQ(result.status, 1) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        ASSERT_EQ(lines(result.err).size(), 1) << result.err.constData();
        EXPECT_TRUE(result.err.contains(file.toLocal8Bit())) << result.err.constData();
        EXPECT_TRUE(result.err.contains("unit circle")) << result.err.constData();
    }
    const Finished c = vorbel({QStringLiteral("--export"), QStringLiteral("c"), file});
    EXPECT_EQ(c.status, 0) << c.err.constData();
    EXPECT_EQ(c.out.toStdString(), exportCode(document, ExportFormat::C, DEFAULT_EXPORT_NAME).text);
}

TEST_F(CommandLineTest, FileProblemsExitWithOneAndOneLineNamingTheProblem)
{
    // A picture whose making fails leaves an earlier file of that name alone.
    writeFile(path("kept.png"), "earlier contents");

    const QString missing = path("no-such-design.vorbel");
    for (const char* mode : {"--coefficients", "--picture", "--export", "--precision"}) {
        QStringList arguments{QString::fromLatin1(mode)};
        if (arguments.front() == QStringLiteral("--picture"))
            arguments << path("kept.png");
        if (arguments.front() == QStringLiteral("--export"))
            arguments << QStringLiteral("c");
        if (arguments.front() == QStringLiteral("--precision"))
            arguments << QStringLiteral("q15");
        const Finished result = vorbel(arguments + QStringList{missing});
        EXPECT_EQ(result.status, 1) << mode;
        EXPECT_TRUE(result.out.isEmpty()) << mode;
        ASSERT_EQ(lines(result.err).size(), 1) << mode << ": " << result.err.constData();
        EXPECT_TRUE(result.err.contains(missing.toLocal8Bit())) << result.err.constData();
    }

    // Bad designs: the reader's own message, after the file's name.
    const std::string good = writeDesign(designedDocument(2, 44100, 1000, 0));
    const std::string bad[] = {
        "", "not json", good.substr(0, good.size() / 2), "{\"format\": \"vorbel-design\"}",
        std::string(good).replace(good.find("\"version\": 1"), 12, "\"version\": 2"),
        std::string(good).replace(good.find("\"gain\": "), 8, "\"gain\": \"x\", \"g\": "),
    };
    for (const std::string& text : bad) {
        const std::string expected = readDesign(text).error;
        ASSERT_FALSE(expected.empty()) << text;
        writeFile(path("bad.vorbel"), text);
        for (const char* mode : {"--coefficients", "--picture"}) {
            QStringList arguments{QString::fromLatin1(mode)};
            if (arguments.front() == QStringLiteral("--picture"))
                arguments << path("kept.png");
            const Finished result = vorbel(arguments + QStringList{path("bad.vorbel")});
            EXPECT_EQ(result.status, 1) << mode << " " << text;
            EXPECT_TRUE(result.out.isEmpty());
            ASSERT_EQ(lines(result.err).size(), 1) << result.err.constData();
            EXPECT_TRUE(result.err.contains(path("bad.vorbel").toLocal8Bit())) << result.err.constData();
            EXPECT_TRUE(result.err.contains(QByteArray::fromStdString(expected)))
                << result.err.constData() << " lacks " << expected;
        }
    }

    // A folder given for the design.
    const Finished folderDesign = vorbel({QStringLiteral("--coefficients"), folder.path()});
    EXPECT_EQ(folderDesign.status, 1);
    EXPECT_EQ(lines(folderDesign.err).size(), 1) << folderDesign.err.constData();

    // Pictures that cannot be written: into a folder that does not exist,
    // or over a folder.
    saved("design.vorbel", designedDocument(1, 44100, 1000, 0));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("taken.png")));
    for (const QString& out : {path("no-such-folder/picture.png"), path("taken.png")}) {
        const Finished result = vorbel({QStringLiteral("--picture"), out, path("design.vorbel")});
        EXPECT_EQ(result.status, 1) << out.toStdString();
        ASSERT_EQ(lines(result.err).size(), 1) << result.err.constData();
        EXPECT_TRUE(result.err.contains(out.toLocal8Bit())) << result.err.constData();
    }

    QFile kept(path("kept.png"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier contents"));
}

TEST_F(CommandLineTest, UsageProblemsExitWithTwoAndOneLine)
{
    saved("design.vorbel", designedDocument(0, 44100, 1000, 0));
    const QString design = path("design.vorbel");
    const QString out = path("refused.png");
    const QStringList refused[] = {
        {QStringLiteral("--bogus")},
        {QStringLiteral("--bogus"), design},
        {QStringLiteral("--picture")},
        {QStringLiteral("--picture"), out},
        {QStringLiteral("--picture"), QString(), design},
        {QStringLiteral("--coefficients")},
        {QStringLiteral("--coefficients"), design, design},
        {QStringLiteral("--coefficients"), QStringLiteral("--picture"), out, design},
        {QStringLiteral("--size"), QStringLiteral("640x480"), design},
        {QStringLiteral("--coefficients"), QStringLiteral("--dpi"), QStringLiteral("96"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--size"), QStringLiteral("0x600"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--size"), QStringLiteral("800x8193"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--size"), QStringLiteral("800"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--size"), QStringLiteral("x600"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--size"), QStringLiteral("-8x600"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--size"), QStringLiteral("800x600x2"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--size"), QStringLiteral("99999999999x600"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--dpi"), QStringLiteral("0"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--dpi"), QStringLiteral("2401"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--dpi"), QStringLiteral("9.6"), design},
        {QStringLiteral("--picture"), out, QStringLiteral("--dpi"), design},
        {QStringLiteral("--export"), QStringLiteral("bogus"), design},
        {QStringLiteral("--export"), QStringLiteral("C"), design},
        {QStringLiteral("--export"), QString(), design},
        {QStringLiteral("--export"), design},
        {QStringLiteral("--export"), QStringLiteral("c")},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QStringLiteral("9lives"), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QString(), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QStringLiteral("a__b"), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QStringLiteral("_a"), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QStringLiteral("na-me"), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QStringLiteral("n\u00e4me"), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QString(65, QLatin1Char('a')), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--name"), QStringLiteral("two\nlines"), design},
        {QStringLiteral("--export"), QStringLiteral("c"), QStringLiteral("--precision"), QStringLiteral("q15"), design},
        {QStringLiteral("--coefficients"), QStringLiteral("--name"), QStringLiteral("x"), design},
        {QStringLiteral("--precision"), QStringLiteral("q15"), QStringLiteral("--name"), QStringLiteral("x"), design},
        {QStringLiteral("--precision"), QStringLiteral("exact"), design},
        {QStringLiteral("--precision"), QStringLiteral("Q15"), design},
        {QStringLiteral("--precision"), QStringLiteral("q16"), design},
        {QStringLiteral("--precision"), QStringLiteral("q15")},
    };
    for (const QStringList& arguments : refused) {
        const Finished result = vorbel(arguments);
        EXPECT_EQ(result.status, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(lines(result.err).size(), 1) << result.err.constData();
        EXPECT_FALSE(QFile::exists(out)) << arguments.join(QLatin1Char(' ')).toStdString();
    }
}

// Whatever the line, without a display: an exit status and one line naming
// the problem, never an abort. Qt's own options are the window's alone, and
// the window needs a platform Qt has and a display.
TEST_F(CommandLineTest, MalformedLinesAreRefusedWithoutAWindowSystem)
{
    saved("design.vorbel", designedDocument(0, 44100, 1000, 0));
    const QString design = path("design.vorbel");
    const QString out = path("refused.png");
    struct Case {
        QStringList arguments;
        int status;
        const char* named;  // what the line must name
    };
    const Case cases[] = {
        {{"-x"}, 2, "-x"},
        {{"-x", design}, 2, "-x"},
        {{"--bogus"}, 2, "--bogus"},
        {{"-hv"}, 2, "-hv"},
        {{"-platform", "offscreen", "-x", design}, 2, "-x"},
        {{"-platform"}, 2, "-platform"},
        {{"-reverse=1", design}, 2, "-reverse"},
        {{"-platform", "offscreen", "--coefficients", design}, 2, "-platform"},
        {{"--coefficients", "-style", "fusion", design}, 2, "-style"},
        {{"-style=fusion", "--picture", out, design}, 2, "-style"},
        {{"--picture", out, "-qmljsdebugger=port:1234", design}, 2, "-qmljsdebugger"},
        {{"--export", "c", "-style", "fusion", design}, 2, "-style"},
        {{"--export", "c", "--name", "9", design}, 2, "--name"},
        {{"--export", "x", design}, 2, "'x'"},
        {{"--coefficients", "-name", "vorbel", design}, 2, "--name"},
        {{"--version", "-nograb", "--coefficients"}, 0, ""},
        {{"-platform", "no-such-platform", design}, 2, "no-such-platform"},
        {{"-platform", "no-such-platform:x=1;no-other", "-reverse"}, 2, "no-such-platform"},
        {{}, 1, "no display"},
        {{design}, 1, "no display"},
        {{"-style", "fusion", "-reverse", "-qwindowtitle", "Title", "-name", "vorbel", design}, 1, "no display"},
        {{"-platform", "xcb", design}, 1, "no display"},
        {{"-platformpluginpath", folder.path(), "-platform", "XCB", design}, 1, "no display"},
        {{"--", "-x"}, 1, "no display"},
    };
    for (const Case& c : cases) {
        const std::string line = c.arguments.join(QLatin1Char(' ')).toStdString();
        const Finished result = vorbel(c.arguments);
        EXPECT_EQ(result.status, c.status) << line << ": " << result.err.constData();
        if (c.status == 0)
            continue;
        EXPECT_TRUE(result.out.isEmpty()) << line;
        ASSERT_EQ(lines(result.err).size(), 1) << line << ": " << result.err.constData();
        EXPECT_TRUE(result.err.startsWith("vorbel: ")) << result.err.constData();
        EXPECT_TRUE(result.err.contains(c.named)) << line << ": " << result.err.constData();
        EXPECT_FALSE(QFile::exists(out)) << line;
    }

    // A platform named in the environment that Qt does not have.
    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    const Finished unknown = vorbel({design}, environment);
    EXPECT_EQ(unknown.status, 1);
    ASSERT_EQ(lines(unknown.err).size(), 1) << unknown.err.constData();
    EXPECT_TRUE(unknown.err.contains("no-such-platform")) << unknown.err.constData();
}

// A window line with a platform and Qt's options opens the window, and Qt
// gets its options: a style sheet that does not exist is Qt's to complain of.
TEST_F(CommandLineTest, WindowTakesQtsOptions)
{
    saved("design.vorbel", designedDocument(0, 44100, 1000, 0));
    const QString sheet = path("no-such-sheet.qss");
    QProcess process;
    process.setProcessEnvironment(withoutDisplay());
    process.setReadChannel(QProcess::StandardError);
    process.start(QString::fromLocal8Bit(VORBEL_EXECUTABLE),
                  {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-reverse"),
                   QStringLiteral("-stylesheet"), sheet, path("design.vorbel")});
    QByteArray err;
    while (!err.contains(sheet.toLocal8Bit()) && process.waitForReadyRead(60000))
        err += process.readAllStandardError();
    EXPECT_TRUE(err.contains(sheet.toLocal8Bit())) << err.constData();
    EXPECT_EQ(process.state(), QProcess::Running) << err.constData();
    process.kill();
    process.waitForFinished(60000);
}

TEST_F(CommandLineTest, PictureIsTheFullPaintOfTheStoredDesign)
{
    struct Case {
        int model, rate, cutoffPosition, qPosition;
        QStringList sizeAndDpi;  // for both programs
        int width, height, dpi;
    };
    const Case cases[] = {
        {0, 44100, 1000, 0, {}, 800, 600, 96},
        {7, 192000, 1500, 800, {QStringLiteral("--size"), QStringLiteral("640x480")}, 640, 480, 96},
        {4, 48000, 400, 1700,
         {QStringLiteral("--size"), QStringLiteral("1000x700"), QStringLiteral("--dpi"), QStringLiteral("144")},
         1000, 700, 144},
    };
    for (const Case& c : cases) {
        const Document document = saved("design.vorbel", designedDocument(c.model, c.rate, c.cutoffPosition, c.qPosition));
        QFile::remove(path("picture.png"));
        const Finished result = vorbel(QStringList{QStringLiteral("--picture"), path("picture.png")} + c.sizeAndDpi
                                  + QStringList{path("design.vorbel")});
        ASSERT_EQ(result.status, 0) << result.err.constData();
        const QImage picture = QImage(path("picture.png")).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), QSize(c.width, c.height));

        const QImage reference = renderFullPaint(document, c.width, c.height, c.dpi);
        ASSERT_FALSE(reference.isNull());
        EXPECT_TRUE(picture == reference) << "model " << c.model;

        const Finished render = run(VORBEL_RENDER_EXECUTABLE,
                               QStringList{QStringLiteral("--model"), QString::number(c.model), QStringLiteral("--rate"),
                                           QString::number(c.rate), QStringLiteral("--cutoff-pos"),
                                           QString::number(c.cutoffPosition), QStringLiteral("--q-pos"),
                                           QString::number(c.qPosition), QStringLiteral("--out"), path("render.png")}
                                   + c.sizeAndDpi);
        ASSERT_EQ(render.status, 0) << render.err.constData();
        EXPECT_TRUE(picture == QImage(path("render.png")).convertToFormat(QImage::Format_RGB32)) << "model " << c.model;
    }

    // The roots and gain as stored, not as the design would give them now.
    Document moved = designedDocument(3, 96000, 900, 500);
    moved.filter.poles.positions[0].re = -0.25;
    moved.filter.gain *= 3.0;
    const Document stored = saved("moved.vorbel", moved);
    const Finished result = vorbel({QStringLiteral("--picture"), path("moved.png"), path("moved.vorbel")});
    ASSERT_EQ(result.status, 0) << result.err.constData();
    const QImage picture = QImage(path("moved.png")).convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(picture == renderFullPaint(stored, 800, 600, 96));
    EXPECT_FALSE(picture == renderFullPaint(designedDocument(3, 96000, 900, 500), 800, 600, 96));
}

}  // namespace
