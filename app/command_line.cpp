#include "app/command_line.h"

#include "app/coefficient_import_file.h"
#include "app/design_files.h"
#include "app/main_window.h"
#include "model/code_export.h"
#include "model/coefficient_import.h"
#include "model/coefficients.h"
#include "model/document.h"
#include "model/rounding.h"
#include "model/time_response.h"
#include "res/resource_ids.h"
#include "sound/apply_design.h"
#include "view/render_picture.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLibraryInfo>
#include <QList>
#include <QPluginLoader>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* PROGRAM = "vorbel";

// ---------------------------------------------------------------- output

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

int print(const std::string& text)
{
    return writeToStandardOutput(text) ? 0 : fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot write to standard output"));
}

// ---------------------------------------------------------------- Qt's options

// Qt's own options of a window in Qt 6.4: QGuiApplication's, QApplication's
// and those of the X11 platform (xcb), which Qt takes out of the arguments
// itself. The window's QApplication gets them and nothing else; every other
// form refuses them.
struct QtOption {
    enum class Value { None, Separate, Attached };  // -reverse, -platform NAME, -qmljsdebugger=...
    const char* name;
    Value value;
};

constexpr QtOption QT_OPTIONS[] = {
    {"platform", QtOption::Value::Separate},
    {"platformpluginpath", QtOption::Value::Separate},
    {"platformtheme", QtOption::Value::Separate},
    {"plugin", QtOption::Value::Separate},
    {"qwindowgeometry", QtOption::Value::Separate},
    {"qwindowicon", QtOption::Value::Separate},
    {"qwindowtitle", QtOption::Value::Separate},
    {"session", QtOption::Value::Separate},
    {"style", QtOption::Value::Separate},
    {"stylesheet", QtOption::Value::Separate},
    {"reverse", QtOption::Value::None},
    {"widgetcount", QtOption::Value::None},
    {"testability", QtOption::Value::None},
    {"qmljsdebugger", QtOption::Value::Attached},
    // X11
    {"display", QtOption::Value::Separate},
    {"geometry", QtOption::Value::Separate},
    {"title", QtOption::Value::Separate},
    {"icon", QtOption::Value::Separate},
    {"name", QtOption::Value::Separate},
    {"visual", QtOption::Value::Separate},
    {"nograb", QtOption::Value::None},
    {"dograb", QtOption::Value::None},
};

const QtOption* qtOptionNamed(const QString& name)
{
    for (const QtOption& option : QT_OPTIONS)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}

// Qt's options as given, in their order, each written the way Qt reads it;
// qtNames are those the parser knows as Qt's.
QStringList qtArgumentsOf(const QCommandLineParser& parser, const QStringList& qtNames)
{
    QStringList arguments;
    QHash<QString, qsizetype> occurrences;
    for (const QString& name : parser.optionNames()) {
        const QtOption* option = qtOptionNamed(name);
        if (option == nullptr || !qtNames.contains(name))
            continue;
        const QString dashed = QLatin1Char('-') + name;
        if (option->value == QtOption::Value::None) {
            arguments << dashed;
            continue;
        }
        const QString value = parser.values(name).value(occurrences[name]++);
        if (option->value == QtOption::Value::Attached)
            arguments << dashed + QLatin1Char('=') + value;
        else
            arguments << dashed << value;
    }
    return arguments;
}

// ---------------------------------------------------------------- forms

// Carries out a form that runs without a window; returns the exit status.
using Action = std::function<int(char* programPath)>;

// What the command line asks for: an action, the window, or nothing but a
// refusal.
struct Reading {
    Action action;
    QString file;             // the window's design file, or empty
    QStringList qtArguments;  // the window's Qt options, as Qt reads them
    QString platform;         // the window's -platform and -platformpluginpath, or empty
    QString platformPluginPath;
    QString problem;          // a refusal: one line, without the program's name
};

Reading refused(const QString& problem)
{
    Reading reading;
    reading.problem = problem;
    return reading;
}

Reading runs(Action action)
{
    Reading reading;
    reading.action = std::move(action);
    return reading;
}

// A positional argument of a form.
struct Operand {
    QString name;  // as the synopsis shows it
    QString what;  // as a refusal names it when missing
    bool optional = false;
};

