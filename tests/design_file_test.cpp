#include "model/design_file.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "model/slider_positions.h"

#include "tests/digits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

constexpr int RATES[] = {44100, 48000, 96000, 192000};

// The shortest "%.*g" text that strtod reads back to value: found by trying
// each precision, independently of the writer's formatting.
std::string shortestByPrintf(double value)
{
    char text[64];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return text;
}

TEST(DesignFile, DefaultDocumentText)
{
    const Document document = designedDocument(0, 44100, 1000, 0);
    const double gain = document.filter.gain;
    const double pole = document.filter.poles.positions[0].re;
    // The first-order low-pass at the start-up cutoff, to the digits its
    // closed form gives (the values the designs test checks).
    EXPECT_TRUE(agreesToDigits(gain, "0.03238040448"));
    EXPECT_TRUE(agreesToDigits(pole, "0.9352391910"));
    // Seventeen and sixteen significant digits are the shortest texts that
    // read back to these doubles.
    EXPECT_EQ(shortestByPrintf(gain), "0.032380404482029224");
    EXPECT_EQ(shortestByPrintf(pole), "0.9352391910359416");
    EXPECT_EQ(writeDesign(document),
              "{\"format\": \"vorbel-design\", \"version\": 1, \"sampleRate\": 44100, \"model\": \"1st order LP\", "
              "\"cutoffPosition\": 1000, \"qPosition\": 0, \"gain\": 0.032380404482029224, "
              "\"zeros\": [{\"re\": -1, \"im\": 0, \"pair\": false}], "
              "\"poles\": [{\"re\": 0.9352391910359416, \"im\": 0, \"pair\": false}]}");
}

TEST(DesignFile, ShortestNumbers)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {-1.0, "-1"}, {0.0, "0"}, {-0.0, "-0"}, {0.1, "0.1"}, {1e21, "1e+21"}, {5e-324, "5e-324"},
        {DBL_MAX, "1.7976931348623157e+308"}, {-2.5e-10, "-2.5e-10"}, {123456789.0, "123456789"},
    };
    for (const Case& c : cases) {
        std::string out;
        appendShortestNumber(out, c.value);
        EXPECT_EQ(out, c.text);
    }
}

void expectRoundTrip(const Document& document)
{
    const std::string text = writeDesign(document);
    const DesignReadResult read = readDesign(text);
    ASSERT_TRUE(read.document.has_value()) << read.error << "\n" << text;
    EXPECT_TRUE(*read.document == document) << text;
    EXPECT_EQ(writeDesign(*read.document), text);
}

TEST(DesignFile, EveryModelRoundTrips)
{
    for (int model = 0; model < MODEL_COUNT; ++model)
        for (int rate : RATES)
            for (int cutoffPosition : {0, 1, 999, 1000, 1777, 2000})
                for (int qPosition : {0, 500, 2000}) {
                    SCOPED_TRACE(testing::Message() << "model " << model << " rate " << rate << " cutoff "
                                                    << cutoffPosition << " q " << qPosition);
                    expectRoundTrip(designedDocument(model, rate, cutoffPosition, qPosition));
                }
}

// Any finite double: random bit patterns, which reach every exponent, mixed
// with the extremes and subnormals.
double anyFiniteDouble(std::mt19937_64& random)
{
    constexpr double specials[] = {0.0, -0.0, DBL_MAX, -DBL_MAX, DBL_MIN, -DBL_MIN, 5e-324, -5e-324,
                                   2.2250738585072009e-308, 1.0, -1.0, 0.1};
    if (random() % 4 == 0)
        return specials[random() % std::size(specials)];
    for (;;) {
        const double value = std::bit_cast<double>(random());
        if (std::isfinite(value))
            return value;
    }
}

void fillRandomRoots(RootList& list, std::mt19937_64& random)
{
    list.count = static_cast<int>(random() % (MAX_ROOTS + 1));
    for (int i = 0; i < MAX_ROOTS; ++i) {
        list.pairFlags[i] = random() % 2 == 0;
        list.positions[i] = {anyFiniteDouble(random), anyFiniteDouble(random)};
        if (!list.pairFlags[i])
            list.positions[i].im = 0.0;
    }
}

