#include "view/response_view.h"

#include "model/filter_state.h"
#include "model/response_sweep.h"
#include "view/colours.h"
#include "view/curve_rows.h"
#include "view/surface.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>
#include <algorithm>

namespace {

constexpr double TOP_DECIBELS = 22.0;
constexpr double SPAN_DECIBELS = 77.0;
constexpr Pen GRID_PEN{GRID_GREY, false};
constexpr Pen MARKER_PEN{MARKER_BLUE, true};

const double PI = 4.0 * std::atan(1.0);

// Whole decibel levels of the grid, from the top of the pane down.
constexpr int GRID_DECIBELS[] = {20, 10, 0, -10, -20, -30, -40, -50};

int offset(int base, std::int64_t delta)
{
    return narrowPixel(base + delta);
}

void verticalLine(Surface& surface, int x, const Rect& pane)
{
    moveTo(surface, x, pane.top);
    lineTo(surface, x, pane.bottom);
}

void horizontalLine(Surface& surface, const Rect& pane, int y)
{
    moveTo(surface, pane.left, y);
    lineTo(surface, pane.right, y);
}

void drawNumber(Surface& surface, int x, int y, double value)
{
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%g", value);
    if (length > 0)
        textOut(surface, x, y, text);
}

// Rows top … bottom (inclusive) of a vertical grid line at x within pane.
void verticalSegment(Surface& surface, int x, const Rect& pane, std::int64_t top, std::int64_t bottom)
{
    top = std::max<std::int64_t>(top, pane.top);
    bottom = std::min<std::int64_t>(bottom, std::int64_t{pane.bottom} - 1);
    if (top > bottom)
        return;
    moveTo(surface, x, narrowPixel(top));
    lineTo(surface, x, narrowPixel(bottom + 1));
}

void drawDecibelGrid(Surface& surface, const ResponseAxes& axes, const Rect& magnitude, bool withText, int halfText)
{
    if (withText)
        surface.textAlign = TextAlign::RightTop;
    for (const int level : GRID_DECIBELS) {
        const int y = decibelRow(axes, level);
        horizontalLine(surface, magnitude, y);
        if (withText)
            drawNumber(surface, offset(magnitude.left, -2), offset(y, -static_cast<std::int64_t>(halfText)), level);
    }
}

void drawPhaseLabels(Surface& surface, const ResponseAxes& axes, const Rect& phase, const FontInfo* symbolFont,
                     int halfText)
{
    if (symbolFont == nullptr)
        return;
    const FontSelection font(surface, &symbolFont->font);
    const std::int64_t raise = -static_cast<std::int64_t>(halfText);
    textOut(surface, offset(phase.left, -3), offset(phase.top, raise), "+\u03c0");
    textOut(surface, offset(phase.left, -2), offset(axes.phaseCentreRow, raise), "0");
    textOut(surface, offset(phase.left, -3), offset(phase.bottom, raise), "\u2212\u03c0");
}

// A curve of rows in the current pen, lifted wherever it leaves the pane.
void plotLifted(Surface& surface, const Rect& pane, const std::int32_t* rows, std::int64_t columns)
{
    bool penDown = false;
    for (std::int64_t i = 0; i < columns; ++i) {
        const int x = offset(pane.left, i);
        const int y = rows[i];
        if (y < pane.top || y >= pane.bottom) {
            penDown = false;
        } else if (penDown) {
            lineTo(surface, x, y);
        } else {
            moveTo(surface, x, y);
            penDown = true;
        }
    }
}

}  // namespace

// The columns of a pane of this width that both row arrays hold: none for an
// empty pane, and never more than the arrays, which only a layout out of step
// with the panes leaves shorter than the pane is wide.
std::int64_t ResponseView::storedColumns(std::int64_t width) const
{
    const std::size_t capacity =
        magnitudeRows_.size() < phaseRows_.size() ? magnitudeRows_.size() : phaseRows_.size();
    if (width <= 0)
        return 0;
    return static_cast<std::uint64_t>(width) < capacity ? width : static_cast<std::int64_t>(capacity);
}

