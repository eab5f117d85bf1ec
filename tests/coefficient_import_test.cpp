#include "model/coefficient_import.h"
#include "model/coefficient_reader.h"
#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/root_finding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using Cplx = std::complex<double>;

constexpr int RATES[] = {44100, 48000, 96000, 192000};

std::vector<Root> slots(const RootList& list)
{
    std::vector<Root> roots;
    for (int i = 0; i < list.count; ++i)
        roots.push_back(list.root(i));
    return roots;
}

// The two lists hold the same slots in any order: each expected slot has
// one of its own kind in got within tolerance·|root|. A pair is the same
// pair by either of its roots.
testing::AssertionResult sameSlots(const RootList& got, const std::vector<Root>& expected, double tolerance)
{
    std::vector<Root> left = slots(got);
    if (left.size() != expected.size())
        return testing::AssertionFailure() << left.size() << " slots, expected " << expected.size();
    for (const Root& want : expected) {
        const Cplx w(want.position.re, want.pair ? std::fabs(want.position.im) : want.position.im);
        auto best = left.end();
        double distance = INFINITY;
        for (auto it = left.begin(); it != left.end(); ++it) {
            const double d = std::abs(Cplx(it->position.re, it->position.im) - w);
            if (it->pair == want.pair && d < distance) {
                distance = d;
                best = it;
            }
        }
        if (best == left.end() || distance > tolerance * std::abs(w))
            return testing::AssertionFailure() << (want.pair ? "pair " : "single ") << w << " missing (nearest "
                                               << distance << " away)";
        left.erase(best);
    }
    return testing::AssertionSuccess();
}

bool relativelyClose(double got, double expected, double tolerance)
{
    return std::fabs(got - expected) <= tolerance * std::fabs(expected);
}

Root pair(double re, double im) { return {{re, im}, true}; }
Root single(double re) { return {{re, 0.0}, false}; }

// ---------------------------------------------------------------- the forms

// One filter in every layout: 0.5·(z + 1)²·(z² + 1) / ((z² − z + 0.5)(z − 0.8)(z − 0.3)),
// as sections (0.5 + z⁻¹ + 0.5z⁻²)/(1 − z⁻¹ + 0.5z⁻²) · (1 + z⁻²)/(1 − 1.1z⁻¹ + 0.24z⁻²),
// as b = [0.5 1 1 1 0.5], a = [1 −2.1 1.84 −0.79 0.12] (the products by
// hand), and as its roots. The NumPy texts are what NumPy 1.24 prints; the
// MATLAB and Octave displays follow their documentation.
const std::vector<Root> F_ZEROS = {pair(-1.0, 0.0), pair(0.0, 1.0)};
const std::vector<Root> F_POLES = {pair(0.5, 0.5), single(0.8), single(0.3)};

struct Layout {
    const char* name;
    const char* text;
    double gain;
};

