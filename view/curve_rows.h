#pragma once

#include "model/sweep_code.h"

// The pixel offsets of the two curves from the response values, exactly as
// the straightforward computation in doubles gives them:
//   decibel offset = toPixel(10 · log10(re² + im²) · dbScale)
//   phase offset   = toPixel(atan2(im, re) · phaseScale)
// but without calling log10 and atan2 where a cheap approximation with a
// proven error bound already decides the truncated value. Near a pixel
// boundary, and for every value that is not an ordinary finite number, the
// library functions decide, so the result is the same in every case, and in
// every form of code.

constexpr int CURVE_BLOCK = 64;  // the most values one call takes

void decibelOffsets(const double* re, const double* im, int count, double dbScale, int* offsets,
                    SweepCode code = SweepCode::chosen);
void phaseOffsets(const double* re, const double* im, int count, double phaseScale, int* offsets,
                  SweepCode code = SweepCode::chosen);
