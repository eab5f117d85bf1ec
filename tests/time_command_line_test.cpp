// The time forms of the real vorbel executable, run as a child process: what
// --impulse, --step, --group-delay and --roots print, read back and compared
// with the model's computations, and how they refuse bad counts and files.

#include "tests/command_line_runner.h"

#include "model/design_file.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/time_response.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The lines of a text each of whose lines ends with a break; a last line
// without one is kept, so that it shows in a comparison.
std::vector<std::string> linesOf(const QByteArray& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

double numberOf(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    EXPECT_TRUE(!text.empty() && *end == '\0') << "'" << text << "'";
    return value;
}

// Equal as the numbers a round trip keeps: NaN equals NaN, and −0 (written
// as 0) equals 0.
void expectSameNumber(double read, double computed, const std::string& where)
{
    if (std::isnan(computed))
        EXPECT_TRUE(std::isnan(read)) << where;
    else
        EXPECT_EQ(read, computed) << where;
}

std::vector<std::string> fieldsOf(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

class TimeCommandLineTest : public CommandLineFixture {};

// A design with more zeros than poles, one unstable and the designed models.
std::vector<Document> documents()
{
    std::vector<Document> all{designedDocument(0, 44100, 1000, 0), designedDocument(4, 48000, 1400, 1500),
                              designedDocument(7, 96000, 700, 0), designedDocument(3, 192000, 1800, 2000)};
    Document custom = designedDocument(MODEL_CUSTOM, 44100, 1000, 0);
    custom.filter.zeros.count = 3;
    custom.filter.zeros.positions[0] = {0.5, 0.5};
    custom.filter.zeros.pairFlags[0] = true;
    custom.filter.zeros.positions[1] = {-1.0, 0.0};
    custom.filter.zeros.positions[2] = {0.25, 0.0};
    custom.filter.zeros.pairFlags[1] = custom.filter.zeros.pairFlags[2] = false;
    custom.filter.poles.count = 1;
    custom.filter.poles.positions[0] = {-0.9, 0.0};
    custom.filter.poles.pairFlags[0] = false;
    custom.filter.gain = 0.75;
    all.push_back(custom);
    custom.filter.poles.positions[0] = {1.01, 0.0};
    all.push_back(custom);
    return all;
}

}  // namespace

TEST_F(TimeCommandLineTest, HelpShowsTheTimeForms)
{
    const Finished help = vorbel({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"vorbel --impulse N FILE", "vorbel --step N FILE", "vorbel --group-delay [--points N] FILE",
                             "vorbel --roots FILE", "--points <N>"})
        EXPECT_TRUE(help.out.contains(text)) << text;
}

TEST_F(TimeCommandLineTest, ResponsesAreTheModelsSamples)
{
    for (const Document& design : documents()) {
        const Document document = saved("design.vorbel", design);
        const std::string what = std::string(modelName(document.filter.modelIndex)) + " at "
            + std::to_string(document.sampleRate) + " Hz";
        for (const int length : {1, 37, shownImpulseLength(document.filter)}) {
            const std::vector<double> impulse = impulseResponse(document.filter, length);
            const std::vector<double> step = stepResponse(impulse);
            for (const bool isStep : {false, true}) {
                const Finished result =
                    vorbel({isStep ? QStringLiteral("--step") : QStringLiteral("--impulse"), QString::number(length),
                            path("design.vorbel")});
                EXPECT_EQ(result.status, 0) << result.err.constData();
                EXPECT_TRUE(result.err.isEmpty()) << result.err.constData();
                const std::vector<std::string> lines = linesOf(result.out);
                ASSERT_EQ(lines.size(), static_cast<std::size_t>(length)) << what;
                EXPECT_TRUE(result.out.endsWith('\n'));
                const std::vector<double>& computed = isStep ? step : impulse;
                for (std::size_t n = 0; n < lines.size(); ++n)
                    expectSameNumber(numberOf(lines[n]), computed[n],
                                     what + (isStep ? ", step" : ", impulse") + " n = " + std::to_string(n));
            }
        }
    }

    // The longest response the line may ask for.
    saved("design.vorbel", designedDocument(1, 44100, 1000, 0));
    const Finished longest =
        vorbel({QStringLiteral("--impulse"), QString::number(LONGEST_IMPULSE), path("design.vorbel")});
    EXPECT_EQ(longest.status, 0) << longest.err.constData();
    EXPECT_EQ(longest.out.count('\n'), LONGEST_IMPULSE);
}

TEST_F(TimeCommandLineTest, GroupDelayAndRootsAreTheModels)
{
    for (const Document& design : documents()) {
        const Document document = saved("design.vorbel", design);
        const double nyquist = document.sampleRate / 2.0;
        for (const int points : {2, 3, 512, 2000}) {
            QStringList arguments{QStringLiteral("--group-delay")};
            if (points != 512)
                arguments << QStringLiteral("--points") << QString::number(points);
            const Finished result = vorbel(arguments + QStringList{path("design.vorbel")});
            EXPECT_EQ(result.status, 0) << result.err.constData();
            EXPECT_TRUE(result.err.isEmpty()) << result.err.constData();
            const std::vector<std::string> lines = linesOf(result.out);
            ASSERT_EQ(lines.size(), static_cast<std::size_t>(points));
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::vector<std::string> fields = fieldsOf(lines[i]);
                ASSERT_EQ(fields.size(), 2u) << lines[i];
                // fᵢ = 10·(nyq/10)^(i/(N−1)), from 10 Hz to Nyquist exactly.
                const double f = numberOf(fields[0]);
                const double expected = i + 1 == lines.size()
                    ? nyquist
                    : 10.0 * std::pow(nyquist / 10.0, static_cast<double>(i) / static_cast<double>(points - 1));
                EXPECT_DOUBLE_EQ(f, expected) << lines[i];
                expectSameNumber(numberOf(fields[1]), groupDelay(document.filter, f), lines[i]);
            }
        }

        const Finished roots = vorbel({QStringLiteral("--roots"), path("design.vorbel")});
        EXPECT_EQ(roots.status, 0) << roots.err.constData();
        const std::vector<std::string> lines = linesOf(roots.out);
        const std::vector<RootRow> rows = rootRows(document.filter, document.sampleRate);
        ASSERT_EQ(lines.size(), rows.size() + 1);
        EXPECT_EQ(lines[0], "kind,re,im,pair,r,angle_deg,f_hz,q,n60_samples,n60_ms,margin_db");
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const RootRow& row = rows[k];
            const std::vector<std::string> fields = fieldsOf(lines[k + 1]);
            ASSERT_EQ(fields.size(), 11u) << lines[k + 1];
            EXPECT_EQ(fields[0], row.kind == RootTableKind::Zero ? "zero" : "pole");
            EXPECT_EQ(fields[3], row.pair ? "true" : "false");
            const double values[] = {row.re, row.im, row.radius, row.angleDegrees, row.frequency};
            const int columns[] = {1, 2, 4, 5, 6};
            for (int c = 0; c < 5; ++c)
                expectSameNumber(numberOf(fields[static_cast<std::size_t>(columns[c])]), values[c], lines[k + 1]);
            const std::optional<double> optionals[] = {row.q, row.n60Samples, row.n60Ms, row.marginDb};
            for (int c = 0; c < 4; ++c) {
                const std::string& field = fields[static_cast<std::size_t>(7 + c)];
                if (optionals[c]) {
                    expectSameNumber(numberOf(field), *optionals[c], lines[k + 1]);
                } else {
                    EXPECT_TRUE(field.empty()) << lines[k + 1];
                }
            }
        }
    }
}

