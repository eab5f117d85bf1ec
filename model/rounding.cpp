#include "model/rounding.h"

#include "model/design_file.h"
#include "model/designs.h"
#include "model/fixed_point.h"
#include "model/polynomial_roots.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <variant>

namespace {

std::string numberText(double value)
{
    std::ostringstream text;
    text.precision(6);
    text << value;
    return text.str();
}

// float32: every coefficient to the nearest float, as a C compiler rounds
// the double literals of the exports.
std::string roundToFloat(std::vector<Section>& sections)
{
    for (Section& section : sections) {
        for (double* row : {section.b, section.a}) {
            for (int j = 0; j < 3; ++j) {
                if (!std::isfinite(row[j]))
                    return "a coefficient is not a finite number";
                const double rounded = static_cast<double>(static_cast<float>(row[j]));
                if (!std::isfinite(rounded))
                    return "a coefficient (" + numberText(row[j]) + ") is too large for float32";
                row[j] = rounded;
            }
        }
    }
    return "";
}

std::string roundToFixedPoint(std::vector<Section>& sections, FixedPointFormat format, RoundedFilter& rounded)
{
    SectionCascade cascade;
    cascade.sections = sections;
    const auto result = fixedPointCascade(cascade, format);
    if (const auto* problem = std::get_if<std::string>(&result))
        return *problem;
    const FixedPointCascade& fixed = std::get<FixedPointCascade>(result);
    rounded.postShift = fixed.postShift;
    rounded.restoringGain = fixed.scaling.restoringGain;
    for (std::size_t k = 0; k < sections.size(); ++k) {
        const auto& stored = fixed.stages[k];
        Section& section = sections[k];
        for (int j = 0; j < 3; ++j)
            section.b[j] = storedValue(fixed, stored[static_cast<std::size_t>(j)]);
        section.a[0] = 1.0;
        section.a[1] = -storedValue(fixed, stored[3]);
        section.a[2] = -storedValue(fixed, stored[4]);
    }
    return "";
}

void findRoots(RoundedFilter& rounded)
{
    for (const Section& section : rounded.sections) {
        const int shift = std::max(0, section.poleDegree - section.zeroDegree);
        if (!appendPolynomialRoots(section.b + shift, section.zeroDegree, rounded.zeros))
            ++rounded.silentSections;
        appendPolynomialRoots(section.a, section.poleDegree, rounded.poles);
        const CircleCount count = monicRootsOnOrOutside(section.a, section.poleDegree);
        rounded.polesOnCircle += count.on;
        rounded.polesOutside += count.outside;
    }
}

std::string poleCount(int count) { return std::to_string(count) + (count == 1 ? " pole" : " poles"); }

int poleTotal(const RoundedFilter& rounded)
{
    int total = 0;
    for (const Root& pole : rounded.poles)
        total += pole.pair ? 2 : 1;
    return total;
}

void appendRootLines(std::string& out, const std::vector<Root>& roots, const char* kind)
{
    for (const Root& root : roots) {
        out += kind;
        out += ',';
        appendShortestNumber(out, root.position.re + 0.0);
        out += ',';
        appendShortestNumber(out, root.position.im + 0.0);
        out += root.pair ? ",true\n" : ",false\n";
    }
}

}  // namespace

const char* precisionLabel(Precision precision)
{
    switch (precision) {
    case Precision::Float32: return "float32";
    case Precision::Q15: return "Q15";
    case Precision::Q31: return "Q31";
    default: return "Exact";
    }
}

std::optional<Precision> precisionNamed(std::string_view name)
{
    if (name == "float32")
        return Precision::Float32;
    if (name == "q15")
        return Precision::Q15;
    if (name == "q31")
        return Precision::Q31;
    return std::nullopt;
}

