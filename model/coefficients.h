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
// Degrees: a section with numerator N (degree n) and denominator P (degree
// d) is written with s = max(n, d) as z⁻ˢ·N / (z⁻ᵈ·P), which has only the
// powers z⁰ … z⁻² and equals N/P·z⁻⁽ˢ⁻ᵈ⁾. Because a first-order factor
// only ever comes last, no cascade has both a section with more zeros than
// poles (a quadratic over the last pole factor or over 1) and one with more
// poles than zeros (a later pole quadratic over the last zero factor or 1):
// the sections with n > d add up to exactly D = max(0, Z − P), Z and P the
// numbers of zeros and poles with a pair counted as two, and the cascade
// equals H(z)·z⁻ᴰ, which is H(z) itself when the filter has no more zeros
// than poles.

struct Section {
    double b[3] = {};
    double a[3] = {};
    // The degrees in z of the zero factor N and the pole factor P the section
    // holds (0 for the constant 1): N's coefficients stand in b from
    // b[max(0, d − n)] on, P's in a from a[0] on, and a coefficient outside
    // those places is 0 whatever the factors are.
    int zeroDegree = 0;
    int poleDegree = 0;
};

struct SectionCascade {
    std::vector<Section> sections;
    int delay = 0;  // D, in samples
};

SectionCascade secondOrderSections(const FilterState& filter);

// Comment lines starting with "#" (program, sample rate, model, the numbers
// of zeros and poles with a pair counted as two, and "# delay: D samples"
// when D > 0), then one line "b0,b1,b2,a0,a1,a2" per section, each number in
// the shortest form that reads back to the same double (−0 written as 0).
// Every line ends with a line break.
std::string coefficientText(const Document& document);