const ResponseView::ColumnPoints& ResponseView::columnPoints(const FilterState& filter, int width,
                                                             std::int64_t columns)
{
    ColumnPoints& points = points_;
    const double lowest = filter.lowestFrequency;
    const double nyquist = filter.nyquist;
    if (points.width == width && points.nyquist == nyquist && points.lowest == lowest && points.columns >= columns)
        return points;
    // Only a caller out of step with the layout gets here with short buffers.
    if (points.re.size() < static_cast<std::size_t>(columns)) {
        points.re.resize(static_cast<std::size_t>(columns));
        points.im.resize(static_cast<std::size_t>(columns));
    }
    for (std::int64_t i = 0; i < columns; ++i) {
        const double omega = columnAngle(lowest, nyquist, width, i);
        points.re[static_cast<std::size_t>(i)] = std::cos(omega);
        points.im[static_cast<std::size_t>(i)] = std::sin(omega);
    }
    points.width = width;
    points.nyquist = nyquist;
    points.lowest = lowest;
    points.columns = columns;
    return points;
}

// The rows the stored curves occupy in column i of the panes, from their
// rows in columns i − 1 … i + 1: every segment through the column lies
// between these. Empty (top > bottom) where no curve passes.
void ResponseView::storedCurveSpan(const Rect& magnitudePane, std::int64_t i, std::int64_t columns,
                                   std::int64_t& magnitudeTop, std::int64_t& magnitudeBottom, std::int64_t& phaseTop,
                                   std::int64_t& phaseBottom) const
{
    magnitudeTop = phaseTop = INT64_MAX;
    magnitudeBottom = phaseBottom = INT64_MIN;
    for (std::int64_t j = std::max<std::int64_t>(i - 1, 0); j <= std::min(i + 1, columns - 1); ++j) {
        const std::int64_t m = magnitudeRows_[static_cast<std::size_t>(j)];
        if (m >= magnitudePane.top && m < magnitudePane.bottom) {
            magnitudeTop = std::min(magnitudeTop, m);
            magnitudeBottom = std::max(magnitudeBottom, m);
        }
        const std::int64_t p = phaseRows_[static_cast<std::size_t>(j)];
        phaseTop = std::min(phaseTop, p);
        phaseBottom = std::max(phaseBottom, p);
        // The rounded curve lies in the magnitude pane as well: one span
        // over both curves repairs no pixel that a full paint leaves
        // without grid, since the grid is drawn first.
        if (static_cast<std::size_t>(j) < roundedRows_.size()) {
            const std::int64_t r = roundedRows_[static_cast<std::size_t>(j)];
            if (r >= magnitudePane.top && r < magnitudePane.bottom) {
                magnitudeTop = std::min(magnitudeTop, r);
                magnitudeBottom = std::max(magnitudeBottom, r);
            }
        }
    }
}

// The grid line at x where the erase steps can have taken its pixels.
void ResponseView::repairGridLine(Surface& surface, int x, const Rect& magnitude, const Rect& phase,
                                  const GridRepair& repair) const
{
    const std::int64_t columns = storedColumns(std::int64_t{magnitude.right} - magnitude.left);
    const std::int64_t i = std::int64_t{x} - magnitude.left;
    if (i >= 0 && i < columns) {
        std::int64_t magnitudeTop, magnitudeBottom, phaseTop, phaseBottom;
        storedCurveSpan(magnitude, i, columns, magnitudeTop, magnitudeBottom, phaseTop, phaseBottom);
        verticalSegment(surface, x, magnitude, magnitudeTop, magnitudeBottom);
        verticalSegment(surface, x, phase, phaseTop, phaseBottom);
    }
    for (int k = 0; k < repair.count; ++k) {
        const Rect& area = repair.areas[k];
        if (x < area.left || x >= area.right)
            continue;
        verticalSegment(surface, x, magnitude, area.top, std::int64_t{area.bottom} - 1);
        verticalSegment(surface, x, phase, area.top, std::int64_t{area.bottom} - 1);
    }
}

