#include "model/designs.h"

#include "model/filter_state.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Near ω = π rounding can push an argument that is zero in exact arithmetic
// a few ulps below zero; zero gives the exact answer, a double root at −1.
double rootOfNonNegative(double x) { return x < 0.0 ? 0.0 : std::sqrt(x); }

double normalizedCutoff(const FilterState& state)
{
    return (state.cutoff * state.pi) / state.nyquist;
}

void setSingle(RootList& list, int slot, Complex position)
{
    list.positions[slot] = position;
    list.pairFlags[slot] = false;
}

void setPair(RootList& list, int slot, Complex position)
{
    list.positions[slot] = position;
    list.pairFlags[slot] = true;
}

void designFirstOrderLowPass(FilterState& state, double omega)
{
    state.zeros.count = 1;
    state.poles.count = 1;
    const double s = std::sin(omega);
    const double b = (1.0 - s) * 0.5 / (s + 1.0);
    const double p = (b + 0.5) * std::cos(omega);
    setSingle(state.zeros, 0, {-1.0, 0.0});
    setSingle(state.poles, 0, {p, 0.0});
    state.gain = (1.0 - p) * 0.5;
    state.qVisible = false;
}

void designLowPassSection(FilterState& state, double omega)
{
    state.zeros.count = 1;
    state.poles.count = 1;
    designSecondOrderLowPass(omega, state.q, state.poles.positions[0], state.gain);
    setPair(state.zeros, 0, {-1.0, 0.0});
    state.poles.pairFlags[0] = true;
}

void designStateVariableLowPass(FilterState& state, double omega)
{
    state.zeros.count = 1;
    setSingle(state.zeros, 0, {0.0, 0.0});
    const double f = 2.0 * std::sin(omega / 2.0);
    const double a = 1.0 / state.q + f;
    const double d = a * a - 4.0;
    if (d > 0.0) {
        state.poles.count = 2;
        const double r = std::sqrt(d);
        setSingle(state.poles, 0, {1.0 - (a + r) * f / 2.0, 0.0});
        setSingle(state.poles, 1, {1.0 - (a - r) * f / 2.0, 0.0});
    } else {
        state.poles.count = 1;
        setPair(state.poles, 0, {(2.0 - a * f) / 2.0, f * std::sqrt(-d) / 2.0});
    }
    normalizeGain(state);
}

struct ResonatorTerms {
    double b;
    double g;
};

// The pole design shared by the band-pass and the notch.
ResonatorTerms designResonatorPoles(FilterState& state, double omega)
{
    const double t = std::tan(omega / (state.q + state.q));
    const double b = (1.0 - t) * 0.5 / (t + 1.0);
    const double g = (b + 0.5) * std::cos(omega);
    const double d = 2.0 * b - g * g;
    if (d < 0.0) {
        state.poles.count = 2;
        const double s = std::sqrt(-d);
        setSingle(state.poles, 0, {g + s, 0.0});
        setSingle(state.poles, 1, {g - s, 0.0});
    } else {
        state.poles.count = 1;
        setPair(state.poles, 0, {g, std::sqrt(d)});
    }
    return {b, g};
}

void designBandPass(FilterState& state, double omega)
{
    const double b = designResonatorPoles(state, omega).b;
    state.zeros.count = 2;
    setSingle(state.zeros, 0, {-1.0, 0.0});
    setSingle(state.zeros, 1, {1.0, 0.0});
    state.gain = 0.5 - b;
}

void designNotch(FilterState& state, double omega)
{
    const auto [b, g] = designResonatorPoles(state, omega);
    const double h = (b + 0.5) * 0.5;
    state.zeros.count = 1;
    setPair(state.zeros, 0, {g / (2.0 * h), rootOfNonNegative(4.0 * h * h - g * g) / (2.0 * h)});
    normalizeGain(state);
}

void designTwoLowPassSections(FilterState& state, double omega)
{
    state.zeros.count = 2;
    state.poles.count = 2;
    designSecondOrderLowPass(omega, state.q, state.poles.positions[0], state.gain);
    double secondGain = 0.0;
    designSecondOrderLowPass(omega, std::sqrt(0.5), state.poles.positions[1], secondGain);
    state.gain = state.gain * secondGain;
    for (int slot = 0; slot < 2; ++slot) {
        setPair(state.zeros, slot, {-1.0, 0.0});
        state.poles.pairFlags[slot] = true;
    }
}

}  // namespace

void designSecondOrderLowPass(double omega, double q, Complex& pole, double& sectionGain)
{
    const double alpha = std::sin(omega) * (1.0 / q) * 0.5;
    const double beta = (1.0 - alpha) * 0.5 / (1.0 + alpha);
    const double gamma = (beta + 0.5) * std::cos(omega);
    pole = {gamma, rootOfNonNegative(2.0 * beta - gamma * gamma)};
    sectionGain = ((beta + 0.5) - gamma) * 0.5;
}

void designButterworth(FilterState& state, int order)
{
    const double omega = normalizedCutoff(state);
    state.qVisible = false;
    // More sections than slots do not fit and are refused; none is nothing.
    const int sections = std::clamp(order / 2, 0, MAX_ROOTS);
    state.zeros.count = sections;
    state.poles.count = sections;
    state.gain = 1.0;
    for (int i = 0; i < sections; ++i) {
        const int k = 2 * i + 1;
        const double sectionQ = 1.0 / (2.0 * std::sin((k * state.pi) / (2 * order)));
        double sectionGain = 0.0;
        designSecondOrderLowPass(omega, sectionQ, state.poles.positions[i], sectionGain);
        setPair(state.zeros, i, {-1.0, 0.0});
        state.gain = state.gain * sectionGain;
        state.poles.pairFlags[i] = true;
    }
}

void applyModel(FilterState& state)
{
    const double omega = normalizedCutoff(state);
    state.qVisible = true;
    switch (state.modelIndex) {
    case 0: designFirstOrderLowPass(state, omega); break;
    case 1: designLowPassSection(state, omega); break;
    case 2: designStateVariableLowPass(state, omega); break;
    case 3: designBandPass(state, omega); break;
    case 4: designNotch(state, omega); break;
    case 5: designButterworth(state, 4); break;
    case 6: designTwoLowPassSections(state, omega); break;
    case 7: designButterworth(state, 6); break;
    default: break;
    }
}

namespace {

constexpr const char* MODEL_NAME_TABLE[] = {
    "1st order LP",
    "2nd order LP",
    "2nd order LP (state variable)",
    "2nd order BP",
    "2nd order Notch",
    "4th order LP (Butterworth)",
    "4th order LP (2x 2nd order)",
    "6th order LP (Butterworth)",
    "Custom",
};
static_assert(std::size(MODEL_NAME_TABLE) == MODEL_COUNT);

}  // namespace

const char* modelName(int modelIndex)
{
    if (modelIndex < 0 || modelIndex >= MODEL_CUSTOM)
        return MODEL_NAME_TABLE[MODEL_CUSTOM];
    return MODEL_NAME_TABLE[modelIndex];
}

int modelIndexNamed(std::string_view name)
{
    for (int i = 0; i < MODEL_COUNT; ++i)
        if (name == MODEL_NAME_TABLE[i])
            return i;
    return -1;
}

bool modelUsesQ(int modelIndex)
{
    switch (modelIndex) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 6: return true;
    default: return false;
    }
}
