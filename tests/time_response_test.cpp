// The time views' computations against independent answers: the exported
// cascade run as a difference equation, closed forms of single roots, the
// numerical derivative of the phase, and the readout's own pole quality.

#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "model/readout.h"
#include "model/time_response.h"
#include "tests/reference_cascade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

Document customDocument(std::initializer_list<Root> zeros, std::initializer_list<Root> poles, double gain)
{
    Document document = designedDocument(MODEL_CUSTOM, 44100, 1000, 0);
    FilterState& filter = document.filter;
    filter.zeros.count = 0;
    for (const Root& root : zeros) {
        filter.zeros.positions[filter.zeros.count] = root.position;
        filter.zeros.pairFlags[filter.zeros.count++] = root.pair;
    }
    filter.poles.count = 0;
    for (const Root& root : poles) {
        filter.poles.positions[filter.poles.count] = root.position;
        filter.poles.pairFlags[filter.poles.count++] = root.pair;
    }
    filter.gain = gain;
    return document;
}

Root single(double re) { return {{re, 0.0}, false}; }
Root pair(double re, double im) { return {{re, im}, true}; }

std::vector<double> unitImpulse(int length)
{
    std::vector<double> x(static_cast<std::size_t>(length), 0.0);
    x[0] = 1.0;
    return x;
}

double largestMagnitude(const std::vector<double>& values)
{
    double largest = 0.0;
    for (const double v : values)
        largest = std::max(largest, std::fabs(v));
    return largest;
}

// The impulse response against the cascade of the coefficient text in direct
// form I, sample by sample, relative to the response's peak.
void expectSameAsCascade(const Document& document, int length, const std::string& what)
{
    const std::vector<double> h = impulseResponse(document.filter, length);
    ReferenceCascade cascade(document);
    const std::vector<double> reference = cascade.filter(unitImpulse(length));
    ASSERT_EQ(h.size(), reference.size()) << what;
    const double peak = largestMagnitude(reference);
    ASSERT_GT(peak, 0.0) << what;
    for (std::size_t n = 0; n < h.size(); ++n)
        ASSERT_NEAR(h[n], reference[n], 1e-9 * peak) << what << ", n = " << n;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

}  // namespace

TEST(ImpulseResponse, EveryModelAgreesWithTheExportedCascade)
{
    struct Setting {
        int rate, cutoffPosition, qPosition;
    };
    for (int model = 0; model < MODEL_CUSTOM; ++model)
        for (const Setting s : {Setting{44100, 1000, 0}, Setting{48000, 300, 2000}, Setting{96000, 1800, 1200},
                                Setting{192000, 600, 700}}) {
            const Document document = designedDocument(model, s.rate, s.cutoffPosition, s.qPosition);
            const int length = std::min(shownImpulseLength(document.filter), 8192);
            expectSameAsCascade(document, length,
                                std::string(modelName(model)) + " at " + std::to_string(s.rate) + " Hz, positions "
                                    + std::to_string(s.cutoffPosition) + "/" + std::to_string(s.qPosition));
        }
}

TEST(ImpulseResponse, CustomFiltersOfEveryDegreeBalanceAgreeWithTheCascade)
{
    // Six zeros over one pole: the cascade's delay D = 5 makes it causal.
    const Document moreZeros =
        customDocument({pair(0.7, 0.5), single(-0.5), single(0.3), pair(-0.2, 0.9)}, {single(0.8)}, 0.37);
    ASSERT_EQ(secondOrderSections(moreZeros.filter).delay, 5);
    expectSameAsCascade(moreZeros, 256, "six zeros, one pole");

    // Six poles over one zero: the response starts five samples late.
    const Document morePoles =
        customDocument({single(-1.0)}, {pair(0.95, 0.2), single(-0.7), single(0.2), pair(0.1, -0.6)}, 0.05);
    const std::vector<double> late = impulseResponse(morePoles.filter, 600);
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(late[static_cast<std::size_t>(n)], 0.0) << n;
    EXPECT_EQ(late[5], 0.05);
    expectSameAsCascade(morePoles, 600, "one zero, six poles");

    // No poles: a finite response whose samples after the last tap are 0.
    const Document finite = customDocument({pair(0.3, 0.8), single(-1.0), single(0.5)}, {}, 2.0);
    expectSameAsCascade(finite, 64, "four zeros, no poles");
    const std::vector<double> taps = impulseResponse(finite.filter, 64);
    for (std::size_t n = 5; n < taps.size(); ++n)
        EXPECT_EQ(taps[n], 0.0) << n;
}