void ResponseView::drawFrequencyGrid(Surface& surface, const ResponseAxes& axes, const Rect& magnitude,
                                     const Rect& phase, const FilterState& filter, bool withText,
                                     const GridRepair* repair) const
{
    const double lowest = filter.lowestFrequency;
    for (double decade = 1.0; decade < filter.nyquist; decade = decade * 10.0) {
        for (int multiple = 1; multiple <= 10; ++multiple) {
            const double frequency = multiple * decade;
            if (frequency < lowest)
                break;
            const int x = frequencyColumn(axes, magnitude, frequency);
            if (x >= magnitude.right)
                break;
            if (repair != nullptr) {
                repairGridLine(surface, x, magnitude, phase, *repair);
            } else {
                verticalLine(surface, x, magnitude);
                verticalLine(surface, x, phase);
            }
            if (withText && (multiple == 1 || multiple == 2 || multiple == 5)) {
                drawNumber(surface, x, offset(magnitude.bottom, 1), frequency);
                drawNumber(surface, x, offset(phase.bottom, 1), frequency);
            }
        }
    }
}

void ResponseView::drawCutoffMarker(Surface& surface, const ResponseAxes& axes, const Rect& magnitude, double cutoff)
{
    const PenSelection pen(surface, MARKER_PEN);
    cutoffMarkerX_ = frequencyColumn(axes, magnitude, cutoff);
    verticalLine(surface, cutoffMarkerX_, magnitude);
}

ResponseAxes responseAxes(const Rect& magnitude, const Rect& phase, const FilterState& filter)
{
    ResponseAxes axes;
    axes.lowest = filter.lowestFrequency;
    axes.width = narrowPixel(std::int64_t{magnitude.right} - magnitude.left);
    axes.frequencyScale = static_cast<double>(axes.width) / std::log(filter.nyquist / filter.lowestFrequency);
    axes.phaseCentreRow = narrowPixel((std::int64_t{phase.top} + phase.bottom) / 2);
    axes.half = narrowPixel((std::int64_t{phase.bottom} - phase.top) / 2);
    axes.phaseScale = static_cast<double>(axes.half) / PI;
    axes.dbScale = static_cast<double>(std::int64_t{magnitude.bottom} - magnitude.top) / SPAN_DECIBELS;
    axes.zeroDbRow = narrowPixel(magnitude.top - std::int64_t{toPixel(axes.dbScale * -TOP_DECIBELS)});
    return axes;
}

int frequencyColumn(const ResponseAxes& axes, const Rect& magnitude, double frequency)
{
    return offset(magnitude.left, toPixel(std::log(frequency / axes.lowest) * axes.frequencyScale));
}

int decibelRow(const ResponseAxes& axes, double decibels)
{
    return narrowPixel(axes.zeroDbRow - std::int64_t{toPixel(decibels * axes.dbScale)});
}

double columnAngle(double lowest, double nyquist, int width, std::int64_t column)
{
    const double omega0 = (lowest * PI) / nyquist;
    const double ratio = std::pow(nyquist / lowest, 1.0 / width);
    return std::pow(ratio, static_cast<double>(column)) * omega0;
}

std::optional<double> columnFrequency(const Rect& magnitude, double lowest, double nyquist, int x)
{
    if (x < magnitude.left || x >= magnitude.right)
        return std::nullopt;
    const int width = narrowPixel(std::int64_t{magnitude.right} - magnitude.left);
    return columnAngle(lowest, nyquist, width, std::int64_t{x} - magnitude.left) * nyquist / PI;
}

