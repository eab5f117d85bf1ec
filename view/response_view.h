#pragma once

#include "model/filter_state.h"
#include "model/rounding.h"
#include "model/sweep_code.h"
#include "view/fonts.h"
#include "view/geometry.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

struct Surface;

// The magnitude (dB) and phase (radians) of a filter over a logarithmic
// frequency axis from the lowest frequency to Nyquist, one sample per pixel
// column.

// The axes of one drawing, from the panes and the filter's frequencies.
struct ResponseAxes {
    int width = 0;              // W, columns of both panes
    double frequencyScale = 0;  // pixels per unit of natural logarithm
    int phaseCentreRow = 0;
    int half = 0;               // half the phase pane's height
    double phaseScale = 0;      // pixels per radian
    double dbScale = 0;         // pixels per dB
    int zeroDbRow = 0;
    double lowest = 0;          // Hz, the frequency of the left edge
};

ResponseAxes responseAxes(const Rect& magnitude, const Rect& phase, const FilterState& filter);

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

// What the response panes keep between drawings: the rows of the curves
// drawn last, the cutoff marker's flag and column, and the unit-circle
// points of the columns. The panes themselves belong to the layout and come
// in with every call; magnitude and phase are its magnitudePane and
// phasePane.
class ResponseView {
public:
    // Grid, labels when withText (from fonts), cutoff marker when
    // cutoffMarkerVisible, both curves of filter sampled afresh into the
    // rows, and the frames. With a rounded filter that could be rounded, its
    // |H| (evaluateRounded) is sampled into the rounded rows and drawn in
    // grey under the magnitude curve; columns where it is 0 or not finite
    // are left out, as are rows outside the pane.
    void drawResponse(Surface& surface, const Rect& magnitude, const Rect& phase, const FilterState& filter,
                      const Fonts& fonts, bool withText, const GridRepair* repair = nullptr,
                      const RoundedFilter* rounded = nullptr);

    // Over-paints in white the curves of the row arrays (the rounded curve
    // too, when one was drawn) and, when the flag is set, the marker at
    // cutoffMarkerX: what the last drawResponse drew.
    void eraseResponseCurves(Surface& surface, const Rect& magnitude) const;

    // Both stored curves as polylines in the current pen; the magnitude curve
    // is lifted wherever it leaves the pane (the magnitude pane).
    void plotCurves(Surface& surface, const Rect& pane) const;

    // Fills the rows for filter (the sampling step of drawResponse). Every
    // form of code gives the same rows.
    void sampleResponse(const ResponseAxes& axes, const FilterState& filter, SweepCode code = SweepCode::chosen);

    // Where the stored curves (and the cutoff marker, when its flag is set)
    // lie in the panes: one band around each curve.
    void storedCurveBounds(const Rect& magnitude, const Rect& phase, Rect& magnitudeBand, Rect& phaseBand) const;

    // The column of the cutoff marker as last drawn, when its flag is set.
    Rect storedMarkerBounds(const Rect& magnitude) const;

    // Row arrays of width elements and a marker column that describe no
    // drawing: rows and a column outside every pane, so that an erase before
    // the next drawResponse draws nothing. Called whenever the panes change.
    void clearResponseRows(std::size_t width);

    // True at start; only the partial redraw changes it, between erase and
    // draw.
    bool cutoffMarkerVisible = true;

    const std::vector<std::int32_t>& magnitudeRows() const { return magnitudeRows_; }
    // The rows of the rounded filter's magnitude curve as last drawn; empty
    // when the last drawing had none.
    const std::vector<std::int32_t>& roundedRows() const { return roundedRows_; }
    const std::vector<std::int32_t>& phaseRows() const { return phaseRows_; }
    int cutoffMarkerX() const { return cutoffMarkerX_; }

    // Puts rows in place as if a drawing had left them, so that the plot and
    // the erase can be checked on rows that no filter gives.
    void setRows(std::vector<std::int32_t> magnitude, std::vector<std::int32_t> phase)
    {
        magnitudeRows_ = std::move(magnitude);
        phaseRows_ = std::move(phase);
    }

private:
    // The point on the unit circle of every column, which depends only on
    // the pane's width and the frequency range: computed once for each of
    // these and kept, in buffers sized with the row arrays.
    struct ColumnPoints {
        int width = -1;
        double nyquist = 0.0;
        double lowest = 0.0;
        std::int64_t columns = 0;
        std::vector<double> re;
        std::vector<double> im;
    };

    const ColumnPoints& columnPoints(const FilterState& filter, int width, std::int64_t columns);
    std::int64_t storedColumns(std::int64_t width) const;
    void storedCurveSpan(const Rect& magnitudePane, std::int64_t i, std::int64_t columns, std::int64_t& magnitudeTop,
                         std::int64_t& magnitudeBottom, std::int64_t& phaseTop, std::int64_t& phaseBottom) const;
    void repairGridLine(Surface& surface, int x, const Rect& magnitude, const Rect& phase,
                        const GridRepair& repair) const;
    void drawFrequencyGrid(Surface& surface, const ResponseAxes& axes, const Rect& magnitude, const Rect& phase,
                           const FilterState& filter, bool withText, const GridRepair* repair) const;
    void drawCutoffMarker(Surface& surface, const ResponseAxes& axes, const Rect& magnitude, double cutoff);
    void sampleRounded(const ResponseAxes& axes, const FilterState& filter, const RoundedFilter& rounded);

    // One element per pixel of client width: the row of the magnitude and of
    // the phase curve at column magnitudePane.left + i.
    std::vector<std::int32_t> magnitudeRows_;
    std::vector<std::int32_t> phaseRows_;
    // Where drawResponse last drew the cutoff marker, so that the erase
    // finds it after the cutoff has moved.
    int cutoffMarkerX_ = 0;
    ColumnPoints points_;
    // The rounded filter's magnitude rows, as long as the others while a
    // rounded curve is drawn and empty otherwise, so that the exact view
    // neither stores nor erases one.
    std::vector<std::int32_t> roundedRows_;
};
