#include "model/coefficient_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace {

using Cplx = std::complex<double>;

// Brackets, separators and line ends besides the numbers: enough for any
// sensible layout of MAX_IMPORT_NUMBERS numbers, and a bound on what a text
// of nothing but brackets can make the reader keep.
constexpr std::size_t MAX_TOKENS = 8 * static_cast<std::size_t>(MAX_IMPORT_NUMBERS);
constexpr int MAX_BRACKET_DEPTH = 8;
// A problem quotes at most this many bytes of the text.
constexpr std::size_t QUOTE_LENGTH = 32;

std::string at(int line, const std::string& problem) { return "line " + std::to_string(line) + ": " + problem; }

// The text as a message may show it: short, on one line, with no control
// characters, cut at a character boundary of UTF-8.
std::string quoted(std::string_view text)
{
    std::string shown;
    std::size_t length = text.size();
    if (length > QUOTE_LENGTH) {
        length = QUOTE_LENGTH;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0U) == 0x80U)
            --length;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        shown += byte < 0x20U || byte == 0x7FU ? '?' : text[i];
    }
    if (length < text.size())
        shown += "…";
    return "'" + shown + "'";
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool isDelimiter(char c)
{
    return isBlank(c) || c == ',' || c == ';' || c == '[' || c == ']' || c == '(' || c == ')' || c == '=';
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool isIdentifier(std::string_view word)
{
    if (word.empty() || !isLetter(word.front()))
        return false;
    return std::all_of(word.begin(), word.end(), [](char c) { return isLetter(c) || isDigit(c) || c == '.'; });
}

// ---------------------------------------------------------------- numbers

enum class NumberProblem { None, NotANumber, NotFinite, OutOfRange };

NumberProblem parseReal(std::string_view text, double& value)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.')) {
        const std::string lower = lowerCase(text);
        return lower == "inf" || lower == "infinity" || lower == "nan" ? NumberProblem::NotFinite
                                                                         : NumberProblem::NotANumber;
    }
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        return NumberProblem::OutOfRange;
    if (result.ec != std::errc() || result.ptr != end)
        return NumberProblem::NotANumber;
    if (!std::isfinite(value))
        return NumberProblem::NotFinite;
    if (negative)
        value = -value;
    return NumberProblem::None;
}

struct Number {
    Cplx value;
    bool complex = false;    // written with an imaginary part
    bool imaginary = false;  // written as an imaginary part alone ("0.3j")
    int line = 0;
    std::string_view text;
};

// A real number, an imaginary one ending in i or j, or both joined by the
// sign of the imaginary part (a sign right after an exponent's e belongs to
// the exponent).
NumberProblem parseNumber(std::string_view word, Number& number)
{
    const char last = word.empty() ? '\0' : word.back();
    if (last != 'i' && last != 'j' && last != 'I' && last != 'J') {
        double re = 0.0;
        const NumberProblem problem = parseReal(word, re);
        number.value = re;
        return problem;
    }
    const std::string_view body = word.substr(0, word.size() - 1);
    std::size_t split = 0;
    for (std::size_t p = 1; p < body.size(); ++p)
        if ((body[p] == '+' || body[p] == '-') && body[p - 1] != 'e' && body[p - 1] != 'E')
            split = p;
    double re = 0.0;
    double im = 0.0;
    NumberProblem problem = NumberProblem::None;
    if (split > 0) {
        problem = parseReal(body.substr(0, split), re);
        if (problem == NumberProblem::None)
            problem = parseReal(body.substr(split), im);
    } else {
        problem = parseReal(body, im);
        number.imaginary = true;
    }
    number.value = {re, im};
    number.complex = true;
    return problem;
}

std::string numberProblem(NumberProblem problem, std::string_view word)
{
    switch (problem) {
    case NumberProblem::NotFinite: return quoted(word) + " is not a finite number";
    case NumberProblem::OutOfRange: return quoted(word) + " is out of range";
    default: return quoted(word) + " is not a number";
    }
}

// ---------------------------------------------------------------- tokens

struct Token {
    enum class Kind { Number, Name, Open, Close, RowEnd, LineEnd, Scale, Block };
    Kind kind = Kind::Number;
    int line = 0;
    Number number;          // Kind::Number
    std::string_view text;  // Kind::Name: the name
};

