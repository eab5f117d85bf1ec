#pragma once

#include "model/filter_state.h"
#include "model/sweep_code.h"

// The response of the given filter at many points at once: hRe[i], hIm[i]
// is exactly what evaluateResponse gives at (zRe[i], zIm[i]), digit for
// digit. The product chains of several points run side by side, so that
// none waits on its own last multiplication. Every form of code gives the
// same bits.
void evaluateResponses(const FilterState& state, const double* zRe, const double* zIm, int count, double* hRe, double* hIm,
                       SweepCode code = SweepCode::chosen);
