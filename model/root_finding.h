#pragma once

#include <complex>
#include <optional>
#include <vector>

// The highest degree whose roots are looked for: 20 pair slots hold at most
// 40 roots, so a polynomial of higher degree could never be shown.
constexpr int MAX_POLYNOMIAL_DEGREE = 40;

// The roots of the real polynomial c[0]·zⁿ + c[1]·zⁿ⁻¹ + … + c[n], each as
// often as its multiplicity. Needs 1 ≤ n ≤ MAX_POLYNOMIAL_DEGREE, every
// coefficient finite, c[0] ≠ 0 and c[n] ≠ 0 (no root at 0 or at infinity).
//
// Complex roots come in exact conjugate pairs, the upper root (im > 0) first
// and its conjugate right after it; a real root has an im of exactly 0.
//
// Degrees 1 and 2 take the closed forms, the quadratic in the form that does
// not subtract nearly equal numbers; a zero discriminant gives the double
// root −c₁/(2c₀) exactly. Higher degrees take the eigenvalues of the
// balanced companion matrix (Eigen), each polished by Newton steps on the
// polynomial; a cluster of roots that is one multiple root up to rounding
// (its centroid reproduces the coefficients as well as the scattered roots
// do) becomes that root repeated. Nothing when a root comes out non-finite or
// the eigenvalue iteration does not converge.
std::optional<std::vector<std::complex<double>>> polynomialRoots(const std::vector<double>& coefficients);