struct Lexed {
    std::vector<Token> tokens;
    int numbers = 0;
    int sampleRate = 0;
    int rateLine = 0;
    int delay = 0;
    int delayLine = 0;
    int zeroCount = -1;
    int poleCount = -1;
    int countLine = 0;
    std::string error;
};

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// "N unit" with N of at most seven digits, or nothing.
std::optional<int> countWithUnit(std::string_view text, std::initializer_list<std::string_view> units)
{
    text = trimmed(text);
    std::size_t digits = 0;
    while (digits < text.size() && isDigit(text[digits]))
        ++digits;
    if (digits == 0 || digits > 7)
        return std::nullopt;
    const std::string_view unit = trimmed(text.substr(digits));
    if (std::find(units.begin(), units.end(), unit) == units.end())
        return std::nullopt;
    int value = 0;
    std::from_chars(text.data(), text.data() + digits, value);
    return value;
}

// The lines of the program's own coefficient text that say more than a
// comment: the rate the filter was designed for, the numbers of its zeros
// and poles, and the delay of a filter with more zeros than poles. The
// numbers are only a hint (see CoefficientInput), so a line that does not
// read as them is a comment like any other.
void readComment(std::string_view comment, int line, Lexed& lexed)
{
    comment = trimmed(comment);
    constexpr std::string_view RATE = "sample rate:";
    constexpr std::string_view DELAY = "delay:";
    constexpr std::string_view ZEROS = "zeros:";
    constexpr std::string_view POLES = "poles:";
    if (comment.substr(0, RATE.size()) == RATE) {
        const std::optional<int> rate = countWithUnit(comment.substr(RATE.size()), {"Hz"});
        if (!rate)
            lexed.error = at(line, "not a sample rate line (\"# sample rate: 48000 Hz\")");
        else if (lexed.rateLine > 0)
            lexed.error = at(line, "a second sample rate line");
        else if (*rate != 44100 && *rate != 48000 && *rate != 96000 && *rate != 192000)
            lexed.error = at(line, "the sample rate must be 44100, 48000, 96000 or 192000 Hz");
        else {
            lexed.sampleRate = *rate;
            lexed.rateLine = line;
        }
    } else if (comment.substr(0, ZEROS.size()) == ZEROS) {
        const std::size_t comma = std::min(comment.find(','), comment.size());
        const std::optional<int> zeros = countWithUnit(comment.substr(ZEROS.size(), comma - ZEROS.size()), {""});
        const std::string_view rest = trimmed(comment.substr(std::min(comma + 1, comment.size())));
        const std::optional<int> poles =
            rest.substr(0, POLES.size()) == POLES ? countWithUnit(rest.substr(POLES.size()), {""}) : std::nullopt;
        if (zeros && poles && lexed.countLine == 0) {
            lexed.zeroCount = *zeros;
            lexed.poleCount = *poles;
            lexed.countLine = line;
        }
    } else if (comment.substr(0, DELAY.size()) == DELAY) {
        const std::optional<int> delay = countWithUnit(comment.substr(DELAY.size()), {"samples", "sample"});
        if (!delay)
            lexed.error = at(line, "not a delay line (\"# delay: 2 samples\")");
        else if (lexed.delayLine > 0)
            lexed.error = at(line, "a second delay line");
        else {
            lexed.delay = *delay;
            lexed.delayLine = line;
        }
    }
}

bool push(Lexed& lexed, const Token& token)
{
    if (lexed.tokens.size() >= MAX_TOKENS) {
        lexed.error = at(token.line, "too many brackets and separators");
        return false;
    }
    if (token.kind == Token::Kind::Number && ++lexed.numbers > MAX_IMPORT_NUMBERS) {
        lexed.error = at(token.line, "more than " + std::to_string(MAX_IMPORT_NUMBERS) + " numbers");
        return false;
    }
    lexed.tokens.push_back(token);
    return true;
}

std::string_view nextWord(std::string_view code, std::size_t& i)
{
    while (i < code.size() && isBlank(code[i]))
        ++i;
    const std::size_t start = i;
    while (i < code.size() && !isDelimiter(code[i]))
        ++i;
    return code.substr(start, i - start);
}

