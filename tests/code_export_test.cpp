// The exports run where they are meant to run. The C ones are compiled by
// the system's C compiler (gcc -std=c99 -Wall -Wextra -Werror -pedantic)
// against a harness in C (tests/export_harness) that implements CMSIS-DSP's
// documented biquad arithmetic; the JUCE one by the C++ compiler (-std=c++17
// -Wall -Wextra -Werror) against a stand-in for juce::dsp::IIR written from
// JUCE's documentation, since JUCE itself is not installed; the Faust one by the
// Faust compiler and the MATLAB one by Octave with its signal package.
// Their impulse responses are compared with each export's own proof, bit
// for bit where the arithmetic is fixed (C, CMSIS-DSP df1, JUCE), and with
// the designed filter computed here in long double from its roots.

#include "model/code_export.h"

#include "model/coefficients.h"
#include "model/designs.h"
#include "model/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// tests/export_harness: arm_math.h and arm_math.c, CMSIS-DSP's biquads in C
// after its documentation, and juce_dsp/juce_dsp.h, a stand-in for JUCE's
// IIR filter.
fs::path harness() { return VORBEL_EXPORT_HARNESS; }

// ---------------------------------------------------------------- helpers

struct Process {
    int status = -1;
    std::string output;
};

// Runs a shell command, its standard error joined to its output unless the
// command sends it elsewhere.
Process run(const std::string& command, bool withErrors = true)
{
    Process result;
    FILE* pipe = popen((withErrors ? command + " 2>&1" : command).c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    result.status = pclose(pipe);
    return result;
}

// A tool the test needs, or a failure that says how to get it.
::testing::AssertionResult installed(const char* path, const char* package)
{
    if (fs::exists(path))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << package << " is not installed (scripts/deps.sh test installs it)";
}

std::string quoted(const fs::path& path)
{
    std::string out = "'";
    out += path.string();
    out += '\'';
    return out;
}

void write(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// The values of the proof's lines "h[n] = value", in order.
std::vector<std::string> proofOf(const std::string& text)
{
    std::vector<std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("h[" + std::to_string(values.size()) + "] = ");
        if (at != std::string::npos)
            values.push_back(line.substr(line.find("= ", at) + 2));
    }
    return values;
}

// |got − want| ≤ tolerance, in long double.
::testing::AssertionResult near(long double got, long double want, long double tolerance)
{
    if (std::fabs(got - want) <= tolerance)
        return ::testing::AssertionSuccess();
    std::ostringstream text;
    text.precision(20);
    text << got << " is not within " << tolerance << " of " << want;
    return ::testing::AssertionFailure() << text.str();
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

// The designed filter's impulse response in long double, a computation that
// shares nothing with the sections: H(z) = gain · ∏(z − zᵢ) / ∏(z − pᵢ) is
// gain · w^(P − Z) · b(w) / a(w) in w = z⁻¹, b and a the products of the
// factors 1 − r·w; with more zeros than poles the sections hold H · z^-D,
// D = Z − P, which is gain · b(w) / a(w).
std::vector<long double> designedImpulse(const FilterState& filter, int count)
{
    using Poly = std::vector<long double>;
    const auto expand = [](const RootList& list) {
        Poly p{1.0L};
        const auto times = [&p](long double c1, long double c2) {  // p · (1 + c1·w + c2·w²)
            Poly q(p.size() + 2, 0.0L);
            for (std::size_t i = 0; i < p.size(); ++i) {
                q[i] += p[i];
                q[i + 1] += c1 * p[i];
                q[i + 2] += c2 * p[i];
            }
            p = q;
        };
        int degree = 0;
        for (int i = 0; i < list.count; ++i) {
            const long double re = list.positions[i].re, im = list.positions[i].im;
            if (list.pairFlags[i])
                times(-2.0L * re, re * re + im * im);
            else
                times(-re, 0.0L);
            degree += list.pairFlags[i] ? 2 : 1;
        }
        return std::pair{p, degree};
    };
    const auto [b, zeros] = expand(filter.zeros);
    const auto [a, poles] = expand(filter.poles);
    Poly numerator(static_cast<std::size_t>(std::max(0, poles - zeros)), 0.0L);
    for (const long double c : b)
        numerator.push_back(c * filter.gain);
    std::vector<long double> y(static_cast<std::size_t>(count), 0.0L);
    for (std::size_t n = 0; n < y.size(); ++n) {
        long double acc = n < numerator.size() ? numerator[n] : 0.0L;
        for (std::size_t k = 1; k < a.size() && k <= n; ++k)
            acc -= a[k] * y[n - k];
        y[n] = acc;
    }
    return y;
}

struct Design {
    std::string label;
    Document document;
};

std::vector<Design> designs()
{
    std::vector<Design> out = {
        {"lp2", designedDocument(1, 48000, 1300, 900)},
        {"bw6", designedDocument(7, 44100, 1300, 0)},
        {"bp", designedDocument(3, 96000, 1100, 1500)},
        {"notch", designedDocument(4, 48000, 1200, 1200)},
        {"lp1", designedDocument(0, 44100, 900, 0)},
        {"example", designedDocument(1, 192000, 0, 0)},
    };
    // More zeros than poles: a delay of 2 samples and a first-order section.
    Document custom = designedDocument(MODEL_CUSTOM, 48000, 1000, 0);
    FilterState& f = custom.filter;
    f.zeros.count = 2;
    f.zeros.positions[0] = {0.5, 0.5};
    f.zeros.pairFlags[0] = true;
    f.zeros.positions[1] = {-0.3, 0.0};
    f.zeros.pairFlags[1] = false;
    f.poles.count = 1;
    f.poles.positions[0] = {0.6, 0.0};
    f.poles.pairFlags[0] = false;
    normalizeGain(f);
    out.push_back({"delayed", custom});
    return out;
}

class CodeExport : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vorbel-export-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    std::string exported(const Document& document, ExportFormat format, const std::string& name)
    {
        const ::CodeExport result = exportCode(document, format, name);
        EXPECT_EQ(result.problem, "") << exportFormatInfo(format).name;
        write(directory_ / (name + "." + exportFormatInfo(format).suffix), result.text);
        return result.text;
    }

    fs::path directory_;
};

long double peakOf(const std::vector<long double>& values)
{
    long double peak = 0.0L;
    for (const long double v : values)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

// Every C export of each design in one program, compiled warning-free as
// C99 and run; its outputs against the proofs and the designed filter.
TEST_F(CodeExport, CExportsCompileAndRunAsTheirProofsSay)
{
    for (const Design& design : designs()) {
        SCOPED_TRACE(design.label);
        const std::string name = design.label;
        std::map<ExportFormat, std::vector<std::string>> proofs;
        for (const ExportFormat format :
             {ExportFormat::C, ExportFormat::CFloat, ExportFormat::CmsisF32, ExportFormat::CmsisQ15, ExportFormat::CmsisQ31})
            proofs[format] = proofOf(exported(design.document, format, name + "_" + exportFormatInfo(format).suffix
                                                                            + std::to_string(static_cast<int>(format))));
        for (const auto& [format, proof] : proofs)
            ASSERT_EQ(proof.size(), 16u) << exportFormatInfo(format).name;
        const auto id = [&](ExportFormat format) {
            return name + "_" + std::string(exportFormatInfo(format).suffix) + std::to_string(static_cast<int>(format));
        };
        std::string program = "#include <stdio.h>\n";
        for (const auto& [format, proof] : proofs) {
            program += "#include \"" + id(format) + ".h\"\n";
            program += "#include \"" + id(format) + ".h\"\n";  // twice: the include guard
        }
        const std::string c = id(ExportFormat::C), cf = id(ExportFormat::CFloat), f32 = id(ExportFormat::CmsisF32);
        const std::string q15 = id(ExportFormat::CmsisQ15), q31 = id(ExportFormat::CmsisQ31);
        program += "int main(void)\n{\n";
        program += "    static double sd[" + c + "_SECTIONS][2];\n";
        program += "    static float sf[" + cf + "_SECTIONS][2];\n";
        program += "    for (int n = 0; n < 16; ++n) printf(\"%.17g\\n\", " + c + "_step(n == 0 ? 1.0 : 0.0, sd));\n";
        program += "    for (int n = 0; n < 16; ++n) printf(\"%.9g\\n\", (double) " + cf + "_step(n == 0 ? 1.0f : 0.0f, sf));\n";
        program += "    float32_t in[16] = {1.0f}, out[16], s1[4 * " + f32 + "_STAGES], s2[2 * " + f32 + "_STAGES];\n";
        program += "    arm_biquad_casd_df1_inst_f32 d1; " + f32 + "_init_df1(&d1, s1);\n";
        program += "    arm_biquad_cascade_df1_f32(&d1, in, out, 16);\n";
        program += "    for (int n = 0; n < 16; ++n) printf(\"%.9g\\n\", (double) out[n]);\n";
        program += "    arm_biquad_cascade_df2T_instance_f32 d2; " + f32 + "_init_df2T(&d2, s2);\n";
        program += "    arm_biquad_cascade_df2T_f32(&d2, in, out, 16);\n";
        program += "    for (int n = 0; n < 16; ++n) printf(\"%.9g\\n\", (double) out[n]);\n";
        program += "    q15_t i15[16] = {32767}, o15[16], t15[4 * " + q15 + "_STAGES];\n";
        program += "    arm_biquad_casd_df1_inst_q15 e15; " + q15 + "_init(&e15, t15);\n";
        program += "    arm_biquad_cascade_df1_q15(&e15, i15, o15, 16);\n";
        program += "    for (int n = 0; n < 16; ++n) printf(\"%d\\n\", (int) o15[n]);\n";
        program += "    q31_t i31[16] = {2147483647}, o31[16], t31[4 * " + q31 + "_STAGES];\n";
        program += "    arm_biquad_casd_df1_inst_q31 e31; " + q31 + "_init(&e31, t31);\n";
        program += "    arm_biquad_cascade_df1_q31(&e31, i31, o31, 16);\n";
        program += "    for (int n = 0; n < 16; ++n) printf(\"%ld\\n\", (long) o31[n]);\n";
        program += "    return 0;\n}\n";
        write(directory_ / (name + "_main.c"), program);
        // A file that includes every header and uses none of them.
        std::string unused;
        for (const auto& [format, proof] : proofs)
            unused += "#include \"" + id(format) + ".h\"\n";
        unused += "int unused_only(void);\nint unused_only(void) { return 0; }\n";
        write(directory_ / (name + "_unused.c"), unused);

        const std::string flags =
            " -std=c99 -Wall -Wextra -Werror -pedantic -I" + quoted(directory_) + " -I" + quoted(harness()) + " ";
        const Process quiet = run(std::string(VORBEL_C_COMPILER) + flags + "-c -o " + quoted(directory_ / (name + "_unused.o"))
                              + " " + quoted(directory_ / (name + "_unused.c")));
        ASSERT_EQ(quiet.status, 0) << quiet.output;
        const fs::path executable = directory_ / (name + "_main");
        const Process build = run(std::string(VORBEL_C_COMPILER) + flags + "-o " + quoted(executable) + " "
                              + quoted(directory_ / (name + "_main.c")) + " " + quoted(harness() / "arm_math.c"));
        ASSERT_EQ(build.status, 0) << build.output;
        ASSERT_EQ(build.output, "");
        const Process ran = run(quoted(executable));
        ASSERT_EQ(ran.status, 0) << ran.output;
        const std::vector<std::string> got = words(ran.output);
        ASSERT_EQ(got.size(), 16u * 6u);
        const auto column = [&got](int block, int n) { return got[static_cast<std::size_t>(16 * block + n)]; };

        const std::vector<long double> designed = designedImpulse(design.document.filter, 16);
        const long double peak = peakOf(designed);
        const double restoring = [&] {
            // The Q formats' outputs are the filter divided by G, which their
            // header gives; read it back from there.
            std::ifstream in(directory_ / (q15 + ".h"));
            std::stringstream text;
            text << in.rdbuf();
            const std::string s = text.str();
            const std::size_t at = s.find(" * G = ");
            return at == std::string::npos ? 0.0 : std::stod(s.substr(at + 7));
        }();
        for (int n = 0; n < 16; ++n) {
            SCOPED_TRACE(n);
            const auto i = static_cast<std::size_t>(n);
            // Bit for bit where the arithmetic is fixed.
            EXPECT_EQ(std::strtod(column(0, n).c_str(), nullptr), std::strtod(proofs[ExportFormat::C][i].c_str(), nullptr));
            EXPECT_EQ(std::strtof(column(1, n).c_str(), nullptr),
                      std::strtof(proofs[ExportFormat::CFloat][i].c_str(), nullptr));
            EXPECT_EQ(std::strtof(column(2, n).c_str(), nullptr),
                      std::strtof(proofs[ExportFormat::CmsisF32][i].c_str(), nullptr));
            EXPECT_EQ(column(4, n), proofs[ExportFormat::CmsisQ15][i]);
            EXPECT_EQ(column(5, n), proofs[ExportFormat::CmsisQ31][i]);
            // And each against the designed filter.
            const long double h = designed[i];
            EXPECT_TRUE(near(std::strtold(column(0, n).c_str(), nullptr), h, 1e-12L * peak));
            EXPECT_TRUE(near(std::strtold(column(1, n).c_str(), nullptr), h, 1e-4L * peak));
            EXPECT_TRUE(near(std::strtold(column(3, n).c_str(), nullptr), h, 1e-4L * peak));
            // The fixed-point outputs are the filter divided by G and
            // times the input, 32767 or 2147483647 steps; the rounded
            // coefficients and each stage's truncation (up to a step per
            // sample, fed back through the poles) keep them within 256
            // steps of the designed filter.
            if (design.label != "example") {
                ASSERT_GT(restoring, 0.0);
                EXPECT_TRUE(near(std::strtold(column(5, n).c_str(), nullptr) / 2147483647.0L * restoring, h,
                                 256.0L * restoring / 2147483647.0L));
                EXPECT_TRUE(near(std::strtold(column(4, n).c_str(), nullptr) / 32767.0L * restoring, h,
                                 256.0L * restoring / 32767.0L));
            }
        }
    }
}

// The JUCE export of every design in one C++17 program against the stand-in.
TEST_F(CodeExport, JuceExportCompilesAndRunsAsItsProofSays)
{
    std::string program = "#include <cstdio>\n";
    std::vector<std::vector<std::string>> proofs;
    for (const Design& design : designs()) {
        proofs.push_back(proofOf(exported(design.document, ExportFormat::Juce, design.label)));
        program += "#include \"" + design.label + ".h\"\n#include \"" + design.label + ".h\"\n";
    }
    program += "template <typename Make> void impulse(Make make)\n{\n";
    program += "    auto sections = make();\n";
    program += "    std::vector<juce::dsp::IIR::Filter<float>> filters(sections.size());\n";
    program += "    for (std::size_t k = 0; k < sections.size(); ++k) filters[k].coefficients = sections[k];\n";
    program += "    for (int n = 0; n < 16; ++n) {\n";
    program += "        float x = n == 0 ? 1.0f : 0.0f;\n";
    program += "        for (auto& f : filters) x = f.processSample(x);\n";
    program += "        std::printf(\"%.9g\\n\", static_cast<double>(x));\n";
    program += "    }\n}\n";
    program += "int main()\n{\n";
    for (const Design& design : designs())
        program += "    impulse(" + design.label + "_makeSections);\n";
    program += "}\n";
    write(directory_ / "juce_main.cpp", program);
    const fs::path executable = directory_ / "juce_main";
    const Process build = run(std::string(VORBEL_CXX_COMPILER) + " -std=c++17 -Wall -Wextra -Werror -I" + quoted(directory_)
                              + " -I" + quoted(harness()) + " -o " + quoted(executable) + " "
                              + quoted(directory_ / "juce_main.cpp"));
    ASSERT_EQ(build.status, 0) << build.output;
    const Process ran = run(quoted(executable));
    ASSERT_EQ(ran.status, 0) << ran.output;
    const std::vector<std::string> got = words(ran.output);
    ASSERT_EQ(got.size(), 16u * designs().size());
    for (std::size_t d = 0; d < proofs.size(); ++d) {
        ASSERT_EQ(proofs[d].size(), 16u);
        for (std::size_t n = 0; n < 16; ++n)
            EXPECT_EQ(std::strtof(got[16 * d + n].c_str(), nullptr), std::strtof(proofs[d][n].c_str(), nullptr))
                << designs()[d].label << " " << n;
    }
}

// The Faust export through the Faust compiler into C++, run on an impulse.
// Faust regroups sums, so the comparison allows float rounding.
TEST_F(CodeExport, FaustExportRunsAsItsProofSays)
{
    ASSERT_TRUE(installed(VORBEL_FAUST, "faust"));
    std::string program = "#include <cstdio>\n#include \"faust/gui/meta.h\"\n#include \"faust/gui/UI.h\"\n"
                          "#include \"faust/dsp/dsp.h\"\n";
    std::vector<std::vector<std::string>> proofs;
    std::vector<std::string> classes;
    for (const Design& design : designs()) {
        if (design.label == "example")  // poles 0.0002 from 1: float regrouping is not small there
            continue;
        proofs.push_back(proofOf(exported(design.document, ExportFormat::Faust, design.label)));
        const std::string cls = "Faust_" + design.label;
        classes.push_back(cls);
        const Process compiled = run(std::string(VORBEL_FAUST) + " -cn " + cls + " -o "
                                 + quoted(directory_ / (cls + ".cpp")) + " " + quoted(directory_ / (design.label + ".dsp")));
        ASSERT_EQ(compiled.status, 0) << compiled.output;
        program += "#include \"" + cls + ".cpp\"\n";
    }
    program += "template <typename D> void impulse()\n{\n    D dsp;\n    dsp.init(48000);\n";
    program += "    float in[16] = {1.0f}, out[16];\n    float* ins[1] = {in};\n    float* outs[1] = {out};\n";
    program += "    dsp.compute(16, ins, outs);\n";
    program += "    for (int n = 0; n < 16; ++n) std::printf(\"%.9g\\n\", static_cast<double>(out[n]));\n}\n";
    program += "int main()\n{\n";
    for (const std::string& cls : classes)
        program += "    impulse<" + cls + ">();\n";
    program += "}\n";
    write(directory_ / "faust_main.cpp", program);
    const fs::path executable = directory_ / "faust_main";
    const Process build = run(std::string(VORBEL_CXX_COMPILER) + " -std=c++17 -w -I" + quoted(directory_) + " -o "
                          + quoted(executable) + " " + quoted(directory_ / "faust_main.cpp"));
    ASSERT_EQ(build.status, 0) << build.output;
    const Process ran = run(quoted(executable));
    ASSERT_EQ(ran.status, 0) << ran.output;
    const std::vector<std::string> got = words(ran.output);
    ASSERT_EQ(got.size(), 16u * proofs.size());
    for (std::size_t d = 0; d < proofs.size(); ++d) {
        ASSERT_EQ(proofs[d].size(), 16u);
        float peak = 0.0f;
        for (const std::string& value : proofs[d])
            peak = std::max(peak, std::fabs(std::strtof(value.c_str(), nullptr)));
        for (std::size_t n = 0; n < 16; ++n)
            EXPECT_NEAR(std::strtof(got[16 * d + n].c_str(), nullptr), std::strtof(proofs[d][n].c_str(), nullptr),
                        1e-5f * peak)
                << classes[d] << " " << n;
    }
}

// The MATLAB export run by Octave, as its comment says: y = g * sosfilt(sos, x).
TEST_F(CodeExport, MatlabExportRunsInOctaveAsItsProofSays)
{
    ASSERT_TRUE(installed(VORBEL_OCTAVE, "octave"));
    std::string script = "pkg load signal\n";
    std::vector<std::vector<std::string>> proofs;
    for (const Design& design : designs()) {
        proofs.push_back(proofOf(exported(design.document, ExportFormat::Matlab, design.label)));
        script += "clear sos g\nsource('" + (directory_ / (design.label + ".m")).string() + "');\n";
        script += "y = g * sosfilt(sos, [1 zeros(1, 15)]);\nprintf('%.17g\\n', y);\n";
    }
    write(directory_ / "run.m", script);
    // Octave 7 on Debian 12 says "error: ignoring const execution_exception&"
    // on its standard error at exit, whatever it ran; the status counts.
    const Process ran = run(std::string(VORBEL_OCTAVE) + " --no-gui --norc --quiet " + quoted(directory_ / "run.m")
                            + " 2>/dev/null",
                        false);
    ASSERT_EQ(ran.status, 0) << ran.output;
    const std::vector<std::string> got = words(ran.output);
    ASSERT_EQ(got.size(), 16u * proofs.size()) << ran.output;
    for (std::size_t d = 0; d < proofs.size(); ++d) {
        ASSERT_EQ(proofs[d].size(), 16u);
        long double peak = 0.0L;
        for (const std::string& value : proofs[d])
            peak = std::max(peak, std::fabs(std::strtold(value.c_str(), nullptr)));
        for (std::size_t n = 0; n < 16; ++n)
            EXPECT_TRUE(near(std::strtold(got[16 * d + n].c_str(), nullptr), std::strtold(proofs[d][n].c_str(), nullptr),
                             1e-12L * peak))
                << designs()[d].label << " " << n;
    }
}

TEST(CodeExportText, SosIsTheCoefficientText)
{
    for (const Design& design : designs()) {
        const ::CodeExport result = exportCode(design.document, ExportFormat::Sos, "vorbel");
        EXPECT_EQ(result.problem, "");
        EXPECT_EQ(result.text, coefficientText(design.document));
    }
}

// Every export starts with the comment of what it is and ends in its proof;
// all are plain ASCII.
TEST(CodeExportText, HeadersAndProofs)
{
    const Document document = designedDocument(1, 48000, 1300, 900);
    for (const ExportFormatInfo& info : EXPORT_FORMATS) {
        if (info.format == ExportFormat::Sos)
            continue;
        const ::CodeExport result = exportCode(document, info.format, "my_filter2");
        ASSERT_EQ(result.problem, "") << info.name;
        const std::string& text = result.text;
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); }))
            << info.name;
        EXPECT_NE(text.find("my_filter2: Vorbel filter"), std::string::npos) << info.name;
        EXPECT_LT(text.find("sample rate: 48000 Hz"), 200u) << info.name;
        EXPECT_NE(text.find("model: 2nd order LP"), std::string::npos) << info.name;
        EXPECT_NE(text.find("a1 z^-1 + a2 z^-2)"), std::string::npos) << info.name;  // the sign convention
        EXPECT_EQ(proofOf(text).size(), 16u) << info.name;
        EXPECT_GT(text.rfind("h[15] = "), text.size() - 40) << info.name;
        EXPECT_EQ(text.back(), '\n');
    }
}

