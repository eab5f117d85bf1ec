#include "model/fixed_point.h"

#include "model/complex.h"
#include "model/polynomial_roots.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <sstream>

namespace {

constexpr int GRID_STEPS = 2048;      // frequencies 0, π/2048, … π
constexpr int REFINED_CANDIDATES = 3;
constexpr int GOLDEN_STEPS = 40;      // shrinks a grid step's bracket below 1e-11 rad

const double PI = 4.0 * std::atan(1.0);

double magnitude(Complex h)
{
    const double squared = h.re * h.re + h.im * h.im;
    if (std::isnormal(squared))
        return std::sqrt(squared);
    return std::hypot(h.re, h.im);
}

// |B(w) / A(w)| of one section at w = z⁻¹ = e^(−jω).
double sectionMagnitude(const Section& section, Complex w)
{
    const Complex b = Complex{section.b[0], 0.0} + w * (Complex{section.b[1], 0.0} + w * Complex{section.b[2], 0.0});
    const Complex a = Complex{section.a[0], 0.0} + w * (Complex{section.a[1], 0.0} + w * Complex{section.a[2], 0.0});
    return magnitude(b) / magnitude(a);
}

Complex inverseUnitPoint(double omega) { return {std::cos(omega), -std::sin(omega)}; }

// |H| of the first count sections at ω; a value that is not finite comes
// back as infinity, so that a peak taken with it is unbounded.
double prefixMagnitude(const std::vector<Section>& sections, std::size_t count, double omega)
{
    const Complex w = inverseUnitPoint(omega);
    double product = 1.0;
    for (std::size_t k = 0; k < count; ++k)
        product = product * sectionMagnitude(sections[k], w);
    return std::isfinite(product) ? product : std::numeric_limits<double>::infinity();
}

// The largest value of the prefix's |H| in [low, high], a bracket around a
// peak, found by golden-section search.
double refinePeak(const std::vector<Section>& sections, std::size_t count, double low, double high)
{
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double x1 = high - ratio * (high - low);
    double x2 = low + ratio * (high - low);
    double f1 = prefixMagnitude(sections, count, x1);
    double f2 = prefixMagnitude(sections, count, x2);
    double best = std::max(f1, f2);
    for (int step = 0; step < GOLDEN_STEPS; ++step) {
        if (f1 < f2) {
            low = x1;
            x1 = x2;
            f1 = f2;
            x2 = low + ratio * (high - low);
            f2 = prefixMagnitude(sections, count, x2);
        } else {
            high = x2;
            x2 = x1;
            f2 = f1;
            x1 = high - ratio * (high - low);
            f1 = prefixMagnitude(sections, count, x1);
        }
        best = std::max({best, f1, f2});
    }
    return best;
}

struct Candidate {
    double value = -1.0;
    double omega = 0.0;
};

void offerCandidate(Candidate (&best)[REFINED_CANDIDATES], Candidate candidate)
{
    for (int i = 0; i < REFINED_CANDIDATES; ++i) {
        if (candidate.value > best[i].value) {
            for (int j = REFINED_CANDIDATES - 1; j > i; --j)
                best[j] = best[j - 1];
            best[i] = candidate;
            return;
        }
    }
}

// The angles in (0, π) of the sections' complex pole pairs, where sharp
// resonances peak between grid frequencies.
std::vector<double> poleAngles(const std::vector<Section>& sections)
{
    std::vector<double> angles;
    for (const Section& section : sections) {
        if (section.poleDegree != 2)
            continue;
        const double a1 = section.a[1], a2 = section.a[2];
        const double d = 4.0 * a2 - a1 * a1;
        if (d > 0.0)
            angles.push_back(std::atan2(std::sqrt(d) / 2.0, -a1 / 2.0));
    }
    return angles;
}

bool finiteSections(const std::vector<Section>& sections)
{
    for (const Section& section : sections)
        for (int j = 0; j < 3; ++j)
            if (!std::isfinite(section.b[j]) || !std::isfinite(section.a[j]))
                return false;
    return true;
}

std::string numberText(double value)
{
    std::ostringstream text;
    text.precision(6);
    text << value;
    return text.str();
}

}  // namespace

std::vector<double> cascadePeaks(const std::vector<Section>& sections)
{
    const std::size_t count = sections.size();
    const std::size_t points = GRID_STEPS + 1;
    // values[k · points + i]: |H| of sections 0 … k at grid frequency i.
    std::vector<double> values(count * points);
    for (std::size_t i = 0; i < points; ++i) {
        const Complex w = inverseUnitPoint(PI * static_cast<double>(i) / GRID_STEPS);
        double product = 1.0;
        for (std::size_t k = 0; k < count; ++k) {
            product = product * sectionMagnitude(sections[k], w);
            values[k * points + i] = std::isfinite(product) ? product : std::numeric_limits<double>::infinity();
        }
    }
    const std::vector<double> angles = poleAngles(sections);
    const double step = PI / GRID_STEPS;
    std::vector<double> peaks(count);
    for (std::size_t k = 0; k < count; ++k) {
        const double* row = values.data() + k * points;
        Candidate best[REFINED_CANDIDATES];
        for (std::size_t i = 0; i < points; ++i) {
            const bool aboveLeft = i == 0 || row[i] >= row[i - 1];
            const bool aboveRight = i + 1 == points || row[i] >= row[i + 1];
            if (aboveLeft && aboveRight)
                offerCandidate(best, {row[i], step * static_cast<double>(i)});
        }
        for (const double angle : angles)
            offerCandidate(best, {prefixMagnitude(sections, k + 1, angle), angle});
        double peak = best[0].value;
        for (const Candidate& candidate : best) {
            if (candidate.value < 0.0 || !std::isfinite(peak))
                continue;
            const double low = std::max(0.0, candidate.omega - step);
            const double high = std::min(PI, candidate.omega + step);
            peak = std::max(peak, refinePeak(sections, k + 1, low, high));
        }
        peaks[k] = peak;
    }
    return peaks;
}

