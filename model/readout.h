#pragma once

#include "model/filter_state.h"
#include "model/rounding.h"

#include <string>
#include <string_view>

// The texts of the live readout: what lies under the pointer, in numbers.
// Each is one line of plain UTF-8; the window only shows them.

enum class RootKind { Zero, Pole };

// At a frequency f (Hz) of the response axis, with |H| and phase evaluated
// there afresh:
//   "f = 1234.5 Hz   |H| = -3.01 dB   phase = -45.0°"
// f to 5 significant digits (trailing zeros kept, so that the text keeps its
// width while the pointer moves), dB to 2 decimals, degrees to 1. Where H is
// 0 the level reads "-inf dB" and the phase "undefined"; where H is not a
// number (exactly on a pole) both read "undefined"; an infinite H reads
// "+inf dB" with its phase.
std::string responseReadout(const FilterState& state, double frequency);

// At a point z of the z-plane, nyquist in Hz:
//   "z = 0.5000 + j0.2500   |z| = 0.5590   angle = 26.57° (3254 Hz)"
// The frequency is angle / π · Nyquist, negative below the real axis.
std::string zPlaneReadout(Complex z, double nyquist);

// One stored root, nyquist in Hz. A pair, by its upper root:
//   "Pole pair 0.95273 ± j0.04514   r = 0.95379   angle = 2.713° (332.3 Hz)   Q = 0.707"
// where a pole pair with r ≥ 1 ends in "unstable" instead of Q, and a zero
// pair has neither. A single root shows its real position only:
//   "Zero -1.00000", "Pole 0.50000", "Pole 1.20000   unstable".
std::string rootReadout(Root root, RootKind kind, double nyquist);

// The filter as a whole:
//   "2nd order LP   2 zeros, 2 poles   gain 0.00106809   stable"
// a pair counting 2, the gain to 6 significant digits, and
// "unstable (a pole on or outside the unit circle)" when any pole has
// |p| ≥ 1 (or is not a number). With a precision other than Exact, what
// rounding the coefficients to it leaves follows (precisionSummary):
//   "…   stable   Q15: 1 pole on the unit circle – unstable after rounding"
std::string filterSummary(const FilterState& state, std::string_view modelName,
                          Precision precision = Precision::Exact);

// The quality factor of a pole p = r·e^(jθ) with r < 1: the Q of the s-plane
// pole that the impulse-invariant mapping z = e^(sT) sends to it,
// √(σ² + θ²) / (−2σ) with σ = ln r. NaN for r ≥ 1 (or a position that is
// not a number); 0.5 in the limit r → 0.
double poleQuality(Complex pole);
