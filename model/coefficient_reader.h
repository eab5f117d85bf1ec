#pragma once

#include <complex>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading the coefficient forms that filter design tools print, as numbers
// that still know the line they came from (lines counted from 1). No
// arithmetic on the filter happens here.
//
// The text: "#" and "%" start comments; numbers are separated by commas
// and/or white space; "[" "]" group rows, ";" ends a row; "(" ")" and the
// word "array" (NumPy's repr) are read past; "..." continues a line.
// A number is real ("-1.2", "1.", "5e-3") or complex: "0.5+0.3j",
// "0.5-0.3i", "(0.5+0.3j)", "0.3j" or, as MATLAB and Octave display it,
// "0.5000 + 0.3000i". A line "1.0e-03 *" before the numbers of a value is
// MATLAB's common factor, and "Columns 1 through 8" lines join the column
// blocks of a wide display.
//
// Named values ("name = value", the value on the same line or, as MATLAB
// and Octave display a variable, on the lines after "name ="):
//   sos = rows of 6 numbers          second-order sections
//   b = vector, a = vector           a transfer function in powers of z⁻¹
//   z = vector, p = vector, k = one  zeros, poles and gain in powers of z
// Names are read without regard to case. Without names the rows are the
// lines of numbers (or NumPy's bracketed rows): rows of 6 numbers are
// sections, exactly two rows of other lengths a transfer function, b first.
//
// Of the comments, "# sample rate: N Hz", "# zeros: Z, poles: P" and
// "# delay: D samples" of the program's own coefficient text are read.

constexpr std::size_t MAX_IMPORT_TEXT_SIZE = 1024 * 1024;
constexpr int MAX_IMPORT_NUMBERS = 10000;

enum class CoefficientForm { Sections, TransferFunction, ZerosPolesGain };

struct SectionRow {
    double b[3] = {};
    double a[3] = {};
    int line = 0;
};

// A vector of the transfer function or of zeros or poles, and the line its
// name (or its first number) is on.
template <typename Number>
struct NumberList {
    std::vector<Number> values;
    std::vector<int> lines;  // one per value
    int line = 0;
};

struct CoefficientInput {
    CoefficientForm form = CoefficientForm::Sections;
    std::vector<SectionRow> sections;
    NumberList<double> b;
    NumberList<double> a;
    NumberList<std::complex<double>> zeros;
    NumberList<std::complex<double>> poles;
    double k = 1.0;
    int kLine = 0;
    int sampleRate = 0;  // from "# sample rate: N Hz"; 0 without that line
    int rateLine = 0;
    int delay = 0;       // from "# delay: D samples"
    int delayLine = 0;
    // From "# zeros: Z, poles: P", −1 without it: the numbers of roots the
    // program's text was written from, a pair counted as two. Zeros and
    // poles at 0 that cancel leave no trace in the coefficients but this.
    int zeroCount = -1;
    int poleCount = -1;
    int countLine = 0;
};

struct CoefficientReading {
    std::optional<CoefficientInput> input;  // set when the text is one of the forms
    std::string error;                       // otherwise its first problem: "line 3: …"
};

CoefficientReading readCoefficientText(std::string_view text);
