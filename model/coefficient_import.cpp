#include "model/coefficient_import.h"

#include "model/coefficient_reader.h"
#include "model/design_file.h"
#include "model/root_finding.h"
#include "model/slider_positions.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <limits>
#include <numbers>
#include <numeric>
#include <vector>

namespace {

using Cplx = std::complex<double>;

constexpr double CONJUGATE_TOLERANCE = 1e-9;
// The check leaves out frequencies this close to a root, where a relative
// difference measures nothing but the root's last bits.
constexpr double CHECK_DISTANCE = 1e-3;

std::string at(int line, const std::string& problem) { return "line " + std::to_string(line) + ": " + problem; }

std::string shortNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string complexText(Cplx z)
{
    if (z.imag() == 0.0)
        return shortNumber(z.real());
    return shortNumber(z.real()) + (z.imag() < 0.0 ? "-" : "+") + shortNumber(std::fabs(z.imag())) + "j";
}

struct Found {
    Cplx value;
    int line = 0;
};

// The roots and gain gathered from the text, before pairing.
struct Gathered {
    std::vector<Found> zeros;
    std::vector<Found> poles;
    double gain = 1.0;
    int gainLine = 0;
};

// The roots of a polynomial of one side, each with the line it came from.
bool addRoots(const std::vector<double>& coefficients, int line, const char* side, std::vector<Found>& roots,
              std::string& error)
{
    if (coefficients.size() < 2)
        return true;
    const std::optional<std::vector<Cplx>> found = polynomialRoots(coefficients);
    if (!found) {
        error = at(line, std::string("the roots of ") + side + " cannot be found");
        return false;
    }
    for (const Cplx& root : *found)
        roots.push_back({root, line});
    return true;
}

// b(z⁻¹) / a(z⁻¹) as roots in z and a gain factor (see the header).
bool addRatio(const std::vector<double>& b, int bLine, const std::vector<double>& a, int aLine, Gathered& gathered,
              std::string& error)
{
    const auto nonZero = [](double v) { return v != 0.0; };
    const auto lastNonZero = [&](const std::vector<double>& c) {
        return static_cast<std::size_t>(std::find_if(c.rbegin(), c.rend(), nonZero).base() - c.begin()) - 1;
    };
    const std::size_t lead = static_cast<std::size_t>(std::find_if(b.begin(), b.end(), nonZero) - b.begin());
    const std::size_t last = lastNonZero(b);
    const std::size_t lastA = lastNonZero(a);
    const std::size_t zeroCount = (last - lead) + (lastA > last ? lastA - last : 0);
    const std::size_t poleCount = lastA + (last > lastA ? last - lastA : 0);
    constexpr std::size_t MOST = MAX_POLYNOMIAL_DEGREE;
    if (gathered.zeros.size() + zeroCount > MOST || gathered.poles.size() + poleCount > MOST) {
        const bool zeros = gathered.zeros.size() + zeroCount > MOST;
        error = at(zeros ? bLine : aLine, std::string("more than ") + std::to_string(MAX_ROOTS)
                                              + (zeros ? " zeros" : " poles") + ", even with every pair counted once");
        return false;
    }
    const std::vector<double> numerator(b.begin() + static_cast<std::ptrdiff_t>(lead),
                                        b.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    const std::vector<double> denominator(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(lastA) + 1);
    if (!addRoots(numerator, bLine, "b", gathered.zeros, error)
        || !addRoots(denominator, aLine, "a", gathered.poles, error))
        return false;
    for (std::size_t i = last; i < lastA; ++i)
        gathered.zeros.push_back({0.0, bLine});
    for (std::size_t i = lastA; i < last; ++i)
        gathered.poles.push_back({0.0, aLine});
    gathered.gain = gathered.gain * (b[lead] / a[0]);
    return true;
}

bool gatherSections(const CoefficientInput& input, Gathered& gathered, std::string& error)
{
    gathered.gainLine = input.sections.front().line;
    for (const SectionRow& section : input.sections) {
        if (section.a[0] == 0.0) {
            error = at(section.line, "a0 is 0");
            return false;
        }
        if (section.b[0] == 0.0 && section.b[1] == 0.0 && section.b[2] == 0.0) {
            error = at(section.line, "b0, b1 and b2 are all 0");
            return false;
        }
        const std::vector<double> b(std::begin(section.b), std::end(section.b));
        const std::vector<double> a(std::begin(section.a), std::end(section.a));
        if (!addRatio(b, section.line, a, section.line, gathered, error))
            return false;
    }
    return true;
}

bool gatherTransferFunction(const CoefficientInput& input, Gathered& gathered, std::string& error)
{
    const std::vector<double>& b = input.b.values;
    const std::vector<double>& a = input.a.values;
    gathered.gainLine = input.b.line;
    if (b.empty() || a.empty()) {
        error = at(b.empty() ? input.b.line : input.a.line, b.empty() ? "b is empty" : "a is empty");
        return false;
    }
    if (a.front() == 0.0) {
        error = at(input.a.lines.front(), "the first coefficient of a is 0");
        return false;
    }
    if (std::all_of(b.begin(), b.end(), [](double v) { return v == 0.0; })) {
        error = at(input.b.line, "b is all zeros");
        return false;
    }
    return addRatio(b, input.b.line, a, input.a.line, gathered, error);
}

bool gatherRoots(const NumberList<Cplx>& list, const char* side, std::vector<Found>& roots, std::string& error)
{
    for (std::size_t i = 0; i < list.values.size(); ++i) {
        if (i == static_cast<std::size_t>(MAX_POLYNOMIAL_DEGREE)) {
            error = at(list.lines[i], std::string("more than ") + std::to_string(MAX_ROOTS) + " " + side
                                          + ", even with every pair counted once");
            return false;
        }
        roots.push_back({list.values[i], list.lines[i]});
    }
    return true;
}

bool gatherZerosPolesGain(const CoefficientInput& input, Gathered& gathered, std::string& error)
{
    if (input.k == 0.0) {
        error = at(input.kLine, "the gain k is 0");
        return false;
    }
    gathered.gain = input.k;
    gathered.gainLine = input.kLine;
    return gatherRoots(input.zeros, "zeros", gathered.zeros, error)
        && gatherRoots(input.poles, "poles", gathered.poles, error);
}

bool atOrigin(const Found& root) { return root.value == Cplx(0.0, 0.0); }

// H(z)·z⁻ᴰ read as H(z): D poles at 0 fewer, or zeros at 0 where there are
// not as many poles there.
bool applyDelay(const CoefficientInput& input, Gathered& gathered, std::string& error)
{
    if (input.delay > 2 * MAX_POLYNOMIAL_DEGREE) {
        error = at(input.delayLine, "a delay of more samples than zeros can be shown");
        return false;
    }
    for (int d = 0; d < input.delay; ++d) {
        const auto pole = std::find_if(gathered.poles.rbegin(), gathered.poles.rend(), atOrigin);
        if (pole != gathered.poles.rend())
            gathered.poles.erase(std::next(pole).base());
        else
            gathered.zeros.push_back({0.0, input.delayLine});
    }
    return true;
}

// Zeros and poles at 0 in equal numbers cancel: SciPy pads the sections of a
// filter of odd order with one of each, and the program's text of a pair of
// zeros at 0 in a section of no poles leaves them to its delay line. They
// are taken out, and the program's own counts line brings back those its
// filter had. A counts line that does not fit so is one the numbers no
// longer follow, and tells nothing.
void cancelAtOrigin(const CoefficientInput& input, Gathered& gathered)
{
    while (true) {
        const auto zero = std::find_if(gathered.zeros.rbegin(), gathered.zeros.rend(), atOrigin);
        const auto pole = std::find_if(gathered.poles.rbegin(), gathered.poles.rend(), atOrigin);
        if (zero == gathered.zeros.rend() || pole == gathered.poles.rend())
            break;
        gathered.zeros.erase(std::next(zero).base());
        gathered.poles.erase(std::next(pole).base());
    }
    const long zeros = static_cast<long>(input.zeroCount) - static_cast<long>(gathered.zeros.size());
    const long poles = static_cast<long>(input.poleCount) - static_cast<long>(gathered.poles.size());
    if (input.zeroCount < 0 || input.poleCount < 0 || zeros <= 0 || zeros != poles || zeros > MAX_POLYNOMIAL_DEGREE)
        return;
    gathered.zeros.insert(gathered.zeros.end(), static_cast<std::size_t>(zeros), Found{0.0, input.countLine});
    gathered.poles.insert(gathered.poles.end(), static_cast<std::size_t>(poles), Found{0.0, input.countLine});
}

// The slots of one side (see the header), in the order of the roots' first
// appearance.
bool pairUp(const std::vector<Found>& roots, const char* side, RootList& list, std::string& error)
{
    std::vector<bool> used(roots.size(), false);
    list.count = 0;
    for (std::size_t i = 0; i < roots.size(); ++i) {
        if (used[i])
            continue;
        used[i] = true;
        const Cplx r = roots[i].value;
        std::size_t partner = roots.size();
        double distance = std::numeric_limits<double>::infinity();
        for (std::size_t j = i + 1; j < roots.size(); ++j) {
            const double d = std::abs(roots[j].value - std::conj(r));
            if (!used[j] && d < distance) {
                distance = d;
                partner = j;
            }
        }
        if (list.count == MAX_ROOTS) {
            error = at(roots[i].line, std::string("more than ") + std::to_string(MAX_ROOTS) + " " + side
                                          + " (a conjugate pair counts once)");
            return false;
        }
        const int slot = list.count++;
        const bool paired = partner < roots.size()
            && distance <= CONJUGATE_TOLERANCE * std::max(std::abs(r), std::abs(roots[partner].value));
        if (paired) {
            used[partner] = true;
            const Cplx s = roots[partner].value;
            list.positions[slot] = {std::midpoint(r.real(), s.real()) + 0.0,
                                    std::midpoint(std::fabs(r.imag()), std::fabs(s.imag())) + 0.0};
            list.pairFlags[slot] = true;
        } else if (std::fabs(r.imag()) <= CONJUGATE_TOLERANCE * std::abs(r)) {
            list.positions[slot] = {r.real() + 0.0, 0.0};
            list.pairFlags[slot] = false;
        } else {
            error = at(roots[i].line, complexText(r) + " has no conjugate among the " + side);
            return false;
        }
    }
    return true;
}

// H of the text as written, in long double where the machine has more than
// double, with a bound on the relative rounding error of that evaluation
// (in units of the long double's ε): the cascade or the ratio in powers of
// z⁻¹, or the product in powers of z, times z^D for a delay line. Near its
// zeros a sum of powers of z⁻¹ cancels, and there the bound grows without
// limit.
struct Reference {
    std::complex<long double> h;
    long double errorBound = 0.0L;
};

using LongCplx = std::complex<long double>;

// Σ cₖ·wᵏ with |w| = 1, and its bound (2n + 1)·Σ|cₖ| / |Σ cₖ·wᵏ|.
LongCplx powerSum(const double* c, std::size_t count, LongCplx w, long double& errorBound)
{
    LongCplx sum = 0.0L;
    long double magnitudes = 0.0L;
    for (std::size_t k = count; k-- > 0;) {
        sum = sum * w + static_cast<long double>(c[k]);
        magnitudes += std::fabs(static_cast<long double>(c[k]));
    }
    errorBound += static_cast<long double>(2 * count + 1) * magnitudes / std::abs(sum);
    return sum;
}

Reference inputResponse(const CoefficientInput& input, double omega)
{
    const long double angle = static_cast<long double>(omega);
    const LongCplx z = std::polar(1.0L, angle);
    const LongCplx w = std::conj(z);
    Reference reference;
    LongCplx& h = reference.h;
    long double& bound = reference.errorBound;
    h = 1.0L;
    switch (input.form) {
    case CoefficientForm::Sections:
        for (const SectionRow& s : input.sections)
            h *= powerSum(s.b, 3, w, bound) / powerSum(s.a, 3, w, bound);
        break;
    case CoefficientForm::TransferFunction:
        h = powerSum(input.b.values.data(), input.b.values.size(), w, bound)
            / powerSum(input.a.values.data(), input.a.values.size(), w, bound);
        break;
    case CoefficientForm::ZerosPolesGain:
        h = static_cast<long double>(input.k);
        for (const Cplx& zero : input.zeros.values) {
            const LongCplx factor = z - LongCplx(zero.real(), zero.imag());
            h *= factor;
            bound += 2.0L * (1.0L + std::abs(LongCplx(zero))) / std::abs(factor);
        }
        for (const Cplx& pole : input.poles.values) {
            const LongCplx factor = z - LongCplx(pole.real(), pole.imag());
            h /= factor;
            bound += 2.0L * (1.0L + std::abs(LongCplx(pole))) / std::abs(factor);
        }
        break;
    }
    h *= std::polar(1.0L, static_cast<long double>(input.delay) * angle);
    bound += static_cast<long double>(input.delay) + 4.0L;
    return reference;
}

bool nearRoot(const RootList& list, Cplx z)
{
    for (int i = 0; i < list.count; ++i) {
        const Cplx root(list.positions[i].re, list.positions[i].im);
        if (std::abs(z - root) < CHECK_DISTANCE
            || (list.pairFlags[i] && std::abs(z - std::conj(root)) < CHECK_DISTANCE))
            return true;
    }
    return false;
}

// The check of the header; false with the error when a response is not
// finite. A frequency where the text's own H cannot be evaluated to well
// within the tolerance (a zero of the text close by) tells nothing and is
// left out as well.
bool check(const CoefficientInput& input, const FilterState& filter, CoefficientImport& result)
{
    constexpr long double TRUSTED = IMPORT_CHECK_TOLERANCE / 100.0;
    int checked = 0;
    for (int k = 0; k < IMPORT_CHECK_FREQUENCIES; ++k) {
        const double omega = std::numbers::pi * (k + 0.5) / IMPORT_CHECK_FREQUENCIES;
        const Cplx z(std::cos(omega), std::sin(omega));
        if (nearRoot(filter.zeros, z) || nearRoot(filter.poles, z))
            continue;
        const double frequency = omega / std::numbers::pi * filter.nyquist;
        const Reference expected = inputResponse(input, omega);
        const Complex h = evaluateResponse(filter, {z.real(), z.imag()});
        const LongCplx got(h.re, h.im);
        if (!std::isfinite(h.re) || !std::isfinite(h.im) || !std::isfinite(expected.h.real())
            || !std::isfinite(expected.h.imag())) {
            result.error = "the response is not finite at " + shortNumber(frequency) + " Hz";
            return false;
        }
        if (!(expected.errorBound * std::numeric_limits<long double>::epsilon() <= TRUSTED))
            continue;
        const long double scale = std::max(std::abs(expected.h), std::abs(got));
        const double difference = scale == 0.0L ? 0.0 : static_cast<double>(std::abs(got - expected.h) / scale);
        ++checked;
        if (difference > result.worstDifference) {
            result.worstDifference = difference;
            result.worstFrequency = frequency;
        }
    }
    char text[160];
    if (result.worstDifference > IMPORT_CHECK_TOLERANCE) {
        std::snprintf(text, sizeof text,
                      "the response differs from the coefficients' by up to %.2g (relative, at %.0f Hz)",
                      result.worstDifference, result.worstFrequency);
        result.warning = text;
    } else if (checked < IMPORT_CHECK_FREQUENCIES / 2) {
        std::snprintf(text, sizeof text, "the response could be checked at only %d of %d frequencies", checked,
                      IMPORT_CHECK_FREQUENCIES);
        result.warning = text;
    }
    return true;
}

bool validRate(int rate) { return rate == 44100 || rate == 48000 || rate == 96000 || rate == 192000; }

}  // namespace

CoefficientImport importCoefficients(std::string_view text, int sampleRate, int cutoffPosition, int qPosition)
{
    CoefficientImport result;
    const CoefficientReading reading = readCoefficientText(text);
    if (!reading.input) {
        result.error = reading.error;
        return result;
    }
    const CoefficientInput& input = *reading.input;
    const int rate = input.sampleRate != 0 ? input.sampleRate : sampleRate;
    if (!validRate(rate)) {
        result.error = "the sample rate must be 44100, 48000, 96000 or 192000 Hz";
        return result;
    }

    Gathered gathered;
    bool gathering = false;
    switch (input.form) {
    case CoefficientForm::Sections: gathering = gatherSections(input, gathered, result.error); break;
    case CoefficientForm::TransferFunction: gathering = gatherTransferFunction(input, gathered, result.error); break;
    case CoefficientForm::ZerosPolesGain: gathering = gatherZerosPolesGain(input, gathered, result.error); break;
    }
    if (!gathering || !applyDelay(input, gathered, result.error))
        return result;
    cancelAtOrigin(input, gathered);
    if (!std::isfinite(gathered.gain) || gathered.gain == 0.0) {
        result.error = at(gathered.gainLine, std::isfinite(gathered.gain) ? "the gain comes out as 0"
                                                                            : "the gain is not finite");
        return result;
    }

    Document document = designedDocument(MODEL_CUSTOM, rate, std::clamp(cutoffPosition, 0, SLIDER_TOP),
                                         std::clamp(qPosition, 0, SLIDER_TOP));
    FilterState& filter = document.filter;
    filter.gain = gathered.gain;
    if (!pairUp(gathered.zeros, "zeros", filter.zeros, result.error)
        || !pairUp(gathered.poles, "poles", filter.poles, result.error))
        return result;
    if (!check(input, filter, result))
        return result;
    result.document = document;
    return result;
}

CoefficientImport importIntoDocument(std::string_view text, const Document& current)
{
    return importCoefficients(text, current.sampleRate, current.cutoffPosition, current.qPosition);
}

ImportCommandOutput importCommandOutput(std::string_view text, std::string_view inputName, int sampleRate)
{
    ImportCommandOutput output;
    const Document defaults;
    const CoefficientImport imported =
        importCoefficients(text, sampleRate, defaults.cutoffPosition, defaults.qPosition);
    const std::string name(inputName);
    if (!imported.document) {
        output.message = name + ": " + imported.error;
        return output;
    }
    // Only a text that reads back to the very document is worth writing.
    std::string designText = writeDesign(*imported.document);
    const DesignReadResult back = readDesign(designText);
    if (!back.document || !(*back.document == *imported.document)) {
        output.message = name + ": the imported filter cannot be stored in a design file";
        return output;
    }
    output.ok = true;
    output.designText = std::move(designText);
    output.sampleRate = imported.document->sampleRate;
    if (!imported.warning.empty())
        output.message = name + ": warning: " + imported.warning;
    return output;
}
