#pragma once

#include "model/coefficients.h"
#include "model/filter_state.h"

#include <cstddef>

// The filter as the sound hears it: the coefficient export's second-order
// sections, run in double precision.

// No cascade has more sections than this: each root list gives at most one
// factor per slot, and the sections pair zero and pole factors.
constexpr int MAX_SECTIONS = MAX_ROOTS;

// The sections of secondOrderSections in a record of fixed size, so that it
// can be copied to and kept by the audio thread without allocating. The
// sections' z⁻¹ shifts carry the cascade's delay, so the record needs no
// other field to equal H(z)·z⁻ᴰ.
struct CascadeCoefficients {
    Section sections[MAX_SECTIONS] = {};
    int count = 0;  // 0 … MAX_SECTIONS; 0 passes samples through unchanged
};

// The filter's sections, exactly those of the coefficient text. Allocates
// (through secondOrderSections): not for the audio thread.
CascadeCoefficients cascadeCoefficients(const FilterState& filter);

// Whether the cascade may be played: every coefficient is finite and every
// section's denominator z² + a1·z + a2 has both roots strictly inside the
// unit circle, which for real coefficients is |a2| < 1 and |a1| < 1 + a2.
// The test is made on the doubles that run, so that a pole pair whose
// squared radius rounds to 1 counts as on the circle, where the cascade would
// ring for ever.
bool isPlayable(const CascadeCoefficients& cascade);

// The same sections, bit for bit (−0 and 0 differ); sections beyond count
// are not compared.
bool sameCascade(const CascadeCoefficients& a, const CascadeCoefficients& b);

// The memory of a running cascade: two values per section.
struct CascadeState {
    double s1[MAX_SECTIONS] = {};
    double s2[MAX_SECTIONS] = {};
};

// Filters count samples in place, each section in turn, in transposed direct
// form II (a0 = 1):
//   y  = b0·x + s1
//   s1 = b1·x − a1·y + s2
//   s2 = b2·x − a2·y
// It keeps two values per section instead of four and, in double precision,
// its round-off is far below anything a 24-bit sample can carry even for
// poles close to the circle. Allocates nothing and takes no lock.
void runCascade(const CascadeCoefficients& cascade, CascadeState& state, double* samples, std::size_t count);

// Sets to zero every state value smaller in magnitude than 1e-200. A cascade
// fed with silence decays towards subnormal numbers, on which arithmetic is
// a hundred times slower; called after every few dozen samples, it keeps the
// state out of that range (a state this small contributes nothing a sample
// can show). runCascade itself never does it, so that a file is filtered
// exactly.
void flushTinyState(CascadeState& state, int count);
