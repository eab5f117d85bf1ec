#include "model/coefficients.h"

#include "model/design_file.h"
#include "model/designs.h"

#include <algorithm>

namespace {

// A monic polynomial in z: c[0]·zⁿ + … + c[n], c[0] = 1, n = degree ≤ 2.
struct Factor {
    int degree = 0;
    double c[3] = {1.0, 0.0, 0.0};
};


std::vector<Factor> factorsOf(const RootList& list)
{
    std::vector<Factor> factors;
    bool waiting = false;  // a single root not yet combined
    double waitingRoot = 0.0;
    for (int i = 0; i < validSlots(list); ++i) {
        const Complex p = list.positions[i];
        if (list.pairFlags[i]) {
            factors.push_back({2, {1.0, -2.0 * p.re, p.re * p.re + p.im * p.im}});
        } else if (waiting) {
            factors.push_back({2, {1.0, -(waitingRoot + p.re), waitingRoot * p.re}});
            waiting = false;
        } else {
            waitingRoot = p.re;
            waiting = true;
        }
    }
    if (waiting)
        factors.push_back({1, {1.0, -waitingRoot, 0.0}});
    return factors;
}


}  // namespace

SectionCascade secondOrderSections(const FilterState& filter)
{
    const std::vector<Factor> zeros = factorsOf(filter.zeros);
    const std::vector<Factor> poles = factorsOf(filter.poles);
    SectionCascade cascade;
    const std::size_t count = std::max<std::size_t>({zeros.size(), poles.size(), 1});
    for (std::size_t k = 0; k < count; ++k) {
        const Factor numerator = k < zeros.size() ? zeros[k] : Factor{};
        const Factor denominator = k < poles.size() ? poles[k] : Factor{};
        const int shift = std::max(0, denominator.degree - numerator.degree);  // s − n
        cascade.delay += std::max(0, numerator.degree - denominator.degree);  // s − d
        Section section;
        section.zeroDegree = numerator.degree;
        section.poleDegree = denominator.degree;
        for (int j = 0; j <= numerator.degree; ++j)
            section.b[shift + j] = numerator.c[j];
        for (int j = 0; j <= denominator.degree; ++j)
            section.a[j] = denominator.c[j];
        cascade.sections.push_back(section);
    }
    for (double& b : cascade.sections.front().b)
        b = b * filter.gain;
    return cascade;
}

std::string coefficientText(const Document& document)
{
    const FilterState& filter = document.filter;
    const SectionCascade cascade = secondOrderSections(filter);
    std::string out = "# Vorbel filter as second-order sections: b0,b1,b2,a0,a1,a2 per line\n";
    out += "# sample rate: " + std::to_string(document.sampleRate) + " Hz\n";
    out += std::string("# model: ") + modelName(filter.modelIndex) + "\n";
    out += "# zeros: " + std::to_string(rootCount(filter.zeros)) + ", poles: " + std::to_string(rootCount(filter.poles))
        + "\n";
    if (cascade.delay > 0)
        out += "# delay: " + std::to_string(cascade.delay) + " samples\n";
    // Adding +0 turns −0, which −2·re gives for a root on the imaginary axis,
    // into 0 and changes no other value.
    for (const Section& section : cascade.sections) {
        for (int j = 0; j < 3; ++j) {
            appendShortestNumber(out, section.b[j] + 0.0);
            out += ',';
        }
        for (int j = 0; j < 3; ++j) {
            appendShortestNumber(out, section.a[j] + 0.0);
            out += j < 2 ? ',' : '\n';
        }
    }
    return out;
}