// Reads a line that chose the form, checked against it already: its option
// given and no other form's, none of another form's companions and none of
// Qt's options, and its operands, none of them empty. Returns the action or
// a refusal.
using Reader = std::function<Reading(const QCommandLineParser& parser, const QStringList& operands)>;

// A form of the command line that runs without a window: the option that
// asks for it, the options that go with it alone, its operands, and what
// reads the rest of the line into the action that carries it out. A new
// form is one more of these in allForms() and the function that runs it.
struct Form {
    QCommandLineOption option;
    QList<QCommandLineOption> companions;
    QList<Operand> operands;
    Reader read;
};

QString dashed(const QCommandLineOption& option) { return QStringLiteral("--") + option.names().constLast(); }

// The form as the help shows it: "--picture OUT.png [--size WxH] [--dpi N] FILE".
QString synopsis(const Form& form)
{
    const auto withValue = [](const QCommandLineOption& option) {
        return option.valueName().isEmpty() ? dashed(option) : dashed(option) + QLatin1Char(' ') + option.valueName();
    };
    QString text = withValue(form.option);
    for (const QCommandLineOption& companion : form.companions)
        text += QStringLiteral(" [") + withValue(companion) + QLatin1Char(']');
    for (const Operand& operand : form.operands)
        text += QLatin1Char(' ') + (operand.optional ? QLatin1Char('[') + operand.name + QLatin1Char(']') : operand.name);
    return text;
}

Operand designFile(bool optional = false) { return {QStringLiteral("FILE"), QStringLiteral("a design file"), optional}; }

