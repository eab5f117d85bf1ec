#pragma once

#include "model/coefficients.h"
#include "model/document.h"
#include "model/filter_state.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What rounding the coefficients to a target's number format does to the
// filter: the cascade that the target really runs, its roots and whether it
// is still stable.
//
// The rounded coefficients are exactly those the exports hold: float32 those
// of "c-float", "cmsis-f32" and "juce" (each double rounded to the nearest
// float, the gain in the first section); Q15 and Q31 those of "cmsis-q15"
// and "cmsis-q31", scaling and postShift included (model/fixed_point.h). The
// roots are those of each section's rounded factor polynomials; scaling a
// numerator moves none of its zeros, but a numerator whose coefficients all
// round to 0 has none left, and a leading coefficient rounded to 0 takes its
// root away to infinity. Only the coefficients are rounded: the arithmetic's
// own rounding while filtering (noise, limit cycles) is not part of this.

enum class Precision { Exact, Float32, Q15, Q31 };

// The choice as the View menu shows it: "Exact", "float32", "Q15", "Q31".
const char* precisionLabel(Precision precision);

// The precision a command line names: "float32", "q15" or "q31" (Exact is
// no rounding and has no name there).
std::optional<Precision> precisionNamed(std::string_view name);

struct RoundedFilter {
    Precision precision = Precision::Exact;
    // Why the filter cannot be rounded to the format; when set, nothing
    // below is.
    std::string problem;
    // The rounded sections, each coefficient the value the target's number
    // stands for (a Q value times 2^postShift), a[0] = 1, degrees as in the
    // exact cascade. The filter the target runs, times restoringGain, is
    //   H(z) = restoringGain · ∏ (b0 + b1·z⁻¹ + b2·z⁻²) / (1 + a1·z⁻¹ + a2·z⁻²).
    std::vector<Section> sections;
    double restoringGain = 1.0;  // G of the fixed-point scaling; 1 otherwise
    int postShift = 0;           // Q15 and Q31
    std::vector<Root> zeros;     // the rounded roots, section by section
    std::vector<Root> poles;
    int polesOnCircle = 0;       // counted exactly, a pair as two
    int polesOutside = 0;
    int silentSections = 0;      // numerators whose coefficients all round to 0
};

// The filter rounded to the precision; Exact leaves the coefficients as they
// are (and its roots are those of the exact sections).
RoundedFilter roundFilter(const FilterState& filter, Precision precision);

// The rounded cascade's H at the point whose inverse is zInverse (e^(−jω) on
// the unit circle), scaled back by restoringGain, so that it compares with
// the designed filter's response. Evaluated in double from the rounded
// coefficients themselves.
Complex evaluateRounded(const RoundedFilter& rounded, Complex zInverse);

// Stable when every pole lies strictly inside the unit circle.
inline bool stableAfterRounding(const RoundedFilter& rounded)
{
    return rounded.problem.empty() && rounded.polesOnCircle == 0 && rounded.polesOutside == 0;
}

// One line for the status bar:
//   "Q15: 2 poles outside the unit circle – unstable after rounding"
//   "Q15: 1 pole on the unit circle – unstable after rounding"
//   "Q15: 1 pole on and 2 outside the unit circle – unstable after rounding"
//   "Q31: every pole inside the unit circle – stable after rounding"
//   "float32: no poles – stable after rounding"
// followed by "; a numerator rounds to 0, so the output is silent" when one
// does, and "Q15: cannot be rounded – PROBLEM" when the filter cannot be.
std::string precisionSummary(const RoundedFilter& rounded);

// What `--precision FORMAT` prints: "#" comment lines (program, sample rate,
// model, format, postShift and the scaling's gain for Q15 and Q31, each
// numerator that rounds to 0), the header "kind,re,im,pair", one line per
// rounded root, zeros first, each section's in turn ("zero" or "pole", the
// shortest round-trip numbers, a pair by its upper root with "true"), and a
// last line "# stable" or "# unstable" (a pole on the unit circle counts as
// unstable). Or, when the filter cannot be rounded, the problem.
struct PrecisionText {
    std::string text;
    std::string problem;
};
PrecisionText precisionText(const Document& document, Precision precision);
