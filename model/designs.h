#pragma once

#include "model/complex.h"
#include "model/filter_state.h"

#include <string_view>

// The closed-form designs of the nine filter models. Every design reads the
// model index, cutoff (Hz), Q and Nyquist (Hz) of the state and writes its
// counts, the slots it fills, the gain and the Q-visible flag; slots above
// the new counts stay as they were. "Custom" (index 8, or any index outside
// 0 … 7) changes nothing but setting the Q-visible flag.
void applyModel(FilterState& state);

// Designs one second-order low-pass section g · (z + 1)² / ((z − p)(z − conj p)),
// scaled so that it passes DC (z = 1) unchanged. Needs ω in (0, π] radians per
// sample and Q ≥ 0.5. The callers chain sections and own the counts and pair
// flags, so this writes only the upper pole p and g.
void designSecondOrderLowPass(double omega, double q, Complex& pole, double& sectionGain);

// An order-N Butterworth low-pass at the current cutoff, as N/2 sections in
// order of decreasing Q. N is 4 or 6.
void designButterworth(FilterState& state, int order);

// The model's name as the model combo box shows it; any index outside 0 … 7
// names "Custom", as applyModel treats it.
const char* modelName(int modelIndex);

// The index of the model with exactly this name, or −1 when none has it.
int modelIndexNamed(std::string_view name);

// Whether the Q slider belongs to the model: the Q-visible flag that
// applyModel leaves for it, and false for "Custom", whose controls are hidden.
bool modelUsesQ(int modelIndex);