const Layout F_LAYOUTS[] = {
    // Second-order sections.
    {"Vorbel's coefficient text", "# Vorbel filter\n0.5,1,0.5,1,-1,0.5\n1,0,1,1,-1.1,0.24\n", 0.5},
    {"numpy.savetxt",
     "5.000000000000000000e-01 1.000000000000000000e+00 5.000000000000000000e-01 1.000000000000000000e+00 "
     "-1.000000000000000000e+00 5.000000000000000000e-01\n1.000000000000000000e+00 0.000000000000000000e+00 "
     "1.000000000000000000e+00 1.000000000000000000e+00 -1.100000000000000089e+00 2.399999999999999911e-01\n",
     0.5},
    {"numpy.savetxt with commas, CRLF",
     "5.000000000000000000e-01,1.000000000000000000e+00,5.000000000000000000e-01,1.000000000000000000e+00,"
     "-1.000000000000000000e+00,5.000000000000000000e-01\r\n1.000000000000000000e+00,0.000000000000000000e+00,"
     "1.000000000000000000e+00,1.000000000000000000e+00,-1.100000000000000089e+00,2.399999999999999911e-01\r\n",
     0.5},
    {"print(sos)", "[[ 0.5   1.    0.5   1.   -1.    0.5 ]\n [ 1.    0.    1.    1.   -1.1   0.24]]\n", 0.5},
    {"repr(sos)",
     "array([[ 0.5 ,  1.  ,  0.5 ,  1.  , -1.  ,  0.5 ],\n       [ 1.  ,  0.  ,  1.  ,  1.  , -1.1 ,  0.24]])", 0.5},
    {"print(sos) wrapped",
     "[[ 5.0e-01  1.0e+00  5.0e-01  1.0e+00\n  -1.0e+00  5.0e-01]\n [ 1.0e+00  0.0e+00  1.0e+00  1.0e+00\n"
     "  -1.1e+00  2.4e-01]]",
     0.5},
    {"sos = numpy", "sos = [[ 0.5   1.    0.5   1.   -1.    0.5 ]\n [ 1.    0.    1.    1.   -1.1   0.24]]", 0.5},
    {"MATLAB source", "sos = [0.5 1 0.5 1 -1 0.5; 1 0 1 1 -1.1 0.24];  % from zp2sos", 0.5},
    {"MATLAB source over lines", "SOS = [0.5 1 0.5 1 -1 0.5\n       1 0 1 1 -1.1 0.24];", 0.5},
    {"MATLAB display",
     "sos =\n\n    0.5000    1.0000    0.5000    1.0000   -1.0000    0.5000\n"
     "    1.0000         0    1.0000    1.0000   -1.1000    0.2400\n\n",
     0.5},
    {"Octave display",
     "sos =\n\n   0.5000   1.0000   0.5000   1.0000  -1.0000   0.5000\n"
     "   1.0000        0   1.0000   1.0000  -1.1000   0.2400\n\n",
     0.5},
    {"MATLAB display in column blocks",
     "sos =\n\n  Columns 1 through 4\n\n    0.5000    1.0000    0.5000    1.0000\n"
     "    1.0000         0    1.0000    1.0000\n\n"
     "  Columns 5 through 6\n\n   -1.0000    0.5000\n   -1.1000    0.2400\n",
     0.5},
    // Transfer functions.
    {"MATLAB b and a", "b = [0.5 1 1 1 0.5]; a = [1 -2.1 1.84 -0.79 0.12];", 0.5},
    {"Python lists", "b = [0.5, 1.0, 1.0, 1.0, 0.5]\na = [1.0, -2.1, 1.84, -0.79, 0.12]\n", 0.5},
    {"two lines", "0.5 1 1 1 0.5\n1 -2.1 1.84 -0.79 0.12\n", 0.5},
    {"trailing zeros", "b = [0.5 1 1 1 0.5 0 0]\na = [1 -2.1 1.84 -0.79 0.12 0]\n", 0.5},
    {"print(b), print(a)", "[0.5 1.  1.  1.  0.5]\n[ 1.   -2.1   1.84 -0.79  0.12]\n", 0.5},
    {"repr((b, a))", "(array([0.5, 1. , 1. , 1. , 0.5]), array([ 1.  , -2.1 ,  1.84, -0.79,  0.12]))", 0.5},
    {"Octave display in column blocks",
     "b =\n\n Columns 1 through 3:\n\n   0.5000   1.0000   1.0000\n\n Columns 4 and 5:\n\n   1.0000   0.5000\n\n"
     "a =\n\n   1.0000  -2.1000   1.8400  -0.7900   0.1200\n\n",
     0.5},
    {"MATLAB display with a common factor",
     "b =\n\n   1.0e-03 *\n\n    0.5000    1.0000    1.0000    1.0000    0.5000\n\n"
     "a =\n\n    1.0000   -2.1000    1.8400   -0.7900    0.1200\n",
     0.5e-3},
    {"MATLAB continuation", "b = [0.5 1 1 ...  the numerator\n     1 0.5];\na = [1 -2.1 1.84 -0.79 0.12];", 0.5},
    // Zeros, poles and gain.
    {"MATLAB zpk", "z = [-1; -1; 1i; -1i]; p = [0.5+0.5i; 0.5-0.5i; 0.8; 0.3]; k = 0.5;", 0.5},
    {"print of NumPy arrays",
     "z = [-1.+0.j -1.+0.j  0.+1.j -0.-1.j]\np = [0.5+0.5j 0.5-0.5j 0.8+0.j  0.3+0.j ]\nk = 0.5",
     0.5},
    {"repr of NumPy arrays",
     "z = array([-1.+0.j, -1.+0.j,  0.+1.j, -0.-1.j])\np = array([0.5+0.5j, 0.5-0.5j, 0.8+0.j , 0.3+0.j ])\nk = 0.5",
     0.5},
    {"Python lists of complex",
     "Z = [(-1+0j), (-1+0j), 1j, (-0-1j)]\nP = [(0.5+0.5j), (0.5-0.5j), (0.8+0j), (0.3+0j)]\nK = 0.5",
     0.5},
    {"MATLAB display of zpk",
     "z =\n\n  -1.0000 + 0.0000i\n  -1.0000 - 0.0000i\n   0.0000 + 1.0000i\n   0.0000 - 1.0000i\n\n"
     "p =\n\n   0.5000 + 0.5000i\n   0.5000 - 0.5000i\n   0.8000 + 0.0000i\n   0.3000 + 0.0000i\n\nk =\n\n    0.5000\n",
     0.5},
    {"Octave display of zpk",
     "z =\n\n  -1 + 0i\n  -1 - 0i\n   0 + 1i\n  -0 - 1i\n\np =\n\n   0.5000 + 0.5000i\n   0.5000 - 0.5000i\n"
     "   0.8000 +      0i\n   0.3000 -      0i\n\nk = 0.5000\n",
     0.5},
};

