#include "model/code_export.h"

#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/designs.h"
#include "model/fixed_point.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <variant>
#include <vector>

namespace {

// ---------------------------------------------------------------- numbers

std::string shortest(double value)
{
    std::string out;
    appendShortestNumber(out, value + 0.0);  // −0 written as 0
    return out;
}

// A literal that C and C++ read as a floating constant: the shortest digits,
// with ".0" where they would read as an integer.
std::string withPoint(std::string digits)
{
    if (digits.find_first_of(".e") == std::string::npos)
        digits += ".0";
    return digits;
}

std::string doubleLiteral(double value) { return withPoint(shortest(value)); }

std::string shortestFloat(float value)
{
    char text[64];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value + 0.0f);
    return std::string(text, result.ptr);
}

std::string floatLiteral(double value) { return withPoint(shortestFloat(static_cast<float>(value))) + "f"; }

// Nine significant digits, for the figures a comment gives to a reader.
std::string readable(double value)
{
    std::ostringstream text;
    text.precision(9);
    text << value;
    return text.str();
}

// Q31's most negative value has no literal of type int: 2147483648 does not
// fit one.
std::string fixedLiteral(std::int32_t value)
{
    if (value == INT32_MIN)
        return "(-2147483647 - 1)";
    return std::to_string(value);
}

std::string upper(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// ---------------------------------------------------------------- comments

enum class CommentStyle { Block, Slashes, Percent };

std::string comment(CommentStyle style, const std::vector<std::string>& lines)
{
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        switch (style) {
        case CommentStyle::Block: out += i == 0 ? "/* " : " * "; break;
        case CommentStyle::Slashes: out += "// "; break;
        case CommentStyle::Percent: out += "% "; break;
        }
        out += line;
        // No line of a block comment may end in a space.
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        out += '\n';
    }
    if (style == CommentStyle::Block)
        out += " */\n";
    return out;
}


// Program, sample rate, model and the roots, the first lines of every header.
std::vector<std::string> describe(const Document& document, const SectionCascade& cascade, std::string_view name,
                                  const std::string& what)
{
    const FilterState& filter = document.filter;
    std::vector<std::string> lines;
    lines.push_back(std::string(name) + ": Vorbel filter " + what);
    lines.push_back("sample rate: " + std::to_string(document.sampleRate)
                    + " Hz (the coefficients hold for this rate only)");
    lines.push_back(std::string("model: ") + modelName(filter.modelIndex));
    lines.push_back("zeros: " + std::to_string(rootCount(filter.zeros)) + ", poles: "
                    + std::to_string(rootCount(filter.poles)) + ", sections: " + std::to_string(cascade.sections.size()));
    if (cascade.delay > 0)
        lines.push_back("delay: " + std::to_string(cascade.delay)
                        + " samples (the sections hold H(z) times z^-" + std::to_string(cascade.delay) + ")");
    return lines;
}

void appendProof(std::vector<std::string>& lines, const std::vector<std::string>& samples)
{
    for (std::size_t n = 0; n < samples.size(); ++n)
        lines.push_back("  h[" + std::to_string(n) + "] = " + samples[n]);
}

// ---------------------------------------------------------------- the proofs

// The impulse 1, 0, 0, … through the cascade in transposed direct form II,
// in T's arithmetic, operation by operation as NAME_step and JUCE's
// IIR::Filter compute it:
//   y = b0·x + s0;  s0 = b1·x − a1·y + s1;  s1 = b2·x − a2·y.
template <typename T>
std::vector<T> transposedDirectForm2(const std::vector<Section>& sections)
{
    std::vector<std::array<T, 2>> state(sections.size(), {T(0), T(0)});
    std::vector<T> out;
    for (int n = 0; n < PROOF_SAMPLES; ++n) {
        T x = n == 0 ? T(1) : T(0);
        for (std::size_t k = 0; k < sections.size(); ++k) {
            const Section& s = sections[k];
            const T b0 = static_cast<T>(s.b[0]), b1 = static_cast<T>(s.b[1]), b2 = static_cast<T>(s.b[2]);
            const T a1 = static_cast<T>(s.a[1]), a2 = static_cast<T>(s.a[2]);
            const T y = b0 * x + state[k][0];
            state[k][0] = b1 * x - a1 * y + state[k][1];
            state[k][1] = b2 * x - a2 * y;
            x = y;
        }
        out.push_back(x);
    }
    return out;
}