TEST(DesignFile, RandomCustomRootsRoundTrip)
{
    std::mt19937_64 random(14);
    for (int run = 0; run < 500; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        Document document = designedDocument(MODEL_CUSTOM, RATES[run % 4], run % 2001, (run * 7) % 2001);
        fillRandomRoots(document.filter.zeros, random);
        fillRandomRoots(document.filter.poles, random);
        document.filter.gain = anyFiniteDouble(random);
        expectRoundTrip(document);
    }
    Document full = designedDocument(MODEL_CUSTOM, 48000, 0, 0);
    fillRandomRoots(full.filter.zeros, random);
    fillRandomRoots(full.filter.poles, random);
    full.filter.zeros.count = MAX_ROOTS;
    full.filter.poles.count = MAX_ROOTS;
    expectRoundTrip(full);
}

TEST(DesignFile, ReaderDerivesTheParametersFromThePositions)
{
    const DesignReadResult read = readDesign(
        "{\"format\": \"vorbel-design\", \"version\": 1, \"sampleRate\": 96000, \"model\": \"2nd order BP\", "
        "\"cutoffPosition\": 2000, \"qPosition\": 2000, \"gain\": 0.5, \"zeros\": [], "
        "\"poles\": [{\"re\": 0.25, \"im\": 3, \"pair\": false}, {\"re\": 0.5, \"im\": -0.75, \"pair\": true}]}");
    ASSERT_TRUE(read.document.has_value()) << read.error;
    const FilterState& f = read.document->filter;
    EXPECT_EQ(f.nyquist, 48000.0);
    EXPECT_NEAR(f.cutoff, 48000.0, 48000.0 * 1e-12);  // the top of the slider
    EXPECT_NEAR(f.q, 10.0, 1e-12);
    EXPECT_EQ(f.modelIndex, 3);
    EXPECT_TRUE(f.qVisible);
    EXPECT_EQ(f.gain, 0.5);  // as written, no design re-run
    EXPECT_EQ(f.zeros.count, 0);
    ASSERT_EQ(f.poles.count, 2);
    EXPECT_EQ(f.poles.positions[0].re, 0.25);
    EXPECT_EQ(f.poles.positions[0].im, 0.0);  // a single root is real
    EXPECT_FALSE(f.poles.pairFlags[0]);
    EXPECT_EQ(f.poles.positions[1].im, -0.75);
    EXPECT_TRUE(f.poles.pairFlags[1]);
}

std::string defaultText() { return writeDesign(designedDocument(0, 44100, 1000, 0)); }

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::string::size_type at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string byteMessage(const char* what, std::string::size_type at)
{
    return std::string("not JSON: ") + what + " at byte " + std::to_string(at);
}

std::string roots(int count, const std::string& root)
{
    std::string list = "[";
    for (int i = 0; i < count; ++i)
        list += (i > 0 ? ", " : "") + root;
    return list + "]";
}

TEST(DesignFile, TolerableVariationsAreRead)
{
    const Document expected = designedDocument(0, 44100, 1000, 0);
    const std::string base = defaultText();
    const std::string variations[] = {
        "\xEF\xBB\xBF" + base,
        " \t\r\n" + base + "\n\n",
        replaced(base, "{\"format\"", "{\"comment\": {\"any\": [1, null, true, \"\\u00e9\\ud83d\\ude00\"]}, \"format\""),
        replaced(base, "\"1st order LP\"", "\"1st order \\u004cP\""),
        replaced(base, "\"qPosition\": 0", "\"qPosition\": 0.0e5"),
        replaced(base, "\"version\": 1", "\"version\": 1.0"),
        replaced(base, "{\"format\"", "{\"x\": " + std::string(31, '[') + std::string(31, ']') + ", \"format\""),
        base + std::string(MAX_DESIGN_FILE_SIZE - base.size(), ' '),
    };
    for (const std::string& text : variations) {
        const DesignReadResult read = readDesign(text);
        ASSERT_TRUE(read.document.has_value()) << read.error << "\n" << text.substr(0, 300);
        EXPECT_TRUE(*read.document == expected);
    }
}

