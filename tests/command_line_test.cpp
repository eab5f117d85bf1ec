// The real vorbel executable run as a child process: its exit statuses, what
// it prints, the pictures it writes against the shared renderer and the
// developers' vorbel-render, and the sound files it filters against the
// cascade of the coefficients it prints.

#include "model/code_export.h"
#include "model/coefficient_import.h"
#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "model/rounding.h"
#include "model/slider_positions.h"
#include "tests/command_line_runner.h"
#include "tests/reference_cascade.h"
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
#include <sndfile.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Standard error as lines, without the last line break.
QList<QByteArray> lines(const QByteArray& text)
{
    QByteArray trimmed = text;
    if (trimmed.endsWith('\n'))
        trimmed.chop(1);
    return trimmed.isEmpty() ? QList<QByteArray>() : trimmed.split('\n');
}

// A sound file's frames, channels interleaved, as doubles.
struct Sound {
    int rate = 0;
    int channels = 0;
    std::vector<double> samples;

    std::vector<double> channel(int c) const
    {
        std::vector<double> one;
        for (std::size_t i = static_cast<std::size_t>(c); i < samples.size(); i += static_cast<std::size_t>(channels))
            one.push_back(samples[i]);
        return one;
    }
};

// Noise at a tenth of full scale in 32-bit float WAV.
void writeNoise(const QString& path, int rate, int channels, int frames)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::mt19937_64 random(static_cast<unsigned>(rate + channels));
    std::uniform_real_distribution<double> uniform(-0.1, 0.1);
    std::vector<double> samples(static_cast<std::size_t>(frames * channels));
    for (double& sample : samples)
        sample = uniform(random);
    EXPECT_EQ(sf_writef_double(file, samples.data(), frames), frames);
    sf_close(file);
}

