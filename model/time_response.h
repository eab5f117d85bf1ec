#pragma once

#include "model/filter_state.h"

#include <optional>
#include <string>
#include <vector>

// How the filter behaves in time, and where its roots lie, as the time
// views and the command line show them. The response throughout is that of
//   H(z) = gain · ∏ (z − zᵢ) / ∏ (z − pᵢ)
// as the coefficient export's cascade realises it: delayed by
// D = max(0, Z − P) samples when the zeros outnumber the poles (Z and P
// counting a pair as two), so that it is causal.

// The impulse response's limits.
constexpr int SHORTEST_IMPULSE = 32;
constexpr int LONGEST_SHOWN_IMPULSE = 65536;
constexpr int UNSTABLE_IMPULSE = 512;
constexpr int LONGEST_IMPULSE = 1048576;  // what the command line may ask for

// The number of samples the views show: the first n at which |p|ⁿ of the
// pole with the largest |p| falls below 10⁻⁶, kept within SHORTEST_IMPULSE …
// LONGEST_SHOWN_IMPULSE; UNSTABLE_IMPULSE for an unstable filter. A filter
// without poles, or whose poles all lie at 0, decays at once; so that its
// response still shows whole, the length is never below max(Z, P) + 1, the
// sample after the last that the numerator reaches.
int shownImpulseLength(const FilterState& filter);

// h[0] … h[length − 1], length 0 … LONGEST_IMPULSE. Computed root by root
// in complex arithmetic (a first-order section per zero and per pole, a
// pair giving both of its roots), not through the second-order sections.
// Values are IEEE doubles and may grow to inf or nan for an unstable filter.
std::vector<double> impulseResponse(const FilterState& filter, int length);

// The running sums of impulse: s[n] = h[0] + … + h[n].
std::vector<double> stepResponse(const std::vector<double>& impulse);

// The value the step response settles to: H(1), when it is finite and the
// filter is stable; nothing otherwise.
std::optional<double> finalStepValue(const FilterState& filter);

// The group delay of H in samples at ω = 2π·frequency/(2·nyquist):
//   τ(ω) = Σ over poles − Σ over zeros of Re(e^{jω} / (e^{jω} − r)),
// a pair counting both of its roots. NaN where e^{jω} lies on a root.
double groupDelay(const FilterState& filter, double frequency);

// groupDelay at each of the frequencies.
std::vector<double> groupDelays(const FilterState& filter, const std::vector<double>& frequencies);

// The frequencies of a group-delay curve: points ≥ 2 values
// fᵢ = lowest · (nyquist / lowest)^(i / (points − 1)), the last exactly nyquist.
std::vector<double> logFrequencies(double lowest, double nyquist, int points);

enum class RootTableKind { Zero, Pole };

// One stored root as the roots table and `--roots` show it. A pair is one
// row, by its upper root (im ≥ 0). Fields that are undefined for the root
// are empty:
//   margin      poles only: −20·log₁₀ r dB, negative outside the circle
//   n60         poles inside the circle: ln 1000 / (−ln r) samples, and in ms
//   q           pole pairs inside the circle: poleQuality
// angle in degrees of re + j·im (a single root: 0° or 180°), frequency
// angle / 180° · nyquist in Hz.
struct RootRow {
    RootTableKind kind = RootTableKind::Zero;
    bool pair = false;
    double re = 0.0;
    double im = 0.0;
    double radius = 0.0;
    double angleDegrees = 0.0;
    double frequency = 0.0;
    std::optional<double> q;
    std::optional<double> n60Samples;
    std::optional<double> n60Ms;
    std::optional<double> marginDb;
    int slot = 0;  // the root's slot in its list
};

// Zeros first, then poles, each in slot order.
std::vector<RootRow> rootRows(const FilterState& filter, double sampleRate);

// The texts that the command line prints and the views copy: each number in
// the shortest form that reads back to the same double (−0 written as 0;
// "inf", "-inf" and "nan" where they arise), every line ending with a line
// break.

// One value per line: an impulse or step response.
std::string valueListCsv(const std::vector<double>& values);

// One line "f_hz,tau_samples" per frequency, without a header; as many lines
// as the shorter list has values.
std::string groupDelayCsv(const std::vector<double>& frequencies, const std::vector<double>& delays);

// The header "kind,re,im,pair,r,angle_deg,f_hz,q,n60_samples,n60_ms,margin_db",
// then one line per row: kind "zero" or "pole", pair "true" or "false", and
// an empty field where the row's value is undefined.
std::string rootTableCsv(const std::vector<RootRow>& rows);