// The whole text as a decimal number of at most `digits` digits (at most
// nine, so that it fits an int) within [low, high].
std::optional<int> parseNumber(const QString& text, int low, int high, int digits = 5)
{
    if (text.isEmpty() || text.size() > digits)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int value = text.toInt();
    if (value < low || value > high)
        return std::nullopt;
    return value;
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

// What a form prints of a design: the text, or the problem that keeps it
// from being made.
struct Printed {
    std::string text;
    std::string problem;
};

// The text make gives of FILE's design, printed; a problem is said after the
// file's name.
int printOfDesign(const QString& file, const std::function<Printed(const Document&)>& make)
{
    const LoadedDesign design = loadDesign(file);
    if (!design.document)
        return design.status;
    const Printed printed = make(*design.document);
    if (!printed.problem.empty())
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: %2").arg(file, QString::fromStdString(printed.problem)));
    return print(printed.text);
}

// --coefficients FILE

int printCoefficients(const QString& file)
{
    return printOfDesign(file, [](const Document& document) { return Printed{coefficientText(document), {}}; });
}

Reading readCoefficients(const QCommandLineParser&, const QStringList& operands)
{
    const QString file = operands.front();
    return runs([file](char*) { return printCoefficients(file); });
}

// --picture OUT.png [--size WxH] [--dpi N] FILE

struct PictureRequest {
    QString file;
    QString out;
    int width = 800;
    int height = 600;
    int dpi = 96;
};

int writePicture(const PictureRequest& request, char* programPath)
{
    const LoadedDesign design = loadDesign(request.file);
    if (!design.document)
        return design.status;

    // The target is replaced only by a complete picture: QSaveFile writes a
    // temporary file beside it and renames it over the target at the end.
    QSaveFile out(request.out);
    if (!out.open(QIODevice::WriteOnly))
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: cannot write: %2").arg(request.out, out.errorString()));

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sees no argument but the program's path, so that none of the
    // design's or picture's names is taken for one of its own options.
    int qtArgc = 1;
    char* qtArgv[] = {programPath, nullptr};
    const QGuiApplication application(qtArgc, qtArgv);

    const QImage picture = renderFullPaint(*design.document, request.width, request.height, request.dpi);
    if (picture.isNull()) {
        out.cancelWriting();
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot create the fonts for the picture"));
    }
    if (!picture.save(&out, "PNG")) {
        out.cancelWriting();
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: cannot write: %2").arg(request.out, out.errorString()));
    }
    if (!out.commit())
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: cannot write: %2").arg(request.out, out.errorString()));
    return 0;
}

Reading readPicture(const QCommandLineParser& parser, const QStringList& operands)
{
    PictureRequest request;
    request.file = operands.front();
    request.out = parser.value(QStringLiteral("picture"));
    if (request.out.isEmpty())
        return refused(QStringLiteral("--picture needs the name of the PNG file to write"));
    if (parser.isSet(QStringLiteral("size"))) {
        const QString size = parser.value(QStringLiteral("size"));
        const qsizetype cross = size.indexOf(QLatin1Char('x'));
        const std::optional<int> width = cross < 0 ? std::nullopt : parseNumber(size.left(cross), 1, MAX_PICTURE_SIDE);
        const std::optional<int> height =
            cross < 0 ? std::nullopt : parseNumber(size.mid(cross + 1), 1, MAX_PICTURE_SIDE);
        if (!width || !height)
            return refused(QStringLiteral("--size '%1': not WxH with each side 1 to %2").arg(size).arg(MAX_PICTURE_SIDE));
        request.width = *width;
        request.height = *height;
    }
    if (parser.isSet(QStringLiteral("dpi"))) {
        const QString dpi = parser.value(QStringLiteral("dpi"));
        const std::optional<int> value = parseNumber(dpi, 1, MAX_PICTURE_DPI);
        if (!value)
            return refused(QStringLiteral("--dpi '%1': not a whole number from 1 to %2").arg(dpi).arg(MAX_PICTURE_DPI));
        request.dpi = *value;
    }
    return runs([request](char* programPath) { return writePicture(request, programPath); });
}

// --export FORMAT [--name NAME] FILE

int printExport(const QString& file, ExportFormat format, const std::string& name)
{
    return printOfDesign(file, [format, &name](const Document& document) {
        CodeExport code = exportCode(document, format, name);
        return Printed{std::move(code.text), std::move(code.problem)};
    });
}

Reading readExport(const QCommandLineParser& parser, const QStringList& operands)
{
    const QString formatName = parser.value(QStringLiteral("export"));
    const std::optional<ExportFormat> format = exportFormatNamed(formatName.toStdString());
    if (!format)
        return refused(QStringLiteral("--export '%1': not one of %2")
                           .arg(formatName, QString::fromStdString(exportFormatNames())));
    const std::string name =
        parser.isSet(QStringLiteral("name")) ? parser.value(QStringLiteral("name")).toStdString() : DEFAULT_EXPORT_NAME;
    if (const std::string problem = exportNameProblem(name); !problem.empty())
        return refused(QStringLiteral("--name: %1").arg(QString::fromStdString(problem)));
    const QString file = operands.front();
    return runs([file, format = *format, name](char*) { return printExport(file, format, name); });
}

// --precision FORMAT FILE

int printPrecision(const QString& file, Precision precision)
{
    return printOfDesign(file, [precision](const Document& document) {
        PrecisionText rounded = precisionText(document, precision);
        return Printed{std::move(rounded.text), std::move(rounded.problem)};
    });
}

Reading readPrecision(const QCommandLineParser& parser, const QStringList& operands)
{
    const QString formatName = parser.value(QStringLiteral("precision"));
    const std::optional<Precision> precision = precisionNamed(formatName.toStdString());
    if (!precision)
        return refused(QStringLiteral("--precision '%1': not one of float32, q15, q31").arg(formatName));
    const QString file = operands.front();
    return runs([file, precision = *precision](char*) { return printPrecision(file, precision); });
}

// --impulse N FILE, --step N FILE, --group-delay [--points N] FILE, --roots FILE

// The most frequencies --points may ask for: as many as samples of a
// response, about 40 MB of text.
constexpr int MOST_GROUP_DELAY_POINTS = LONGEST_IMPULSE;
constexpr int DEFAULT_GROUP_DELAY_POINTS = 512;

// A count of the option's value within [low, high], or the refusal naming it.
struct Count {
    std::optional<int> value;
    QString problem;
};

Count countOf(const QCommandLineParser& parser, const QString& option, int low, int high)
{
    const QString text = parser.value(option);
    Count count;
    count.value = parseNumber(text, low, high, 9);
    if (!count.value)
        count.problem = QStringLiteral("--%1 '%2': not a whole number from %3 to %4").arg(option, text).arg(low).arg(high);
    return count;
}

enum class TimeText { Impulse, Step, GroupDelay, Roots };

std::string timeText(const Document& document, TimeText kind, int count)
{
    if (kind == TimeText::Impulse)
        return valueListCsv(impulseResponse(document.filter, count));
    if (kind == TimeText::Step)
        return valueListCsv(stepResponse(impulseResponse(document.filter, count)));
    if (kind == TimeText::GroupDelay) {
        const std::vector<double> frequencies =
            logFrequencies(document.filter.lowestFrequency, document.sampleRate / 2.0, count);
        return groupDelayCsv(frequencies, groupDelays(document.filter, frequencies));
    }
    return rootTableCsv(rootRows(document.filter, document.sampleRate));
}

int printTimeText(const QString& file, TimeText kind, int count)
{
    return printOfDesign(file,
                         [kind, count](const Document& document) { return Printed{timeText(document, kind, count), {}}; });
}

Reading readResponse(const QCommandLineParser& parser, const QStringList& operands, TimeText kind)
{
    const Count length =
        countOf(parser, kind == TimeText::Impulse ? QStringLiteral("impulse") : QStringLiteral("step"), 1, LONGEST_IMPULSE);
    if (!length.value)
        return refused(length.problem);
    const QString file = operands.front();
    return runs([file, kind, count = *length.value](char*) { return printTimeText(file, kind, count); });
}

Reading readImpulse(const QCommandLineParser& parser, const QStringList& operands)
{
    return readResponse(parser, operands, TimeText::Impulse);
}

Reading readStep(const QCommandLineParser& parser, const QStringList& operands)
{
    return readResponse(parser, operands, TimeText::Step);
}

Reading readGroupDelay(const QCommandLineParser& parser, const QStringList& operands)
{
    int points = DEFAULT_GROUP_DELAY_POINTS;
    if (parser.isSet(QStringLiteral("points"))) {
        const Count count = countOf(parser, QStringLiteral("points"), 2, MOST_GROUP_DELAY_POINTS);
        if (!count.value)
            return refused(count.problem);
        points = *count.value;
    }
    const QString file = operands.front();
    return runs([file, points](char*) { return printTimeText(file, TimeText::GroupDelay, points); });
}

Reading readRoots(const QCommandLineParser&, const QStringList& operands)
{
    const QString file = operands.front();
    return runs([file](char*) { return printTimeText(file, TimeText::Roots, 0); });
}

// --import IN OUT.vorbel [--rate R]

struct ImportRequest {
    QString in;
    QString out;
    std::optional<int> rate;  // --rate R
};

// The rate of a text that does not name its own, when --rate does not
// either: the window's default.
constexpr int IMPORT_DEFAULT_RATE = 44100;

// A line on standard error that does not fail the command.
void warn(const QString& message) { std::fprintf(stderr, "%s: %s\n", PROGRAM, oneLine(message).c_str()); }

// A "# sample rate" line of the text wins over --rate: it is the rate the
// coefficients were made for, and only at that rate do the roots keep the
// frequencies they had. --rate gives the rate of a text without one, and a
// --rate that disagrees with the line is named in a warning, not dropped in
// silence.
int importDesign(const ImportRequest& request)
{
    const CoefficientFileText text = readCoefficientFile(request.in);
    if (!text.problem.isEmpty())
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: %2").arg(request.in, text.problem));
    const ImportCommandOutput output =
        importCommandOutput(std::string_view(text.bytes.constData(), static_cast<std::size_t>(text.bytes.size())),
                            request.in.toStdString(), request.rate.value_or(IMPORT_DEFAULT_RATE));
    if (!output.ok)
        return fail(EXIT_FILE_PROBLEM, QString::fromStdString(output.message));
    const QString problem = writeFileAtomically(request.out, QByteArray::fromStdString(output.designText));
    if (!problem.isEmpty())
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("%1: cannot write: %2").arg(request.out, problem));
    if (!output.message.empty())
        warn(QString::fromStdString(output.message));
    if (request.rate && *request.rate != output.sampleRate)
        warn(QStringLiteral("%1: warning: the text's own sample rate, %2 Hz, is used, not --rate %3")
                 .arg(request.in)
                 .arg(output.sampleRate)
                 .arg(*request.rate));
    return 0;
}

