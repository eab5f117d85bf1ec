#pragma once

#include <vector>

// The scales of the time views' plots: which values an axis spans and where
// its ticks go. Pure arithmetic, so that the drawing code only maps values
// through them.

struct ValueRange {
    double low = 0.0;
    double high = 0.0;
};

// The range a plot of values shows: that of the finite ones, 0 included
// (a response is read against 0), widened by a twentieth of its span on
// each side so that the extremes do not sit on the frame. Values that are
// all 0 or none finite give −1 … 1.
ValueRange plotRange(const double* values, int count);

// Round tick values within low … high, all multiples of one step of 1, 2 or
// 5 times a power of ten, at most maxCount + 1 of them (maxCount ≥ 1). An
// empty or non-finite range has none.
std::vector<double> linearTicks(ValueRange range, int maxCount);

// Where a value lies between the ends of a range, as a fraction (0 at low,
// 1 at high); 0 for a range of no width.
double rangeFraction(ValueRange range, double value);