// The number just lexed, when it is real and on this line with nothing but
// blanks between it and here: the real part of a complex number whose
// imaginary part follows.
Number* realPartBefore(Lexed& lexed, std::string_view code, std::size_t here, int line)
{
    if (lexed.tokens.empty())
        return nullptr;
    Token& previous = lexed.tokens.back();
    if (previous.kind != Token::Kind::Number || previous.number.complex || previous.line != line)
        return nullptr;
    const char* end = previous.number.text.data() + previous.number.text.size();
    const char* start = code.data() + here;
    if (end < code.data() || end > start || !std::all_of(end, start, isBlank))
        return nullptr;
    return &previous.number;
}

void join(Number& real, double im, std::string_view imaginaryWord)
{
    real.value = {real.value.real(), im};
    real.complex = true;
    const char* end = imaginaryWord.data() + imaginaryWord.size();
    real.text = std::string_view(real.text.data(), static_cast<std::size_t>(end - real.text.data()));
}

// The sign between the real and the imaginary part of a complex number as
// MATLAB and Octave display it, "0.5000 - 0.3000i": it joins the imaginary
// number after it to the real number before it.
bool joinImaginaryPart(std::string_view code, std::size_t& i, std::string_view sign, int line, Lexed& lexed)
{
    Number* real = realPartBefore(lexed, code, i - sign.size(), line);
    const std::string_view word = nextWord(code, i);
    Number imaginary;
    if (real == nullptr || word.empty() || parseNumber(word, imaginary) != NumberProblem::None || !imaginary.imaginary
        || word.front() == '+' || word.front() == '-') {
        lexed.error = at(line, quoted(sign) + " is not a number");
        return false;
    }
    join(*real, sign == "-" ? -imaginary.value.imag() : imaginary.value.imag(), word);
    return true;
}

// One line of the text, its comment taken off. False on a problem.
bool lexCode(std::string_view code, int line, Lexed& lexed)
{
    bool first = true;
    std::size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        if (isBlank(c) || c == ',' || c == '(' || c == ')') {
            ++i;
            continue;
        }
        if (c == '[' || c == ']' || c == ';') {
            Token token;
            token.kind = c == '[' ? Token::Kind::Open : (c == ']' ? Token::Kind::Close : Token::Kind::RowEnd);
            token.line = line;
            if (!push(lexed, token))
                return false;
            ++i;
            first = false;
            continue;
        }
        if (c == '=') {
            lexed.error = at(line, "'=' without a name before it");
            return false;
        }
        const std::string_view word = nextWord(code, i);
        std::size_t after = i;
        while (after < code.size() && isBlank(code[after]))
            ++after;
        Token token;
        token.line = line;
        if (after < code.size() && code[after] == '=') {
            // NumPy's repr of an empty array: "array([], dtype=complex128)".
            if (word == "dtype") {
                i = after + 1;
                nextWord(code, i);
                first = false;
                continue;
            }
            if (!isIdentifier(word)) {
                lexed.error = at(line, quoted(word) + " cannot be a name");
                return false;
            }
            token.kind = Token::Kind::Name;
            token.text = word;
            i = after + 1;
        } else if (word == "*") {
            token.kind = Token::Kind::Scale;
        } else if (word == "+" || word == "-") {
            if (!joinImaginaryPart(code, i, word, line, lexed))
                return false;
            first = false;
            continue;
        } else if (isLetter(word.front())) {
            if (word == "array" || word == "np.array" || word == "numpy.array") {
                first = false;
                continue;
            }
            // MATLAB's and Octave's heading of a column block: "Columns 1
            // through 8", "Columns 9 and 10:", "Column 11".
            if (first && (word == "Columns" || word == "Column")) {
                token.kind = Token::Kind::Block;
                return push(lexed, token);
            }
            Number ignored;
            lexed.error = at(line, numberProblem(parseNumber(word, ignored), word));
            return false;
        } else {
            token.kind = Token::Kind::Number;
            const NumberProblem problem = parseNumber(word, token.number);
            if (problem != NumberProblem::None) {
                lexed.error = at(line, numberProblem(problem, word));
                return false;
            }
            token.number.line = line;
            token.number.text = word;
            // NumPy pads the real parts of a complex array to one width:
            // "0.107  +0.376j" is one number.
            const std::size_t start = static_cast<std::size_t>(word.data() - code.data());
            Number* real = token.number.imaginary && (word.front() == '+' || word.front() == '-')
                ? realPartBefore(lexed, code, start, line)
                : nullptr;
            if (real != nullptr) {
                join(*real, token.number.value.imag(), word);
                first = false;
                continue;
            }
        }
        if (!push(lexed, token))
            return false;
        first = false;
    }
    return true;
}