Reading readImport(const QCommandLineParser& parser, const QStringList& operands)
{
    ImportRequest request;
    request.in = operands.at(0);
    request.out = operands.at(1);
    if (parser.isSet(QStringLiteral("rate"))) {
        // One of the rates of the window's rate menu, written as it names them.
        const QString rate = parser.value(QStringLiteral("rate"));
        for (const RateCommand& command : RATE_COMMANDS)
            if (rate == QString::number(command.rate))
                request.rate = command.rate;
        if (!request.rate)
            return refused(QStringLiteral("--rate '%1': not 44100, 48000, 96000 or 192000").arg(rate));
    }
    return runs([request](char*) { return importDesign(request); });
}

// --apply [--resample] FILE IN OUT

struct ApplyRequest {
    QString file;
    QString in;
    QString out;
    bool resample = false;
};

// No Qt application is needed: the design file is read with Qt Core's files
// alone and the sound with libsndfile.
int applyToSoundFile(const ApplyRequest& request)
{
    const LoadedDesign design = loadDesign(request.file);
    if (!design.document)
        return design.status;
    const std::string problem = applyDesign(*design.document, QFile::encodeName(request.in).toStdString(),
                                            QFile::encodeName(request.out).toStdString(), request.resample);
    if (!problem.empty())
        return fail(EXIT_FILE_PROBLEM, QString::fromLocal8Bit(problem));
    return 0;
}

