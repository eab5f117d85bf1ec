#include "model/readout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <numbers>

namespace {

constexpr double DEGREES_PER_RADIAN = 180.0 / std::numbers::pi;

// True when a formatted number shows some digit other than 0.
bool showsNonZeroDigit(const std::string& text)
{
    return text.find_first_of("123456789") != std::string::npos;
}

// value with the given decimals. A value that rounds to zero is shown
// without its sign, so that "-0.0000" never appears; NaN is "nan" whatever
// its sign bit.
std::string fixed(double value, int decimals)
{
    if (std::isnan(value))
        return "nan";
    // Room for the largest double in %f with the few decimals used here.
    constexpr int SIZE = 400;
    char text[SIZE];
    const int length = std::snprintf(text, SIZE, "%.*f", decimals, value);
    if (length < 0)
        return "?";
    std::string result(text, static_cast<std::size_t>(std::min(length, SIZE - 1)));
    if (!result.empty() && result.front() == '-' && std::isfinite(value) && !showsNonZeroDigit(result))
        result.erase(0, 1);
    return result;
}

// value to the given significant digits, trailing zeros kept: 10 is
// "10.000" with 5 digits, 21740.3 is "21740".
std::string significant(double value, int digits)
{
    if (!std::isfinite(value) || value == 0.0)
        return fixed(value, 0);
    // The decimal exponent after rounding to these digits, which %e knows.
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
    if (length < 0)
        return "?";
    const char* e = std::strchr(text, 'e');
    const int exponent = e != nullptr ? std::atoi(e + 1) : 0;
    return fixed(value, std::max(0, digits - 1 - exponent));
}

// The pieces one after another. Texts are put together this way rather than
// with + on temporaries: that copies more, and GCC 12 at -O3 reports a false
// overlap (-Wrestrict) inside std::string for it.
std::string join(std::initializer_list<std::string_view> pieces)
{
    std::string text;
    for (const std::string_view piece : pieces)
        text += piece;
    return text;
}

// "a + jb" or "a - jb", both parts with the given decimals.
std::string cartesian(Complex z, int decimals)
{
    const std::string imaginary = fixed(std::fabs(z.im), decimals);
    const bool below = z.im < 0.0 && showsNonZeroDigit(imaginary);
    return join({fixed(z.re, decimals), below ? " - j" : " + j", imaginary});
}

// "angle = 26.57° (3254 Hz)": the angle θ in degrees and θ / π · Nyquist.
std::string angleAndFrequency(double angle, double nyquist, int degreeDecimals, int hertzDecimals)
{
    return join({"angle = ", fixed(angle * DEGREES_PER_RADIAN, degreeDecimals), "\u00b0 (",
                 fixed(angle / std::numbers::pi * nyquist, hertzDecimals), " Hz)"});
}

std::string counted(int count, const char* one, const char* many)
{
    return join({std::to_string(count), " ", count == 1 ? one : many});
}


}  // namespace

std::string responseReadout(const FilterState& state, double frequency)
{
    const double omega = frequency * std::numbers::pi / state.nyquist;
    const Complex h = evaluateResponse(state, {std::cos(omega), std::sin(omega)});
    const std::string f = significant(frequency, 5);
    if (std::isnan(h.re) || std::isnan(h.im))
        return join({"f = ", f, " Hz   |H| = undefined   phase = undefined"});
    const double magnitude = std::hypot(h.re, h.im);
    if (magnitude == 0.0)
        return join({"f = ", f, " Hz   |H| = -inf dB   phase = undefined"});
    const std::string level = std::isinf(magnitude) ? "+inf" : fixed(20.0 * std::log10(magnitude), 2);
    const std::string phase = fixed(std::atan2(h.im, h.re) * DEGREES_PER_RADIAN, 1);
    return join({"f = ", f, " Hz   |H| = ", level, " dB   phase = ", phase, "\u00b0"});
}

std::string zPlaneReadout(Complex z, double nyquist)
{
    return join({"z = ", cartesian(z, 4), "   |z| = ", fixed(std::hypot(z.re, z.im), 4), "   ",
                 angleAndFrequency(std::atan2(z.im, z.re), nyquist, 2, 0)});
}

std::string rootReadout(Root root, RootKind kind, double nyquist)
{
    const Complex p = root.position;
    const bool pole = kind == RootKind::Pole;
    const char* name = pole ? "Pole" : "Zero";
    if (!root.pair) {
        const bool unstable = pole && !(std::fabs(p.re) < 1.0);
        return join({name, " ", fixed(p.re, 5), unstable ? "   unstable" : ""});
    }
    // A pair is shown by its upper root, whichever sign the stored one has.
    const double im = std::fabs(p.im);
    const double r = std::hypot(p.re, im);
    std::string stability;
    if (pole)
        stability = r < 1.0 ? join({"   Q = ", fixed(poleQuality(p), 3)}) : "   unstable";
    return join({name, " pair ", fixed(p.re, 5), " \u00b1 j", fixed(im, 5), "   r = ", fixed(r, 5), "   ",
                 angleAndFrequency(std::atan2(im, p.re), nyquist, 3, 1), stability});
}

std::string filterSummary(const FilterState& state, std::string_view modelName, Precision precision)
{
    char gain[32];
    std::snprintf(gain, sizeof gain, "%.6g", state.gain);
    // Rounded only when asked for: the exact view computes nothing more.
    const std::string rounding =
        precision == Precision::Exact ? std::string() : join({"   ", precisionSummary(roundFilter(state, precision))});
    return join({modelName, "   ", counted(rootCount(state.zeros), "zero", "zeros"), ", ",
                 counted(rootCount(state.poles), "pole", "poles"), "   gain ", gain, "   ",
                 hasUnstablePole(state) ? "unstable (a pole on or outside the unit circle)" : "stable", rounding});
}

double poleQuality(Complex pole)
{
    const double r = std::hypot(pole.re, pole.im);
    if (!(r < 1.0))
        return std::numeric_limits<double>::quiet_NaN();
    const double sigma = std::log(r);
    const double theta = std::atan2(std::fabs(pole.im), pole.re);
    // √(σ² + θ²) / (−2σ) divided through by −σ > 0, which stays finite as
    // r → 0 (σ → −∞) where the plain form gives ∞ / ∞.
    return std::hypot(1.0, theta / sigma) / 2.0;
}
