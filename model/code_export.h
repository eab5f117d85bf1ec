#pragma once

#include "model/document.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The filter as code that pastes into the libraries engineers use. Every
// export but "sos" starts with a comment (program, sample rate, model, the
// numbers of zeros and poles, the sign convention, how to call it) and ends
// with a comment holding the first PROOF_SAMPLES samples of its impulse
// response computed in the target's own arithmetic, so that a user can run
// the same impulse on the target and compare. The sections are those of the
// coefficient text (model/coefficients.h): pairs and singles as there, the
// gain in the first section, except for the fixed-point formats, which
// spread the gain over the stages by their scaling (model/fixed_point.h).
// The texts are plain ASCII, so that any toolchain takes them.
//
//   sos        the coefficient text itself, SciPy's sos layout
//   c          C99 header: NAME_SECTIONS, static const double
//              NAME_sos[NAME_SECTIONS][6] with rows b0, b1, b2, 1, a1, a2
//              (SciPy's signs: the denominator is 1 + a1·z⁻¹ + a2·z⁻²), and
//              static inline double NAME_step(double x, double
//              state[NAME_SECTIONS][2]) running the cascade in transposed
//              direct form II; the proof is NAME_step's output, bit for bit
//   c-float    the same in float, the coefficients rounded to float
//   cmsis-f32  C header for CMSIS-DSP: NAME_STAGES, static const float32_t
//              NAME_coeffs[5 * NAME_STAGES] = {b0, b1, b2, −a1, −a2, …}
//              (CMSIS-DSP adds its feedback terms), for the df1 and the df2T
//              biquads; the proof is df1's float arithmetic
//   cmsis-q15  NAME_STAGES, NAME_POST_SHIFT, static const q15_t
//              NAME_coeffs[6 * NAME_STAGES] = {b0, 0, b1, b2, −a1, −a2, …},
//              for arm_biquad_cascade_df1_init_q15; the proof is the output
//              of arm_biquad_cascade_df1_q15, bit for bit, for an input of
//              32767 then zeros
//   cmsis-q31  the same with 5 q31_t per stage and arm_biquad_cascade_df1_q31,
//              input 2147483647 then zeros
//   faust      process = fi.tf2(b0, b1, b2, a1, a2) : …; (SciPy's signs); the
//              proof in single precision, direct form II as fi.tf2 computes
//   juce       inline NAME_makeSections() returning one
//              juce::dsp::IIR::Coefficients<float> per section; the proof is
//              IIR::Filter<float>'s transposed direct form II in float
//   matlab     sos = [ … ]; (rows b0, b1, b2, 1, a1, a2) and g = 1; for
//              y = g * sosfilt(sos, x); the proof in double
enum class ExportFormat { Sos, C, CFloat, CmsisF32, CmsisQ15, CmsisQ31, Faust, Juce, Matlab };

struct ExportFormatInfo {
    ExportFormat format;
    const char* name;        // what the command line's FORMAT and the texts call it
    const char* title;       // what the export dialog offers
    const char* fileFilter;  // the save dialog's filter
    const char* suffix;      // the suffix a file name typed without one gets
};

inline constexpr ExportFormatInfo EXPORT_FORMATS[] = {
    {ExportFormat::Sos, "sos", "sos \u2013 SciPy second-order sections (CSV)", "Comma-separated values (*.csv)", "csv"},
    {ExportFormat::C, "c", "c \u2013 C99 header, double", "C headers (*.h)", "h"},
    {ExportFormat::CFloat, "c-float", "c-float \u2013 C99 header, float", "C headers (*.h)", "h"},
    {ExportFormat::CmsisF32, "cmsis-f32", "cmsis-f32 \u2013 CMSIS-DSP biquads, float32", "C headers (*.h)", "h"},
    {ExportFormat::CmsisQ15, "cmsis-q15", "cmsis-q15 \u2013 CMSIS-DSP biquads, Q15", "C headers (*.h)", "h"},
    {ExportFormat::CmsisQ31, "cmsis-q31", "cmsis-q31 \u2013 CMSIS-DSP biquads, Q31", "C headers (*.h)", "h"},
    {ExportFormat::Faust, "faust", "faust \u2013 Faust program", "Faust programs (*.dsp)", "dsp"},
    {ExportFormat::Juce, "juce", "juce \u2013 JUCE IIR coefficients (C++)", "C++ headers (*.h)", "h"},
    {ExportFormat::Matlab, "matlab", "matlab \u2013 MATLAB and Octave", "MATLAB scripts (*.m)", "m"},
};

const ExportFormatInfo& exportFormatInfo(ExportFormat format);

// The format with exactly this command-line name, or none.
std::optional<ExportFormat> exportFormatNamed(std::string_view name);

// "sos, c, c-float, …": the names, for messages.
std::string exportFormatNames();

constexpr const char* DEFAULT_EXPORT_NAME = "vorbel";
constexpr std::size_t MAX_EXPORT_NAME_LENGTH = 64;
constexpr int PROOF_SAMPLES = 16;

// "" when name can prefix the export's identifiers: a C identifier (ASCII
// letters, digits and _, not starting with a digit) of at most
// MAX_EXPORT_NAME_LENGTH characters that neither starts nor ends with _ nor
// holds __, so that no identifier made from it (NAME_sos, NAME_STAGES) is
// reserved in C or C++. Otherwise one line naming the problem.
std::string exportNameProblem(std::string_view name);

struct CodeExport {
    std::string text;     // the export, every line ending in a line break
    std::string problem;  // set instead when there is none
};

// The document's filter in the format, identifiers prefixed with name. The
// problem is set for a refused name, for coefficients that are not finite
// (or not finite once rounded to float), and for a fixed-point format the
// filter cannot take (model/fixed_point.h).
CodeExport exportCode(const Document& document, ExportFormat format, std::string_view name);
