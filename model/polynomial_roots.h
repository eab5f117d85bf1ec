#pragma once

#include "model/filter_state.h"

#include <vector>

// The roots of the short polynomials a section's coefficients make, and where
// they lie against the unit circle. The polynomials are
//   c[0]·zⁿ + c[1]·zⁿ⁻¹ + … + c[n],   n = degree, 0 … 2,
// with coefficients that are exact doubles (rounded values a target holds):
// every decision about a root's place (a complex pair or two real roots, on,
// inside or outside the unit circle) is taken on the exact value of those
// doubles, not on a rounded computation of it.

// Appends the roots to roots: a complex pair as one Root with pair set, by
// its upper root (im > 0); real roots as singles with im 0, a double real
// root as two singles. A leading coefficient of 0 lowers the degree: the root
// it carried has gone to infinity and is not listed. A root at exactly ±1
// (c[0] ± c[1] + c[2] = 0 exactly) is listed as exactly ±1 and its partner as
// the exact quotient. Returns false when every coefficient is 0: the
// polynomial vanishes everywhere and has no roots to list.
bool appendPolynomialRoots(const double* c, int degree, std::vector<Root>& roots);

// How many roots of the monic polynomial a[0] = 1, a[1], … a[degree] lie on
// and how many outside the unit circle, counted with multiplicity, decided
// exactly.
struct CircleCount {
    int on = 0;
    int outside = 0;
};
CircleCount monicRootsOnOrOutside(const double* a, int degree);

// The sign (−1, 0 or 1) of the exact sum of the given finite doubles, whose
// magnitudes stay below 2^1000 (so that no step overflows).
int exactSignOfSum(const double* terms, int count);