TEST(ImpulseResponse, SinglePoleIsAGeometricSequence)
{
    for (const double p : {0.9, -0.75, 0.5, 0.999}) {
        const double g = 0.125;
        // g / (z − p) = g·z⁻¹ / (1 − p·z⁻¹): h[n] = g·pⁿ⁻¹ from n = 1 on.
        const std::vector<double> late = impulseResponse(customDocument({}, {single(p)}, g).filter, 300);
        EXPECT_EQ(late[0], 0.0);
        // g·z / (z − p): h[n] = g·pⁿ from n = 0 on.
        const std::vector<double> onTime = impulseResponse(customDocument({single(0.0)}, {single(p)}, g).filter, 300);
        for (int n = 1; n < 300; ++n) {
            const double expected = g * std::pow(p, n - 1);
            EXPECT_NEAR(late[static_cast<std::size_t>(n)], expected, 1e-13 * g) << "p = " << p << ", n = " << n;
            EXPECT_NEAR(onTime[static_cast<std::size_t>(n - 1)], expected, 1e-13 * g) << "p = " << p << ", n = " << n;
        }
    }
    // A pair r·e^{±jθ} over z² alone: g·rⁿ·sin((n + 1)θ) / sin θ.
    const double r = 0.97;
    const double theta = 0.4;
    const Document resonator =
        customDocument({single(0.0), single(0.0)}, {pair(r * std::cos(theta), r * std::sin(theta))}, 1.0);
    const std::vector<double> h = impulseResponse(resonator.filter, 400);
    for (int n = 0; n < 400; ++n)
        EXPECT_NEAR(h[static_cast<std::size_t>(n)], std::pow(r, n) * std::sin((n + 1) * theta) / std::sin(theta), 1e-12)
            << n;
}

TEST(ImpulseResponse, LengthsStepAndFinalValue)
{
    const Document document = designedDocument(1, 44100, 1000, 0);
    EXPECT_TRUE(impulseResponse(document.filter, 0).empty());
    EXPECT_TRUE(impulseResponse(document.filter, -5).empty());
    EXPECT_EQ(impulseResponse(document.filter, 1).size(), 1u);
    EXPECT_EQ(impulseResponse(document.filter, LONGEST_IMPULSE + 1).size(), static_cast<std::size_t>(LONGEST_IMPULSE));

    // The running sums, and where they settle: H(1).
    for (int model = 0; model < MODEL_CUSTOM; ++model) {
        const Document designed = designedDocument(model, 48000, 1200, 500);
        const FilterState& filter = designed.filter;
        const std::vector<double> h = impulseResponse(filter, 4 * shownImpulseLength(filter));
        const std::vector<double> s = stepResponse(h);
        ASSERT_EQ(s.size(), h.size());
        double sum = 0.0;
        for (std::size_t n = 0; n < h.size(); ++n) {
            sum += h[n];
            ASSERT_EQ(s[n], sum) << n;
        }
        const std::optional<double> final = finalStepValue(filter);
        ASSERT_TRUE(final.has_value()) << modelName(model);
        const Complex atOne = evaluateResponse(filter, {1.0, 0.0});
        EXPECT_EQ(*final, atOne.re);
        EXPECT_NEAR(s.back(), *final, 1e-6 * std::max(1.0, std::fabs(*final))) << modelName(model);
    }
    EXPECT_FALSE(finalStepValue(customDocument({}, {single(1.0)}, 1.0).filter).has_value());
    EXPECT_FALSE(finalStepValue(customDocument({}, {pair(0.0, 1.2)}, 1.0).filter).has_value());
}