void ResponseView::sampleResponse(const ResponseAxes& axes, const FilterState& filter, SweepCode code)
{
    const std::int64_t columns = storedColumns(axes.width);
    if (columns == 0)
        return;
    const ColumnPoints& unitCircle = columnPoints(filter, axes.width, columns);
    for (std::int64_t start = 0; start < columns; start += CURVE_BLOCK) {
        const int n = static_cast<int>(std::min<std::int64_t>(CURVE_BLOCK, columns - start));
        double re[CURVE_BLOCK], im[CURVE_BLOCK];
        int decibels[CURVE_BLOCK], phases[CURVE_BLOCK];
        evaluateResponses(filter, unitCircle.re.data() + start, unitCircle.im.data() + start, n, re, im, code);
        decibelOffsets(re, im, n, axes.dbScale, decibels, code);
        phaseOffsets(re, im, n, axes.phaseScale, phases, code);
        for (int j = 0; j < n; ++j) {
            const auto column = static_cast<std::size_t>(start + j);
            magnitudeRows_[column] = narrowPixel(axes.zeroDbRow - std::int64_t{decibels[j]});
            phaseRows_[column] = narrowPixel(axes.phaseCentreRow - std::int64_t{phases[j]});
        }
    }
}

void ResponseView::plotCurves(Surface& surface, const Rect& pane) const
{
    const std::int64_t columns = storedColumns(std::int64_t{pane.right} - pane.left);
    plotLifted(surface, pane, magnitudeRows_.data(), columns);
    if (columns == 0)
        return;
    moveTo(surface, pane.left, phaseRows_[0]);
    for (std::int64_t i = 1; i < columns; ++i)
        lineTo(surface, offset(pane.left, i), phaseRows_[static_cast<std::size_t>(i)]);
}

void ResponseView::sampleRounded(const ResponseAxes& axes, const FilterState& filter, const RoundedFilter& rounded)
{
    const std::int64_t columns = storedColumns(axes.width);
    roundedRows_.assign(static_cast<std::size_t>(columns), std::numeric_limits<std::int32_t>::min());
    if (columns == 0)
        return;
    const ColumnPoints& unitCircle = columnPoints(filter, axes.width, columns);
    for (std::int64_t i = 0; i < columns; ++i) {
        const auto column = static_cast<std::size_t>(i);
        // On the unit circle z⁻¹ is the conjugate of z.
        const Complex h = evaluateRounded(rounded, {unitCircle.re[column], -unitCircle.im[column]});
        const double power = h.re * h.re + h.im * h.im;
        if (power > 0.0 && std::isfinite(power))
            roundedRows_[column] =
                narrowPixel(axes.zeroDbRow - std::int64_t{toPixel(10.0 * std::log10(power) * axes.dbScale)});
    }
}

void ResponseView::drawResponse(Surface& surface, const Rect& magnitude, const Rect& phase, const FilterState& filter,
                                const Fonts& fonts, bool withText, const GridRepair* repair,
                                const RoundedFilter* rounded)
{
    const FontInfo* const arialFont = fonts.arialFont.get();
    const ResponseAxes axes = responseAxes(magnitude, phase, filter);
    const bool labelled = withText && arialFont != nullptr;
    const int halfText = labelled ? arialFont->height / 2 : 0;

    std::optional<FontSelection> font;
    if (labelled) {
        surface.textAlign = TextAlign::CentreTop;
        surface.textColour = GREY;
        font.emplace(surface, &arialFont->font);
    }
    {
        const PenSelection pen(surface, GRID_PEN);
        drawFrequencyGrid(surface, axes, magnitude, phase, filter, labelled, repair);
        drawDecibelGrid(surface, axes, magnitude, labelled, halfText);
        horizontalLine(surface, phase, axes.phaseCentreRow);
        if (labelled) {
            drawPhaseLabels(surface, axes, phase, fonts.symbolFont.get(), halfText);
            font.reset();
        }
    }
    if (cutoffMarkerVisible)
        drawCutoffMarker(surface, axes, magnitude, filter.cutoff);
    sampleResponse(axes, filter);
    if (rounded != nullptr && rounded->problem.empty()) {
        sampleRounded(axes, filter, *rounded);
        const PenSelection grey(surface, Pen{ROUNDED_GREY, false});
        plotLifted(surface, magnitude, roundedRows_.data(), static_cast<std::int64_t>(roundedRows_.size()));
    } else {
        roundedRows_.clear();
    }
    plotCurves(surface, magnitude);
    frameRect(surface, magnitude, GREY);
    frameRect(surface, phase, GREY);
}

