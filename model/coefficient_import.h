#pragma once

#include "model/document.h"

#include <optional>
#include <string>
#include <string_view>

// Bringing a filter in from the coefficient text of another tool (or of
// this program): the forms model/coefficient_reader.h reads become a
// "Custom" document of zeros, poles and gain with the same H(z).
//
// Roots: a section's by the quadratic formula, a transfer function's as
// the eigenvalues of its companion matrix (model/root_finding.h).
// Both forms count powers of z⁻¹, the document powers of z:
//   Σ bⱼ·z⁻ʲ / Σ aⱼ·z⁻ʲ  =  z^(N−M) · (b_L·z^(M−L) + … + b_M) / (a₀·z^N + … + a_N)
// with L and M the first and last non-zero b and N the last non-zero a, so
// besides the roots of those two polynomials (none of them at 0) there are
// N − M zeros at z = 0 when N > M, and M − N poles at z = 0 when M > N. The
// gain is b_L/a₀ (times that of every further section). A "# delay: D
// samples" line says the text is H(z)·z⁻ᴰ, as the program's own coefficient
// text writes a filter with D more zeros than poles: D poles at 0 are taken
// away (and zeros at 0 added for any that are not there). So every
// coefficient text of the program reads back to its filter.
//
// Pairing: two roots that are conjugates within a relative 1e-9 become one
// pair slot, stored by the upper root (im ≥ 0), the midpoint of the two;
// two equal real roots are a pair with im 0, as the designs store a double
// root. Any other real root is a single slot. The roots of one section that
// came from two single slots at the same place come back as a pair: the
// coefficients cannot tell them apart.
//
// The check: H of the document against H of the text at 512 frequencies
// across (0, π) on the unit circle, leaving out those within 1e-3 of a
// root. The worst relative difference |ΔH| / max(|H|, |H′|) above 1e-9
// gives a warning and the document still; a response that is not finite
// there refuses the text.

constexpr int IMPORT_CHECK_FREQUENCIES = 512;
constexpr double IMPORT_CHECK_TOLERANCE = 1e-9;

struct CoefficientImport {
    std::optional<Document> document;  // set when the text was taken
    std::string error;                 // otherwise the first problem, "line 3: a0 is 0"
    std::string warning;               // set when the check's worst difference is above 1e-9
    double worstDifference = 0.0;      // the check's worst relative difference
    double worstFrequency = 0.0;       // Hz, where it was found
};

// The document of the text: "Custom", the Q controls hidden, the sample
// rate of a "# sample rate: N Hz" line or else sampleRate (44100, 48000,
// 96000 or 192000), the slider positions given (held to 0 … SLIDER_TOP).
// A refused text names its line and problem: a0 = 0, b all zeros, a row of
// too few numbers, a non-number, more than 20 zeros or 20 poles after
// pairing, a text over 1 MiB or of more than MAX_IMPORT_NUMBERS numbers.
CoefficientImport importCoefficients(std::string_view text, int sampleRate, int cutoffPosition, int qPosition);

// What the window's "Import Coefficients…" and "Paste Coefficients" make of
// a file's or the clipboard's text: the current rate (unless the text has
// its own) and the current slider positions.
CoefficientImport importIntoDocument(std::string_view text, const Document& current);

// What `--import IN OUT.vorbel [--rate R]` does with IN's text: either the
// design file text for OUT and maybe a warning, or a refusal. The message,
// one line for standard error without the program's name, starts with
// inputName: "IN: line 3: a0 is 0", "IN: warning: …".
struct ImportCommandOutput {
    bool ok = false;
    std::string designText;  // OUT's contents when ok
    std::string message;     // the refusal, or the warning when ok ("" without one)
    int sampleRate = 0;      // when ok, the design's rate: the text's own, else the one given
};
ImportCommandOutput importCommandOutput(std::string_view text, std::string_view inputName, int sampleRate);