TEST(DesignFile, BadFilesNameTheirFirstProblem)
{
    const std::string base = defaultText();
    const std::string root = "{\"re\": 0.5, \"im\": 0, \"pair\": true}";
    struct Case {
        std::string text;
        std::string message;
    };
    const std::string nanText = replaced(base, "0.032380404482029224", "NaN");
    const std::string infinityText = replaced(base, "0.032380404482029224", "-Infinity");
    const std::string duplicate = replaced(base, "\"zeros\"", "\"gain\": 1, \"zeros\"");
    const std::string deep = replaced(base, "{\"format\"", "{\"x\": " + std::string(32, '[') + std::string(32, ']') + ", \"format\"");
    const std::string badUtf8 = replaced(base, "1st order", "1st \xC3\x28rder");
    const std::string overlong = replaced(base, "1st order", "1st \xC0\xAFrder");
    const std::string surrogate = replaced(base, "1st order", "1st \xED\xA0\x80rder");
    const std::string loneEscape = replaced(base, "1st order", "1st \\ud800rder");
    const std::string noBracket = replaced(base, "[{\"re\": -1", "{\"re\": -1");
    const std::string control = replaced(base, "1st order", "1st\torder");
    const std::string leadingZero = replaced(base, "\"cutoffPosition\": 1000", "\"cutoffPosition\": 01000");
    const Case cases[] = {
        {"", byteMessage("unexpected end", 0)},
        {base.substr(0, 10), byteMessage("unexpected end", 10)},
        {base.substr(0, base.size() - 1), byteMessage("unexpected end", base.size() - 1)},
        {base + "x", byteMessage("text after the end of the value", base.size())},
        {base + base, byteMessage("text after the end of the value", base.size())},
        {base + '\0', byteMessage("text after the end of the value", base.size())},
        {base + " \n\0"s + base, byteMessage("text after the end of the value", base.size() + 2)},
        {duplicate, byteMessage("duplicate key", duplicate.find("\"gain\": 1,"))},
        {deep, byteMessage("nesting too deep", deep.find('[') + 31)},
        {std::string(100000, '['), byteMessage("nesting too deep", 32)},
        {base + std::string(MAX_DESIGN_FILE_SIZE + 1 - base.size(), ' '), "file larger than 1 MiB"},
        {"[" + base + "]", "top level: not an object"},
        {replaced(base, "\"format\": \"vorbel-design\", ", ""), "missing key \"format\""},
        {replaced(base, "\"vorbel-design\"", "\"vorbel-picture\""), "format: not a Vorbel design"},
        {replaced(base, "\"vorbel-design\"", "1"), "format: not a string"},
        {replaced(base, "\"version\": 1", "\"version\": 2"), "version: newer than this program (2)"},
        {replaced(base, "\"version\": 1", "\"version\": 1.5"), "version: newer than this program (1.5)"},
        {replaced(base, "\"version\": 1", "\"version\": 0"), "version: not a version of this format (0)"},
        {replaced(base, "\"version\": 1", "\"version\": \"1\""), "version: not a number"},
        {replaced(base, "\"version\": 1, ", ""), "missing key \"version\""},
        {replaced(base, "44100", "44101"), "sampleRate: must be 44100, 48000, 96000 or 192000"},
        {replaced(base, "44100", "22050"), "sampleRate: must be 44100, 48000, 96000 or 192000"},
        {replaced(base, "44100", "1e999"), "sampleRate: out of the range of a double"},
        {replaced(base, "\"1st order LP\"", "\"1st order lp\""), "model: not the name of a model"},
        {replaced(base, "\"1st order LP\"", "0"), "model: not a string"},
        {replaced(base, "\"cutoffPosition\": 1000", "\"cutoffPosition\": 2001"),
         "cutoffPosition: must be an integer from 0 to 2000"},
        {replaced(base, "\"cutoffPosition\": 1000", "\"cutoffPosition\": -1"),
         "cutoffPosition: must be an integer from 0 to 2000"},
        {replaced(base, "\"cutoffPosition\": 1000", "\"cutoffPosition\": 999.5"),
         "cutoffPosition: must be an integer from 0 to 2000"},
        {replaced(base, "\"qPosition\": 0", "\"qPosition\": null"), "qPosition: not a number"},
        {replaced(base, "\"qPosition\": 0, ", ""), "missing key \"qPosition\""},
        {replaced(base, "0.032380404482029224", "1e309"), "gain: out of the range of a double"},
        {replaced(base, "0.032380404482029224", "-1e-400"), "gain: out of the range of a double"},
        {replaced(base, "0.032380404482029224", "\"0.03\""), "gain: not a number"},
        {replaced(base, "\"gain\": 0.032380404482029224, ", ""), "missing key \"gain\""},
        {replaced(base, "[{\"re\": -1, \"im\": 0, \"pair\": false}]", "{}"), "zeros: not an array"},
        {replaced(base, "[{\"re\": -1, \"im\": 0, \"pair\": false}]", roots(21, root)), "zeros: more than 20 roots"},
        {replaced(base, "[{\"re\": -1, \"im\": 0, \"pair\": false}]", "[7]"), "zeros[0]: not an object"},
        {replaced(base, "{\"re\": -1, ", "{"), "zeros[0]: missing key \"re\""},
        {replaced(base, "\"pair\": false}], \"poles\"", "\"pair\": 0}], \"poles\""), "zeros[0].pair: not true or false"},
        {replaced(base, "\"re\": -1", "\"re\": true"), "zeros[0].re: not a number"},
        {replaced(base, "[{\"re\": 0.9352391910359416, \"im\": 0, \"pair\": false}]",
                  "[" + root + ", " + root + ", " + root + ", {\"re\": 1, \"im\": \"x\", \"pair\": true}]"),
         "poles[3].im: not a number"},
        {replaced(base, ", \"poles\": [{\"re\": 0.9352391910359416, \"im\": 0, \"pair\": false}]", ""), "missing key \"poles\""},
        // The first problem in key order wins.
        {replaced(replaced(base, "44100", "1"), "\"1st order LP\"", "\"x\""), "sampleRate: must be 44100, 48000, 96000 or 192000"},
    };
    for (const Case& c : cases) {
        const DesignReadResult read = readDesign(c.text);
        if (c.message.empty()) {
            EXPECT_TRUE(read.document.has_value()) << read.error;
            continue;
        }
        EXPECT_FALSE(read.document.has_value()) << c.message;
        EXPECT_EQ(read.error, c.message) << c.text.substr(0, 300);
    }

    // Refusals worded by the JSON library: its words name the problem, the
    // byte is the one at which it stopped reading.
    struct Worded {
        std::string text;
        std::string words;
        std::string::size_type at;
    };
    const Worded worded[] = {
        {nanText, "literal", nanText.find("NaN")},
        {infinityText, "digit", infinityText.find("-Inf") + 1},
        {badUtf8, "UTF-8", badUtf8.find('\xC3') + 1},  // the byte that breaks the sequence
        {overlong, "UTF-8", overlong.find('\xC0')},
        {surrogate, "UTF-8", surrogate.find('\xED') + 1},
        {loneEscape, "surrogate", loneEscape.find("\\ud800") + 6},  // where the second half should begin
        {control, "control character", control.find('\t')},
        {leadingZero, "number", leadingZero.find("01000") + 4},  // the last byte of the token "1000"
        {noBracket, "']'", noBracket.find("], \"poles\"")},
    };
    for (const Worded& c : worded) {
        const DesignReadResult read = readDesign(c.text);
        EXPECT_FALSE(read.document.has_value()) << c.words;
        EXPECT_TRUE(read.error.starts_with("not JSON: ")) << read.error;
        EXPECT_TRUE(read.error.ends_with(" at byte " + std::to_string(c.at))) << read.error;
        EXPECT_NE(read.error.find(c.words), std::string::npos) << read.error;
    }
}