void ResponseView::eraseResponseCurves(Surface& surface, const Rect& magnitudePane) const
{
    const PenSelection pen(surface, WHITE_PEN);
    plotLifted(surface, magnitudePane, roundedRows_.data(), static_cast<std::int64_t>(roundedRows_.size()));
    plotCurves(surface, magnitudePane);
    if (cutoffMarkerVisible)
        verticalLine(surface, cutoffMarkerX_, magnitudePane);
}

void ResponseView::storedCurveBounds(const Rect& magnitudePane, const Rect& phasePane, Rect& magnitudeBand,
                                     Rect& phaseBand) const
{
    const Rect& pane = magnitudePane;
    const std::int64_t columns = storedColumns(std::int64_t{pane.right} - pane.left);
    std::int64_t magnitudeTop = INT64_MAX, magnitudeBottom = INT64_MIN;
    std::int64_t phaseTop = INT64_MAX, phaseBottom = INT64_MIN;
    for (std::int64_t i = 0; i < columns; ++i) {
        const std::int64_t m = magnitudeRows_[static_cast<std::size_t>(i)];
        if (m >= pane.top && m < pane.bottom) {
            magnitudeTop = std::min(magnitudeTop, m);
            magnitudeBottom = std::max(magnitudeBottom, m);
        }
        const std::int64_t p = std::clamp<std::int64_t>(phaseRows_[static_cast<std::size_t>(i)], phasePane.top,
                                                        phasePane.bottom);
        phaseTop = std::min(phaseTop, p);
        phaseBottom = std::max(phaseBottom, p);
    }
    for (const std::int64_t r : roundedRows_) {
        if (r >= pane.top && r < pane.bottom) {
            magnitudeTop = std::min(magnitudeTop, r);
            magnitudeBottom = std::max(magnitudeBottom, r);
        }
    }
    const int right = offset(pane.left, columns);
    magnitudeBand = {};
    if (magnitudeTop <= magnitudeBottom)
        magnitudeBand = {pane.left, narrowPixel(magnitudeTop), right, offset(narrowPixel(magnitudeBottom), 1)};
    magnitudeBand = united(magnitudeBand, storedMarkerBounds(magnitudePane));
    phaseBand = {};
    if (phaseTop <= phaseBottom)
        phaseBand = {pane.left, narrowPixel(phaseTop), right, offset(narrowPixel(phaseBottom), 1)};
}

Rect ResponseView::storedMarkerBounds(const Rect& magnitudePane) const
{
    if (!cutoffMarkerVisible)
        return {};
    return {cutoffMarkerX_, magnitudePane.top, offset(cutoffMarkerX_, 1), magnitudePane.bottom};
}

void ResponseView::clearResponseRows(std::size_t width)
{
    const std::int32_t nowhere = std::numeric_limits<std::int32_t>::min();
    // Fresh arrays, so that a narrower layout gives back the memory of a
    // wider one.
    magnitudeRows_ = std::vector<std::int32_t>(width, nowhere);
    phaseRows_ = std::vector<std::int32_t>(width, nowhere);
    cutoffMarkerX_ = std::numeric_limits<int>::min();
    roundedRows_ = std::vector<std::int32_t>();
    points_ = ColumnPoints{};
    points_.re.resize(width);
    points_.im.resize(width);
}