Reading readApply(const QCommandLineParser& parser, const QStringList& operands)
{
    const ApplyRequest request{operands.at(0), operands.at(1), operands.at(2), parser.isSet(QStringLiteral("resample"))};
    return runs([request](char*) { return applyToSoundFile(request); });
}

// Every form but the window, --help and --version.
QList<Form> allForms()
{
    const QCommandLineOption coefficients(QStringLiteral("coefficients"),
                                          QStringLiteral("Print FILE's filter as second-order sections (CSV) and exit."));
    const QCommandLineOption picture(
        QStringLiteral("picture"), QStringLiteral("Write the full paint of FILE's design to OUT as PNG, without a window."),
        QStringLiteral("OUT.png"));
    const QCommandLineOption size(
        QStringLiteral("size"),
        QStringLiteral("The picture's width and height in pixels, each 1 to %1 (default 800x600).").arg(MAX_PICTURE_SIDE),
        QStringLiteral("WxH"));
    const QCommandLineOption dpi(
        QStringLiteral("dpi"),
        QStringLiteral("The picture's pixels per inch for its fonts, 1 to %1 (default 96).").arg(MAX_PICTURE_DPI),
        QStringLiteral("N"));
    const QCommandLineOption exportCode(
        QStringLiteral("export"),
        QStringLiteral("Print FILE's filter as code in FORMAT (%1) and exit.")
            .arg(QString::fromStdString(exportFormatNames())),
        QStringLiteral("FORMAT"));
    const QCommandLineOption name(
        QStringLiteral("name"),
        QStringLiteral("The C identifier the export's names start with (default %1).").arg(DEFAULT_EXPORT_NAME),
        QStringLiteral("NAME"));
    const QCommandLineOption precision(
        QStringLiteral("precision"),
        QStringLiteral("Print the roots of FILE's filter with its coefficients rounded to FORMAT (float32, q15, q31), "
                       "and whether it is still stable, and exit."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption import(
        QStringLiteral("import"),
        QStringLiteral("Make IN's filter coefficients (second-order sections, b and a, or zeros, poles and gain) "
                       "a Custom design and write it to OUT as a design file."));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("The design's sample rate when IN names none: 44100 (default), "
                                                 "48000, 96000 or 192000."),
                                  QStringLiteral("R"));
    const QList<Operand> importFiles{{QStringLiteral("IN"), QStringLiteral("a file of coefficients")},
                                     {QStringLiteral("OUT.vorbel"), QStringLiteral("the design file to write")}};
    const QCommandLineOption apply(
        QStringLiteral("apply"),
        QStringLiteral("Filter the sound file IN with FILE's design and write OUT (.wav, .flac or .ogg)."));
    const QCommandLineOption resample(
        QStringLiteral("resample"), QStringLiteral("Convert IN to the design's sample rate first, if it has another."));
    const QCommandLineOption impulse(
        QStringLiteral("impulse"),
        QStringLiteral("Print the first N samples (1 to %1) of FILE's impulse response, one per line, and exit.")
            .arg(LONGEST_IMPULSE),
        QStringLiteral("N"));
    const QCommandLineOption step(
        QStringLiteral("step"),
        QStringLiteral("Print the first N samples (1 to %1) of FILE's step response, one per line, and exit.")
            .arg(LONGEST_IMPULSE),
        QStringLiteral("N"));
    const QCommandLineOption groupDelay(
        QStringLiteral("group-delay"),
        QStringLiteral("Print FILE's group delay in samples at frequencies spaced logarithmically from 10 Hz to "
                       "Nyquist, as lines f_hz,tau_samples, and exit."));
    const QCommandLineOption points(
        QStringLiteral("points"),
        QStringLiteral("The number of frequencies of the group delay, 2 to %1 (default %2).")
            .arg(MOST_GROUP_DELAY_POINTS)
            .arg(DEFAULT_GROUP_DELAY_POINTS),
        QStringLiteral("N"));
    const QCommandLineOption roots(
        QStringLiteral("roots"),
        QStringLiteral("Print FILE's zeros and poles as a table (CSV with a header line: radius, angle, frequency, "
                       "Q, decay time, stability margin) and exit."));
    return {
        {coefficients, {}, {designFile()}, readCoefficients},
        {picture, {size, dpi}, {designFile()}, readPicture},
        {exportCode, {name}, {designFile()}, readExport},
        {precision, {}, {designFile()}, readPrecision},
        {import, {rate}, importFiles, readImport},
        {apply,
         {resample},
         {designFile(),
          {QStringLiteral("IN"), QStringLiteral("a sound file to read")},
          {QStringLiteral("OUT"), QStringLiteral("a sound file to write")}},
         readApply},
        {impulse, {}, {designFile()}, readImpulse},
        {step, {}, {designFile()}, readStep},
        {groupDelay, {points}, {designFile()}, readGroupDelay},
        {roots, {}, {designFile()}, readRoots},
    };
}

// ---------------------------------------------------------------- the window

// The names of the platforms Qt can load: the keys of the platform plugins in
// Qt's plugin folders (QT_PLUGIN_PATH's, the installed one, the program's
// own), in pluginPath (-platformpluginpath or QT_QPA_PLATFORM_PLUGIN_PATH)
// and built in, read from their metadata without loading any.
QStringList platformNames(const QString& pluginPath, const QString& programPath)
{
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) << QFileInfo(programPath).absolutePath();
    for (QString& folder : folders)
        folder += QStringLiteral("/platforms");
    folders << pluginPath;
    QList<QJsonObject> plugins;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        if (!folder.isEmpty())
            for (const QString& file : dir.entryList(QDir::Files))
                plugins << QPluginLoader(dir.filePath(file)).metaData();
    }
    for (const QStaticPlugin& plugin : QPluginLoader::staticPlugins())
        plugins << plugin.metaData();
    QStringList names;
    for (const QJsonObject& plugin : plugins)
        if (plugin.value(QStringLiteral("IID")).toString().startsWith(
                QStringLiteral("org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface")))
            for (const QJsonValue& key : plugin.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray())
                names << key.toString();
    return names;
}