// A key the design uses, given twice in one object, is refused at its second
// occurrence, however it is spelt; keys the reader ignores may repeat, and
// nothing inside a value it ignores is looked at.
TEST(DesignFile, DuplicateKeysTheDesignUsesAreRefused)
{
    const std::string base = defaultText();
    const Document expected = designedDocument(0, 44100, 1000, 0);
    const std::string zeros = "\"zeros\": [{\"re\": -1, \"im\": 0, \"pair\": false}]";
    const std::string spelt = replaced(base, "\"zeros\"", "\"g\\u0061in\": 1, \"zeros\"");
    const std::string twoLists = replaced(base, ", \"poles\"", ", " + zeros + ", \"poles\"");
    const std::string twoRe = replaced(base, "{\"re\": -1, ", "{\"re\": -1, \"\\u0072e\": -1, ");
    const std::string twoPair = replaced(base, "\"pair\": false}], \"poles\"", "\"pair\": false, \"pair\": false}], \"poles\"");
    const std::pair<std::string, std::string::size_type> refusedTexts[] = {
        {spelt, spelt.find("\"g\\u0061in\"")},
        {twoLists, twoLists.rfind("\"zeros\"")},
        {twoRe, twoRe.find("\"\\u0072e\"")},
        {twoPair, twoPair.find("\"pair\": false, \"pair\"") + 15},
    };
    for (const auto& [text, second] : refusedTexts) {
        const DesignReadResult read = readDesign(text);
        EXPECT_FALSE(read.document.has_value());
        EXPECT_EQ(read.error, byteMessage("duplicate key", second)) << text;
    }
    const std::string acceptedTexts[] = {
        replaced(base, "{\"format\"", "{\"x\": 1, \"x\": [2], \"format\""),
        replaced(base, "{\"format\"", "{\"x\": {\"gain\": 1, \"gain\": 2, \"zeros\": [], \"zeros\": []}, \"format\""),
        replaced(base, "{\"re\": -1, ", "{\"note\": 1, \"note\": 2, \"re\": -1, \"x\": {\"re\": 0, \"re\": 1}, "),
    };
    for (const std::string& text : acceptedTexts) {
        const DesignReadResult read = readDesign(text);
        ASSERT_TRUE(read.document.has_value()) << read.error << "\n" << text;
        EXPECT_TRUE(*read.document == expected);
    }
}