std::variant<StageScaling, std::string> lInfinityScaling(const SectionCascade& cascade)
{
    const std::vector<Section>& sections = cascade.sections;
    if (!finiteSections(sections))
        return std::string("a coefficient is not a finite number");
    for (const Section& section : sections)
        if (monicRootsOnOrOutside(section.a, section.poleDegree).on > 0)
            return std::string("a pole lies on the unit circle, where |H| has no finite peak to scale by");
    const std::vector<double> peaks = cascadePeaks(sections);
    StageScaling scaling;
    double previous = 1.0;
    double product = 1.0;
    for (const double peak : peaks) {
        if (!std::isfinite(peak))
            return std::string("|H| has no finite peak on the unit circle to scale by");
        const double factor = peak > 0.0 && previous > 0.0 ? previous / peak : 1.0;
        scaling.factors.push_back(factor);
        product = product * factor;
        previous = peak;
    }
    scaling.restoringGain = 1.0 / product;
    if (!std::isfinite(scaling.restoringGain) || !std::isfinite(product))
        return std::string("the scaling of the stages leaves the range of numbers");
    return scaling;
}

int fractionBits(FixedPointFormat format) { return format == FixedPointFormat::Q15 ? 15 : 31; }

const char* fixedPointName(FixedPointFormat format) { return format == FixedPointFormat::Q15 ? "Q15" : "Q31"; }

std::variant<FixedPointCascade, std::string> fixedPointCascade(const SectionCascade& cascade,
                                                                FixedPointFormat format)
{
    const auto scaled = lInfinityScaling(cascade);
    if (const auto* problem = std::get_if<std::string>(&scaled))
        return *problem;
    FixedPointCascade result;
    result.format = format;
    result.scaling = std::get<StageScaling>(scaled);

    std::vector<std::array<double, 5>> values;
    double largest = 0.0;
    for (std::size_t k = 0; k < cascade.sections.size(); ++k) {
        const Section& section = cascade.sections[k];
        const double s = result.scaling.factors[k];
        values.push_back({section.b[0] * s, section.b[1] * s, section.b[2] * s, -section.a[1], -section.a[2]});
        for (const double value : values.back()) {
            if (!std::isfinite(value))
                return std::string("a scaled coefficient is not a finite number");
            largest = std::max(largest, std::fabs(value));
        }
    }

    const int bits = fractionBits(format);
    const double limit = std::ldexp(1.0, bits);
    for (int shift = 0; shift <= bits; ++shift) {
        std::vector<std::array<std::int32_t, 5>> stages;
        bool fits = true;
        for (const auto& stage : values) {
            std::array<std::int32_t, 5> stored{};
            for (std::size_t j = 0; j < 5 && fits; ++j) {
                const double rounded = std::round(std::ldexp(stage[j], bits - shift));
                fits = rounded >= -limit && rounded <= limit - 1.0;
                if (fits)
                    stored[j] = static_cast<std::int32_t>(rounded);
            }
            if (!fits)
                break;
            stages.push_back(stored);
        }
        if (fits) {
            result.postShift = shift;
            result.stages = std::move(stages);
            return result;
        }
    }
    return "a coefficient (" + numberText(largest) + ") is too large for " + fixedPointName(format)
        + " even at postShift " + std::to_string(bits);
}

double storedValue(const FixedPointCascade& cascade, std::int32_t stored)
{
    return std::ldexp(static_cast<double>(stored), cascade.postShift - fractionBits(cascade.format));
}

std::vector<std::int32_t> runCmsisDf1(const FixedPointCascade& cascade, const std::vector<std::int32_t>& input)
{
    std::vector<std::int32_t> signal = input;
    const bool q15 = cascade.format == FixedPointFormat::Q15;
    const int shift = fractionBits(cascade.format) - cascade.postShift;
    for (const auto& c : cascade.stages) {
        std::int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (std::int32_t& sample : signal) {
            const std::int32_t x = sample;
            // Every product fits 64 bits (at most 2^62 in magnitude); the
            // sum is taken modulo 2^64, which is exact for Q15 and is the
            // accumulator's wrap-around for Q31.
            const std::int64_t products[5] = {std::int64_t{c[0]} * x, std::int64_t{c[1]} * x1,
                                              std::int64_t{c[2]} * x2, std::int64_t{c[3]} * y1,
                                              std::int64_t{c[4]} * y2};
            std::uint64_t sum = 0;
            for (const std::int64_t product : products)
                sum += static_cast<std::uint64_t>(product);
            // Two's complement conversions and the arithmetic right shift of
            // a negative value are defined in C++20.
            const std::int64_t accumulator = static_cast<std::int64_t>(sum) >> shift;
            std::int32_t y = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(accumulator)));
            if (q15)
                y = std::clamp<std::int32_t>(y, -32768, 32767);
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            sample = y;
        }
    }
    return signal;
}