Lexed lex(std::string_view text)
{
    Lexed lexed;
    constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
    if (text.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK)
        text.remove_prefix(BYTE_ORDER_MARK.size());
    int line = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        ++line;
        std::size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        std::string_view code = text.substr(start, end - start);
        start = end;
        if (end < text.size()) {
            start = end + 1;
            if (text[end] == '\r' && start < text.size() && text[start] == '\n')
                ++start;
        }

        const std::size_t comment = code.find_first_of("#%");
        if (comment != std::string_view::npos) {
            if (code[comment] == '#')
                readComment(code.substr(comment + 1), line, lexed);
            code = code.substr(0, comment);
            if (!lexed.error.empty())
                return lexed;
        }
        // MATLAB's "...": the rest of the line is a comment and the value
        // goes on in the next one.
        const std::size_t continuation = code.find("...");
        if (continuation != std::string_view::npos)
            code = code.substr(0, continuation);
        if (!lexCode(code, line, lexed))
            return lexed;
        if (continuation == std::string_view::npos && !lexed.tokens.empty()
            && lexed.tokens.back().kind != Token::Kind::LineEnd) {
            Token token;
            token.kind = Token::Kind::LineEnd;
            token.line = line;
            if (!push(lexed, token))
                return lexed;
        }
    }
    return lexed;
}

// ---------------------------------------------------------------- values

using Row = std::vector<Number>;

struct Value {
    std::vector<Row> rows;
    int line = 0;  // of its name, or of its first token
    bool empty = true;  // neither a number nor a bracket
};

// The rows of the tokens [begin, end): a row ends at "[", "]", ";" and, in
// no bracket, at the end of a line; inside brackets a line break is only
// NumPy wrapping a long row. Column blocks are joined side by side, and a
// common factor multiplies every number after it.
bool buildValue(const std::vector<Token>& tokens, std::size_t begin, std::size_t end, Value& value, std::string& error)
{
    std::vector<std::vector<Row>> blocks(1);
    Row row;
    int depth = 0;
    int openLine = 0;
    double factor = 1.0;
    bool hasFactor = false;
    const auto finishRow = [&]() {
        if (!row.empty())
            blocks.back().push_back(row);
        row.clear();
    };
    for (std::size_t t = begin; t < end; ++t) {
        const Token& token = tokens[t];
        switch (token.kind) {
        case Token::Kind::Number:
            value.empty = false;
            if (t + 1 < end && tokens[t + 1].kind == Token::Kind::Scale) {
                if (hasFactor || depth > 0 || !row.empty() || blocks.size() > 1 || !blocks.back().empty()
                    || token.number.complex || token.number.value.real() == 0.0) {
                    error = at(token.line, "'*' where no common factor belongs");
                    return false;
                }
                factor = token.number.value.real();
                hasFactor = true;
                ++t;
                break;
            }
            row.push_back(token.number);
            row.back().value *= factor;
            break;
        case Token::Kind::Scale: error = at(token.line, "'*' where no common factor belongs"); return false;
        case Token::Kind::Open:
            value.empty = false;
            finishRow();
            if (++depth > MAX_BRACKET_DEPTH) {
                error = at(token.line, "brackets nested deeper than " + std::to_string(MAX_BRACKET_DEPTH));
                return false;
            }
            if (depth == 1)
                openLine = token.line;
            break;
        case Token::Kind::Close:
            finishRow();
            if (--depth < 0) {
                error = at(token.line, "']' without '['");
                return false;
            }
            break;
        case Token::Kind::RowEnd: finishRow(); break;
        case Token::Kind::LineEnd:
            if (depth == 0)
                finishRow();
            break;
        case Token::Kind::Block:
            if (depth > 0) {
                error = at(token.line, "a column block inside brackets");
                return false;
            }
            finishRow();
            if (!blocks.back().empty())
                blocks.emplace_back();
            break;
        case Token::Kind::Name: break;  // never inside a value
        }
    }
    finishRow();
    if (depth > 0) {
        error = at(openLine, "'[' is not closed");
        return false;
    }
    if (blocks.back().empty())
        blocks.pop_back();
    if (blocks.empty())
        return true;
    value.rows = blocks.front();
    for (std::size_t b = 1; b < blocks.size(); ++b) {
        if (blocks[b].size() != value.rows.size()) {
            error = at(blocks[b].front().front().line, "column blocks of different heights");
            return false;
        }
        for (std::size_t r = 0; r < value.rows.size(); ++r)
            value.rows[r].insert(value.rows[r].end(), blocks[b][r].begin(), blocks[b][r].end());
    }
    return true;
}