TEST(CodeExportText, Names)
{
    for (const char* good : {"vorbel", "a", "Z9", "low_pass", "x_1_y", "int"})
        EXPECT_EQ(exportNameProblem(good), "") << good;
    EXPECT_EQ(exportNameProblem(""), "the name is empty");
    EXPECT_EQ(exportNameProblem("9lives"), "the name \"9lives\" is not a C identifier: it starts with a digit");
    EXPECT_EQ(exportNameProblem("low-pass"), "the name \"low-pass\" is not a C identifier: only letters, digits and _");
    EXPECT_EQ(exportNameProblem("f\xc3\xbcr"), "the name \"f\xc3\xbcr\" is not a C identifier: only letters, digits and _");
    EXPECT_EQ(exportNameProblem("a__b"), "the name \"a__b\" would make reserved identifiers: no _ at either end, no __");
    EXPECT_EQ(exportNameProblem("_a"), "the name \"_a\" would make reserved identifiers: no _ at either end, no __");
    EXPECT_EQ(exportNameProblem("a_"), "the name \"a_\" would make reserved identifiers: no _ at either end, no __");
    EXPECT_EQ(exportNameProblem(std::string(64, 'a')), "");
    EXPECT_EQ(exportNameProblem(std::string(65, 'a')), "the name is longer than 64 characters");
    const ::CodeExport refused = exportCode(designedDocument(1, 48000, 1000, 0), ExportFormat::C, "1x");
    EXPECT_EQ(refused.text, "");
    EXPECT_EQ(refused.problem, exportNameProblem("1x"));
}

