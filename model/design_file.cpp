#include "model/design_file.h"

#include "model/designs.h"
#include "model/slider_positions.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <set>
#include <system_error>
#include <vector>

void appendShortestNumber(std::string& out, double value)
{
    char text[64];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

namespace {

// ---------------------------------------------------------------- writing

void appendFinite(std::string& out, double value)
{
    if (std::isfinite(value))
        appendShortestNumber(out, value);
    else
        out += "null";
}

void appendRoots(std::string& out, const RootList& list)
{
    out += '[';
    const int count = list.count < 0 ? 0 : (list.count > MAX_ROOTS ? MAX_ROOTS : list.count);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += ", ";
        out += "{\"re\": ";
        appendFinite(out, list.positions[i].re);
        out += ", \"im\": ";
        appendFinite(out, list.positions[i].im);
        out += list.pairFlags[i] ? ", \"pair\": true}" : ", \"pair\": false}";
    }
    out += ']';
}

// ---------------------------------------------------------------- JSON

struct Member;

struct Value {
    enum class Kind { Null, Boolean, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    bool representable = true;  // false for a number beyond a double's range
    std::string text;
    std::vector<Value> items;
    std::vector<Member> members;
};

struct Member {
    std::string key;
    Value value;
};

// The length of the valid UTF-8 sequence at text[at], or 0 when it is not one
// (overlong forms, surrogates and code points above U+10FFFF are invalid).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned c = byte(at);
    if (c < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0)
            low = 0xA0;
        else if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    // The whole text as one value, with nothing but white space after it.
    bool parseText(Value& value)
    {
        for (std::size_t i = 0; i < text_.size();) {
            const std::size_t length = utf8SequenceLength(text_, i);
            if (length == 0)
                return fail("invalid UTF-8", i);
            i += length;
        }
        // A byte order mark is no part of the JSON but some editors write one.
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            at_ = 3;
        if (!parseValue(value, 0))
            return false;
        skipSpace();
        if (at_ != text_.size())
            return fail("text after the end of the value", at_);
        return true;
    }

    const std::string& error() const { return error_; }

private:
    bool fail(const char* what, std::size_t at)
    {
        error_ = std::string("not JSON: ") + what + " at byte " + std::to_string(at);
        return false;
    }

    bool atEnd() const { return at_ >= text_.size(); }
    char peek() const { return text_[at_]; }

    void skipSpace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++at_;
    }

    bool expectEnd() { return fail("unexpected end", at_); }

    bool parseValue(Value& value, int depth)
    {
        skipSpace();
        if (atEnd())
            return expectEnd();
        switch (peek()) {
        case '{': return parseObject(value, depth + 1);
        case '[': return parseArray(value, depth + 1);
        case '"': value.kind = Value::Kind::String; return parseString(value.text);
        case 't': value.kind = Value::Kind::Boolean; value.boolean = true; return parseWord("true");
        case 'f': value.kind = Value::Kind::Boolean; value.boolean = false; return parseWord("false");
        case 'n': value.kind = Value::Kind::Null; return parseWord("null");
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
                return parseNumber(value);
            return fail("unexpected character", at_);
        }
    }

    bool parseWord(std::string_view word)
    {
        if (text_.substr(at_, word.size()) != word)
            return fail("unexpected character", at_);
        at_ += word.size();
        return true;
    }

    bool isDigit() const { return !atEnd() && peek() >= '0' && peek() <= '9'; }

    bool skipDigits()
    {
        if (!isDigit())
            return atEnd() ? expectEnd() : fail("digit expected", at_);
        while (isDigit())
            ++at_;
        return true;
    }

    bool parseNumber(Value& value)
    {
        const std::size_t start = at_;
        if (peek() == '-')
            ++at_;
        if (!atEnd() && peek() == '0') {
            ++at_;
        } else if (!skipDigits()) {
            return false;
        }
        if (!atEnd() && peek() == '.') {
            ++at_;
            if (!skipDigits())
                return false;
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            ++at_;
            if (!atEnd() && (peek() == '+' || peek() == '-'))
                ++at_;
            if (!skipDigits())
                return false;
        }
        value.kind = Value::Kind::Number;
        const char* first = text_.data() + start;
        const char* last = text_.data() + at_;
        const std::from_chars_result result = std::from_chars(first, last, value.number);
        value.representable = result.ec == std::errc() && result.ptr == last;
        return true;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    // Four hex digits after "\u" at at_; at_ moves past them.
    bool parseHex(unsigned& unit)
    {
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            if (atEnd())
                return expectEnd();
            const int digit = hexDigit(peek());
            if (digit < 0)
                return fail("hex digit expected", at_);
            unit = unit * 16 + static_cast<unsigned>(digit);
            ++at_;
        }
        return true;
    }

    static void appendUtf8(std::string& out, unsigned codePoint)
    {
        const auto put = [&out](unsigned byte) { out += static_cast<char>(byte); };
        if (codePoint < 0x80) {
            put(codePoint);
        } else if (codePoint < 0x800) {
            put(0xC0 | (codePoint >> 6));
            put(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            put(0xE0 | (codePoint >> 12));
            put(0x80 | ((codePoint >> 6) & 0x3F));
            put(0x80 | (codePoint & 0x3F));
        } else {
            put(0xF0 | (codePoint >> 18));
            put(0x80 | ((codePoint >> 12) & 0x3F));
            put(0x80 | ((codePoint >> 6) & 0x3F));
            put(0x80 | (codePoint & 0x3F));
        }
    }

    bool parseEscape(std::string& out)
    {
        const std::size_t start = at_;
        ++at_;  // the backslash
        if (atEnd())
            return expectEnd();
        const char c = peek();
        ++at_;
        switch (c) {
        case '"': out += '"'; return true;
        case '\\': out += '\\'; return true;
        case '/': out += '/'; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': break;
        default: return fail("unknown escape", start);
        }
        unsigned unit = 0;
        if (!parseHex(unit))
            return false;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return fail("lone surrogate escape", start);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (text_.substr(at_, 2) != "\\u")
                return fail("lone surrogate escape", start);
            at_ += 2;
            unsigned second = 0;
            if (!parseHex(second))
                return false;
            if (second < 0xDC00 || second > 0xDFFF)
                return fail("lone surrogate escape", start);
            unit = 0x10000 + ((unit - 0xD800) << 10) + (second - 0xDC00);
        }
        appendUtf8(out, unit);
        return true;
    }

    bool parseString(std::string& out)
    {
        ++at_;  // the opening quote
        for (;;) {
            if (atEnd())
                return expectEnd();
            const char c = peek();
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c == '\\') {
                if (!parseEscape(out))
                    return false;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                return fail("control character in a string", at_);
            } else {
                out += c;
                ++at_;
            }
        }
    }

    bool enter(int depth)
    {
        if (depth > MAX_DESIGN_NESTING)
            return fail("nesting too deep", at_);
        ++at_;  // the opening bracket
        skipSpace();
        return true;
    }

    bool parseArray(Value& value, int depth)
    {
        value.kind = Value::Kind::Array;
        if (!enter(depth))
            return false;
        if (!atEnd() && peek() == ']') {
            ++at_;
            return true;
        }
        for (;;) {
            value.items.emplace_back();
            if (!parseValue(value.items.back(), depth))
                return false;
            skipSpace();
            if (atEnd())
                return expectEnd();
            if (peek() == ']') {
                ++at_;
                return true;
            }
            if (peek() != ',')
                return fail("',' or ']' expected", at_);
            ++at_;
        }
    }

    bool parseObject(Value& value, int depth)
    {
        value.kind = Value::Kind::Object;
        if (!enter(depth))
            return false;
        if (!atEnd() && peek() == '}') {
            ++at_;
            return true;
        }
        std::set<std::string, std::less<>> keys;
        for (;;) {
            skipSpace();
            if (atEnd())
                return expectEnd();
            if (peek() != '"')
                return fail("key expected", at_);
            const std::size_t keyAt = at_;
            value.members.emplace_back();
            Member& member = value.members.back();
            if (!parseString(member.key))
                return false;
            if (!keys.insert(member.key).second)
                return fail("duplicate key", keyAt);
            skipSpace();
            if (atEnd())
                return expectEnd();
            if (peek() != ':')
                return fail("':' expected", at_);
            ++at_;
            if (!parseValue(member.value, depth))
                return false;
            skipSpace();
            if (atEnd())
                return expectEnd();
            if (peek() == '}') {
                ++at_;
                return true;
            }
            if (peek() != ',')
                return fail("',' or '}' expected", at_);
            ++at_;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string error_;
};

// ---------------------------------------------------------------- checking

const Value* member(const Value& object, std::string_view key)
{
    for (const Member& m : object.members)
        if (m.key == key)
            return &m.value;
    return nullptr;
}

// Each check takes the path of the value it looks at and, on a problem,
// writes "path: problem" and returns false.
class Checker {
public:
    std::string error;

    const Value* require(const Value& object, const std::string& objectPath, std::string_view key)
    {
        const Value* value = member(object, key);
        if (value == nullptr) {
            error = objectPath.empty() ? std::string() : objectPath + ": ";
            error += "missing key \"" + std::string(key) + "\"";
        }
        return value;
    }

    bool problem(const std::string& path, const std::string& what)
    {
        error = path + ": " + what;
        return false;
    }

    bool finiteNumber(const Value& value, const std::string& path, double& out)
    {
        if (value.kind != Value::Kind::Number)
            return problem(path, "not a number");
        // JSON has no NaN or infinity: a number that is not finite is one
        // beyond the range of a double, too large or too small.
        if (!value.representable || !std::isfinite(value.number))
            return problem(path, "out of the range of a double");
        out = value.number;
        return true;
    }

    // A number with an integral value in [low, high]; rangeText names the range.
    bool integer(const Value& value, const std::string& path, int low, int high, const std::string& rangeText,
                 int& out)
    {
        double number = 0.0;
        if (!finiteNumber(value, path, number))
            return false;
        if (number != std::floor(number) || number < low || number > high)
            return problem(path, rangeText);
        out = static_cast<int>(number);
        return true;
    }

    bool roots(const Value& object, const char* key, RootList& list)
    {
        const Value* value = require(object, "", key);
        if (value == nullptr)
            return false;
        if (value->kind != Value::Kind::Array)
            return problem(key, "not an array");
        if (value->items.size() > static_cast<std::size_t>(MAX_ROOTS))
            return problem(key, "more than " + std::to_string(MAX_ROOTS) + " roots");
        list = RootList{};
        for (std::size_t i = 0; i < value->items.size(); ++i) {
            const Value& item = value->items[i];
            const std::string path = std::string(key) + "[" + std::to_string(i) + "]";
            if (item.kind != Value::Kind::Object)
                return problem(path, "not an object");
            const Value* re = require(item, path, "re");
            if (re == nullptr)
                return false;
            const Value* im = require(item, path, "im");
            if (im == nullptr)
                return false;
            const Value* pair = require(item, path, "pair");
            if (pair == nullptr)
                return false;
            const auto slot = static_cast<int>(i);
            if (!finiteNumber(*re, path + ".re", list.positions[slot].re)
                || !finiteNumber(*im, path + ".im", list.positions[slot].im))
                return false;
            if (pair->kind != Value::Kind::Boolean)
                return problem(path + ".pair", "not true or false");
            list.pairFlags[slot] = pair->boolean;
            if (!pair->boolean && list.positions[slot].im != 0.0)
                list.positions[slot].im = 0.0;
            list.count = slot + 1;
        }
        return true;
    }
};

constexpr int FORMAT_VERSION = 1;

bool checkDesign(const Value& root, Checker& check, Document& document)
{
    if (root.kind != Value::Kind::Object) {
        check.error = "top level: not an object";
        return false;
    }
    const Value* format = check.require(root, "", "format");
    if (format == nullptr)
        return false;
    if (format->kind != Value::Kind::String)
        return check.problem("format", "not a string");
    if (format->text != "vorbel-design")
        return check.problem("format", "not a Vorbel design");

    const Value* version = check.require(root, "", "version");
    double versionNumber = 0.0;
    if (version == nullptr || !check.finiteNumber(*version, "version", versionNumber))
        return false;
    std::string versionText;
    appendShortestNumber(versionText, versionNumber);
    if (versionNumber > FORMAT_VERSION)
        return check.problem("version", "newer than this program (" + versionText + ")");
    if (versionNumber != FORMAT_VERSION)
        return check.problem("version", "not a version of this format (" + versionText + ")");

    const Value* rate = check.require(root, "", "sampleRate");
    double rateNumber = 0.0;
    if (rate == nullptr || !check.finiteNumber(*rate, "sampleRate", rateNumber))
        return false;
    if (rateNumber != 44100.0 && rateNumber != 48000.0 && rateNumber != 96000.0 && rateNumber != 192000.0)
        return check.problem("sampleRate", "must be 44100, 48000, 96000 or 192000");
    document.sampleRate = static_cast<int>(rateNumber);

    const Value* model = check.require(root, "", "model");
    if (model == nullptr)
        return false;
    if (model->kind != Value::Kind::String)
        return check.problem("model", "not a string");
    const int modelIndex = modelIndexNamed(model->text);
    if (modelIndex < 0)
        return check.problem("model", "not the name of a model");

    const std::string positionRange = "must be an integer from 0 to " + std::to_string(SLIDER_TOP);
    const Value* cutoffPosition = check.require(root, "", "cutoffPosition");
    if (cutoffPosition == nullptr
        || !check.integer(*cutoffPosition, "cutoffPosition", 0, SLIDER_TOP, positionRange, document.cutoffPosition))
        return false;
    const Value* qPosition = check.require(root, "", "qPosition");
    if (qPosition == nullptr
        || !check.integer(*qPosition, "qPosition", 0, SLIDER_TOP, positionRange, document.qPosition))
        return false;

    FilterState& filter = document.filter;
    const Value* gain = check.require(root, "", "gain");
    if (gain == nullptr || !check.finiteNumber(*gain, "gain", filter.gain))
        return false;
    if (!check.roots(root, "zeros", filter.zeros) || !check.roots(root, "poles", filter.poles))
        return false;

    filter.modelIndex = modelIndex;
    filter.qVisible = modelUsesQ(modelIndex);
    filter.nyquist = document.sampleRate / 2.0;
    filter.cutoff = cutoffAtPosition(filter.nyquist, filter.lowestFrequency, document.cutoffPosition);
    filter.q = qAtPosition(document.qPosition);
    return true;
}

}  // namespace

std::string writeDesign(const Document& document)
{
    const FilterState& filter = document.filter;
    std::string out = "{\"format\": \"vorbel-design\", \"version\": 1, \"sampleRate\": ";
    out += std::to_string(document.sampleRate);
    out += ", \"model\": \"";
    out += modelName(filter.modelIndex);
    out += "\", \"cutoffPosition\": ";
    out += std::to_string(document.cutoffPosition);
    out += ", \"qPosition\": ";
    out += std::to_string(document.qPosition);
    out += ", \"gain\": ";
    appendFinite(out, filter.gain);
    out += ", \"zeros\": ";
    appendRoots(out, filter.zeros);
    out += ", \"poles\": ";
    appendRoots(out, filter.poles);
    out += '}';
    return out;
}

DesignReadResult readDesign(std::string_view text)
{
    DesignReadResult result;
    if (text.size() > MAX_DESIGN_FILE_SIZE) {
        result.error = "file larger than 1 MiB";
        return result;
    }
    Parser parser(text);
    Value root;
    if (!parser.parseText(root)) {
        result.error = parser.error();
        return result;
    }
    Checker check;
    Document document;
    if (checkDesign(root, check, document))
        result.document = document;
    else
        result.error = check.error;
    return result;
}
