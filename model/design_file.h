#pragma once

#include "model/document.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The design file: UTF-8 JSON, one object with the keys, in this order,
//   format          "vorbel-design"
//   version         1
//   sampleRate      44100, 48000, 96000 or 192000
//   model           the model's name as the model combo box shows it
//   cutoffPosition  integer 0 … 2000
//   qPosition       integer 0 … 2000
//   gain            number
//   zeros, poles    arrays of at most 20 {"re": number, "im": number, "pair": bool}
// The writer separates with ", " and ": " on one line, without a final line
// break, and writes each double in the shortest form that reads back to the
// same double.

constexpr std::size_t MAX_DESIGN_FILE_SIZE = 1024 * 1024;

// Nested arrays and objects deeper than this are refused before they can
// exhaust the reader's stack.
constexpr int MAX_DESIGN_NESTING = 32;

// The text of the document's design file. Every number of the document is
// expected finite and its rate and positions in range; a non-finite double is
// written as null, which the reader refuses, so check before saving.
std::string writeDesign(const Document& document);

struct DesignReadResult {
    std::optional<Document> document;  // set when the text is a valid design
    std::string error;                 // otherwise the first problem found
};

// Reads a design file's text. Gain and roots are taken exactly as written
// (no design is re-run); a single root's im is stored as 0. Nyquist is half
// the rate, cutoff and Q follow from the slider positions as the sliders map
// them, and the Q-visible flag is the model's. Keys the reader does not know
// are ignored, duplicates of them included, and never stored: reading keeps
// only the values the design uses, whatever else the text holds.
//
// A refused text gives one message naming its first problem: a size over
// 1 MiB, then anything that is not strict JSON ("not JSON: … at byte N", N
// counted from 0, the byte at which reading stopped; invalid UTF-8, NaN or
// Infinity, comments, trailing commas, trailing text and nesting over
// MAX_DESIGN_NESTING included; the words are the JSON library's but for
// "unexpected end", "text after the end of the value", "NUL byte", "nesting
// too deep" and "duplicate key"), a key of the design or of a root given
// twice (at the byte of its second occurrence), a number beyond the range of
// a double (which ends reading: "gain: out of the range of a double" where
// the design uses it, "number out of the range of a double at byte N"
// elsewhere), then the keys in the order above, each with its JSON path
// ("poles[3].im: not a number", "missing key \"gain\"").
DesignReadResult readDesign(std::string_view text);

// Appends the shortest text that reads back to the same double; integral
// values have no decimal point ("-1", "0"). Non-finite values give "inf",
// "-inf" or "nan".
void appendShortestNumber(std::string& out, double value);
