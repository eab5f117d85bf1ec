#pragma once

// The cutoff and Q sliders run from position 0 to SLIDER_TOP and map their
// positions geometrically: each step multiplies the value by a fixed ratio,
// computed first and then raised to the position (the last digits depend on
// it). A position is all a design file keeps of either value, so these
// mappings belong to the model.

constexpr int SLIDER_TOP = 2000;

// Hz: lowest at position 0, Nyquist (up to rounding) at the top. Not clamped.
double cutoffAtPosition(double nyquist, double lowestFrequency, int position);

// √0.5 at position 0, 10 at the top, whatever the sample rate.
double qAtPosition(int position);
