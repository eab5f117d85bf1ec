#include "model/filter_state.h"

#include <algorithm>
#include <cmath>

FilterState initialFilterState()
{
    FilterState state;
    state.pi = 4.0 * std::atan(1.0);
    state.cutoff = std::sqrt(state.nyquist * state.lowestFrequency);
    state.q = std::sqrt(0.5);
    return state;
}

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

// An end of the band where |H|² is zero, infinite or NaN (a zero or a pole
// exactly there) cannot be brought to 1 by any finite gain.
bool usableEnd(double squared) { return std::isfinite(squared) && squared > 0.0; }

}  // namespace

Complex evaluateResponse(const FilterState& state, Complex z)
{
    const Complex q = productOfFactors(state.zeros, z) / productOfFactors(state.poles, z);
    return {q.re * state.gain, q.im * state.gain};
}

void normalizeGain(FilterState& state)
{
    state.gain = 1.0;
    const double m1 = squaredMagnitude(evaluateResponse(state, {1.0, 0.0}));
    const double m2 = squaredMagnitude(evaluateResponse(state, {-1.0, 0.0}));
    // An unusable end is passed over, so that a pole on one end still leaves
    // the other end at 1; with both usable the larger wins and a tie takes z = −1.
    double m = 1.0;
    if (usableEnd(m1) && usableEnd(m2))
        m = m1 > m2 ? m1 : m2;
    else if (usableEnd(m1))
        m = m1;
    else if (usableEnd(m2))
        m = m2;
    state.gain = 1.0 / std::sqrt(m);
}

int validSlots(const RootList& list) { return std::clamp(list.count, 0, MAX_ROOTS); }

int rootCount(const RootList& list)
{
    int count = 0;
    for (int i = 0; i < validSlots(list); ++i)
        count += list.pairFlags[i] ? 2 : 1;
    return count;
}

bool hasUnstablePole(const FilterState& state)
{
    for (int i = 0; i < validSlots(state.poles); ++i) {
        const Complex p = state.poles.positions[i];
        if (!(std::hypot(p.re, p.im) < 1.0))
            return true;
    }
    return false;
}
