#include "model/design_file.h"

#include "model/designs.h"
#include "model/slider_positions.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <vector>

void appendShortestNumber(std::string& out, double value)
{
    char text[64];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

namespace {

// ---------------------------------------------------------------- writing

// The writer is our own: the library's dump separates with "," and ":" and
// writes an integral double as "-1.0", the format has ", ", ": " and "-1".

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

// ---------------------------------------------------------------- reading

using Json = nlohmann::json;

constexpr std::array<std::string_view, 9> DESIGN_KEYS = {
    "format", "version", "sampleRate", "model", "cutoffPosition", "qPosition", "gain", "zeros", "poles"};
constexpr int FORMAT = 0;
constexpr int VERSION = 1;
constexpr int SAMPLE_RATE = 2;
constexpr int MODEL = 3;
constexpr int CUTOFF_POSITION = 4;
constexpr int Q_POSITION = 5;
constexpr int GAIN = 6;
constexpr int ZEROS = 7;  // the two lists follow each other: ZEROS + list

constexpr std::array<std::string_view, 3> ROOT_KEYS = {"re", "im", "pair"};
constexpr int RE = 0;
constexpr int IM = 1;
constexpr int PAIR = 2;

// What the reader keeps of a value at a place the design uses: its kind and,
// for a string, number or boolean, its content. Everything else is skipped as
// the library reports it, so that unknown keys and the values the design does
// not use are never stored.
struct Kept {
    enum class Kind { Missing, Null, Boolean, Number, String, Array, Object };
    Kind kind = Kind::Missing;
    bool boolean = false;
    double number = 0.0;
    bool representable = true;  // false for a number beyond a double's range
    std::string text;
};

struct KeptRoot {
    Kept self;
    std::array<Kept, ROOT_KEYS.size()> members;
};

struct KeptRoots {
    std::size_t count = 0;                  // every item of the array, counted
    std::array<KeptRoot, MAX_ROOTS> items;  // the first MAX_ROOTS of them
};

struct KeptDesign {
    Kept top;  // the text's one value
    std::array<Kept, DESIGN_KEYS.size()> members;
    std::array<KeptRoots, 2> lists;  // zeros, poles
};

// How the reader takes a container: as the design object, one of its root
// lists, one root, or something it skips.
enum class Place { Design, Roots, Root, Ignored };

// Where a value arriving at one place goes, and what its path is.
struct Destination {
    Kept* kept = nullptr;  // null: the value is skipped
    Place asObject = Place::Ignored;
    Place asArray = Place::Ignored;
    int list = -1;  // a root list, its item and the key of the design or of the root
    int item = -1;
    int key = -1;

    std::string path() const
    {
        if (list < 0)
            return key < 0 ? "top level" : std::string(DESIGN_KEYS[static_cast<std::size_t>(key)]);
        std::string text = std::string(DESIGN_KEYS[static_cast<std::size_t>(ZEROS + list)]) + "["
            + std::to_string(item) + "]";
        if (key >= 0)
            text += "." + std::string(ROOT_KEYS[static_cast<std::size_t>(key)]);
        return text;
    }
};

struct Frame {
    Place place = Place::Ignored;
    int list = -1;  // Roots and Root
    int item = -1;  // Root
    Destination next;  // Design and Root: where the value of the key just read goes
    unsigned seen = 0;  // Design and Root: the keys read so far, one bit each
};

// The text for the library, which reads it one byte at a time: counts the
// bytes taken, so that the reader's own refusals name a byte as the library's
// do.
class CountingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(const char* at, std::size_t* taken) : at_(at), taken_(taken) {}

    reference operator*() const { return *at_; }
    CountingIterator& operator++()
    {
        ++at_;
        ++*taken_;
        return *this;
    }
    CountingIterator operator++(int)
    {
        const CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }

private:
    const char* at_ = nullptr;
    std::size_t* taken_ = nullptr;
};

// The library's exception id for a number beyond a double's range.
constexpr int NUMBER_OVERFLOW = 406;

// The library's words for a syntax error, without its prefix ("[json.exception…]
// parse error at line 1, column 5: syntax error while parsing value - ") and
// without the token it last read, which may be long.
std::string describe(const char* what)
{
    std::string_view text(what);
    const std::size_t dash = text.find(" - ");
    if (dash != std::string_view::npos)
        text.remove_prefix(dash + 3);
    const std::size_t lastRead = text.find("; last read: ");
    if (lastRead != std::string_view::npos)
        text = text.substr(0, lastRead);
    return std::string(text.substr(0, 200));
}

// Whether the library's double is the number written: one too small to be
// told from zero reads as zero, and then the text has a non-zero digit.
bool representable(double value, const std::string& text)
{
    if (!std::isfinite(value))
        return false;
    if (value != 0.0)
        return true;
    for (const char c : text) {
        if (c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            return false;
    }
    return true;
}

// The library's SAX handler: keeps what the design uses, refuses nesting over
// MAX_DESIGN_NESTING and a key of the design or of a root given twice, and
// words the library's refusals.
class DesignReader {
public:
    DesignReader(std::string_view text, const std::size_t& taken) : text_(text), taken_(taken)
    {
        frames_.reserve(static_cast<std::size_t>(MAX_DESIGN_NESTING));
    }

    const KeptDesign& design() const { return design_; }
    const std::string& error() const { return error_; }

    bool null() { return scalar(Kept::Kind::Null); }
    bool boolean(bool value)
    {
        if (Kept* kept = arrive().kept) {
            kept->kind = Kept::Kind::Boolean;
            kept->boolean = value;
        }
        return true;
    }
    // The library reports an integer written with a minus sign here and one
    // without as unsigned: a 0 here was written "-0", whose sign matters.
    bool number_integer(std::int64_t value) { return number(value == 0 ? -0.0 : static_cast<double>(value), true); }
    bool number_unsigned(std::uint64_t value) { return number(static_cast<double>(value), true); }
    bool number_float(double value, const std::string& text) { return number(value, representable(value, text)); }
    bool string(std::string& value)
    {
        if (Kept* kept = arrive().kept) {
            kept->kind = Kept::Kind::String;
            kept->text = std::move(value);
        }
        return true;
    }
    bool binary(Json::binary_t&) { return true; }  // never in JSON text

    bool start_object(std::size_t) { return open(Kept::Kind::Object); }
    bool start_array(std::size_t) { return open(Kept::Kind::Array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(std::string& name)
    {
        Frame& frame = frames_.back();
        frame.next = Destination{};
        if (frame.place != Place::Design && frame.place != Place::Root)
            return true;
        const bool design = frame.place == Place::Design;
        const auto index = static_cast<int>(design ? indexOf(DESIGN_KEYS, name) : indexOf(ROOT_KEYS, name));
        if (index < 0)
            return true;
        const unsigned bit = 1u << index;
        // A key the design uses holds no quote, escaped or not: it begins at
        // the quote before the one that ends it, the last byte taken.
        if ((frame.seen & bit) != 0)
            return refuse("duplicate key", text_.rfind('"', taken_ - 2));
        frame.seen |= bit;
        if (design) {
            frame.next.kept = &design_.members[static_cast<std::size_t>(index)];
            frame.next.key = index;
            if (index >= ZEROS)
                frame.next.asArray = Place::Roots;
        } else {
            frame.next.kept = &rootAt(frame.list, frame.item).members[static_cast<std::size_t>(index)];
            frame.next.list = frame.list;
            frame.next.item = frame.item;
            frame.next.key = index;
        }
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const Json::exception& problem)
    {
        // position counts the bytes read, the one reading stopped at included.
        const std::size_t byte = position > 0 ? position - 1 : 0;
        if (problem.id == NUMBER_OVERFLOW) {
            const Destination at = arrive();
            error_ = at.kept != nullptr ? at.path() + ": out of the range of a double"
                                        : "number out of the range of a double at byte " + std::to_string(byte);
            return false;
        }
        if (byte >= text_.size())
            return refuse("unexpected end", text_.size());
        if (frames_.empty() && design_.top.kind != Kept::Kind::Missing)
            return refuse("text after the end of the value", byte);
        // The library takes a NUL byte for the end of the text.
        if (text_[byte] == '\0')
            return refuse("NUL byte", byte);
        return refuse(describe(problem.what()), byte);
    }

private:
    template<std::size_t N>
    static std::ptrdiff_t indexOf(const std::array<std::string_view, N>& keys, const std::string& name)
    {
        for (std::size_t i = 0; i < N; ++i)
            if (keys[i] == name)
                return static_cast<std::ptrdiff_t>(i);
        return -1;
    }

    KeptRoot& rootAt(int list, int item)
    {
        return design_.lists[static_cast<std::size_t>(list)].items[static_cast<std::size_t>(item)];
    }

    bool refuse(const std::string& what, std::size_t byte)
    {
        error_ = "not JSON: " + what + " at byte " + std::to_string(byte);
        return false;
    }

    // Where the value the library reports now goes; a root list counts it.
    Destination arrive()
    {
        Destination at;
        if (frames_.empty()) {
            at.kept = &design_.top;
            at.asObject = Place::Design;
            return at;
        }
        Frame& frame = frames_.back();
        if (frame.place == Place::Design || frame.place == Place::Root) {
            at = frame.next;
            frame.next = Destination{};
        } else if (frame.place == Place::Roots) {
            KeptRoots& list = design_.lists[static_cast<std::size_t>(frame.list)];
            const std::size_t item = list.count++;
            if (item < list.items.size()) {
                at.kept = &list.items[item].self;
                at.asObject = Place::Root;
                at.list = frame.list;
                at.item = static_cast<int>(item);
            }
        }
        return at;
    }

    bool scalar(Kept::Kind kind)
    {
        if (Kept* kept = arrive().kept)
            kept->kind = kind;
        return true;
    }

    bool number(double value, bool exact)
    {
        if (Kept* kept = arrive().kept) {
            kept->kind = Kept::Kind::Number;
            kept->number = value;
            kept->representable = exact;
        }
        return true;
    }

    bool open(Kept::Kind kind)
    {
        if (frames_.size() >= static_cast<std::size_t>(MAX_DESIGN_NESTING))
            return refuse("nesting too deep", taken_ - 1);
        const Destination at = arrive();
        Frame frame;
        if (at.kept != nullptr) {
            at.kept->kind = kind;
            frame.place = kind == Kept::Kind::Object ? at.asObject : at.asArray;
            frame.list = frame.place == Place::Roots ? at.key - ZEROS : at.list;
            frame.item = at.item;
        }
        frames_.push_back(frame);
        return true;
    }

    bool close()
    {
        frames_.pop_back();
        return true;
    }

    std::string_view text_;
    const std::size_t& taken_;
    std::vector<Frame> frames_;
    KeptDesign design_;
    std::string error_;
};

// ---------------------------------------------------------------- checking

// Each check takes the path of the value it looks at and, on a problem,
// writes "path: problem" and returns false.
class Checker {
public:
    std::string error;

    bool present(const Kept& value, const std::string& objectPath, std::string_view key)
    {
        if (value.kind != Kept::Kind::Missing)
            return true;
        error = objectPath.empty() ? std::string() : objectPath + ": ";
        error += "missing key \"" + std::string(key) + "\"";
        return false;
    }

    bool problem(const std::string& path, const std::string& what)
    {
        error = path + ": " + what;
        return false;
    }

    bool finiteNumber(const Kept& value, const std::string& path, double& out)
    {
        if (value.kind != Kept::Kind::Number)
            return problem(path, "not a number");
        // JSON has no NaN or infinity: a number that is not finite is one
        // beyond the range of a double, too large or too small.
        if (!value.representable || !std::isfinite(value.number))
            return problem(path, "out of the range of a double");
        out = value.number;
        return true;
    }

    // A number with an integral value in [low, high]; rangeText names the range.
    bool integer(const Kept& value, const std::string& path, int low, int high, const std::string& rangeText,
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

    bool roots(const KeptDesign& design, int list, RootList& out)
    {
        const std::string key(DESIGN_KEYS[static_cast<std::size_t>(ZEROS + list)]);
        const Kept& value = design.members[static_cast<std::size_t>(ZEROS + list)];
        const KeptRoots& kept = design.lists[static_cast<std::size_t>(list)];
        if (!present(value, "", key))
            return false;
        if (value.kind != Kept::Kind::Array)
            return problem(key, "not an array");
        if (kept.count > static_cast<std::size_t>(MAX_ROOTS))
            return problem(key, "more than " + std::to_string(MAX_ROOTS) + " roots");
        out = RootList{};
        for (std::size_t i = 0; i < kept.count; ++i) {
            const KeptRoot& item = kept.items[i];
            const std::string path = key + "[" + std::to_string(i) + "]";
            if (item.self.kind != Kept::Kind::Object)
                return problem(path, "not an object");
            for (std::size_t k = 0; k < ROOT_KEYS.size(); ++k)
                if (!present(item.members[k], path, ROOT_KEYS[k]))
                    return false;
            const auto slot = static_cast<int>(i);
            if (!finiteNumber(item.members[RE], path + ".re", out.positions[slot].re)
                || !finiteNumber(item.members[IM], path + ".im", out.positions[slot].im))
                return false;
            const Kept& pair = item.members[PAIR];
            if (pair.kind != Kept::Kind::Boolean)
                return problem(path + ".pair", "not true or false");
            out.pairFlags[slot] = pair.boolean;
            if (!pair.boolean && out.positions[slot].im != 0.0)
                out.positions[slot].im = 0.0;
            out.count = slot + 1;
        }
        return true;
    }
};

constexpr int FORMAT_VERSION = 1;

bool checkDesign(const KeptDesign& design, Checker& check, Document& document)
{
    if (design.top.kind != Kept::Kind::Object) {
        check.error = "top level: not an object";
        return false;
    }
    const auto member = [&design](int key) -> const Kept& { return design.members[static_cast<std::size_t>(key)]; };
    const auto present = [&](int key) { return check.present(member(key), "", DESIGN_KEYS[static_cast<std::size_t>(key)]); };

    if (!present(FORMAT))
        return false;
    if (member(FORMAT).kind != Kept::Kind::String)
        return check.problem("format", "not a string");
    if (member(FORMAT).text != "vorbel-design")
        return check.problem("format", "not a Vorbel design");

    double versionNumber = 0.0;
    if (!present(VERSION) || !check.finiteNumber(member(VERSION), "version", versionNumber))
        return false;
    std::string versionText;
    appendShortestNumber(versionText, versionNumber);
    if (versionNumber > FORMAT_VERSION)
        return check.problem("version", "newer than this program (" + versionText + ")");
    if (versionNumber != FORMAT_VERSION)
        return check.problem("version", "not a version of this format (" + versionText + ")");

    double rateNumber = 0.0;
    if (!present(SAMPLE_RATE) || !check.finiteNumber(member(SAMPLE_RATE), "sampleRate", rateNumber))
        return false;
    if (rateNumber != 44100.0 && rateNumber != 48000.0 && rateNumber != 96000.0 && rateNumber != 192000.0)
        return check.problem("sampleRate", "must be 44100, 48000, 96000 or 192000");
    document.sampleRate = static_cast<int>(rateNumber);

    if (!present(MODEL))
        return false;
    if (member(MODEL).kind != Kept::Kind::String)
        return check.problem("model", "not a string");
    const int modelIndex = modelIndexNamed(member(MODEL).text);
    if (modelIndex < 0)
        return check.problem("model", "not the name of a model");

    const std::string positionRange = "must be an integer from 0 to " + std::to_string(SLIDER_TOP);
    if (!present(CUTOFF_POSITION)
        || !check.integer(member(CUTOFF_POSITION), "cutoffPosition", 0, SLIDER_TOP, positionRange,
                          document.cutoffPosition))
        return false;
    if (!present(Q_POSITION)
        || !check.integer(member(Q_POSITION), "qPosition", 0, SLIDER_TOP, positionRange, document.qPosition))
        return false;

    FilterState& filter = document.filter;
    if (!present(GAIN) || !check.finiteNumber(member(GAIN), "gain", filter.gain))
        return false;
    if (!check.roots(design, 0, filter.zeros) || !check.roots(design, 1, filter.poles))
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
    std::size_t taken = 0;
    DesignReader reader(text, taken);
    // Strict: the value is all the text holds, and comments are refused.
    const bool parsed = Json::sax_parse(CountingIterator(text.data(), &taken),
                                        CountingIterator(text.data() + text.size(), &taken), &reader,
                                        nlohmann::json::input_format_t::json, true, false);
    if (!parsed) {
        result.error = reader.error().empty() ? std::string("not JSON") : reader.error();
        return result;
    }
    // The library ends the text at a NUL byte: any there is, is after the value.
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        result.error = "not JSON: text after the end of the value at byte " + std::to_string(nul);
        return result;
    }
    Checker check;
    Document document;
    if (checkDesign(reader.design(), check, document))
        result.document = document;
    else
        result.error = check.error;
    return result;
}