TEST(CoefficientImport, EveryLayoutOfOneFilter)
{
    for (const Layout& layout : F_LAYOUTS) {
        SCOPED_TRACE(layout.name);
        const CoefficientImport imported = importCoefficients(layout.text, 48000, 700, 300);
        ASSERT_TRUE(imported.document) << imported.error;
        const Document& document = *imported.document;
        EXPECT_EQ(document.sampleRate, 48000);
        EXPECT_EQ(document.cutoffPosition, 700);
        EXPECT_EQ(document.qPosition, 300);
        EXPECT_EQ(document.filter.modelIndex, MODEL_CUSTOM);
        EXPECT_FALSE(document.filter.qVisible);
        EXPECT_TRUE(relativelyClose(document.filter.gain, layout.gain, 1e-15));
        EXPECT_TRUE(sameSlots(document.filter.zeros, F_ZEROS, 1e-12));
        EXPECT_TRUE(sameSlots(document.filter.poles, F_POLES, 1e-12));
        EXPECT_TRUE(imported.warning.empty()) << imported.warning;
        EXPECT_LE(imported.worstDifference, 1e-12);
    }
}

// The filter of the issue: two zeros at −1, a pole pair at 0.6 ± j·√0.14
// (the roots of z² − 1.2z + 0.5) and 0.075·4 / (1 − 1.2 + 0.5) = 1 at 0 Hz.
TEST(CoefficientImport, IssueExample)
{
    const CoefficientImport imported = importCoefficients("b = [0.075 0.15 0.075]; a = [1 -1.2 0.5]", 44100, 1000, 0);
    ASSERT_TRUE(imported.document) << imported.error;
    const FilterState& filter = imported.document->filter;
    EXPECT_TRUE(sameSlots(filter.zeros, {pair(-1.0, 0.0)}, 0.0));
    EXPECT_TRUE(sameSlots(filter.poles, {pair(0.6, std::sqrt(0.14))}, 1e-15));
    EXPECT_NEAR(std::sqrt(0.14), 0.3742, 5e-5);
    const Complex dc = evaluateResponse(filter, {1.0, 0.0});
    EXPECT_NEAR(dc.re, 1.0, 1e-14);
    EXPECT_EQ(dc.im, 0.0);
    EXPECT_TRUE(imported.warning.empty());
}