// The platform named by -platform or the environment, "" for Qt's default,
// and whether Qt can load it: one of the names ("xcb"; "wayland;xcb" tries
// each; "offscreen:configfile=screens.json" gives options) is a plugin's.
struct Platform {
    QString name;
    bool known = true;
    QStringList available;
};

Platform platformOf(const Reading& window, const QString& programPath)
{
    Platform platform;
    platform.name = window.platform;
    if (platform.name.isEmpty())
        platform.name = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platform.name.isEmpty())
        return platform;
    QString pluginPath = window.platformPluginPath;
    if (pluginPath.isEmpty())
        pluginPath = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    platform.available = platformNames(pluginPath, programPath);
    const QStringList tried = platform.name.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    platform.known = std::any_of(tried.begin(), tried.end(), [&platform](const QString& one) {
        return platform.available.contains(one.section(QLatin1Char(':'), 0, 0), Qt::CaseInsensitive);
    });
    return platform;
}

// Whether the platform may reach its window system. X11 (xcb) needs DISPLAY
// set, Wayland a Wayland display or session; without them Qt aborts. Qt's
// default on Linux is one of the two. Anything that may lead Qt to a window
// system counts, a variable set empty too; any other platform (offscreen,
// eglfs, vnc, ...) is taken to reach its own.
bool mayReachDisplay(const QString& platform)
{
    const bool x11 = qEnvironmentVariableIsSet("DISPLAY");
    const bool wayland = qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_SOCKET")
        || qgetenv("XDG_SESSION_TYPE") == "wayland";
    const QStringList tried = (platform.isEmpty() ? QStringLiteral("xcb;wayland") : platform).split(QLatin1Char(';'));
    return std::any_of(tried.begin(), tried.end(), [x11, wayland](const QString& one) {
        const QString name = one.section(QLatin1Char(':'), 0, 0).toLower();
        return name == QStringLiteral("xcb") ? x11 : name.startsWith(QStringLiteral("wayland")) ? wayland : true;
    });
}