TEST(ShownImpulseLength, FollowsTheLargestPolesDecayWithinItsLimits)
{
    // rⁿ < 10⁻⁶ first at n = ⌊ln 10⁻⁶ / ln r⌋ + 1.
    const auto closedForm = [](double r) {
        const double n = std::floor(std::log(1e-6) / std::log(r)) + 1.0;
        return static_cast<int>(std::clamp(n, double(SHORTEST_IMPULSE), double(LONGEST_SHOWN_IMPULSE)));
    };
    for (const double r : {0.5, 0.9, 0.99, 0.999, 0.9998, 0.99999}) {
        EXPECT_EQ(shownImpulseLength(customDocument({}, {single(r)}, 1.0).filter), closedForm(r)) << r;
        EXPECT_EQ(shownImpulseLength(customDocument({}, {single(-r)}, 1.0).filter), closedForm(r)) << -r;
        // The largest of several decides, and a pair by its radius.
        const Document several =
            customDocument({single(1.0)}, {single(0.1), pair(r * std::cos(1.0), r * std::sin(1.0)), single(0.3)}, 1.0);
        EXPECT_EQ(shownImpulseLength(several.filter), closedForm(r)) << r;
    }
    EXPECT_EQ(closedForm(0.999), 13809);
    EXPECT_EQ(closedForm(0.99999), LONGEST_SHOWN_IMPULSE);
    EXPECT_EQ(closedForm(0.5), SHORTEST_IMPULSE);

    // The edges: r = 0 and no poles at all, the largest double below 1.
    EXPECT_EQ(shownImpulseLength(customDocument({}, {single(0.0)}, 1.0).filter), SHORTEST_IMPULSE);
    EXPECT_EQ(shownImpulseLength(customDocument({single(0.5)}, {}, 1.0).filter), SHORTEST_IMPULSE);
    EXPECT_EQ(shownImpulseLength(customDocument({}, {single(std::nextafter(1.0, 0.0))}, 1.0).filter),
              LONGEST_SHOWN_IMPULSE);
    EXPECT_EQ(shownImpulseLength(customDocument({}, {single(std::numeric_limits<double>::denorm_min())}, 1.0).filter),
              SHORTEST_IMPULSE);

    // On or outside the circle, or not a number: unstable.
    for (const Root& pole : {single(1.0), single(-1.0), single(1.5), pair(0.6, 0.8), pair(0.0, 1.01),
                             single(std::numeric_limits<double>::quiet_NaN()),
                             pair(0.5, std::numeric_limits<double>::infinity())}) {
        const Document unstable = customDocument({}, {single(0.5), pole}, 1.0);
        const FilterState& filter = unstable.filter;
        EXPECT_TRUE(hasUnstablePole(filter)) << pole.position.re << ", " << pole.position.im;
        EXPECT_EQ(shownImpulseLength(filter), UNSTABLE_IMPULSE);
    }
    EXPECT_FALSE(hasUnstablePole(customDocument({single(2.0)}, {pair(0.6, 0.79)}, 1.0).filter));

    // Twenty pole pairs at 0: the whole response is one sample, 40 late.
    Document delayLine = customDocument({}, {}, 0.5);
    delayLine.filter.poles.count = MAX_ROOTS;
    for (int i = 0; i < MAX_ROOTS; ++i) {
        delayLine.filter.poles.positions[i] = {0.0, 0.0};
        delayLine.filter.poles.pairFlags[i] = true;
    }
    ASSERT_EQ(shownImpulseLength(delayLine.filter), 2 * MAX_ROOTS + 1);
    const std::vector<double> h = impulseResponse(delayLine.filter, shownImpulseLength(delayLine.filter));
    for (std::size_t n = 0; n < h.size(); ++n)
        EXPECT_EQ(h[n], n == 2 * MAX_ROOTS ? 0.5 : 0.0) << n;
}

// −dφ/dω of the unwrapped phase of H, by central differences, in samples.
TEST(GroupDelay, IsTheDerivativeOfThePhase)
{
    std::vector<Document> documents;
    for (int model = 0; model < MODEL_CUSTOM; ++model)
        documents.push_back(designedDocument(model, 44100, 1300, 900));
    documents.push_back(customDocument({pair(0.7, 0.5), single(-0.5), single(1.4)},
                                       {pair(0.8, -0.3), single(0.6), single(-0.2)}, 0.4));
    documents.push_back(customDocument({}, {pair(-0.3, 0.9), pair(0.5, 0.5)}, 1.0));
    for (const Document& document : documents) {
        const FilterState& filter = document.filter;
        const auto phase = [&filter](double omega) {
            const Complex h = evaluateResponse(filter, {std::cos(omega), std::sin(omega)});
            return std::arg(std::complex<double>(h.re, h.im));
        };
        for (const double f : logFrequencies(20.0, 21000.0, 40)) {
            const double omega = std::numbers::pi * f / filter.nyquist;
            const double step = 1e-6;
            const double difference = std::remainder(phase(omega + step) - phase(omega - step), 2.0 * std::numbers::pi);
            const double expected = -difference / (2.0 * step);
            EXPECT_NEAR(groupDelay(filter, f), expected, 1e-5 * std::max(1.0, std::fabs(expected)))
                << modelName(filter.modelIndex) << " at " << f << " Hz";
        }
    }
}

