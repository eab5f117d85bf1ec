#pragma once

#include "model/sweep_code.h"
#include "view/geometry.h"

#include <cstdint>
#include <optional>

struct Surface;

// The magnitude (dB) and phase (radians) of the current filter over a
// logarithmic frequency axis from the lowest frequency to Nyquist, one sample
// per pixel column.

// True at start; only the partial redraw changes it, between erase and draw.
extern bool cutoffMarkerVisible;
// Where drawResponse last drew the cutoff marker, so that the erase finds it
// after the cutoff has moved.
extern int cutoffMarkerX;

// The axes of one drawing, from the panes and the filter's frequencies.
struct ResponseAxes {
    int width = 0;              // W, columns of both panes
    double frequencyScale = 0;  // pixels per unit of natural logarithm
    int phaseCentreRow = 0;
    int half = 0;               // half the phase pane's height
    double phaseScale = 0;      // pixels per radian
    double dbScale = 0;         // pixels per dB
    int zeroDbRow = 0;
};

ResponseAxes responseAxes(const Rect& magnitude, const Rect& phase);

// The column of frequency f (Hz) on the axes: left + trunc(ln(f / lowest) · scale).
int frequencyColumn(const ResponseAxes& axes, const Rect& magnitude, double frequency);

// The row of a level of v dB.
int decibelRow(const ResponseAxes& axes, double decibels);

// The angular frequency (radians per sample) at which the sampling evaluates
// column i of panes W columns wide: (lowest · π / Nyquist) · ((Nyquist /
// lowest)^(1 / W))^i, computed in that order, the one the drawn curves use.
double columnAngle(double lowest, double nyquist, int width, std::int64_t column);

// The frequency (Hz) of client column x of the response panes, the one at
// which the sampling evaluates that column: lowest · (Nyquist / lowest)^(i / W)
// for i = x − left. None where x is not one of the panes' columns.
std::optional<double> columnFrequency(const Rect& magnitude, double lowest, double nyquist, int x);

// Where the erase steps of a partial redraw took pixels from the frequency
// grid: the curves the row arrays still describe, and the given areas (old
// root marks, the old cutoff marker). Given one, drawResponse draws the
// frequency grid only there, which restores exactly what drawing all of it
// would; its vertical lines are most of the memory traffic of a redraw.
struct GridRepair {
    const Rect* areas = nullptr;
    int count = 0;
};

// Grid, labels when withText, cutoff marker when cutoffMarkerVisible, both
// curves sampled afresh into magnitudeRows and phaseRows, and the frames.
void drawResponse(Surface& surface, const Rect& magnitude, const Rect& phase, bool withText,
                  const GridRepair* repair = nullptr);

// Over-paints in white the curves of the row arrays and, when the flag is
// set, the marker at cutoffMarkerX: what the last drawResponse drew.
void eraseResponseCurves(Surface& surface);

// Both stored curves as polylines in the current pen; the magnitude curve is
// lifted wherever it leaves the pane. pane is magnitudePane.
void plotCurves(Surface& surface, const Rect& pane);

// Fills magnitudeRows and phaseRows for the current filter (the sampling step
// of drawResponse). Every form of code gives the same rows.
void sampleResponse(const ResponseAxes& axes, SweepCode code = SweepCode::chosen);

// Where the stored curves (and the cutoff marker, when its flag is set) lie
// in magnitudePane and phasePane: one band around each curve.
void storedCurveBounds(Rect& magnitudeBand, Rect& phaseBand);

// The column of the cutoff marker as last drawn, when its flag is set.
Rect storedMarkerBounds();

// Row arrays and a marker column that describe no drawing: rows and a column
// outside every pane, so that an erase before the next drawResponse draws
// nothing. The layout calls it whenever the panes change.
void clearResponseRows();
