#pragma once

#include <string>

// The two sliders run from position 0 to 2000 and map their positions
// geometrically: each step multiplies the value by a fixed ratio, computed
// first and then raised to the position (the last digits depend on it).

constexpr int SLIDER_TOP = 2000;

// Hz: lowest at position 0, Nyquist (up to rounding) at the top. Not clamped.
double cutoffAtPosition(double nyquist, double lowestFrequency, int position);

// √0.5 at position 0, 10 at the top, whatever the sample rate.
double qAtPosition(int position);

// "fc = %.3g Hz" below 100 Hz, "fc = %.0f Hz" from 100 Hz up.
std::string cutoffLabelText(double cutoff);

// "Q = %.3g".
std::string qLabelText(double q);
