#pragma once

#include "model/document.h"

#include <string>
#include <vector>

// The filter as a cascade of second-order sections, each
//   (b0 + b1·z⁻¹ + b2·z⁻²) / (a0 + a1·z⁻¹ + a2·z⁻²),  a0 = 1.
//
// Factors: a pair slot gives z² − 2·re·z + re² + im²; single roots are taken
// two at a time in slot order, (z − r₁)(z − r₂) = z² − (r₁ + r₂)·z + r₁·r₂
// in the place of the second of them, and a single left over gives z − r
// after all others. Single roots are real (their im is 0 by contract and is
// not read). Zero factors and pole factors are matched in order into
// sections; the shorter side is filled with the constant 1. The gain
// multiplies the first section's b. No roots at all give one section (gain).
//
// Degrees: a section with numerator N (degree n) and denominator P (degree d)
// is written as z⁻ˢ·N / (z⁻ᵈ·P), which is N/P·z⁻⁽ˢ⁻ᵈ⁾ and has only powers
// z⁰ … z⁻² when n ≤ s ≤ 2. s is d where n ≤ d; where a section has more
// zeros than poles (n > d), s is n, and the extra delay it adds is taken back
// from the next sections with n < d, which use s < d. So over the cascade
// Σ(s − d) = D = max(0, zero count − pole count), counting a pair as two,
// and the cascade equals H(z)·z⁻ᴰ: H(z) itself when the filter has no more
// zeros than poles.

struct Section {
    double b[3] = {};
    double a[3] = {};
};

struct SectionCascade {
    std::vector<Section> sections;
    int delay = 0;  // D, in samples
};

SectionCascade secondOrderSections(const FilterState& filter);

// Comment lines starting with "#" (program, sample rate, model, the numbers
// of zeros and poles with a pair counted as two, and "# delay: D samples"
// when D > 0), then one line "b0,b1,b2,a0,a1,a2" per section, each number in
// the shortest form that reads back to the same double. Every line ends with
// a line break.
std::string coefficientText(const Document& document);
