#include "app/command_line.h"

#include "app/design_files.h"
#include "model/coefficients.h"
#include "model/document.h"
#include "view/render_picture.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr const char* PROGRAM = "vorbel";

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the program's version and exit.")};
    QCommandLineOption coefficients{QStringLiteral("coefficients"),
                                    QStringLiteral("Print FILE's filter as second-order sections (CSV) and exit.")};
    QCommandLineOption picture{QStringLiteral("picture"),
                               QStringLiteral("Write the full paint of FILE's design to OUT as PNG, without a window."),
                               QStringLiteral("OUT.png")};
    QCommandLineOption size{QStringLiteral("size"),
                            QStringLiteral("The picture's width and height in pixels, each 1 to %1 (default 800x600).")
                                .arg(MAX_PICTURE_SIDE),
                            QStringLiteral("WxH")};
    QCommandLineOption dpi{QStringLiteral("dpi"),
                           QStringLiteral("The picture's pixels per inch for its fonts, 1 to %1 (default 96).")
                               .arg(MAX_PICTURE_DPI),
                           QStringLiteral("N")};
};

void configure(QCommandLineParser& parser, const Options& options)
{
    parser.setApplicationDescription(
        QStringLiteral("Poles and zeros of recursive digital filters, and what they do to the response."));
    parser.addOptions({options.help, options.version, options.coefficients, options.picture, options.size, options.dpi});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A Vorbel design file (.vorbel)."),
                                 QStringLiteral("[FILE]"));
}

// The whole text as a decimal number of at most five digits within [low, high].
std::optional<int> parseNumber(const QString& text, int low, int high)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int value = text.toInt();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

CommandLine refused(const QString& problem)
{
    CommandLine result;
    result.mode = CommandLine::Mode::Refused;
    result.problem = problem;
    return result;
}

// The message without line breaks, so that a refusal is one line whatever
// a file name holds.
std::string oneLine(const QString& message)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line.toLocal8Bit().toStdString();
}

int fail(int status, const QString& message)
{
    std::fprintf(stderr, "%s: %s\n", PROGRAM, oneLine(message).c_str());
    return status;
}