int openWindow(const Reading& reading, char* programPath)
{
    const Platform platform = platformOf(reading, QString::fromLocal8Bit(programPath));
    if (!platform.known)
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot open a window: no Qt platform '%1' (only %2)")
                                           .arg(platform.name, platform.available.join(QStringLiteral(", "))));
    if (!mayReachDisplay(platform.name))
        return fail(EXIT_FILE_PROBLEM, QStringLiteral("cannot open a window: no display"));
    // QApplication keeps argc and argv for its lifetime, and sees Qt's own
    // options alone, so that it takes no file name for one of them.
    std::vector<QByteArray> bytes{QByteArray(programPath)};
    for (const QString& argument : reading.qtArguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<char*> qtArgv;
    for (QByteArray& argument : bytes)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(bytes.size());
    const QApplication application(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QString::fromUtf8(APPLICATION_NAME));
    QGuiApplication::setDesktopFileName(QStringLiteral("vorbel"));
    return runMainWindow(reading.file);
}

// ---------------------------------------------------------------- reading the line

// The program's options, its forms' and Qt's, in a parser.
struct Grammar {
    QCommandLineParser parser;
    QList<Form> forms = allForms();
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the program's version and exit.")};
    QStringList qtNames;  // Qt's options, those an option of ours shadows included

    Grammar()
    {
        QString description =
            QStringLiteral("Poles and zeros of recursive digital filters, and what they do to the response.\n\n"
                           "  vorbel [FILE]\n");
        QStringList names;  // the options added, so that each is added once
        const auto add = [this, &names](const QCommandLineOption& option) {
            if (!names.contains(option.names().constFirst()))
                parser.addOption(option);
            names += option.names();
        };
        for (const Form& form : forms) {
            description += QStringLiteral("  vorbel ") + synopsis(form) + QLatin1Char('\n');
            add(form.option);
            for (const QCommandLineOption& companion : form.companions)
                add(companion);
        }
        description += QStringLiteral("  vorbel --help | --version\n\n"
                                      "The window also takes Qt's own options (-platform NAME, -style NAME, "
                                      "-reverse, ...).");
        parser.setApplicationDescription(description);
        add(help);
        add(version);
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A Vorbel design file (.vorbel)."),
                                     QStringLiteral("[FILE]"));
        // Qt's options are single words after one dash, so that every
        // single-dash word is one option: "-x" is an unknown option, not
        // the letter x. An option of ours takes the place of Qt's of the
        // same name (--name) in the form that takes it, and takes a value
        // where Qt's does; in the window's line the option is Qt's.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const QtOption& qt : QT_OPTIONS) {
            QCommandLineOption option(QString::fromLatin1(qt.name));
            if (qt.value != QtOption::Value::None)
                option.setValueName(QStringLiteral("VALUE"));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            qtNames += option.names();
            add(option);
        }
    }
};