TEST(GroupDelay, RootsOnTheCircleAreHalfASampleAndNotANumberOnThemselves)
{
    const double nyquist = 22050.0;
    // A zero on the circle: −½ wherever it is not.
    const Document minusOne = customDocument({single(-1.0)}, {}, 1.0);
    for (const double f : logFrequencies(10.0, nyquist * (1.0 - 1e-12), 30))
        EXPECT_EQ(groupDelay(minusOne.filter, f), -0.5) << f;
    EXPECT_TRUE(std::isnan(groupDelay(minusOne.filter, nyquist)));

    const Document plusOne = customDocument({single(1.0)}, {single(0.5)}, 1.0);
    EXPECT_TRUE(std::isnan(groupDelay(plusOne.filter, 0.0)));
    EXPECT_TRUE(std::isfinite(groupDelay(plusOne.filter, 1e-9)));

    // A pair on the circle at ±90°, and the double root of a pair at −1.
    const Document quarter = customDocument({pair(0.0, 1.0)}, {pair(0.0, 0.5)}, 1.0);
    EXPECT_TRUE(std::isnan(groupDelay(quarter.filter, nyquist / 2.0)));
    EXPECT_TRUE(std::isfinite(groupDelay(quarter.filter, nyquist / 2.0 * (1.0 + 1e-15))));
    const Document doubleMinusOne = customDocument({pair(-1.0, 0.0)}, {}, 1.0);
    EXPECT_TRUE(std::isnan(groupDelay(doubleMinusOne.filter, nyquist)));
    EXPECT_EQ(groupDelay(doubleMinusOne.filter, 1000.0), -1.0);

    // groupDelays is groupDelay at each frequency.
    const std::vector<double> frequencies = logFrequencies(10.0, nyquist, 5);
    const std::vector<double> delays = groupDelays(quarter.filter, frequencies);
    ASSERT_EQ(delays.size(), frequencies.size());
    for (std::size_t i = 0; i < delays.size(); ++i)
        EXPECT_EQ(delays[i], groupDelay(quarter.filter, frequencies[i]));
}

TEST(GroupDelay, LogFrequencies)
{
    const std::vector<double> f = logFrequencies(10.0, 24000.0, 7);
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f.front(), 10.0);
    EXPECT_EQ(f.back(), 24000.0);
    for (std::size_t i = 1; i < f.size(); ++i)
        EXPECT_NEAR(f[i] / f[i - 1], std::pow(2400.0, 1.0 / 6.0), 1e-12);
    EXPECT_TRUE(logFrequencies(10.0, 24000.0, 1).empty());
    EXPECT_EQ(logFrequencies(10.0, 24000.0, 2), (std::vector<double>{10.0, 24000.0}));
}

