#include "model/time_response.h"

#include "model/design_file.h"
#include "model/readout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

// A pair gives two roots, so a list never holds more than this many.
constexpr int MOST_ROOTS = 2 * MAX_ROOTS;

// |p|ⁿ below this ends the shown impulse response.
constexpr double SHOWN_DECAY = 1e-6;

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();


// The upper root of a pair, and the root of a single slot, whose im is 0 by
// contract and is not read, as the cascade does not read it. im ≥ 0 and never
// −0, so that the angle of a root on the negative real axis is π, not −π.
Complex upperRoot(const RootList& list, int slot)
{
    const Complex p = list.positions[slot];
    return {p.re, list.pairFlags[slot] ? std::fabs(p.im) : 0.0};
}

// The roots of a list one by one, a pair as both of its roots; returns how
// many. The lower root of a pair on the real axis keeps im = +0 as well.
int rootsOf(const RootList& list, Complex (&roots)[MOST_ROOTS])
{
    int count = 0;
    for (int i = 0; i < validSlots(list); ++i) {
        const Complex upper = upperRoot(list, i);
        roots[count++] = upper;
        if (list.pairFlags[i])
            roots[count++] = {upper.re, -upper.im + 0.0};
    }
    return count;
}


double radiusOf(Complex root) { return std::hypot(root.re, root.im); }

// Re(e^{jω} / (e^{jω} − r)) for r = ρ·e^{jθ}, which is Re(1 / (1 − ρ·e^{j(θ−ω)}))
//   = (1 − ρ·cos α) / (1 − 2ρ·cos α + ρ²),  α = θ − ω,
// written with s = sin(α/2) as ((1 − ρ) + 2ρs²) / ((1 − ρ)² + 4ρs²): the
// plain form loses every digit to cancellation near a root on or close to
// the unit circle, where the complex quotient also turns on the rounding of
// e^{jω} (a root on the circle gives exactly ½ everywhere but on itself).
// Numerator and denominator are divided by the larger of |1 − ρ| and |s|, so
// that neither squares to 0 close to a root; both 0 is the root itself.
double rootDelay(Complex root, double omega)
{
    const double rho = radiusOf(root);
    const double s = std::sin((std::atan2(root.im, root.re) - omega) / 2.0);
    const double u = 1.0 - rho;
    const double m = std::max(std::fabs(u), std::fabs(s));
    if (m == 0.0)
        return NOT_A_NUMBER;
    const double us = u / m;
    const double ss = s / m;
    return (us + 2.0 * rho * m * ss * ss) / (m * (us * us + 4.0 * rho * ss * ss));
}

}  // namespace

int shownImpulseLength(const FilterState& filter)
{
    if (hasUnstablePole(filter))
        return UNSTABLE_IMPULSE;
    double largest = 0.0;
    for (int i = 0; i < validSlots(filter.poles); ++i)
        largest = std::max(largest, radiusOf(upperRoot(filter.poles, i)));
    // rⁿ < 10⁻⁶ from n > ln 10⁻⁶ / ln r on; the quotient is compared in
    // double before it becomes an int, as it grows without bound as r → 1.
    // r = 0 (or no pole) gives 1: nothing of a pole is left after n = 0.
    int decayed = 1;
    if (largest > 0.0) {
        const double limit = std::log(SHOWN_DECAY) / std::log(largest);
        decayed = limit >= LONGEST_SHOWN_IMPULSE ? LONGEST_SHOWN_IMPULSE : static_cast<int>(std::floor(limit)) + 1;
    }
    // The response reaches its last sample of the numerator's finite part at
    // max(Z, P): short-lived or finite responses of high degree show whole.
    const int onset = std::max(rootCount(filter.zeros), rootCount(filter.poles)) + 1;
    return std::clamp(std::max(decayed, onset), SHORTEST_IMPULSE, LONGEST_SHOWN_IMPULSE);
}

// H(z)·z⁻ᴰ = gain · z^(Z−P−D) · ∏ (1 − zᵢ·z⁻¹) / ∏ (1 − pᵢ·z⁻¹): the
// unit impulse, times the gain, runs through one first-order section per root,
// the zeros' first, starting P − Z samples late when the poles outnumber the
// zeros. The state is the previous input of each zero section and the previous
// output of each pole section, on the stack.
std::vector<double> impulseResponse(const FilterState& filter, int length)
{
    std::vector<double> h(static_cast<std::size_t>(std::clamp(length, 0, LONGEST_IMPULSE)), 0.0);
    Complex zeros[MOST_ROOTS];
    Complex poles[MOST_ROOTS];
    const int zeroCount = rootsOf(filter.zeros, zeros);
    const int poleCount = rootsOf(filter.poles, poles);
    const int start = std::max(0, poleCount - zeroCount);
    const int size = static_cast<int>(h.size());
    // The numerator is finite: after its Z + 1 samples only the poles' own
    // recursions go on, and without poles nothing does.
    const int end = poleCount == 0 ? std::min(size, start + zeroCount + 1) : size;
    Complex zeroInputs[MOST_ROOTS] = {};
    Complex poleOutputs[MOST_ROOTS] = {};
    for (int n = start; n < end; ++n) {
        const int t = n - start;
        Complex x{t == 0 ? filter.gain : 0.0, 0.0};
        if (t <= zeroCount) {
            for (int i = 0; i < zeroCount; ++i) {
                const Complex in = x;
                x = in - zeros[i] * zeroInputs[i];
                zeroInputs[i] = in;
            }
        } else {
            x = {};
        }
        for (int i = 0; i < poleCount; ++i) {
            x = x + poles[i] * poleOutputs[i];
            poleOutputs[i] = x;
        }
        // The conjugate roots of each pair leave only rounding in im.
        h[static_cast<std::size_t>(n)] = x.re;
    }
    return h;
}