// Nothing but strict JSON: each of these is refused as not JSON at a byte of
// what makes it so, wherever it stands, under a key the reader ignores too.
TEST(DesignFile, OnlyStrictJsonIsRead)
{
    const std::string base = defaultText();
    struct Case {
        std::string from;
        std::string to;
        std::string bad;  // the part of `to` that is not JSON
    };
    const Case cases[] = {
        {"\"qPosition\": 0,", "\"qPosition\": 0 /* slider */,", "/*"},
        {"\"qPosition\": 0,", "\"qPosition\": 0, // slider\n", "//"},
        {"\"pair\": false}]", "\"pair\": false,}]", ",}"},
        {"\"pair\": false}]", "\"pair\": false}, ]", ", ]"},
        {"{\"format\"", "{\"x\": [1, 2,], \"format\"", ",]"},
        {"{\"format\"", "{\"x\": NaN, \"format\"", "N"},
        {"{\"format\"", "{\"x\": Infinity, \"format\"", "I"},
        {"{\"format\"", "{\"x\": -Infinity, \"format\"", "-I"},
        {"{\"format\"", "{\"x\": 'a', \"format\"", "'"},
        {"{\"format\"", "{x: 1, \"format\"", "x"},
        {"{\"format\"", "{\"x\": +1, \"format\"", "+"},
        {"{\"format\"", "{\"x\": .5, \"format\"", "."},
        {"{\"format\"", "{\"x\": 1., \"format\"", ".,"},
        {"{\"format\"", "{\"x\": 0x10, \"format\"", "x1"},
        {"{\"format\"", "{\"x\": 1e, \"format\"", "e,"},
        {"{\"format\"", "{\"x\": True, \"format\"", "T"},
        {"{\"format\"", "{\"x\": \"\\x41\", \"format\"", "\\x"},
        {"{\"format\"", "{\"x\": \"a\nb\", \"format\"", "\n"},
        {"{\"format\"", "{\"x\": 1 2, \"format\"", "2"},
        {"{\"format\"", "{\"x\" 1, \"format\"", "1"},
        {"\"qPosition\": 0", "\"qPosition\": 0\xEF\xBB\xBF", "\xEF"},
        {"\"qPosition\": 0,", "\"qPosition\": 0\0,"s, std::string(1, '\0')},
        {"1st order", "1st\0order"s, std::string(1, '\0')},
    };
    for (const Case& c : cases) {
        const std::string text = replaced(base, c.from, c.to);
        const std::string::size_type first = text.find(c.to) + c.to.find(c.bad);
        const DesignReadResult read = readDesign(text);
        EXPECT_FALSE(read.document.has_value()) << c.to;
        ASSERT_TRUE(read.error.starts_with("not JSON: ")) << read.error;
        const std::string::size_type at = read.error.rfind(" at byte ");
        ASSERT_NE(at, std::string::npos) << read.error;
        const std::size_t byte = std::stoul(read.error.substr(at + 9));
        EXPECT_GE(byte, first) << read.error << " for " << c.to;
        EXPECT_LT(byte, first + c.bad.size()) << read.error << " for " << c.to;
    }
}

