#include "model/filter_state.h"

#include <cmath>

FilterState initialFilterState()
{
    FilterState state;
    state.pi = 4.0 * std::atan(1.0);
    state.cutoff = std::sqrt(state.nyquist * state.lowestFrequency);
    state.q = std::sqrt(0.5);
    return state;
}

FilterState filterState = initialFilterState();

namespace {

Complex productOfFactors(const RootList& list, Complex z)
{
    Complex product{1.0, 0.0};
    for (int i = 0; i < list.count; ++i) {
        product = product * (z - list.positions[i]);
        if (list.pairFlags[i])
            product = product * (z - conj(list.positions[i]));
    }
    return product;
}

double squaredMagnitude(Complex h) { return h.re * h.re + h.im * h.im; }

}  // namespace

Complex evaluateResponse(const FilterState& state, Complex z)
{
    const Complex q = productOfFactors(state.zeros, z) / productOfFactors(state.poles, z);
    return {q.re * state.gain, q.im * state.gain};
}

Complex evaluateResponse(Complex z) { return evaluateResponse(filterState, z); }

void normalizeGain()
{
    filterState.gain = 1.0;
    const double m1 = squaredMagnitude(evaluateResponse({1.0, 0.0}));
    const double m2 = squaredMagnitude(evaluateResponse({-1.0, 0.0}));
    const double m = m1 > m2 ? m1 : m2;
    filterState.gain = std::isfinite(m) && m > 0.0 ? 1.0 / std::sqrt(m) : 1.0;
}