bool writeToStandardOutput(const std::string& text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// The document of a design file, or the exit status after saying why not.
struct LoadedDesign {
    std::optional<Document> document;
    int status = 0;
};

LoadedDesign loadDesign(const QString& path)
{
    LoadedDesign result;
    DesignFileRead read = readDesignFile(path);
    if (!read.document)
        result.status = fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: %2").arg(path, read.problem));
    result.document = read.document;
    return result;
}

int printCoefficients(const CommandLine& commandLine)
{
    const LoadedDesign design = loadDesign(commandLine.file);
    if (!design.document)
        return design.status;
    if (!writeToStandardOutput(coefficientText(*design.document)))
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot write to standard output"));
    return 0;
}

int writePicture(const CommandLine& commandLine, char* programPath)
{
    const LoadedDesign design = loadDesign(commandLine.file);
    if (!design.document)
        return design.status;

    // The target is replaced only by a complete picture: QSaveFile writes a
    // temporary file beside it and renames it over the target at the end.
    QSaveFile out(commandLine.out);
    if (!out.open(QIODevice::WriteOnly))
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: cannot write: %2").arg(commandLine.out, out.errorString()));

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sees no argument but the program's path, so that none of the
    // design's or picture's names is taken for one of its own options.
    int qtArgc = 1;
    char* qtArgv[] = {programPath, nullptr};
    const QGuiApplication application(qtArgc, qtArgv);

    const QImage picture = renderFullPaint(*design.document, commandLine.width, commandLine.height, commandLine.dpi);
    if (picture.isNull()) {
        out.cancelWriting();
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot create the fonts for the picture"));
    }
    if (!picture.save(&out, "PNG")) {
        out.cancelWriting();
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: cannot write: %2").arg(commandLine.out, out.errorString()));
    }
    if (!out.commit())
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: cannot write: %2").arg(commandLine.out, out.errorString()));
    return 0;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Options options;
    configure(parser, options);
    if (!parser.parse(arguments))
        return refused(parser.errorText());

    CommandLine result;
    if (parser.isSet(options.help)) {
        result.mode = CommandLine::Mode::Help;
        return result;
    }
    if (parser.isSet(options.version)) {
        result.mode = CommandLine::Mode::Version;
        return result;
    }

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return refused(QStringLiteral("more than one design file given: %1").arg(files.at(1)));
    if (!files.isEmpty()) {
        result.file = files.front();
        if (result.file.isEmpty())
            return refused(QStringLiteral("the design file's name is empty"));
    }

    const bool coefficients = parser.isSet(options.coefficients);
    const bool picture = parser.isSet(options.picture);
    if (coefficients && picture)
        return refused(QStringLiteral("--coefficients and --picture cannot be given together"));
    if (!picture && (parser.isSet(options.size) || parser.isSet(options.dpi)))
        return refused(QStringLiteral("--size and --dpi go with --picture only"));

    if (parser.isSet(options.size)) {
        const QString size = parser.value(options.size);
        const qsizetype cross = size.indexOf(QLatin1Char('x'));
        const std::optional<int> width =
            cross < 0 ? std::nullopt : parseNumber(size.left(cross), 1, MAX_PICTURE_SIDE);
        const std::optional<int> height =
            cross < 0 ? std::nullopt : parseNumber(size.mid(cross + 1), 1, MAX_PICTURE_SIDE);
        if (!width || !height)
            return refused(QStringLiteral("--size '%1': not WxH with each side 1 to %2").arg(size).arg(MAX_PICTURE_SIDE));
        result.width = *width;
        result.height = *height;
    }
    if (parser.isSet(options.dpi)) {
        const QString dpi = parser.value(options.dpi);
        const std::optional<int> value = parseNumber(dpi, 1, MAX_PICTURE_DPI);
        if (!value)
            return refused(QStringLiteral("--dpi '%1': not a whole number from 1 to %2").arg(dpi).arg(MAX_PICTURE_DPI));
        result.dpi = *value;
    }

    if (coefficients) {
        if (result.file.isEmpty())
            return refused(QStringLiteral("--coefficients needs a design file"));
        result.mode = CommandLine::Mode::Coefficients;
    } else if (picture) {
        result.out = parser.value(options.picture);
        if (result.out.isEmpty())
            return refused(QStringLiteral("--picture needs the name of the PNG file to write"));
        if (result.file.isEmpty())
            return refused(QStringLiteral("--picture needs a design file"));
        result.mode = CommandLine::Mode::Picture;
    }
    return result;
}

bool namesOwnOption(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QStringLiteral("--"))
            return false;
        if (argument.startsWith(QStringLiteral("--")) || argument == QStringLiteral("-h")
            || argument == QStringLiteral("-v"))
            return true;
    }
    return false;
}

int runWithoutWindow(const CommandLine& commandLine, char* programPath)
{
    switch (commandLine.mode) {
    case CommandLine::Mode::Help: {
        int qtArgc = 1;
        char* qtArgv[] = {programPath, nullptr};
        const QCoreApplication application(qtArgc, qtArgv);
        QCommandLineParser parser;
        const Options options;
        configure(parser, options);
        const std::string text = parser.helpText().toLocal8Bit().toStdString();
        return writeToStandardOutput(text) ? 0 : fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot write to standard output"));
    }
    case CommandLine::Mode::Version: {
        const std::string text = std::string(PROGRAM) + " " + VORBEL_VERSION + "\n";
        return writeToStandardOutput(text) ? 0 : fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot write to standard output"));
    }
    case CommandLine::Mode::Coefficients:
        return printCoefficients(commandLine);
    case CommandLine::Mode::Picture:
        return writePicture(commandLine, programPath);
    case CommandLine::Mode::Refused:
        return fail(EXIT_USAGE, commandLine.problem + QStringLiteral(" (try --help)"));
    case CommandLine::Mode::Window:
        break;
    }
    return fail(EXIT_USAGE, QStringLiteral("no window is opened here"));
}