// Arrays and objects alike count towards the limit, wherever they stand: the
// design object, a root list and a root are three levels.
TEST(DesignFile, NestingIsLimitedEverywhere)
{
    const std::string base = defaultText();
    // Depth levels of arrays, every second one an object when objects is set.
    const auto nested = [](int depth, bool objects) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += objects && i % 2 == 1 ? "{\"a\": " : "[";
        for (int i = depth - 1; i >= 0; --i)
            text += objects && i % 2 == 1 ? "}" : "]";
        return text;
    };
    for (const bool objects : {false, true}) {
        SCOPED_TRACE(objects ? "arrays and objects" : "arrays");
        const std::string ignored = replaced(base, "{\"format\"", "{\"x\": " + nested(MAX_DESIGN_NESTING - 1, objects) + ", \"format\"");
        EXPECT_TRUE(readDesign(ignored).document.has_value()) << readDesign(ignored).error;
        const std::string inRoot = replaced(base, "\"re\": -1", "\"re\": " + nested(MAX_DESIGN_NESTING - 3, objects));
        EXPECT_EQ(readDesign(inRoot).error, "zeros[0].re: not a number");

        const std::string tooDeep = replaced(base, "\"re\": -1", "\"re\": " + nested(MAX_DESIGN_NESTING - 2, objects));
        // The opening bracket or brace that goes one level too deep.
        std::string::size_type at = tooDeep.find("\"re\": ") + 6;
        for (int level = 3; level < MAX_DESIGN_NESTING; ++level)
            at = tooDeep.find_first_of("[{", at + 1);
        EXPECT_EQ(readDesign(tooDeep).error, byteMessage("nesting too deep", at));
    }
}

// The library reads some numbers otherwise than a double's shortest text:
// an integer as a 64-bit integer (so that "-0" needs its sign back), one
// beyond 64 bits as a double, one beyond a double's range not at all.
TEST(DesignFile, NumbersKeepTheirValue)
{
    const std::string base = defaultText();
    const auto gainOf = [&base](const std::string& number) {
        const DesignReadResult read = readDesign(replaced(base, "0.032380404482029224", number));
        EXPECT_TRUE(read.document.has_value()) << number << ": " << read.error;
        return read.document ? read.document->filter.gain : std::nan("");
    };
    for (const char* number : {"-0", "-0.0", "-0e5", "0", "1", "-1", "9007199254740993", "-9223372036854775808",
                               "-9223372036854775809", "18446744073709551615", "18446744073709551616",
                               "123456789012345678901234567890", "5e-324", "2.4703282292062328e-324", "1e308"}) {
        const double expected = std::strtod(number, nullptr);
        const double gain = gainOf(number);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(gain), std::bit_cast<std::uint64_t>(expected)) << number;
    }
    EXPECT_TRUE(std::signbit(gainOf("-0")));

    const std::string tooLargeHere = replaced(base, "\"re\": -1", "\"re\": -1e309");
    EXPECT_EQ(readDesign(tooLargeHere).error, "zeros[0].re: out of the range of a double");
    const std::string tooSmallHere = replaced(base, "\"re\": -1", "\"re\": 1e-400");
    EXPECT_EQ(readDesign(tooSmallHere).error, "zeros[0].re: out of the range of a double");
    const std::string tooLargeElsewhere = replaced(base, "{\"format\"", "{\"x\": [1e400], \"format\"");
    EXPECT_EQ(readDesign(tooLargeElsewhere).error,
              "number out of the range of a double at byte " + std::to_string(tooLargeElsewhere.find("1e400") + 4));
    // A number that only rounds to zero is no problem where nothing reads it.
    EXPECT_TRUE(readDesign(replaced(base, "{\"format\"", "{\"x\": 1e-400, \"format\"")).document.has_value());
}