// arm_biquad_cascade_df1_f32: y = b0·x + b1·x1 + b2·x2 + (−a1)·y1 + (−a2)·y2,
// summed left to right in float.
std::vector<float> cmsisDirectForm1(const std::vector<Section>& sections)
{
    std::vector<std::array<float, 4>> state(sections.size(), {0.0f, 0.0f, 0.0f, 0.0f});
    std::vector<float> out;
    for (int n = 0; n < PROOF_SAMPLES; ++n) {
        float x = n == 0 ? 1.0f : 0.0f;
        for (std::size_t k = 0; k < sections.size(); ++k) {
            const Section& s = sections[k];
            const float b0 = static_cast<float>(s.b[0]), b1 = static_cast<float>(s.b[1]);
            const float b2 = static_cast<float>(s.b[2]);
            const float a1 = static_cast<float>(-s.a[1]), a2 = static_cast<float>(-s.a[2]);
            std::array<float, 4>& z = state[k];  // x[n−1], x[n−2], y[n−1], y[n−2]
            const float y = b0 * x + b1 * z[0] + b2 * z[1] + a1 * z[2] + a2 * z[3];
            z = {x, z[0], y, z[2]};
            x = y;
        }
        out.push_back(x);
    }
    return out;
}

// fi.tf2 in single precision: direct form II, v = x − (a1·v1 + a2·v2),
// y = b0·v + b1·v1 + b2·v2.
std::vector<float> faustDirectForm2(const std::vector<Section>& sections)
{
    std::vector<std::array<float, 2>> state(sections.size(), {0.0f, 0.0f});
    std::vector<float> out;
    for (int n = 0; n < PROOF_SAMPLES; ++n) {
        float x = n == 0 ? 1.0f : 0.0f;
        for (std::size_t k = 0; k < sections.size(); ++k) {
            const Section& s = sections[k];
            std::array<float, 2>& v = state[k];
            const float w = x - (static_cast<float>(s.a[1]) * v[0] + static_cast<float>(s.a[2]) * v[1]);
            x = static_cast<float>(s.b[0]) * w + static_cast<float>(s.b[1]) * v[0] + static_cast<float>(s.b[2]) * v[1];
            v = {w, v[0]};
        }
        out.push_back(x);
    }
    return out;
}

template <typename T, typename Format>
std::vector<std::string> texts(const std::vector<T>& values, Format format)
{
    std::vector<std::string> out;
    for (const T value : values)
        out.push_back(format(value));
    return out;
}

std::vector<std::string> doubleTexts(const std::vector<double>& values)
{
    return texts(values, [](double v) { return shortest(v); });
}

std::vector<std::string> floatTexts(const std::vector<float>& values)
{
    return texts(values, [](float v) { return shortestFloat(v); });
}