TEST(CodeExportText, FormatNames)
{
    EXPECT_EQ(exportFormatNames(), "sos, c, c-float, cmsis-f32, cmsis-q15, cmsis-q31, faust, juce, matlab");
    for (const ExportFormatInfo& info : EXPORT_FORMATS) {
        EXPECT_EQ(exportFormatNamed(info.name), info.format);
        EXPECT_EQ(&exportFormatInfo(info.format), &info);
    }
    EXPECT_FALSE(exportFormatNamed("C").has_value());
    EXPECT_FALSE(exportFormatNamed("cmsis").has_value());
}

TEST(CodeExportText, UnexportableFiltersAreRefused)
{
    Document document = designedDocument(MODEL_CUSTOM, 48000, 1000, 0);
    document.filter.gain = 1e300;
    document.filter.zeros.count = 1;
    document.filter.zeros.positions[0] = {1e10, 0.0};
    document.filter.zeros.pairFlags[0] = true;
    EXPECT_NE(exportCode(document, ExportFormat::C, "v").problem, "");  // 1e320 is not a double
    document.filter.gain = 1e30;
    EXPECT_EQ(exportCode(document, ExportFormat::C, "v").problem, "");
    EXPECT_EQ(exportCode(document, ExportFormat::CFloat, "v").problem, "a coefficient is not a finite number in float");
    Document onCircle = designedDocument(MODEL_CUSTOM, 48000, 1000, 0);
    onCircle.filter.gain = 1.0;
    onCircle.filter.poles.count = 1;
    onCircle.filter.poles.positions[0] = {1.0, 0.0};
    const ::CodeExport q15 = exportCode(onCircle, ExportFormat::CmsisQ15, "v");
    EXPECT_EQ(q15.text, "");
    EXPECT_EQ(q15.problem, "Q15: a pole lies on the unit circle, where |H| has no finite peak to scale by");
    EXPECT_EQ(exportCode(onCircle, ExportFormat::CmsisF32, "v").problem, "");
}

}  // namespace