// Powers of z⁻¹ against roots in z: where b ends early or starts late the
// filter has roots at 0, and the program's delay line takes poles at 0 away.
TEST(CoefficientImport, DelaysAndAdvances)
{
    struct Case {
        const char* text;
        std::vector<Root> zeros;
        std::vector<Root> poles;
        double gain;
    };
    const Case cases[] = {
        // z⁻² = 1/z²
        {"b = [0 0 2]; a = [1]", {}, {pair(0.0, 0.0)}, 2.0},
        // (1 + 0.5z⁻¹)·z⁻¹ / (1 − 0.25z⁻¹) = (z + 0.5) / (z·(z − 0.25))
        {"b = [0 1 0.5]\na = [1 -0.25]", {single(-0.5)}, {single(0.25), single(0.0)}, 1.0},
        // 1 / (1 − 0.25z⁻¹ ) has a zero at 0: z / (z − 0.25)
        {"1 0 0 1 -0.25 0", {single(0.0)}, {single(0.25)}, 1.0},
        // The program's text of 3(z − 0.5)(z − 0.25)(z + 1): three samples late.
        {"# delay: 3 samples\n3,-2.25,0.375,1,0,0\n1,1,0,1,0,0\n", {single(0.5), single(0.25), single(-1.0)}, {}, 3.0},
        // A delay beyond the poles at 0 adds zeros there.
        // z²·1/(1 − 0.5z⁻¹) = z³/(z − 0.5)
        {"# delay: 2 samples\nb = [1]\na = [1 -0.5]", {pair(0.0, 0.0), single(0.0)}, {single(0.5)}, 1.0},
        // Zeros, poles and gain count powers of z: no delay bookkeeping.
        {"z = [0 0 0.5]; p = []; k = -2", {pair(0.0, 0.0), single(0.5)}, {}, -2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const CoefficientImport imported = importCoefficients(c.text, 44100, 1000, 0);
        ASSERT_TRUE(imported.document) << imported.error;
        EXPECT_TRUE(sameSlots(imported.document->filter.zeros, c.zeros, 1e-15));
        EXPECT_TRUE(sameSlots(imported.document->filter.poles, c.poles, 1e-15));
        EXPECT_EQ(imported.document->filter.gain, c.gain);
        EXPECT_TRUE(imported.warning.empty()) << imported.warning;
    }
}

TEST(CoefficientImport, RateLine)
{
    const std::string text = "# sample rate: 96000 Hz\n1,1,0,1,-0.5,0\n";
    const CoefficientImport imported = importCoefficients(text, 44100, 1000, 0);
    ASSERT_TRUE(imported.document) << imported.error;
    EXPECT_EQ(imported.document->sampleRate, 96000);
    EXPECT_EQ(imported.document->filter.nyquist, 48000.0);
    const CoefficientImport without = importCoefficients("1,1,0,1,-0.5,0\n", 192000, 1000, 0);
    ASSERT_TRUE(without.document) << without.error;
    EXPECT_EQ(without.document->sampleRate, 192000);
}

// ---------------------------------------------------------------- refusals

TEST(CoefficientImport, Refusals)
{
    struct Case {
        std::string text;
        const char* error;
    };
    std::string twentyOneReals = "z = [";
    for (int i = 0; i < 21; ++i)
        twentyOneReals += std::to_string(0.01 * (i + 1)) + " ";
    twentyOneReals += "]\np = []\nk = 1";
    std::string twentyOneSections;
    for (int i = 0; i < 21; ++i)
        twentyOneSections += "1 0 0.25 1 0 0.16\n";
    std::string tooMany = "b = [";
    for (int i = 0; i < 10001; ++i)
        tooMany += "0 ";
    const Case cases[] = {
        {"", "no coefficients found"},
        {"# nothing but a comment\n\n", "no coefficients found"},
        {"0.5,1,0.5,0,-1,0.5", "line 1: a0 is 0"},
        {"# b all zero\n0,0,0,1,0.5,0", "line 2: b0, b1 and b2 are all 0"},
        {"b = [1 2]; a = [0 1]", "line 1: the first coefficient of a is 0"},
        {"b = [0 0 0]\na = [1 2]", "line 1: b is all zeros"},
        {"b = []\na = [1 2]", "line 1: b is empty"},
        {"1,2,1,1,0.5\n", "line 1: 5 numbers where a section has 6 (b0 b1 b2 a0 a1 a2)"},
        {"1 2 1 1 0.5 0.2\n1 2 1 1 0.5\n1 2 1 1 0.5 0.1\n", "line 2: 5 numbers where a section has 6"},
        {"sos = [1 2 1 1 0.5 0.25; 1 2 1 1 0.5]", "line 1: 5 numbers where a section has 6"},
        {"b = [1 2 x]\na = [1]", "line 1: 'x' is not a number"},
        {"1 2 1 1 -0.5 0\n1 2 1 1 nan 0", "line 2: 'nan' is not a finite number"},
        {"1 2 1 1 -Inf 0", "line 1: '-Inf' is not a finite number"},
        {"1 2 1 1 1e999 0", "line 1: '1e999' is out of range"},
        {"1 2 1 1 - 0.5 0", "line 1: '-' is not a number"},
        {"b = [1 2 1]\na = [1 0.5", "line 2: '[' is not closed"},
        {"b = 1 2]\na = 1", "line 1: ']' without '['"},
        {"= [1 2]", "line 1: '=' without a name before it"},
        {"1 2 1\nb = [1 2 1]\na = [1]", "line 1: numbers before the first name"},
        {"x = [1 2]", "line 1: unknown name 'x'"},
        {"b = [1]\nz = [1]", "line 2: 'z' does not go with 'b'"},
        {"b = [1]\nb = [2]\na = [1]", "line 2: 'b' is given twice"},
        {"b = [1 1]", "line 1: 'b' without 'a'"},
        {"b =\na = [1]", "line 1: 'b' has no value"},
        {"sos = [1 2 1 1 0.5+0.1j 0]", "line 1: '0.5+0.1j' is complex; coefficients are real"},
        {"z = [0.5+0.3j]\np = []\nk = 1", "line 1: 0.5+0.3j has no conjugate among the zeros"},
        {"z = []\np = [0.5 -0.5]", "line 1: zeros and poles without the gain 'k'"},
        {"z = []\np = [0.5]\nk = [1 2]", "line 3: 'k' must be one number"},
        {"z = []\np = [0.5]\nk = 1+1j", "line 3: 'k' must be real"},
        {"z = []\np = [0.5]\nk = 0", "line 3: the gain k is 0"},
        {twentyOneReals, "line 1: more than 20 zeros (a conjugate pair counts once)"},
        {twentyOneSections, "line 21: more than 20 zeros, even with every pair counted once"},
        {"b = [1 2 1]; a = [1 0.5]\n# sample rate: 22050 Hz",
         "line 2: the sample rate must be 44100, 48000, 96000 or 192000 Hz"},
        {"# sample rate: fast\n1 1 0 1 0 0", "line 1: not a sample rate line"},
        {"b = [1e300 1]\na = [1e-300 1]", "line 1: the gain is not finite"},
        {"z = [1e20 1e20]\np = []\nk = 1e300", "the response is not finite at"},
        {"1 2 1 1 0.5 0\n1.0e-03 *\n1 2 1 1 0.5 0", "line 2: '*' where no common factor belongs"},
        {"b = [[[[[[[[[1]]]]]]]]]\na = [1]", "line 1: brackets nested deeper than 8"},
        {std::string(MAX_IMPORT_TEXT_SIZE + 1, ' '), "text larger than 1 MiB"},
        {tooMany, "line 1: more than 10000 numbers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        const CoefficientImport imported = importCoefficients(c.text, 44100, 1000, 0);
        EXPECT_FALSE(imported.document);
        EXPECT_EQ(imported.error.rfind(c.error, 0), 0u) << imported.error;
    }
    // A caller's rate the program does not offer.
    EXPECT_EQ(importCoefficients("1 1 0 1 0 0", 22050, 1000, 0).error,
              "the sample rate must be 44100, 48000, 96000 or 192000 Hz");
}

// ---------------------------------------------------------------- round trips

// The coefficient text of a document reads back to its roots, pairs as
// pairs, its gain and its rate, whatever rate the reader is given.
void expectRoundTrip(const Document& original, double tolerance)
{
    const std::string text = coefficientText(original);
    SCOPED_TRACE(text);
    const int otherRate = original.sampleRate == 44100 ? 48000 : 44100;
    const CoefficientImport imported =
        importCoefficients(text, otherRate, original.cutoffPosition, original.qPosition);
    ASSERT_TRUE(imported.document) << imported.error;
    const Document& document = *imported.document;
    EXPECT_EQ(document.sampleRate, original.sampleRate);
    EXPECT_EQ(document.filter.gain, original.filter.gain);
    EXPECT_TRUE(sameSlots(document.filter.zeros, slots(original.filter.zeros), tolerance));
    EXPECT_TRUE(sameSlots(document.filter.poles, slots(original.filter.poles), tolerance));
    EXPECT_TRUE(imported.warning.empty()) << imported.warning;
}

TEST(CoefficientImport, EveryModelsCoefficientTextReadsBack)
{
    for (int model = 0; model < MODEL_CUSTOM; ++model)
        for (int rate : RATES)
            for (int cutoffPosition : {0, 300, 1000, 1700, 1950, 2000})
                for (int qPosition : {0, 1000, 2000}) {
                    SCOPED_TRACE(testing::Message() << "model " << model << " rate " << rate << " cutoff "
                                                    << cutoffPosition << " q " << qPosition);
                    expectRoundTrip(designedDocument(model, rate, cutoffPosition, qPosition), 1e-12);
                }
}

void fillRandomRoots(RootList& list, std::mt19937_64& random)
{
    std::uniform_real_distribution<double> radius(0.05, 1.5);
    std::uniform_real_distribution<double> angle(0.0, std::numbers::pi);
    list.count = static_cast<int>(random() % (MAX_ROOTS + 1));
    for (int i = 0; i < list.count; ++i) {
        list.pairFlags[i] = random() % 2 == 0;
        const Cplx p = std::polar(radius(random), angle(random));
        list.positions[i] = list.pairFlags[i] ? Complex{p.real(), p.imag()} : Complex{p.real(), 0.0};
        if (random() % 10 == 0)
            list.positions[i] = {0.0, 0.0};
    }
}

// Random designs, more zeros than poles and roots at 0 included: the same
// roots within 1e-12. Two single roots at 0 in one section are one double
// root; they come back as a pair at 0, which is the same filter.
TEST(CoefficientImport, RandomCustomDesignsReadBack)
{
    std::mt19937_64 random(21);
    for (int run = 0; run < 300; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        Document document = designedDocument(MODEL_CUSTOM, RATES[run % 4], 1000, 0);
        fillRandomRoots(document.filter.zeros, random);
        fillRandomRoots(document.filter.poles, random);
        document.filter.gain = std::uniform_real_distribution<double>(0.1, 3.0)(random) * (run % 2 == 0 ? 1 : -1);
        for (RootList* list : {&document.filter.zeros, &document.filter.poles}) {
            // Singles at 0 as the reader gives them back: paired.
            int atOrigin = 0;
            for (int i = 0; i < list->count; ++i)
                if (!list->pairFlags[i] && list->positions[i].re == 0.0)
                    list->positions[i].re = 0.01 * ++atOrigin;
        }
        expectRoundTrip(document, 1e-12);
    }
}

// ---------------------------------------------------------------- the companion matrix

// The poles of an order-8 Butterworth low-pass at ω_c = 0.3π from its
// analog prototype, s_k = e^{jπ(2k + 9)/16}·Ω, Ω = 2·tan(ω_c/2), through the
// bilinear transform z = (2 + s)/(2 − s); its zeros all at z = −1. The
// polynomials multiplied out here; the importer must find those roots again.
TEST(CoefficientImport, ButterworthOfOrderEightFromItsPolynomials)
{
    const double omega = 2.0 * std::tan(0.3 * std::numbers::pi / 2.0);
    std::vector<Cplx> poles;
    for (int k = 0; k < 8; ++k) {
        const Cplx s = std::polar(omega, std::numbers::pi * (2 * k + 9) / 16.0);
        poles.push_back((2.0 + s) / (2.0 - s));
    }
    // Π (1 − p·z⁻¹) and (1 + z⁻¹)⁸ scaled to unit gain at z = 1.
    std::vector<Cplx> a = {1.0};
    for (const Cplx& p : poles) {
        a.push_back(0.0);
        for (std::size_t k = a.size() - 1; k > 0; --k)
            a[k] -= p * a[k - 1];
    }
    double aSum = 0.0;
    for (const Cplx& c : a)
        aSum += c.real();
    const double binomial[] = {1, 8, 28, 56, 70, 56, 28, 8, 1};
    char number[40];
    std::string text = "b = [";
    for (double c : binomial) {
        std::snprintf(number, sizeof number, "%.17g ", c * aSum / 256.0);
        text += number;
    }
    text += "]\na = [";
    for (const Cplx& c : a) {
        std::snprintf(number, sizeof number, "%.17g ", c.real());
        text += number;
    }
    text += "]";
    const CoefficientImport imported = importCoefficients(text, 44100, 1000, 0);
    ASSERT_TRUE(imported.document) << imported.error;
    std::vector<Root> expectedPoles;
    for (const Cplx& p : poles)
        if (p.imag() > 0.0)
            expectedPoles.push_back(pair(p.real(), p.imag()));
    EXPECT_TRUE(sameSlots(imported.document->filter.poles, expectedPoles, 1e-12)) << text;
    EXPECT_TRUE(sameSlots(imported.document->filter.zeros, std::vector<Root>(4, pair(-1.0, 0.0)), 1e-12)) << text;
    EXPECT_TRUE(imported.warning.empty()) << imported.warning;
    const Complex dc = evaluateResponse(imported.document->filter, {1.0, 0.0});
    EXPECT_NEAR(dc.re, 1.0, 1e-12);
}

// Polynomials whose roots are known in closed form: roots of unity and
// their scaled copies (simple, on and off the unit circle), and products
// with multiple roots, which come back as the root repeated.
TEST(CoefficientImport, CompanionMatrixRootsOfKnownPolynomials)
{
    for (int n = 3; n <= 40; ++n)
        for (double r : {1.0, 0.7, 1.3}) {
            SCOPED_TRACE(testing::Message() << "z^" << n << " - " << r << "^" << n);
            std::vector<double> c(static_cast<std::size_t>(n) + 1, 0.0);
            c.front() = 1.0;
            c.back() = -std::pow(r, n);
            const std::optional<std::vector<Cplx>> roots = polynomialRoots(c);
            ASSERT_TRUE(roots);
            ASSERT_EQ(roots->size(), static_cast<std::size_t>(n));
            std::vector<bool> found(static_cast<std::size_t>(n), false);
            for (const Cplx& root : *roots) {
                const double turns = std::arg(root) / (2.0 * std::numbers::pi) * n;
                const long k = (std::lround(turns) % n + n) % n;
                EXPECT_NEAR(std::abs(root - std::polar(r, 2.0 * std::numbers::pi * static_cast<double>(k) / n)), 0.0,
                            1e-13 * r);
                EXPECT_FALSE(found[static_cast<std::size_t>(k)]);
                found[static_cast<std::size_t>(k)] = true;
            }
        }
    // (z − 0.5)⁴·(z + 0.9)³·(z² + 0.25)² = the coefficients multiplied out exactly
    // in binary fractions.
    std::vector<Cplx> expected;
    expected.insert(expected.end(), 4, 0.5);
    expected.insert(expected.end(), 3, -0.9);
    expected.insert(expected.end(), 2, Cplx(0.0, 0.5));
    expected.insert(expected.end(), 2, Cplx(0.0, -0.5));
    std::vector<Cplx> product = {1.0};
    for (const Cplx& root : expected) {
        product.push_back(0.0);
        for (std::size_t k = product.size() - 1; k > 0; --k)
            product[k] -= root * product[k - 1];
    }
    std::vector<double> c;
    for (const Cplx& p : product)
        c.push_back(p.real());
    const std::optional<std::vector<Cplx>> roots = polynomialRoots(c);
    ASSERT_TRUE(roots);
    std::vector<Cplx> left = *roots;
    for (const Cplx& root : expected) {
        const auto nearest = std::min_element(left.begin(), left.end(), [&](const Cplx& x, const Cplx& y) {
            return std::abs(x - root) < std::abs(y - root);
        });
        EXPECT_LE(std::abs(*nearest - root), 1e-12) << root;
        left.erase(nearest);
    }
}

// ---------------------------------------------------------------- the check

// Conjugates within 1e-9 become one pair at their midpoint; near the unit
// circle that moves the response by more than 1e-9, which the check reports
// with its frequency, and the document is taken all the same.
constexpr const char* NEARLY_CONJUGATE = "p = [0.9+0.4j, 0.9000000009-0.4j]\nz = []\nk = 1";

TEST(CoefficientImport, CheckWarnsOfADifferenceAboveTolerance)
{
    const CoefficientImport imported = importCoefficients(NEARLY_CONJUGATE, 48000, 1000, 0);
    ASSERT_TRUE(imported.document) << imported.error;
    EXPECT_TRUE(sameSlots(imported.document->filter.poles, {pair(0.90000000045, 0.4)}, 1e-15));
    EXPECT_GT(imported.worstDifference, 1e-9);
    EXPECT_LT(imported.worstDifference, 1e-6);
    // The poles sit at an angle of atan(0.4/0.9): the difference is worst there.
    EXPECT_NEAR(imported.worstFrequency, std::atan2(0.4, 0.9) / std::numbers::pi * 24000.0, 100.0);
    EXPECT_EQ(imported.warning.rfind("the response differs from the coefficients' by up to ", 0), 0u)
        << imported.warning;
}

// ---------------------------------------------------------------- the command line's text

TEST(CoefficientImport, CommandLineOutput)
{
    const ImportCommandOutput ok = importCommandOutput("b = [0.075 0.15 0.075]; a = [1 -1.2 0.5]", "in.txt", 96000);
    ASSERT_TRUE(ok.ok) << ok.message;
    EXPECT_TRUE(ok.message.empty());
    const DesignReadResult read = readDesign(ok.designText);
    ASSERT_TRUE(read.document) << read.error;
    const CoefficientImport direct = importCoefficients("b = [0.075 0.15 0.075]; a = [1 -1.2 0.5]", 96000, 1000, 0);
    ASSERT_TRUE(direct.document);
    EXPECT_TRUE(*read.document == *direct.document);
    EXPECT_EQ(read.document->sampleRate, 96000);
    EXPECT_EQ(ok.sampleRate, 96000);
    EXPECT_NE(ok.designText.find("\"model\": \"Custom\""), std::string::npos);

    // The text's own rate line wins over the rate given.
    const ImportCommandOutput own =
        importCommandOutput("# sample rate: 48000 Hz\nb = [0.075 0.15 0.075]; a = [1 -1.2 0.5]", "in.txt", 96000);
    ASSERT_TRUE(own.ok) << own.message;
    EXPECT_EQ(own.sampleRate, 48000);
    const DesignReadResult ownRead = readDesign(own.designText);
    ASSERT_TRUE(ownRead.document) << ownRead.error;
    EXPECT_EQ(ownRead.document->sampleRate, 48000);

    const ImportCommandOutput refused = importCommandOutput("0.5,1,0.5,0,-1,0.5\n", "in.txt", 44100);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.designText.empty());
    EXPECT_EQ(refused.message, "in.txt: line 1: a0 is 0");

    const ImportCommandOutput warned = importCommandOutput(NEARLY_CONJUGATE, "p.txt", 44100);
    ASSERT_TRUE(warned.ok) << warned.message;
    EXPECT_EQ(warned.message.rfind("p.txt: warning: the response differs", 0), 0u) << warned.message;
}

TEST(CoefficientImport, WindowKeepsRateAndPositions)
{
    Document current = designedDocument(3, 192000, 1234, 567);
    const CoefficientImport imported = importIntoDocument("b = [1 1]\na = [1 -0.5]", current);
    ASSERT_TRUE(imported.document) << imported.error;
    EXPECT_EQ(imported.document->sampleRate, 192000);
    EXPECT_EQ(imported.document->cutoffPosition, 1234);
    EXPECT_EQ(imported.document->qPosition, 567);
    Document expected = designedDocument(MODEL_CUSTOM, 192000, 1234, 567);
    expected.filter.gain = 1.0;
    expected.filter.zeros.count = 1;
    expected.filter.zeros.positions[0] = {-1.0, 0.0};
    expected.filter.poles.count = 1;
    expected.filter.poles.positions[0] = {0.5, 0.0};
    EXPECT_TRUE(*imported.document == expected);
}

}  // namespace