// The first argument that gives the option, as typed: "-x", "--bogus".
QString asTyped(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments) {
        const QString option = argument.section(QLatin1Char('='), 0, 0);
        if (option == QLatin1Char('-') + name || option == QStringLiteral("--") + name)
            return option;
    }
    return name;
}

Reading readCommandLine(const QStringList& arguments)
{
    Grammar line;
    QCommandLineParser& parser = line.parser;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return refused(QStringLiteral("unknown option '%1'").arg(asTyped(arguments, unknown.front())));
        return refused(parser.errorText());
    }
    if (parser.isSet(line.help))
        return runs([](char* programPath) {
            int qtArgc = 1;
            char* qtArgv[] = {programPath, nullptr};
            const QCoreApplication application(qtArgc, qtArgv);
            return print(Grammar().parser.helpText().toLocal8Bit().toStdString());
        });
    if (parser.isSet(line.version))
        return runs([](char*) { return print(std::string(PROGRAM) + " " + VORBEL_VERSION + "\n"); });

    const Form* chosen = nullptr;
    for (const Form& form : line.forms) {
        if (!parser.isSet(form.option))
            continue;
        if (chosen != nullptr)
            return refused(
                QStringLiteral("%1 and %2 cannot be given together").arg(dashed(chosen->option), dashed(form.option)));
        chosen = &form;
    }
    // The chosen form's own options are never Qt's; Qt's options that a
    // companion shadows are Qt's again in the window's line.
    QStringList qtNames = line.qtNames;
    if (chosen != nullptr)
        for (const QCommandLineOption& own : QList<QCommandLineOption>{chosen->option} + chosen->companions)
            for (const QString& name : own.names())
                qtNames.removeAll(name);
    for (const Form& form : line.forms)
        for (const QCommandLineOption& companion : form.companions) {
            const auto belongs = [&companion](const QCommandLineOption& other) { return other.names() == companion.names(); };
            const bool qts = chosen == nullptr && qtNames.contains(companion.names().constFirst());
            if (parser.isSet(companion) && !qts
                && (chosen == nullptr || std::none_of(chosen->companions.begin(), chosen->companions.end(), belongs)))
                return refused(QStringLiteral("%1 goes with %2 only").arg(dashed(companion), dashed(form.option)));
        }
    const QStringList qtArguments = qtArgumentsOf(parser, qtNames);
    if (chosen != nullptr && !qtArguments.isEmpty())
        return refused(QStringLiteral("Qt's option %1 goes with the window only")
                           .arg(qtArguments.front().section(QLatin1Char('='), 0, 0)));

    const QList<Operand> wanted = chosen != nullptr ? chosen->operands : QList<Operand>{designFile(true)};
    const QStringList operands = parser.positionalArguments();
    if (operands.size() > wanted.size())
        return refused(QStringLiteral("one argument too many: '%1'").arg(operands.at(wanted.size())));
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        if (i >= operands.size()) {
            if (!wanted.at(i).optional)
                return refused(QStringLiteral("%1 needs %2 (%3)").arg(dashed(chosen->option), wanted.at(i).what,
                                                                     wanted.at(i).name));
        } else if (operands.at(i).isEmpty()) {
            return refused(QStringLiteral("an empty name given for %1").arg(wanted.at(i).name));
        }
    }
    if (chosen != nullptr)
        return chosen->read(parser, operands);

    Reading window;
    window.file = operands.value(0);
    window.qtArguments = qtArguments;
    window.platform = parser.value(QStringLiteral("platform"));  // Qt takes the last
    window.platformPluginPath = parser.value(QStringLiteral("platformpluginpath"));
    // A platform Qt cannot load is a malformed line; Qt would abort.
    if (!window.platform.isEmpty()) {
        const Platform platform = platformOf(window, arguments.value(0));
        if (!platform.known)
            return refused(QStringLiteral("-platform '%1': no such Qt platform (only %2)")
                               .arg(platform.name, platform.available.join(QStringLiteral(", "))));
    }
    return window;
}

}  // namespace

int runCommandLine(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const Reading reading = readCommandLine(arguments);
    if (!reading.problem.isEmpty())
        return fail(EXIT_USAGE, reading.problem + QStringLiteral(" (try --help)"));
    if (reading.action)
        return reading.action(argv[0]);
    return openWindow(reading, argv[0]);
}
