#pragma once

#include "model/coefficients.h"

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// The cascade as CMSIS-DSP's fixed-point biquads hold it, and what they
// compute with it.
//
// Scaling (L∞): a fixed-point stage overflows when its output leaves
// [−1, 1). Stage k's numerator is multiplied by s_k = P(k−1) / P(k), where
// P(k) is the peak of |H| over 0 ≤ ω ≤ π of stages 1 … k as designed (gain
// in the first) and P(0) = 1. The cascade of the scaled stages 1 … k then
// peaks at exactly 1 for every k, so a sine of amplitude at most 1 at any
// frequency leaves every stage with a steady-state output of amplitude at
// most 1. The whole scaled filter is the designed one divided by
// G = 1 / ∏ s_k, the gain the scaling takes out (and the caller puts back).
// The denominators, and so the poles, are not touched; multiplying a
// numerator by a constant leaves its zeros where they are, so the scaling
// moves no root by itself; it only changes how coarse the rounding grid is
// against each numerator.
//
// Rounding: every coefficient c (b0, b1, b2, −a1, −a2, CMSIS-DSP adds its
// feedback terms) is stored as the integer round(c · 2^(F − postShift)), F =
// 15 (Q15) or 31 (Q31), rounded to the nearest with ties away from zero;
// postShift is the smallest 0 … F for which every stored value lies in
// [−2^F, 2^F − 1], i.e. every c / 2^postShift in [−1, 1) once rounded.

// The peak of |H| of the first k sections, for k = 1 … sections.size(): the
// largest value over 2049 equally spaced frequencies from 0 to π and the
// angle of every pole, each of the three largest refined by a golden-section
// search between its neighbouring grid frequencies. A value that is not
// finite means |H| is unbounded there.
std::vector<double> cascadePeaks(const std::vector<Section>& sections);

struct StageScaling {
    std::vector<double> factors;  // s_k, one per section
    double restoringGain = 1.0;   // G = 1 / ∏ s_k
};

// The L∞ scaling of the cascade, or why there is none: a pole on the unit
// circle (|H| has no finite peak) or coefficients that are not finite. A
// prefix whose peak is 0 (gain 0) is left unscaled.
std::variant<StageScaling, std::string> lInfinityScaling(const SectionCascade& cascade);

enum class FixedPointFormat { Q15, Q31 };

// F: 15 or 31.
int fractionBits(FixedPointFormat format);

// "Q15" or "Q31".
const char* fixedPointName(FixedPointFormat format);

struct FixedPointCascade {
    FixedPointFormat format = FixedPointFormat::Q15;
    int postShift = 0;
    // b0, b1, b2, −a1, −a2 of each stage, as stored (Q15 values fit 16 bits).
    std::vector<std::array<std::int32_t, 5>> stages;
    StageScaling scaling;
};

// The scaled and rounded cascade, or why there is none (no scaling, or a
// coefficient too large for the format even at postShift F).
std::variant<FixedPointCascade, std::string> fixedPointCascade(const SectionCascade& cascade,
                                                                FixedPointFormat format);

// The value a stored coefficient stands for: stored · 2^(postShift − F).
double storedValue(const FixedPointCascade& cascade, std::int32_t stored);

// The output of CMSIS-DSP's arm_biquad_cascade_df1_q15 (format Q15) or
// arm_biquad_cascade_df1_q31 (Q31) for this input from zero state, bit for
// bit, as their C implementations compute it:
//   Q15: the five products of 16-bit coefficients and states summed exactly
//        in a 64-bit accumulator, shifted right arithmetically by
//        15 − postShift (truncation toward −∞), the low 32 bits of that
//        saturated to [−32768, 32767];
//   Q31: the five 64-bit products summed in a 64-bit accumulator that wraps
//        around on overflow, shifted right arithmetically by 31 − postShift,
//        and its low 32 bits kept: no saturation, a result out of range
//        wraps around.
// Each stage's saturated or wrapped output is its state and the next
// stage's input. Q15 input values are expected within [−32768, 32767].
std::vector<std::int32_t> runCmsisDf1(const FixedPointCascade& cascade, const std::vector<std::int32_t>& input);