RoundedFilter roundFilter(const FilterState& filter, Precision precision)
{
    RoundedFilter rounded;
    rounded.precision = precision;
    std::vector<Section> sections = secondOrderSections(filter).sections;
    std::string problem;
    switch (precision) {
    case Precision::Float32: problem = roundToFloat(sections); break;
    case Precision::Q15: problem = roundToFixedPoint(sections, FixedPointFormat::Q15, rounded); break;
    case Precision::Q31: problem = roundToFixedPoint(sections, FixedPointFormat::Q31, rounded); break;
    default:
        for (const Section& section : sections)
            for (int j = 0; j < 3; ++j)
                if (!std::isfinite(section.b[j]) || !std::isfinite(section.a[j]))
                    problem = "a coefficient is not a finite number";
        break;
    }
    if (!problem.empty()) {
        RoundedFilter refused;
        refused.precision = precision;
        refused.problem = problem;
        return refused;
    }
    rounded.sections = std::move(sections);
    findRoots(rounded);
    return rounded;
}

Complex evaluateRounded(const RoundedFilter& rounded, Complex w)
{
    Complex h{rounded.restoringGain, 0.0};
    for (const Section& s : rounded.sections) {
        const Complex b = Complex{s.b[0], 0.0} + w * (Complex{s.b[1], 0.0} + w * Complex{s.b[2], 0.0});
        const Complex a = Complex{s.a[0], 0.0} + w * (Complex{s.a[1], 0.0} + w * Complex{s.a[2], 0.0});
        h = h * (b / a);
    }
    return h;
}

std::string precisionSummary(const RoundedFilter& rounded)
{
    std::string out = std::string(precisionLabel(rounded.precision)) + ": ";
    if (!rounded.problem.empty())
        return out + "cannot be rounded \u2013 " + rounded.problem;
    const int on = rounded.polesOnCircle, outside = rounded.polesOutside;
    if (on > 0 && outside > 0)
        out += poleCount(on) + " on and " + std::to_string(outside) + " outside the unit circle";
    else if (on > 0)
        out += poleCount(on) + " on the unit circle";
    else if (outside > 0)
        out += poleCount(outside) + " outside the unit circle";
    else if (poleTotal(rounded) == 0)
        out += "no poles";
    else
        out += "every pole inside the unit circle";
    out += stableAfterRounding(rounded) ? " \u2013 stable after rounding" : " \u2013 unstable after rounding";
    if (rounded.silentSections > 0)
        out += "; a numerator rounds to 0, so the output is silent";
    return out;
}

PrecisionText precisionText(const Document& document, Precision precision)
{
    const RoundedFilter rounded = roundFilter(document.filter, precision);
    if (!rounded.problem.empty())
        return {"", std::string(precisionLabel(precision)) + ": " + rounded.problem};
    std::string out = std::string("# Vorbel filter rounded to ") + precisionLabel(precision)
        + ": the roots of each section's rounded factors\n";
    out += "# sample rate: " + std::to_string(document.sampleRate) + " Hz\n";
    out += std::string("# model: ") + modelName(document.filter.modelIndex) + "\n";
    if (precision == Precision::Q15 || precision == Precision::Q31) {
        out += "# postShift: " + std::to_string(rounded.postShift) + ", gain taken out by the scaling: ";
        appendShortestNumber(out, rounded.restoringGain);
        out += "\n";
    }
    for (std::size_t k = 0; k < rounded.sections.size(); ++k) {
        const Section& section = rounded.sections[k];
        const int shift = std::max(0, section.poleDegree - section.zeroDegree);
        bool vanished = true;
        for (int j = 0; j <= section.zeroDegree; ++j)
            vanished = vanished && section.b[shift + j] == 0.0;
        if (vanished)
            out += "# section " + std::to_string(k + 1) + ": the numerator rounds to 0, so the output is silent\n";
    }
    out += "kind,re,im,pair\n";
    appendRootLines(out, rounded.zeros, "zero");
    appendRootLines(out, rounded.poles, "pole");
    out += stableAfterRounding(rounded) ? "# stable\n" : "# unstable\n";
    return {out, ""};
}
