#include "model/coefficients.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "model/slider_positions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Cplx = std::complex<double>;

constexpr int RATES[] = {44100, 48000, 96000, 192000};

// The text read the way numpy.loadtxt(…, delimiter=",") reads it: "#" lines
// are comments, every other line six comma-separated numbers.
struct ParsedText {
    std::vector<std::vector<double>> rows;
    std::vector<std::string> comments;
    int delay = 0;
};

ParsedText parse(const std::string& text)
{
    ParsedText parsed;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("#", 0) == 0) {
            parsed.comments.push_back(line);
            if (line.rfind("# delay: ", 0) == 0)
                parsed.delay = std::atoi(line.c_str() + 9);
            continue;
        }
        std::vector<double> row;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ',')) {
            char* end = nullptr;
            row.push_back(std::strtod(field.c_str(), &end));
            EXPECT_EQ(*end, '\0') << line;
        }
        EXPECT_EQ(row.size(), 6u) << line;
        parsed.rows.push_back(row);
    }
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    return parsed;
}

// Σ bⱼ·z⁻ʲ / Σ aⱼ·z⁻ʲ over the sections, multiplied out.
Cplx cascadeResponse(const ParsedText& parsed, Cplx z)
{
    const Cplx w = 1.0 / z;
    Cplx h = 1.0;
    for (const std::vector<double>& r : parsed.rows)
        h *= (r[0] + w * (r[1] + w * r[2])) / (r[3] + w * (r[4] + w * r[5]));
    return h;
}

int degreeOf(const RootList& list)
{
    int count = 0;
    for (int i = 0; i < list.count; ++i)
        count += list.pairFlags[i] ? 2 : 1;
    return count;
}

// The cascade of the text equals evaluateResponse · z⁻ᴰ at 200 frequencies
// across (0, π), to 1e-9 relative.
void expectCascadeMatches(const Document& document)
{
    const ParsedText parsed = parse(coefficientText(document));
    const int expectedDelay = std::max(0, degreeOf(document.filter.zeros) - degreeOf(document.filter.poles));
    EXPECT_EQ(parsed.delay, expectedDelay);
    ASSERT_FALSE(parsed.rows.empty());
    for (const std::vector<double>& r : parsed.rows)
        EXPECT_EQ(r[3], 1.0);
    const double pi = 4.0 * std::atan(1.0);
    double worst = 0.0;
    for (int k = 0; k < 200; ++k) {
        const double omega = pi * (k + 0.5) / 200.0;
        const Cplx z = std::polar(1.0, omega);
        const Complex h = evaluateResponse(document.filter, {z.real(), z.imag()});
        const Cplx expected = Cplx(h.re, h.im) * std::pow(z, -expectedDelay);
        const Cplx got = cascadeResponse(parsed, z);
        worst = std::max(worst, std::abs(got - expected) / std::abs(expected));
    }
    EXPECT_LE(worst, 1e-9);
}

TEST(Coefficients, EveryModelMatchesTheResponse)
{
    for (int model = 0; model < MODEL_CUSTOM; ++model)
        for (int rate : RATES)
            for (int cutoffPosition : {0, 400, 1000, 1600, 2000})
                for (int qPosition : {0, 1000, 2000}) {
                    SCOPED_TRACE(testing::Message() << "model " << model << " rate " << rate << " cutoff "
                                                    << cutoffPosition << " q " << qPosition);
                    expectCascadeMatches(designedDocument(model, rate, cutoffPosition, qPosition));
                }
}

void fillRandomRoots(RootList& list, std::mt19937_64& random)
{
    std::uniform_real_distribution<double> radius(0.0, 1.5);
    std::uniform_real_distribution<double> angle(0.0, 4.0 * std::atan(1.0));
    list.count = static_cast<int>(random() % (MAX_ROOTS + 1));
    for (int i = 0; i < list.count; ++i) {
        list.pairFlags[i] = random() % 2 == 0;
        const Cplx p = std::polar(radius(random), angle(random));
        list.positions[i] = list.pairFlags[i] ? Complex{p.real(), p.imag()} : Complex{p.real(), 0.0};
    }
}

TEST(Coefficients, RandomCustomRootsMatchTheResponse)
{
    std::mt19937_64 random(20);
    for (int run = 0; run < 400; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        Document document = designedDocument(MODEL_CUSTOM, RATES[run % 4], 1000, 0);
        fillRandomRoots(document.filter.zeros, random);
        fillRandomRoots(document.filter.poles, random);
        if (run % 50 == 0)
            document.filter.zeros.count = document.filter.poles.count = MAX_ROOTS;
        document.filter.gain = std::uniform_real_distribution<double>(-3.0, 3.0)(random);
        expectCascadeMatches(document);
    }
}