bool finiteCoefficients(const SectionCascade& cascade, bool asFloat)
{
    for (const Section& s : cascade.sections) {
        for (const double* row : {s.b, s.a}) {
            for (int j = 0; j < 3; ++j) {
                if (!std::isfinite(row[j]))
                    return false;
                if (asFloat && !std::isfinite(static_cast<float>(row[j])))
                    return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------- formats

std::string cHeader(const Document& document, const SectionCascade& cascade, std::string_view name, bool asFloat)
{
    const std::string n(name);
    const std::string type = asFloat ? "float" : "double";
    std::vector<std::string> lines = describe(document, cascade, name,
                                              asFloat ? "as C99 code, float" : "as C99 code, double");
    lines.insert(lines.end(), {
        n + "_sos rows: b0, b1, b2, 1, a1, a2 (SciPy's sos layout and signs),",
        "each row the section",
        "  (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2);",
        "the filter is their product in row order, the gain in the first row.",
        "Use: zero a state once, then call " + n + "_step once per sample:",
        "  static " + type + " state[" + n + "_SECTIONS][2];",
        "  y = " + n + "_step(x, state);",
        n + "_step runs each section in transposed direct form II.",
    });
    std::string out = comment(CommentStyle::Block, lines);
    const std::string guard = upper(name) + (asFloat ? "_FLOAT_FILTER_H" : "_FILTER_H");
    out += "#ifndef " + guard + "\n#define " + guard + "\n\n";
    out += "#define " + n + "_SECTIONS " + std::to_string(cascade.sections.size()) + "\n\n";
    out += "static const " + type + " " + n + "_sos[" + n + "_SECTIONS][6] = {\n";
    for (const Section& s : cascade.sections) {
        out += "    {";
        const double row[6] = {s.b[0], s.b[1], s.b[2], 1.0, s.a[1], s.a[2]};
        for (int j = 0; j < 6; ++j) {
            out += j > 0 ? ", " : "";
            out += asFloat ? floatLiteral(row[j]) : doubleLiteral(row[j]);
        }
        out += "},\n";
    }
    out += "};\n\n";
    out += "static inline " + type + " " + n + "_step(" + type + " x, " + type + " state[" + n + "_SECTIONS][2])\n";
    out += "{\n";
    out += "    for (int k = 0; k < " + n + "_SECTIONS; ++k) {\n";
    out += "        const " + type + " *c = " + n + "_sos[k];\n";
    out += "        const " + type + " y = c[0] * x + state[k][0];\n";
    out += "        state[k][0] = c[1] * x - c[4] * y + state[k][1];\n";
    out += "        state[k][1] = c[2] * x - c[5] * y;\n";
    out += "        x = y;\n";
    out += "    }\n";
    out += "    return x;\n";
    out += "}\n\n";
    out += "#endif\n\n";

    std::vector<std::string> proof = {
        "Proof: the first " + std::to_string(PROOF_SAMPLES) + " samples of the impulse response (input 1, 0, 0, ...)",
        "as " + n + "_step computes them in IEEE " + type + " arithmetic (each operation rounded,",
        "no fused multiply-add, no wider intermediate precision):",
    };
    appendProof(proof, asFloat ? floatTexts(transposedDirectForm2<float>(cascade.sections))
                               : doubleTexts(transposedDirectForm2<double>(cascade.sections)));
    return out + comment(CommentStyle::Block, proof);
}

std::string cmsisF32(const Document& document, const SectionCascade& cascade, std::string_view name)
{
    const std::string n(name);
    std::vector<std::string> lines = describe(document, cascade, name, "for CMSIS-DSP's float32 biquads");
    lines.insert(lines.end(), {
        n + "_coeffs: b0, b1, b2, -a1, -a2 per stage. The section is",
        "  (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2),",
        "and CMSIS-DSP adds its feedback terms, so a1 and a2 are stored negated.",
        "The stages run in order, the gain in the first.",
        "Use with direct form I (a state of 4 values per stage):",
        "  arm_biquad_casd_df1_inst_f32 S;",
        "  static float32_t state[4 * " + n + "_STAGES];",
        "  " + n + "_init_df1(&S, state);",
        "  arm_biquad_cascade_df1_f32(&S, input, output, blockSize);",
        "or with transposed direct form II (a state of 2 values per stage):",
        "  arm_biquad_cascade_df2T_instance_f32 S;",
        "  static float32_t state[2 * " + n + "_STAGES];",
        "  " + n + "_init_df2T(&S, state);",
        "  arm_biquad_cascade_df2T_f32(&S, input, output, blockSize);",
    });
    std::string out = comment(CommentStyle::Block, lines);
    const std::string guard = upper(name) + "_CMSIS_F32_H";
    out += "#ifndef " + guard + "\n#define " + guard + "\n\n";
    out += "#include \"arm_math.h\"\n\n";
    out += "#define " + n + "_STAGES " + std::to_string(cascade.sections.size()) + "\n\n";
    out += "static const float32_t " + n + "_coeffs[5 * " + n + "_STAGES] = {\n";
    for (const Section& s : cascade.sections) {
        out += "   ";
        const double row[5] = {s.b[0], s.b[1], s.b[2], -s.a[1], -s.a[2]};
        for (int j = 0; j < 5; ++j) {
            out += ' ';
            out += floatLiteral(row[j]);
            out += ',';
        }
        out += "\n";
    }
    out += "};\n\n";
    out += "static inline void " + n + "_init_df1(arm_biquad_casd_df1_inst_f32 *S, float32_t *state)\n{\n";
    out += "    arm_biquad_cascade_df1_init_f32(S, " + n + "_STAGES, " + n + "_coeffs, state);\n}\n\n";
    out += "static inline void " + n + "_init_df2T(arm_biquad_cascade_df2T_instance_f32 *S, float32_t *state)\n{\n";
    out += "    arm_biquad_cascade_df2T_init_f32(S, " + n + "_STAGES, " + n + "_coeffs, state);\n}\n\n";
    out += "#endif\n\n";

    std::vector<std::string> proof = {
        "Proof: the first " + std::to_string(PROOF_SAMPLES) + " samples of the impulse response (input 1, 0, 0, ...)",
        "as arm_biquad_cascade_df1_f32 computes them in float, each product and sum",
        "rounded, the five terms summed left to right; the df2T form rounds",
        "differently and agrees to float precision:",
    };
    appendProof(proof, floatTexts(cmsisDirectForm1(cascade.sections)));
    return out + comment(CommentStyle::Block, proof);
}

std::string cmsisFixed(const Document& document, const SectionCascade& cascade, std::string_view name,
                       const FixedPointCascade& fixed)
{
    const std::string n(name);
    const bool q15 = fixed.format == FixedPointFormat::Q15;
    const std::string format = fixedPointName(fixed.format);
    const std::string type = q15 ? "q15_t" : "q31_t";
    const std::string suffix = q15 ? "q15" : "q31";
    const int bits = fractionBits(fixed.format);
    const std::string perStage = q15 ? "6" : "5";

    std::vector<std::string> lines = describe(document, cascade, name, "for CMSIS-DSP's " + format + " biquads");
    lines.insert(lines.end(), {
        q15 ? n + "_coeffs: b0, 0, b1, b2, -a1, -a2 per stage (the 0 pairs with b0 in"
            : n + "_coeffs: b0, b1, b2, -a1, -a2 per stage. The section is",
    });
    if (q15)
        lines.insert(lines.end(), {"CMSIS-DSP's SIMD reads). The section is"});
    lines.insert(lines.end(), {
        "  (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2),",
        "and CMSIS-DSP adds its feedback terms, so a1 and a2 are stored negated.",
        "Each coefficient c is stored as round(c * 2^(" + std::to_string(bits) + " - " + n + "_POST_SHIFT)),",
        "to the nearest, ties away from 0: c / 2^" + n + "_POST_SHIFT in " + format + ", with",
        n + "_POST_SHIFT the smallest that fits every coefficient into [-1, 1);",
        "the accumulator is shifted back by it.",
        "Scaling (L-infinity): stage k's b0, b1, b2 are multiplied by s_k so that",
        "|H| of stages 1..k peaks at 1 over all frequencies, for every k: a sine",
        "of amplitude up to 1 at any frequency takes no stage's output out of",
        "range once it has settled. The output is the designed filter divided by",
        "G = " + readable(fixed.scaling.restoringGain) + " (the gain the scaling takes out); multiply by G to",
        "restore the designed level.",
    });
    std::string factors = "  ";
    for (std::size_t k = 0; k < fixed.scaling.factors.size(); ++k) {
        factors += "s_" + std::to_string(k + 1) + " = " + readable(fixed.scaling.factors[k]);
        const bool last = k + 1 == fixed.scaling.factors.size();
        if (!last)
            factors += ", ";
        if (last || k % 3 == 2) {
            lines.push_back(factors);
            factors = "  ";
        }
    }
    if (!q15)
        lines.insert(lines.end(), {
            "arm_biquad_cascade_df1_q31 keeps one guard bit and wraps around on overflow:",
            "CMSIS-DSP advises an input within [-0.25, 0.25).",
        });
    lines.insert(lines.end(), {
        "Use (a state of 4 values per stage):",
        "  arm_biquad_casd_df1_inst_" + suffix + " S;",
        "  static " + type + " state[4 * " + n + "_STAGES];",
        "  " + n + "_init(&S, state);",
        "  arm_biquad_cascade_df1_" + suffix + "(&S, input, output, blockSize);",
    });
    std::string out = comment(CommentStyle::Block, lines);
    const std::string guard = upper(name) + "_CMSIS_" + upper(suffix) + "_H";
    out += "#ifndef " + guard + "\n#define " + guard + "\n\n";
    out += "#include \"arm_math.h\"\n\n";
    out += "#define " + n + "_STAGES " + std::to_string(fixed.stages.size()) + "\n";
    out += "#define " + n + "_POST_SHIFT " + std::to_string(fixed.postShift) + "\n\n";
    out += "static const " + type + " " + n + "_coeffs[" + perStage + " * " + n + "_STAGES] = {\n";
    for (const auto& stage : fixed.stages) {
        out += "    " + fixedLiteral(stage[0]) + ", ";
        if (q15)
            out += "0, ";
        out += fixedLiteral(stage[1]) + ", " + fixedLiteral(stage[2]) + ", " + fixedLiteral(stage[3]) + ", "
            + fixedLiteral(stage[4]) + ",\n";
    }
    out += "};\n\n";
    out += "static inline void " + n + "_init(arm_biquad_casd_df1_inst_" + suffix + " *S, " + type + " *state)\n{\n";
    out += "    arm_biquad_cascade_df1_init_" + suffix + "(S, " + n + "_STAGES, " + n + "_coeffs, state, " + n
        + "_POST_SHIFT);\n}\n\n";
    out += "#endif\n\n";

    const std::int32_t peak = q15 ? 32767 : INT32_MAX;
    std::vector<std::int32_t> input(PROOF_SAMPLES, 0);
    input[0] = peak;
    std::vector<std::string> proof = {
        "Proof: the first " + std::to_string(PROOF_SAMPLES) + " outputs of arm_biquad_cascade_df1_" + suffix,
        "for the input " + std::to_string(peak) + ", 0, 0, ... (" + format + "'s largest value, then zeros),",
        "bit for bit: the products summed in its 64-bit accumulator, shifted right by",
        q15 ? "15 - postShift, saturated to 16 bits:" : "31 - postShift, the low 32 bits kept:",
    };
    appendProof(proof, texts(runCmsisDf1(fixed, input), [](std::int32_t v) { return std::to_string(v); }));
    return out + comment(CommentStyle::Block, proof);
}

std::string faust(const Document& document, const SectionCascade& cascade, std::string_view name)
{
    std::vector<std::string> lines = describe(document, cascade, name, "as a Faust program");
    lines.insert(lines.end(), {
        "fi.tf2(b0, b1, b2, a1, a2) is (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2)",
        "(SciPy's signs), one per section, in series, the gain in the first.",
        "The coefficients are numbers: ma.SR is not read.",
    });
    std::string out = comment(CommentStyle::Slashes, lines);
    out += "declare name \"" + std::string(name) + "\";\n";
    out += "import(\"stdfaust.lib\");\n\n";
    out += "process = ";
    for (std::size_t k = 0; k < cascade.sections.size(); ++k) {
        const Section& s = cascade.sections[k];
        out += k > 0 ? "\n    : " : "";
        out += "fi.tf2(" + shortest(s.b[0]) + ", " + shortest(s.b[1]) + ", " + shortest(s.b[2]) + ", "
            + shortest(s.a[1]) + ", " + shortest(s.a[2]) + ")";
    }
    out += ";\n\n";
    std::vector<std::string> proof = {
        "Proof: the first " + std::to_string(PROOF_SAMPLES) + " samples of the impulse response (input 1, 0, 0, ...)",
        "in single precision, Faust's default, each section in direct form II as",
        "fi.tf2 computes it; the Faust compiler may regroup the sums, which can",
        "change the last digits:",
    };
    appendProof(proof, floatTexts(faustDirectForm2(cascade.sections)));
    return out + comment(CommentStyle::Slashes, proof);
}

std::string juce(const Document& document, const SectionCascade& cascade, std::string_view name)
{
    const std::string n(name);
    std::vector<std::string> lines = describe(document, cascade, name, "as JUCE IIR coefficients (C++17)");
    lines.insert(lines.end(), {
        "One juce::dsp::IIR::Coefficients<float>(b0, b1, b2, a0, a1, a2) per section, for",
        "  (b0 + b1 z^-1 + b2 z^-2) / (a0 + a1 z^-1 + a2 z^-2), a0 = 1 (SciPy's signs),",
        "in series order, the gain in the first.",
        "Use: one juce::dsp::IIR::Filter<float> per section, in series:",
        "  auto sections = " + n + "_makeSections();",
        "  std::vector<juce::dsp::IIR::Filter<float>> filters(sections.size());",
        "  for (size_t k = 0; k < sections.size(); ++k) filters[k].coefficients = sections[k];",
        "  per sample: for (auto& f : filters) x = f.processSample(x);",
    });
    std::string out = comment(CommentStyle::Slashes, lines);
    out += "#pragma once\n\n#include <juce_dsp/juce_dsp.h>\n\n#include <vector>\n\n";
    out += "inline std::vector<juce::dsp::IIR::Coefficients<float>::Ptr> " + n + "_makeSections()\n{\n";
    out += "    std::vector<juce::dsp::IIR::Coefficients<float>::Ptr> sections;\n";
    for (const Section& s : cascade.sections)
        out += "    sections.emplace_back(new juce::dsp::IIR::Coefficients<float>(" + floatLiteral(s.b[0]) + ", "
            + floatLiteral(s.b[1]) + ", " + floatLiteral(s.b[2]) + ", 1.0f, " + floatLiteral(s.a[1]) + ", "
            + floatLiteral(s.a[2]) + "));\n";
    out += "    return sections;\n}\n\n";
    std::vector<std::string> proof = {
        "Proof: the first " + std::to_string(PROOF_SAMPLES) + " samples of the impulse response (input 1, 0, 0, ...)",
        "as IIR::Filter<float>::processSample computes them, transposed direct form II",
        "in float, each operation rounded (JUCE on Intel processors may also set states",
        "within 1e-8 of zero to zero, its guard against denormals, which changes",
        "results that small):",
    };
    appendProof(proof, floatTexts(transposedDirectForm2<float>(cascade.sections)));
    return out + comment(CommentStyle::Slashes, proof);
}

std::string matlab(const Document& document, const SectionCascade& cascade, std::string_view name)
{
    std::vector<std::string> lines = describe(document, cascade, name, "as MATLAB and Octave code");
    lines.insert(lines.end(), {
        "sos rows: b0, b1, b2, 1, a1, a2, each row the section",
        "  (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2)",
        "(the layout of sosfilt, sos2tf and SciPy); the gain is in the first row, so g = 1.",
        "Octave needs the signal package for sosfilt: pkg load signal",
    });
    std::string out = comment(CommentStyle::Percent, lines);
    out += "sos = [\n";
    for (const Section& s : cascade.sections)
        out += "    " + shortest(s.b[0]) + ", " + shortest(s.b[1]) + ", " + shortest(s.b[2]) + ", 1, "
            + shortest(s.a[1]) + ", " + shortest(s.a[2]) + ";\n";
    out += "];\ng = 1;\n% y = g * sosfilt(sos, x);\n\n";
    std::vector<std::string> proof = {
        "Proof: the first " + std::to_string(PROOF_SAMPLES) + " samples of the impulse response (input 1, 0, 0, ...)",
        "in double, each section in transposed direct form II; sosfilt may order the",
        "operations differently, which can change the last digits:",
    };
    appendProof(proof, doubleTexts(transposedDirectForm2<double>(cascade.sections)));
    return out + comment(CommentStyle::Percent, proof);
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const ExportFormatInfo& exportFormatInfo(ExportFormat format)
{
    for (const ExportFormatInfo& info : EXPORT_FORMATS)
        if (info.format == format)
            return info;
    return EXPORT_FORMATS[0];
}

std::optional<ExportFormat> exportFormatNamed(std::string_view name)
{
    for (const ExportFormatInfo& info : EXPORT_FORMATS)
        if (name == info.name)
            return info.format;
    return std::nullopt;
}

std::string exportFormatNames()
{
    std::string out;
    for (const ExportFormatInfo& info : EXPORT_FORMATS) {
        out += out.empty() ? "" : ", ";
        out += info.name;
    }
    return out;
}

std::string exportNameProblem(std::string_view name)
{
    if (name.empty())
        return "the name is empty";
    if (name.size() > MAX_EXPORT_NAME_LENGTH)
        return "the name is longer than " + std::to_string(MAX_EXPORT_NAME_LENGTH) + " characters";
    const std::string quoted = "\"" + std::string(name) + "\"";
    for (const char c : name)
        if (!isLetter(c) && !isDigit(c) && c != '_')
            return "the name " + quoted + " is not a C identifier: only letters, digits and _";
    if (isDigit(name.front()))
        return "the name " + quoted + " is not a C identifier: it starts with a digit";
    if (name.front() == '_' || name.back() == '_' || name.find("__") != std::string_view::npos)
        return "the name " + quoted + " would make reserved identifiers: no _ at either end, no __";
    return "";
}

CodeExport exportCode(const Document& document, ExportFormat format, std::string_view name)
{
    if (const std::string problem = exportNameProblem(name); !problem.empty())
        return {"", problem};
    if (format == ExportFormat::Sos)
        return {coefficientText(document), ""};
    const SectionCascade cascade = secondOrderSections(document.filter);
    const bool asFloat = format == ExportFormat::CFloat || format == ExportFormat::CmsisF32
        || format == ExportFormat::Faust || format == ExportFormat::Juce;
    if (!finiteCoefficients(cascade, asFloat))
        return {"", asFloat ? "a coefficient is not a finite number in float" : "a coefficient is not a finite number"};
    switch (format) {
    case ExportFormat::C: return {cHeader(document, cascade, name, false), ""};
    case ExportFormat::CFloat: return {cHeader(document, cascade, name, true), ""};
    case ExportFormat::CmsisF32: return {cmsisF32(document, cascade, name), ""};
    case ExportFormat::CmsisQ15:
    case ExportFormat::CmsisQ31: {
        const FixedPointFormat fixedFormat =
            format == ExportFormat::CmsisQ15 ? FixedPointFormat::Q15 : FixedPointFormat::Q31;
        const auto fixed = fixedPointCascade(cascade, fixedFormat);
        if (const auto* problem = std::get_if<std::string>(&fixed))
            return {"", std::string(fixedPointName(fixedFormat)) + ": " + *problem};
        return {cmsisFixed(document, cascade, name, std::get<FixedPointCascade>(fixed)), ""};
    }
    case ExportFormat::Faust: return {faust(document, cascade, name), ""};
    case ExportFormat::Juce: return {juce(document, cascade, name), ""};
    case ExportFormat::Matlab: return {matlab(document, cascade, name), ""};
    default: return {coefficientText(document), ""};
    }
}