// ---------------------------------------------------------------- forms

bool allReal(const Value& value, std::string& error)
{
    for (const Row& row : value.rows)
        for (const Number& number : row)
            if (number.complex) {
                error = at(number.line, quoted(number.text) + " is complex; coefficients are real");
                return false;
            }
    return true;
}

std::string sectionLengthProblem(const Row& row)
{
    return at(row.front().line,
              std::to_string(row.size()) + (row.size() == 1 ? " number" : " numbers")
                  + " where a section has 6 (b0 b1 b2 a0 a1 a2)");
}

SectionRow sectionOf(const Row& row)
{
    SectionRow section;
    for (int j = 0; j < 3; ++j) {
        section.b[j] = row[static_cast<std::size_t>(j)].value.real();
        section.a[j] = row[static_cast<std::size_t>(j) + 3].value.real();
    }
    section.line = row.front().line;
    return section;
}

// A named matrix of sections. MATLAB's rows may also be separated by line
// breaks inside the brackets: a row of other than 6 numbers whose lines hold
// 6 each is taken line by line.
bool readSections(const Value& value, CoefficientInput& input, std::string& error)
{
    for (const Row& row : value.rows) {
        if (row.size() == 6) {
            input.sections.push_back(sectionOf(row));
            continue;
        }
        std::vector<Row> lines;
        for (const Number& number : row) {
            if (lines.empty() || lines.back().front().line != number.line)
                lines.emplace_back();
            lines.back().push_back(number);
        }
        const auto ofSix = [](const Row& line) { return line.size() == 6; };
        if (lines.size() < 2 || !std::all_of(lines.begin(), lines.end(), ofSix)) {
            error = sectionLengthProblem(row);
            return false;
        }
        for (const Row& line : lines)
            input.sections.push_back(sectionOf(line));
    }
    return true;
}

template <typename Number>
NumberList<Number> flattened(const Value& value)
{
    NumberList<Number> list;
    list.line = value.line;
    for (const Row& row : value.rows)
        for (const auto& number : row) {
            if constexpr (std::is_same_v<Number, double>)
                list.values.push_back(number.value.real());
            else
                list.values.push_back(number.value);
            list.lines.push_back(number.line);
        }
    return list;
}

bool readUnnamed(const std::vector<Token>& tokens, CoefficientInput& input, std::string& error)
{
    Value value;
    if (!buildValue(tokens, 0, tokens.size(), value, error) || !allReal(value, error))
        return false;
    if (value.rows.empty()) {
        error = "no coefficients found";
        return false;
    }
    const auto ofSix = [](const Row& row) { return row.size() == 6; };
    if (std::all_of(value.rows.begin(), value.rows.end(), ofSix)) {
        input.form = CoefficientForm::Sections;
        for (const Row& row : value.rows)
            input.sections.push_back(sectionOf(row));
        return true;
    }
    if (value.rows.size() == 2) {
        input.form = CoefficientForm::TransferFunction;
        Value b;
        b.rows = {value.rows[0]};
        b.line = value.rows[0].front().line;
        Value a;
        a.rows = {value.rows[1]};
        a.line = value.rows[1].front().line;
        input.b = flattened<double>(b);
        input.a = flattened<double>(a);
        return true;
    }
    const Row& wrong = *std::find_if_not(value.rows.begin(), value.rows.end(), ofSix);
    error = sectionLengthProblem(wrong)
        + "; a transfer function is two rows, b then a";
    return false;
}

struct NamedValue {
    std::string name;  // lower case
    Value value;
};

CoefficientForm formOfName(const std::string& name)
{
    if (name == "sos")
        return CoefficientForm::Sections;
    if (name == "b" || name == "a")
        return CoefficientForm::TransferFunction;
    return CoefficientForm::ZerosPolesGain;
}

const NamedValue* find(const std::vector<NamedValue>& values, const char* name)
{
    for (const NamedValue& value : values)
        if (value.name == name)
            return &value;
    return nullptr;
}