// The first model at 44100 Hz and its default positions, and second-order
// designs for pairs: each field against its own computation. The text's
// fields are read back against the rows in time_command_line_test.
TEST(RootTable, RowsOfDesigns)
{
    for (const int model : {0, 1, 4}) {
        const Document document = designedDocument(model, 44100, 1000, 0);
        const FilterState& filter = document.filter;
        const std::vector<RootRow> rows = rootRows(filter, 44100.0);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(filter.zeros.count + filter.poles.count));
        const std::vector<std::string> lines = split(rootTableCsv(rows), '\n');
        ASSERT_EQ(lines.size(), rows.size() + 2);  // the header, the rows, "" after the last break
        EXPECT_EQ(lines.front(), "kind,re,im,pair,r,angle_deg,f_hz,q,n60_samples,n60_ms,margin_db");
        EXPECT_EQ(lines.back(), "");
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const RootRow& row = rows[k];
            const bool isZero = k < static_cast<std::size_t>(filter.zeros.count);
            const RootList& list = isZero ? filter.zeros : filter.poles;
            const int slot = isZero ? static_cast<int>(k) : static_cast<int>(k) - filter.zeros.count;
            const Complex stored = list.positions[slot];
            const bool isPair = list.pairFlags[slot];
            const std::complex<double> root(stored.re, isPair ? std::fabs(stored.im) : 0.0);
            const double r = std::abs(root);
            const double degrees = std::arg(root) * 180.0 / std::numbers::pi;
            EXPECT_EQ(row.kind, isZero ? RootTableKind::Zero : RootTableKind::Pole);
            EXPECT_EQ(row.slot, slot);
            EXPECT_EQ(row.pair, isPair);
            EXPECT_EQ(row.re, root.real());
            EXPECT_EQ(row.im, root.imag());
            EXPECT_NEAR(row.radius, r, 1e-15);
            EXPECT_NEAR(row.angleDegrees, degrees, 1e-12);
            EXPECT_NEAR(row.frequency, degrees / 180.0 * 22050.0, 1e-9);
            EXPECT_EQ(row.marginDb.has_value(), !isZero);
            EXPECT_EQ(row.n60Samples.has_value(), !isZero && r < 1.0);
            EXPECT_EQ(row.q.has_value(), !isZero && isPair && r < 1.0);
            if (row.marginDb) {
                EXPECT_NEAR(*row.marginDb, -20.0 * std::log10(r), 1e-12);
            }
            if (row.n60Samples) {
                // r^n60 = 10⁻³: 60 dB down.
                EXPECT_NEAR(std::pow(r, *row.n60Samples), 1e-3, 1e-12);
                EXPECT_NEAR(*row.n60Ms, *row.n60Samples / 44.1, 1e-9);
            }
            if (row.q) {
                EXPECT_EQ(*row.q, poleQuality({root.real(), root.imag()}));
            }
        }
    }

    // The default design is one zero and one pole on the real axis.
    const std::vector<RootRow> first = rootRows(designedDocument(0, 44100, 1000, 0).filter, 44100.0);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].angleDegrees, 180.0);
    EXPECT_EQ(first[0].frequency, 22050.0);
    EXPECT_FALSE(first[1].q.has_value());
}

TEST(RootTable, EdgesOfTheCircle)
{
    const Document document = customDocument({single(0.0)}, {single(0.0), pair(0.0, -1.0), single(-2.0)}, 1.0);
    const std::vector<RootRow> rows = rootRows(document.filter, 48000.0);
    ASSERT_EQ(rows.size(), 4u);
    // A pole at 0: infinitely far inside, no time to die out.
    EXPECT_EQ(rows[1].marginDb, std::numeric_limits<double>::infinity());
    EXPECT_EQ(rows[1].n60Samples, 0.0);
    // On the circle: no margin, never dies out; shown by its upper root.
    EXPECT_EQ(rows[2].im, 1.0);
    EXPECT_EQ(rows[2].frequency, 12000.0);
    EXPECT_EQ(rows[2].marginDb, 0.0);
    EXPECT_FALSE(rows[2].n60Samples.has_value());
    EXPECT_FALSE(rows[2].q.has_value());
    // Outside: a negative margin.
    EXPECT_NEAR(*rows[3].marginDb, -20.0 * std::log10(2.0), 1e-14);
    EXPECT_EQ(rows[3].angleDegrees, 180.0);
    EXPECT_EQ(rows[3].frequency, 24000.0);
    const std::vector<std::string> lines = split(rootTableCsv(rows), '\n');
    EXPECT_EQ(lines[1], "zero,0,0,false,0,0,0,,,,");
    EXPECT_EQ(lines[2], "pole,0,0,false,0,0,0,,0,0,inf");
}

TEST(TimeTexts, ValuesAndGroupDelayLines)
{
    const std::vector<double> values{1.0, -0.0, 0.1, -2.5e-300, std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN()};
    EXPECT_EQ(valueListCsv(values), "1\n0\n0.1\n-2.5e-300\ninf\n-inf\nnan\n");
    EXPECT_EQ(valueListCsv({}), "");
    std::string third;
    appendShortestNumber(third, 1.0 / 3.0);
    EXPECT_EQ(groupDelayCsv({10.0, 22050.0, 5.0}, {1.0 / 3.0, std::numeric_limits<double>::quiet_NaN()}),
              "10," + third + "\n22050,nan\n");
}