Document custom(double gain, std::initializer_list<Root> zeros, std::initializer_list<Root> poles)
{
    Document document = designedDocument(MODEL_CUSTOM, 48000, 1000, 0);
    document.filter.gain = gain;
    document.filter.zeros.count = 0;
    for (const Root& r : zeros) {
        document.filter.zeros.positions[document.filter.zeros.count] = r.position;
        document.filter.zeros.pairFlags[document.filter.zeros.count++] = r.pair;
    }
    document.filter.poles.count = 0;
    for (const Root& r : poles) {
        document.filter.poles.positions[document.filter.poles.count] = r.position;
        document.filter.poles.pairFlags[document.filter.poles.count++] = r.pair;
    }
    return document;
}

TEST(Coefficients, SectionsByHand)
{
    const std::string header = "# Vorbel filter as second-order sections: b0,b1,b2,a0,a1,a2 per line\n"
                               "# sample rate: 48000 Hz\n# model: Custom\n";
    // Nothing but the gain.
    EXPECT_EQ(coefficientText(custom(0.5, {}, {})), header + "# zeros: 0, poles: 0\n0.5,0,0,1,0,0\n");
    // Three real zeros and no pole: 2(z − 0.5)(z − 0.25) and (z + 1), three
    // samples late.
    EXPECT_EQ(coefficientText(custom(2.0, {{{0.5, 0}}, {{0.25, 0}}, {{-1, 0}}}, {})),
              header + "# zeros: 3, poles: 0\n# delay: 3 samples\n2,-1.5,0.25,1,0,0\n1,1,0,1,0,0\n");
    // A pair of zeros over one real pole: the first section has one zero too
    // many, z² − z + 0.5 over z − 0.25, hence one sample late.
    EXPECT_EQ(coefficientText(custom(1.0, {{{0.5, 0.5}, true}}, {{{0.25, 0}}})),
              header + "# zeros: 2, poles: 1\n# delay: 1 samples\n1,-1,0.5,1,-0.25,0\n");
    // One real zero over a pair of poles: (z − 0.5)/(z² + 0.25) = (z⁻¹ − 0.5z⁻²)/(1 + 0.25z⁻²).
    EXPECT_EQ(coefficientText(custom(4.0, {{{0.5, 0}}}, {{{0, 0.5}, true}})),
              header + "# zeros: 1, poles: 2\n0,4,-2,1,0,0.25\n");
    // The single pole left over comes after the pair: (z² − z + 0.5)/(z² + 0.25)
    // then (z − 0.5)/(z − 0.25). −2·0 is written 0, not −0.
    EXPECT_EQ(coefficientText(custom(1.0, {{{0.5, 0.5}, true}, {{0.5, 0}}}, {{{0.25, 0}}, {{0, 0.5}, true}})),
              header + "# zeros: 3, poles: 3\n1,-1,0.5,1,0,0.25\n1,-0.5,0,1,-0.25,0\n");
}

TEST(Coefficients, SectionStructure)
{
    const Document lowPass = designedDocument(0, 44100, 1000, 0);
    const SectionCascade cascade = secondOrderSections(lowPass.filter);
    ASSERT_EQ(cascade.sections.size(), 1u);
    EXPECT_EQ(cascade.delay, 0);
    const Section& s = cascade.sections[0];
    // g·(z + 1)/(z − p) = g·(1 + z⁻¹)/(1 − p·z⁻¹)
    const double g = lowPass.filter.gain;
    const double p = lowPass.filter.poles.positions[0].re;
    EXPECT_EQ(s.b[0], g);
    EXPECT_EQ(s.b[1], g);
    EXPECT_EQ(s.b[2], 0.0);
    EXPECT_EQ(s.a[0], 1.0);
    EXPECT_EQ(s.a[1], -p);
    EXPECT_EQ(s.a[2], 0.0);

    const Document butterworth = designedDocument(7, 96000, 1500, 0);
    const std::string text = coefficientText(butterworth);
    EXPECT_NE(text.find("# model: 6th order LP (Butterworth)\n# zeros: 6, poles: 6\n"), std::string::npos) << text;
    EXPECT_EQ(parse(text).rows.size(), 3u);
}

}  // namespace