bool readNamed(const std::vector<Token>& tokens, CoefficientInput& input, std::string& error)
{
    std::vector<NamedValue> values;
    std::size_t t = 0;
    while (t < tokens.size() && tokens[t].kind == Token::Kind::LineEnd)
        ++t;
    if (tokens[t].kind != Token::Kind::Name) {
        error = at(tokens[t].line, "numbers before the first name (sos =, b =, z = …)");
        return false;
    }
    while (t < tokens.size()) {
        const Token& name = tokens[t];
        std::size_t end = t + 1;
        while (end < tokens.size() && tokens[end].kind != Token::Kind::Name)
            ++end;
        NamedValue named;
        named.name = lowerCase(name.text);
        named.value.line = name.line;
        if (named.name != "sos" && named.name != "b" && named.name != "a" && named.name != "z" && named.name != "p"
            && named.name != "k") {
            error = at(name.line, "unknown name " + quoted(name.text) + " (sos, b and a, or z, p and k)");
            return false;
        }
        if (!values.empty() && formOfName(named.name) != formOfName(values.front().name)) {
            error = at(name.line, quoted(name.text) + " does not go with " + quoted(values.front().name));
            return false;
        }
        if (find(values, named.name.c_str()) != nullptr) {
            error = at(name.line, quoted(name.text) + " is given twice");
            return false;
        }
        if (!buildValue(tokens, t + 1, end, named.value, error))
            return false;
        if (named.value.empty) {
            error = at(name.line, quoted(name.text) + " has no value");
            return false;
        }
        values.push_back(named);
        t = end;
    }

    input.form = formOfName(values.front().name);
    const int firstLine = values.front().value.line;
    switch (input.form) {
    case CoefficientForm::Sections:
        if (!allReal(values.front().value, error) || !readSections(values.front().value, input, error))
            return false;
        if (input.sections.empty()) {
            error = at(firstLine, "'sos' has no sections");
            return false;
        }
        return true;
    case CoefficientForm::TransferFunction: {
        const NamedValue* b = find(values, "b");
        const NamedValue* a = find(values, "a");
        if (b == nullptr || a == nullptr) {
            error = at(firstLine, b == nullptr ? "'a' without 'b'" : "'b' without 'a'");
            return false;
        }
        if (!allReal(b->value, error) || !allReal(a->value, error))
            return false;
        input.b = flattened<double>(b->value);
        input.a = flattened<double>(a->value);
        return true;
    }
    case CoefficientForm::ZerosPolesGain: {
        const NamedValue* k = find(values, "k");
        if (k == nullptr) {
            error = at(firstLine, "zeros and poles without the gain 'k'");
            return false;
        }
        const NumberList<Cplx> gain = flattened<Cplx>(k->value);
        if (gain.values.size() != 1) {
            error = at(k->value.line, "'k' must be one number");
            return false;
        }
        if (gain.values.front().imag() != 0.0) {
            error = at(k->value.line, "'k' must be real");
            return false;
        }
        input.k = gain.values.front().real();
        input.kLine = k->value.line;
        if (const NamedValue* z = find(values, "z"))
            input.zeros = flattened<Cplx>(z->value);
        if (const NamedValue* p = find(values, "p"))
            input.poles = flattened<Cplx>(p->value);
        return true;
    }
    }
    return false;
}

}  // namespace

CoefficientReading readCoefficientText(std::string_view text)
{
    CoefficientReading reading;
    if (text.size() > MAX_IMPORT_TEXT_SIZE) {
        reading.error = "text larger than 1 MiB";
        return reading;
    }
    const Lexed lexed = lex(text);
    if (!lexed.error.empty()) {
        reading.error = lexed.error;
        return reading;
    }
    CoefficientInput input;
    input.sampleRate = lexed.sampleRate;
    input.rateLine = lexed.rateLine;
    input.delay = lexed.delay;
    input.delayLine = lexed.delayLine;
    input.zeroCount = lexed.zeroCount;
    input.poleCount = lexed.poleCount;
    input.countLine = lexed.countLine;
    const bool named = std::any_of(lexed.tokens.begin(), lexed.tokens.end(),
                                   [](const Token& token) { return token.kind == Token::Kind::Name; });
    std::string error;
    if (named ? readNamed(lexed.tokens, input, error) : readUnnamed(lexed.tokens, input, error))
        reading.input = input;
    else
        reading.error = error;
    return reading;
}