std::vector<double> stepResponse(const std::vector<double>& impulse)
{
    std::vector<double> step(impulse.size());
    double sum = 0.0;
    for (std::size_t n = 0; n < impulse.size(); ++n) {
        sum += impulse[n];
        step[n] = sum;
    }
    return step;
}

std::optional<double> finalStepValue(const FilterState& filter)
{
    if (hasUnstablePole(filter))
        return std::nullopt;
    // H(1) of a real filter is real; its im is rounding alone.
    const Complex h = evaluateResponse(filter, {1.0, 0.0});
    if (!std::isfinite(h.re) || !std::isfinite(h.im))
        return std::nullopt;
    return h.re;
}

double groupDelay(const FilterState& filter, double frequency)
{
    // π · (f / Nyquist), so that f = Nyquist is ω = π exactly, the angle of
    // a root at −1.
    const double omega = std::numbers::pi * (frequency / filter.nyquist);
    double delay = 0.0;
    Complex roots[MOST_ROOTS];
    const int poleCount = rootsOf(filter.poles, roots);
    for (int i = 0; i < poleCount; ++i)
        delay += rootDelay(roots[i], omega);
    const int zeroCount = rootsOf(filter.zeros, roots);
    for (int i = 0; i < zeroCount; ++i)
        delay -= rootDelay(roots[i], omega);
    return delay;
}

std::vector<double> groupDelays(const FilterState& filter, const std::vector<double>& frequencies)
{
    std::vector<double> delays;
    delays.reserve(frequencies.size());
    for (const double f : frequencies)
        delays.push_back(groupDelay(filter, f));
    return delays;
}

std::vector<double> logFrequencies(double lowest, double nyquist, int points)
{
    std::vector<double> frequencies;
    if (points < 2)
        return frequencies;
    frequencies.reserve(static_cast<std::size_t>(points));
    const double ratio = nyquist / lowest;
    for (int i = 0; i < points - 1; ++i)
        frequencies.push_back(lowest * std::pow(ratio, static_cast<double>(i) / (points - 1)));
    frequencies.push_back(nyquist);
    return frequencies;
}

std::vector<RootRow> rootRows(const FilterState& filter, double sampleRate)
{
    const double nyquist = sampleRate / 2.0;
    std::vector<RootRow> rows;
    for (const RootTableKind kind : {RootTableKind::Zero, RootTableKind::Pole}) {
        const RootList& list = kind == RootTableKind::Zero ? filter.zeros : filter.poles;
        for (int i = 0; i < validSlots(list); ++i) {
            const Complex root = upperRoot(list, i);
            RootRow row;
            row.kind = kind;
            row.pair = list.pairFlags[i];
            row.slot = i;
            row.re = root.re;
            row.im = root.im;
            row.radius = radiusOf(root);
            row.angleDegrees = std::atan2(root.im, root.re) * (180.0 / std::numbers::pi);
            row.frequency = row.angleDegrees / 180.0 * nyquist;
            if (kind == RootTableKind::Pole) {
                row.marginDb = -20.0 * std::log10(row.radius) + 0.0;
                if (row.radius < 1.0) {
                    const double n60 = std::log(1000.0) / -std::log(row.radius);
                    row.n60Samples = n60;
                    row.n60Ms = n60 / sampleRate * 1000.0;
                    if (row.pair)
                        row.q = poleQuality(root);
                }
            }
            rows.push_back(row);
        }
    }
    return rows;
}

namespace {

// −0 written as 0, as every other text of the program writes it.
void appendNumber(std::string& out, double value) { appendShortestNumber(out, value + 0.0); }

void appendOptional(std::string& out, const std::optional<double>& value)
{
    if (value)
        appendNumber(out, *value);
}

}  // namespace

std::string valueListCsv(const std::vector<double>& values)
{
    std::string out;
    out.reserve(values.size() * 24);
    for (const double value : values) {
        appendNumber(out, value);
        out += '\n';
    }
    return out;
}

std::string groupDelayCsv(const std::vector<double>& frequencies, const std::vector<double>& delays)
{
    std::string out;
    const std::size_t count = std::min(frequencies.size(), delays.size());
    out.reserve(count * 48);
    for (std::size_t i = 0; i < count; ++i) {
        appendNumber(out, frequencies[i]);
        out += ',';
        appendNumber(out, delays[i]);
        out += '\n';
    }
    return out;
}

std::string rootTableCsv(const std::vector<RootRow>& rows)
{
    std::string out = "kind,re,im,pair,r,angle_deg,f_hz,q,n60_samples,n60_ms,margin_db\n";
    for (const RootRow& row : rows) {
        out += row.kind == RootTableKind::Zero ? "zero," : "pole,";
        appendNumber(out, row.re);
        out += ',';
        appendNumber(out, row.im);
        out += row.pair ? ",true," : ",false,";
        for (const std::optional<double>& field :
             {std::optional<double>(row.radius), std::optional<double>(row.angleDegrees),
              std::optional<double>(row.frequency), row.q, row.n60Samples, row.n60Ms, row.marginDb}) {
            appendOptional(out, field);
            out += ',';
        }
        // The last field ends the line, not a comma.
        out.pop_back();
        out += '\n';
    }
    return out;
}
