#pragma once

#include "model/complex.h"

// The one filter the program studies: its zeros, poles and gain, and the
// design parameters from which the designs derive them.
//
//   H(z) = gain · ∏ over zeros (z − zᵢ) / ∏ over poles (z − pᵢ)
//
// A root stored as a conjugate pair contributes both z − p and z − conj(p).

constexpr int MAX_ROOTS = 20;

// One stored zero or pole. A single root (pair false) lies at re + j·im and
// every writer keeps its im at 0. A pair stands for re ± j·im; the sign of im
// does not matter to evaluation, and im = 0 is a double real root.
struct Root {
    Complex position;
    bool pair = false;
};

// A list of fixed capacity, so that designs and edits never allocate: slots
// 0 … count − 1 hold the roots, without gaps. Slots from count on keep what an
// earlier design or edit left there, and no reader looks at them.
struct RootList {
    bool pairFlags[MAX_ROOTS] = {};
    Complex positions[MAX_ROOTS] = {};
    int count = 0;  // 0 … MAX_ROOTS

    Root root(int slot) const { return {positions[slot], pairFlags[slot]}; }
};

// The slots a reader may look at: count, taken at its nearest bound when it
// lies outside 0 … MAX_ROOTS.
int validSlots(const RootList& list);

// The roots a list holds, a pair counting two: the degree of its factor.
int rootCount(const RootList& list);

// Model indexes, in the order of the model combo box.
constexpr int MODEL_CUSTOM = 8;
constexpr int MODEL_COUNT = 9;

struct FilterState {
    double nyquist = 22050.0;         // Hz: 22050, 24000, 48000 or 96000
    double lowestFrequency = 10.0;    // Hz, never changed
    double cutoff = 0.0;              // Hz, within [lowest, Nyquist] up to rounding
    double q = 0.0;                   // [√0.5, 10]
    double gain = 0.0;
    RootList zeros;
    RootList poles;
    double pi = 0.0;
    int modelIndex = 0;               // 0 … 8; 8 is "Custom"
    bool qVisible = false;
};

// The filter the program starts from: the first model at 44100 Hz, its cutoff
// in the geometric middle of the 10 Hz … 22050 Hz axis (√(22050 · 10)), Q √0.5,
// no roots and gain 0 until the first design runs.
FilterState initialFilterState();

// H(z) of the given filter. A z exactly on a pole gives (NaN, NaN).
Complex evaluateResponse(const FilterState& state, Complex z);

// Sets the gain so that the larger of |H(1)| and |H(−1)| is 1. An end where
// |H| is 0, infinite or NaN is passed over and the other end alone decides;
// where neither end is usable the gain becomes 1, so that later evaluations
// stay meaningful.
void normalizeGain(FilterState& state);

// True when a pole lies on or outside the unit circle (or is not a number):
// the response then grows, or never dies out.
bool hasUnstablePole(const FilterState& state);