Sound readSound(const QString& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    Sound sound;
    if (file == nullptr)
        return sound;
    sound.rate = info.samplerate;
    sound.channels = info.channels;
    sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_double(file, sound.samples.data(), info.frames);
    sf_close(file);
    return sound;
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CommandLineTest : public CommandLineFixture {};

TEST_F(CommandLineTest, HelpAndVersionSucceedWithoutAWindow)
{
    const Finished help = vorbel({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"vorbel --coefficients FILE", "vorbel --picture OUT.png [--size WxH] [--dpi N] FILE",
                             "vorbel --export FORMAT [--name NAME] FILE", "vorbel --precision FORMAT FILE",
                             "vorbel --import [--rate R] IN OUT.vorbel", "vorbel --apply [--resample] FILE IN OUT",
                             "--coefficients", "--picture", "--size", "--dpi", "--rate", "--apply", "--resample",
                             "--version", "-platform"})
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

// ---------------------------------------------------------------- --import

// The roots of a list, a pair as its two conjugates.
std::vector<std::complex<double>> rootsOf(const RootList& list)
{
    std::vector<std::complex<double>> roots;
    for (int i = 0; i < list.count; ++i) {
        roots.emplace_back(list.positions[i].re, list.positions[i].im);
        if (list.pairFlags[i])
            roots.emplace_back(list.positions[i].re, -list.positions[i].im);
    }
    return roots;
}

// The same slots in any order: as many pairs and singles, and each root of
// expected matched by one of got within a relative tolerance.
testing::AssertionResult sameRoots(const RootList& got, const RootList& expected, double tolerance)
{
    const auto pairs = [](const RootList& list) {
        int count = 0;
        for (int i = 0; i < list.count; ++i)
            count += list.pairFlags[i] ? 1 : 0;
        return count;
    };
    if (got.count != expected.count || pairs(got) != pairs(expected))
        return testing::AssertionFailure() << got.count << " slots, " << pairs(got) << " pairs; expected "
                                           << expected.count << ", " << pairs(expected);
    std::vector<std::complex<double>> left = rootsOf(got);
    for (const std::complex<double>& want : rootsOf(expected)) {
        auto nearest = left.begin();
        for (auto it = left.begin(); it != left.end(); ++it)
            if (std::abs(*it - want) < std::abs(*nearest - want))
                nearest = it;
        if (nearest == left.end() || std::abs(*nearest - want) > tolerance * std::abs(want))
            return testing::AssertionFailure() << "no root near " << want;
        left.erase(nearest);
    }
    return testing::AssertionSuccess();
}

Document designIn(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const DesignReadResult read = readDesign(file.readAll().toStdString());
    EXPECT_TRUE(read.document.has_value()) << read.error;
    return read.document.value_or(Document{});
}

// What --coefficients prints of a design, imported by --import, is that
// design again: its roots within 1e-12, pairs as pairs, its gain and its
// rate, which the text's rate line gives whatever --rate says.
TEST_F(CommandLineTest, ImportReadsACoefficientExportBackToItsRoots)
{
    struct Setting {
        int model, rate, cutoffPosition, qPosition;
    };
    for (const Setting s : {Setting{0, 44100, 1000, 0}, Setting{4, 48000, 1700, 1200}, Setting{7, 192000, 1500, 800},
                            Setting{5, 96000, 300, 2000}}) {
        SCOPED_TRACE(testing::Message() << "model " << s.model << " at " << s.rate);
        const Document original = saved("design.vorbel", designedDocument(s.model, s.rate, s.cutoffPosition, s.qPosition));
        const Finished exported = vorbel({QStringLiteral("--coefficients"), path("design.vorbel")});
        ASSERT_EQ(exported.status, 0) << exported.err.constData();
        writeFile(path("design.csv"), exported.out.toStdString());

        for (const bool otherRate : {false, true}) {
            QFile::remove(path("imported.vorbel"));
            QStringList arguments{QStringLiteral("--import"), path("design.csv"), path("imported.vorbel")};
            const int other = s.rate == 44100 ? 96000 : 44100;
            if (otherRate)
                arguments << QStringLiteral("--rate") << QString::number(other);
            const Finished result = vorbel(arguments);
            ASSERT_EQ(result.status, 0) << result.err.constData();
            EXPECT_TRUE(result.out.isEmpty());
            if (otherRate) {
                ASSERT_EQ(lines(result.err).size(), 1) << result.err.constData();
                EXPECT_TRUE(result.err.startsWith("vorbel: " + path("design.csv").toLocal8Bit() + ": warning: "));
                EXPECT_TRUE(result.err.contains("--rate " + QByteArray::number(other))) << result.err.constData();
            } else {
                EXPECT_TRUE(result.err.isEmpty()) << result.err.constData();
            }
            const Document imported = designIn(path("imported.vorbel"));
            EXPECT_EQ(imported.sampleRate, s.rate);
            EXPECT_EQ(imported.filter.modelIndex, MODEL_CUSTOM);
            EXPECT_EQ(imported.filter.gain, original.filter.gain);
            EXPECT_TRUE(sameRoots(imported.filter.zeros, original.filter.zeros, 1e-12));
            EXPECT_TRUE(sameRoots(imported.filter.poles, original.filter.poles, 1e-12));
        }
    }
}

// A text without a rate line takes --rate, else 44100; the file written is
// what the importer makes of the text; a warning of its check goes to
// standard error and the design is written all the same.
TEST_F(CommandLineTest, ImportTakesTheRateGivenAndWarnsOnStandardError)
{
    const std::string example = "b = [0.075 0.15 0.075]; a = [1 -1.2 0.5]\n";
    writeFile(path("example.m"), example);
    for (const int rate : {0, 44100, 48000, 96000, 192000}) {
        QStringList arguments{path("example.m"), path("example.vorbel")};
        if (rate != 0)
            arguments << QStringLiteral("--rate") << QString::number(rate);
        // --import anywhere on the line.
        arguments.insert(rate % 2 == 0 ? 0 : 1, QStringLiteral("--import"));
        const Finished result = vorbel(arguments);
        ASSERT_EQ(result.status, 0) << result.err.constData();
        EXPECT_TRUE(result.err.isEmpty()) << result.err.constData();
        const Document imported = designIn(path("example.vorbel"));
        EXPECT_EQ(imported.sampleRate, rate == 0 ? 44100 : rate);
        const CoefficientImport direct = importCoefficients(example, rate == 0 ? 44100 : rate, 1000, 0);
        ASSERT_TRUE(direct.document.has_value());
        EXPECT_TRUE(imported == *direct.document);
        // Two zeros at -1, the poles 0.6 ± j·√0.14, unit gain at 0 Hz.
        ASSERT_EQ(imported.filter.zeros.count, 1);
        EXPECT_TRUE(imported.filter.zeros.pairFlags[0]);
        EXPECT_EQ(imported.filter.zeros.positions[0].re, -1.0);
        ASSERT_EQ(imported.filter.poles.count, 1);
        EXPECT_NEAR(imported.filter.poles.positions[0].re, 0.6, 1e-15);
        EXPECT_NEAR(std::fabs(imported.filter.poles.positions[0].im), std::sqrt(0.14), 1e-15);
        EXPECT_NEAR(imported.filter.gain * 4.0 / (0.4 * 0.4 + 0.14), 1.0, 1e-14);
    }

    writeFile(path("nearly.txt"), "p = [0.9+0.4j, 0.9000000009-0.4j]\nz = []\nk = 1\n");
    const Finished warned = vorbel({QStringLiteral("--import"), path("nearly.txt"), path("nearly.vorbel")});
    EXPECT_EQ(warned.status, 0);
    ASSERT_EQ(lines(warned.err).size(), 1) << warned.err.constData();
    EXPECT_TRUE(warned.err.startsWith("vorbel: " + path("nearly.txt").toLocal8Bit() + ": warning: the response differs"))
        << warned.err.constData();
    EXPECT_EQ(designIn(path("nearly.vorbel")).filter.poles.count, 1);
}

// A text refused, a file that cannot be read or written: exit 1 and one
// line naming the file, the line of the text and the problem; a malformed
// line: exit 2. Either way an earlier OUT is left as it was.
TEST_F(CommandLineTest, ImportRefusalsChangeNoFile)
{
    writeFile(path("kept.vorbel"), "earlier contents");
    writeFile(path("good.txt"), "0.5,1,0.5,1,-1,0.5\n");
    struct Case {
        const char* text;
        const char* line;  // what standard error must hold after "IN: "
    };
    const Case texts[] = {
        {"0.5,1,0.5,0,-1,0.5\n", "line 1: a0 is 0"},
        {"# a comment\nb = [0 0 0]\na = [1 -1.2 0.5]\n", "line 2: b is all zeros"},
        {"0.5,1,0.5,1,-1,0.5\n1,0,1,1,-1.1\n1,0,1,1,0,0\n", "line 2: 5 numbers where a section has 6"},
        {"0.5,1,x,1,-1,0.5\n", "line 1: 'x' is not a number"},
        {"", "no coefficients found"},
    };
    for (const Case& c : texts) {
        SCOPED_TRACE(c.text);
        writeFile(path("bad.txt"), c.text);
        const Finished result = vorbel({QStringLiteral("--import"), path("bad.txt"), path("kept.vorbel")});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.out.isEmpty());
        ASSERT_EQ(lines(result.err).size(), 1) << result.err.constData();
        EXPECT_TRUE(result.err.startsWith("vorbel: " + path("bad.txt").toLocal8Bit() + ": " + c.line))
            << result.err.constData();
    }

    // Files: IN missing or a folder, OUT in a folder that does not exist or a folder.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("taken.vorbel")));
    const QStringList files[] = {
        {path("no-such.txt"), path("kept.vorbel")},
        {folder.path(), path("kept.vorbel")},
        {path("good.txt"), path("no-such-folder/out.vorbel")},
        {path("good.txt"), path("taken.vorbel")},
    };
    for (const QStringList& inAndOut : files) {
        const Finished result = vorbel(QStringList{QStringLiteral("--import")} + inAndOut);
        EXPECT_EQ(result.status, 1) << inAndOut.join(QLatin1Char(' ')).toStdString();
        ASSERT_EQ(lines(result.err).size(), 1) << result.err.constData();
        const QString named = inAndOut.back() == path("kept.vorbel") ? inAndOut.front() : inAndOut.back();
        EXPECT_TRUE(result.err.startsWith("vorbel: " + named.toLocal8Bit() + ": ")) << result.err.constData();
    }

    const QString in = path("good.txt"), out = path("kept.vorbel");
    const QStringList usage[] = {
        {"--import"},
        {"--import", in},
        {"--import", in, out, out},
        {"--import", QString(), out},
        {"--import", in, QString()},
        {"--import", in, out, "--rate"},
        {"--import", in, out, "--rate", "4800"},
        {"--import", in, out, "--rate", "48k"},
        {"--import", in, out, "--rate", "048000"},
        {"--import", in, out, "--rate", "22050"},
        {"--import", in, out, "--rate", "-44100"},
        {"--import", in, out, "--rate", ""},
        {"--rate", "48000", in},
        {"--coefficients", "--rate", "48000", in},
        {"--import", "--picture", out, in, out},
        {"--import", in, out, "--size", "800x600"},
        {"--import", "-platform", "offscreen", in, out},
    };
    for (const QStringList& arguments : usage) {
        const Finished result = vorbel(arguments);
        EXPECT_EQ(result.status, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(lines(result.err).size(), 1) << result.err.constData();
    }

    QFile kept(path("kept.vorbel"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier contents"));
}

// Every channel of OUT is IN's channel through the cascade of the sections
// that --coefficients prints for the same design, run in double precision
// and rounded once to OUT's 32-bit floats: no crossfade, no limiter.
TEST_F(CommandLineTest, ApplyFiltersEveryChannelWithTheCascadeOfTheExport)
{
    saved("notch.vorbel", designedDocument(4, 48000, 1300, 1500));
    writeNoise(path("in.wav"), 48000, 2, 9600);
    const Finished coefficients = vorbel({QStringLiteral("--coefficients"), path("notch.vorbel")});
    ASSERT_EQ(coefficients.status, 0) << coefficients.err.constData();

    const Finished result =
        vorbel({QStringLiteral("--apply"), path("notch.vorbel"), path("in.wav"), path("out.wav")});
    ASSERT_EQ(result.status, 0) << result.err.constData();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(result.err.isEmpty()) << result.err.constData();
    const Sound in = readSound(path("in.wav"));
    const Sound out = readSound(path("out.wav"));
    ASSERT_EQ(out.rate, 48000);
    ASSERT_EQ(out.channels, 2);
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (int c = 0; c < 2; ++c) {
        const std::vector<double> expected = ReferenceCascade(coefficients.out.toStdString()).filter(in.channel(c));
        const std::vector<double> got = out.channel(c);
        double worst = 0.0;
        double peak = 0.0;
        for (std::size_t n = 0; n < got.size(); ++n) {
            // Half a float's step of the value, and the last bits that the
            // two forms of the cascade round differently.
            worst = std::max(worst, std::fabs(got[n] - expected[n]) / std::max(std::fabs(expected[n]), 1e-3));
            peak = std::max(peak, std::fabs(expected[n]));
        }
        EXPECT_LE(worst, std::numeric_limits<float>::epsilon()) << "channel " << c;
        EXPECT_GT(peak, 0.05) << "channel " << c;
    }

    // Another rate only with --resample (anywhere on the line): converted
    // to the design's rate first, the length scaled with the rates.
    writeNoise(path("at44100.wav"), 44100, 1, 44100);
    const Finished converted = vorbel({QStringLiteral("--apply"), path("notch.vorbel"), path("at44100.wav"),
                                       path("converted.flac"), QStringLiteral("--resample")});
    ASSERT_EQ(converted.status, 0) << converted.err.constData();
    const Sound flac = readSound(path("converted.flac"));
    EXPECT_EQ(flac.rate, 48000);
    EXPECT_EQ(flac.channels, 1);
    EXPECT_NEAR(static_cast<double>(flac.samples.size()), 48000.0, 2.0);
}

// Refusals: a file problem exits with 1, a malformed line with 2, each with
// one line on standard error naming the problem, and OUT stays as it was.
TEST_F(CommandLineTest, ApplyRefusalsLeaveOutAsItWas)
{
    saved("design.vorbel", designedDocument(0, 48000, 1000, 0));
    writeNoise(path("in.wav"), 48000, 1, 4800);
    writeNoise(path("at44100.wav"), 44100, 1, 4410);
    writeFile(path("text.wav"), "RIFF, but no sound in it\n");
    writeFile(path("out.wav"), "the earlier OUT");
    const QString apply = QStringLiteral("--apply");
    const QString design = path("design.vorbel");
    const QString out = path("out.wav");

    struct Case {
        QStringList arguments;
        int status;
        QString says;  // a part of the line
    };
    const Case cases[] = {
        {{apply, path("none.vorbel"), path("in.wav"), out}, 1, path("none.vorbel") + QStringLiteral(": ")},
        {{apply, design, path("none.wav"), out}, 1, path("none.wav") + QStringLiteral(": no such file")},
        {{apply, design, path("text.wav"), out}, 1,
         path("text.wav") + QStringLiteral(": not a sound file libsndfile reads: ")},
        {{apply, design, path("at44100.wav"), out}, 1,
         path("at44100.wav")
             + QStringLiteral(": sample rate 44100 Hz, but the design's is 48000 Hz (--resample converts it)")},
        {{apply, design, path("in.wav"), path("out.mp3")}, 1, QStringLiteral("unknown extension \".mp3\"")},
        {{apply, design, path("in.wav")}, 2, QStringLiteral("--apply needs a sound file to write (OUT)")},
        {{apply, design}, 2, QStringLiteral("--apply needs a sound file to read (IN)")},
        {{QStringLiteral("--resample"), design, path("in.wav"), out}, 2,
         QStringLiteral("--resample goes with --apply only")},
        {{apply, QStringLiteral("--coefficients"), design, path("in.wav"), out}, 2,
         QStringLiteral("cannot be given together")},
        {{apply, design, path("in.wav"), out, QStringLiteral("extra")}, 2, QStringLiteral("one argument too many")},
    };
    for (const Case& c : cases) {
        const Finished result = vorbel(c.arguments);
        const std::string line = c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(result.status, c.status) << line;
        EXPECT_TRUE(result.out.isEmpty()) << line;
        ASSERT_EQ(lines(result.err).size(), 1) << line << ": " << result.err.constData();
        EXPECT_TRUE(result.err.startsWith("vorbel: ")) << result.err.constData();
        EXPECT_TRUE(result.err.contains(c.says.toLocal8Bit())) << result.err.constData() << " lacks " << c.says.toStdString();
        EXPECT_EQ(contentsOf(out), QByteArray("the earlier OUT")) << line;
    }
    EXPECT_FALSE(QFile::exists(path("out.mp3")));
    // Nothing is left beside OUT: no part file.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 5);
}

}  // namespace