// Files of the full 1 MiB whose bulk the reader ignores are read as the
// design they hold: one long string, many keys, many numbers, arrays nested
// to the limit; a root list of many items is refused for its count.
TEST(DesignFile, WholeMebibyteFilesAreRead)
{
    const std::string base = defaultText();
    const Document expected = designedDocument(0, 44100, 1000, 0);
    const std::size_t room = MAX_DESIGN_FILE_SIZE - base.size() - 16;
    const auto repeated = [room](const std::string& item, const std::string& separator) {
        std::string list;
        while (list.size() + separator.size() + item.size() < room)
            list += (list.empty() ? "" : separator) + item;
        return list;
    };
    std::string keys;
    for (int i = 0; keys.size() + 24 < room; ++i)
        keys += "\"key" + std::to_string(i) + "\": " + std::to_string(i) + ", ";
    const std::string deep = std::string(MAX_DESIGN_NESTING - 2, '[') + std::string(MAX_DESIGN_NESTING - 2, ']');
    const std::string bulks[] = {
        "\"x\": \"" + std::string(room, 'a') + "\", ",
        keys,
        "\"x\": [" + repeated("-0.5e-3", ",") + "], ",
        "\"x\": [" + repeated(deep, ",") + "], ",
    };
    for (const std::string& bulk : bulks) {
        const std::string text = replaced(base, "{\"format\"", "{" + bulk + "\"format\"");
        ASSERT_LE(text.size(), MAX_DESIGN_FILE_SIZE);
        ASSERT_GT(text.size(), MAX_DESIGN_FILE_SIZE - 64);
        const DesignReadResult read = readDesign(text);
        ASSERT_TRUE(read.document.has_value()) << read.error;
        EXPECT_TRUE(*read.document == expected);
    }
    const std::string manyRoots =
        replaced(base, "[{\"re\": -1, \"im\": 0, \"pair\": false}]", "[" + repeated("{}", ",") + "]");
    EXPECT_EQ(readDesign(manyRoots).error, "zeros: more than 20 roots");
}

TEST(DesignFile, TruncatedAndRandomBytesAreRefused)
{
    const std::string base = defaultText();
    for (std::size_t length = 0; length < base.size(); ++length) {
        const DesignReadResult read = readDesign(base.substr(0, length));
        EXPECT_FALSE(read.document.has_value()) << length;
        EXPECT_EQ(read.error.rfind("not JSON: ", 0), 0u) << read.error;
    }
    std::mt19937_64 random(1414);
    for (int run = 0; run < 2000; ++run) {
        std::string bytes(random() % 200, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        // Half the runs start like a design so that the reader goes deeper.
        if (run % 2 == 1)
            bytes = base.substr(0, random() % base.size()) + bytes;
        const DesignReadResult read = readDesign(bytes);
        EXPECT_FALSE(read.document.has_value());
        EXPECT_FALSE(read.error.empty());
    }
}

TEST(Document, EqualityComparesWhatMatters)
{
    const Document a = designedDocument(6, 48000, 700, 300);
    Document b = a;
    EXPECT_TRUE(a == b);
    // Slots beyond the counts are stale and ignored.
    b.filter.zeros.positions[MAX_ROOTS - 1] = {9.0, 9.0};
    b.filter.poles.pairFlags[MAX_ROOTS - 1] = !b.filter.poles.pairFlags[MAX_ROOTS - 1];
    EXPECT_TRUE(a == b);

    const auto differs = [&a](const char* what, auto change) {
        Document c = a;
        change(c);
        EXPECT_FALSE(a == c) << what;
    };
    differs("rate", [](Document& d) { d.sampleRate = 96000; });
    differs("cutoff position", [](Document& d) { d.cutoffPosition += 1; });
    differs("q position", [](Document& d) { d.qPosition += 1; });
    differs("model", [](Document& d) { d.filter.modelIndex = MODEL_CUSTOM; });
    differs("q flag", [](Document& d) { d.filter.qVisible = !d.filter.qVisible; });
    differs("nyquist", [](Document& d) { d.filter.nyquist = 48000.0; });
    differs("cutoff", [](Document& d) { d.filter.cutoff = std::nextafter(d.filter.cutoff, 0.0); });
    differs("q", [](Document& d) { d.filter.q = 1.0; });
    differs("gain", [](Document& d) { d.filter.gain = -d.filter.gain; });
    differs("zero count", [](Document& d) { d.filter.zeros.count -= 1; });
    differs("pole flag", [](Document& d) { d.filter.poles.pairFlags[1] = false; });
    differs("pole position", [](Document& d) { d.filter.poles.positions[1].im = -d.filter.poles.positions[1].im; });
    differs("zero re", [](Document& d) { d.filter.zeros.positions[0].re = std::nextafter(-1.0, 0.0); });

    Document zero = a;
    Document minusZero = a;
    zero.filter.zeros.positions[0].im = 0.0;
    minusZero.filter.zeros.positions[0].im = -0.0;
    EXPECT_FALSE(zero == minusZero);  // their files differ: "0" and "-0"
}

}  // namespace