// A bad count: a malformed line (2); a file that is missing or no design (1);
// each one line on standard error, nothing on standard output.
TEST_F(TimeCommandLineTest, RefusalsNameTheProblem)
{
    saved("design.vorbel", designedDocument(1, 44100, 1000, 0));
    const QString design = path("design.vorbel");
    struct Case {
        QStringList arguments;
        const char* named;
    };
    const Case usage[] = {
        {{"--impulse", "0", design}, "--impulse '0'"},
        {{"--impulse", "1048577", design}, "--impulse '1048577'"},
        {{"--impulse", "-1", design}, "--impulse '-1'"},
        {{"--impulse", "x", design}, "--impulse 'x'"},
        {{"--impulse", "", design}, "--impulse ''"},
        {{"--impulse", "1.5", design}, "--impulse '1.5'"},
        {{"--impulse", "1e3", design}, "--impulse '1e3'"},
        {{"--impulse", " 12", design}, "--impulse ' 12'"},
        {{"--impulse", "99999999999", design}, "--impulse '99999999999'"},
        {{"--step", "0", design}, "--step '0'"},
        {{"--step", "2000000", design}, "--step '2000000'"},
        {{"--group-delay", "--points", "1", design}, "--points '1'"},
        {{"--group-delay", "--points", "1048577", design}, "--points '1048577'"},
        {{"--group-delay", "--points", "many", design}, "--points 'many'"},
        {{"--impulse", "8", "--points", "4", design}, "--points"},
        {{"--roots", "--points", "4", design}, "--points"},
        {{"--impulse", "8"}, "design file"},
        {{"--roots"}, "design file"},
        {{"--group-delay"}, "design file"},
        {{"--roots", design, design}, "too many"},
        {{"--impulse", "8", "--step", "8", design}, "together"},
    };
    for (const Case& c : usage) {
        const Finished result = vorbel(c.arguments);
        const std::string line = c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(result.status, 2) << line;
        EXPECT_TRUE(result.out.isEmpty()) << line;
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.constData();
        EXPECT_TRUE(result.err.contains(c.named)) << result.err.constData() << " lacks " << c.named;
    }

    const std::string good = writeDesign(designedDocument(2, 44100, 1000, 0));
    writeFile(path("broken.vorbel"), good.substr(0, good.size() / 2));
    writeFile(path("other.vorbel"), std::string(good).replace(good.find("\"version\": 1"), 12, "\"version\": 2"));
    for (const char* name : {"missing.vorbel", "broken.vorbel", "other.vorbel"}) {
        const QString file = path(name);
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("--impulse"), QStringLiteral("16"), file},
              QStringList{QStringLiteral("--step"), QStringLiteral("16"), file},
              QStringList{QStringLiteral("--group-delay"), file}, QStringList{QStringLiteral("--roots"), file}}) {
            const Finished result = vorbel(arguments);
            const std::string line = arguments.join(QLatin1Char(' ')).toStdString();
            EXPECT_EQ(result.status, 1) << line;
            EXPECT_TRUE(result.out.isEmpty()) << line;
            EXPECT_EQ(result.err.count('\n'), 1) << result.err.constData();
            EXPECT_TRUE(result.err.contains(file.toLocal8Bit())) << result.err.constData();
            QFile text(file);
            if (text.open(QIODevice::ReadOnly)) {
                const std::string expected = readDesign(text.readAll().toStdString()).error;
                ASSERT_FALSE(expected.empty());
                EXPECT_TRUE(result.err.contains(QByteArray::fromStdString(expected)))
                    << result.err.constData() << " lacks " << expected;
            }
        }
    }
}
