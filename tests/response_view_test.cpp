#include "view/response_view.h"

#include "model/designs.h"
#include "model/filter_state.h"
#include "tests/digits.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

namespace {

constexpr Rect MAGNITUDE{245, 10, 790, 374};
constexpr Rect PHASE{245, 395, 790, 576};
constexpr Rgb BACKGROUND = rgb(1, 2, 3);

// The panes, fonts and rows of the 800 × 600 window with Arial 14 pixels high,
// over a flat filter (H = 1) at Nyquist 22050. The phase labels use Arial, as
// they do wherever no Symbol face with π exists. The fixture owns the view,
// the filter and the fonts, and offers the drawing under its short names.
class ResponseViewTest : public testing::Test {
protected:
    ResponseViewTest()
    {
        filterState.gain = 1.0;
        fonts_.arialFont = std::make_unique<FontInfo>(arialAt11Pixels());
        fonts_.symbolFont = std::make_unique<FontInfo>(arialAt11Pixels());
        view_.clearResponseRows(800);
        resizeSurface(surface_, 800, 600);
    }

    static FontInfo arialAt11Pixels()
    {
        FontInfo info;
        info.font = QFont(QStringLiteral("Arial"));
        info.font.setPixelSize(11);
        info.height = 14;
        return info;
    }

    void draw(bool withText) { drawResponse(surface_, MAGNITUDE, PHASE, withText); }

    void drawResponse(Surface& surface, const Rect& magnitude, const Rect& phase, bool withText)
    {
        view_.drawResponse(surface, magnitude, phase, filterState, fonts_, withText);
    }
    void sampleResponse(const ResponseAxes& axes) { view_.sampleResponse(axes, filterState); }
    void eraseResponseCurves(Surface& surface) const { view_.eraseResponseCurves(surface, magnitudePane); }
    void plotCurves(Surface& surface, const Rect& pane) const { view_.plotCurves(surface, pane); }
    void clearResponseRows() { view_.clearResponseRows(magnitudeRows.size()); }
    int cutoffMarkerX() const { return view_.cutoffMarkerX(); }
    ResponseAxes responseAxes(const Rect& magnitude, const Rect& phase) const
    {
        return ::responseAxes(magnitude, phase, filterState);
    }
    Complex evaluateResponse(Complex z) const { return ::evaluateResponse(filterState, z); }
    void applyModel() { ::applyModel(filterState); }

    // Rows in place of what the last drawing left: the rows from first on
    // replaced by the given ones.
    void overwriteRows(std::size_t first, const std::vector<std::int32_t>& magnitude,
                       const std::vector<std::int32_t>& phase)
    {
        std::vector<std::int32_t> newMagnitude = magnitudeRows, newPhase = phaseRows;
        std::copy(magnitude.begin(), magnitude.end(), newMagnitude.begin() + static_cast<std::ptrdiff_t>(first));
        std::copy(phase.begin(), phase.end(), newPhase.begin() + static_cast<std::ptrdiff_t>(first));
        view_.setRows(std::move(newMagnitude), std::move(newPhase));
    }

    void useFirstOrderLowPass()
    {
        filterState.modelIndex = 0;
        applyModel();
    }

    // The row of the magnitude in column i, from the column's frequency and |H|.
    double expectedMagnitudeRow(int column) const
    {
        const double f = 10.0 * std::pow(2205.0, column / 545.0);
        const double omega = std::numbers::pi * f / 22050.0;
        const Complex h = evaluateResponse({std::cos(omega), std::sin(omega)});
        const double decibels = 20.0 * std::log10(std::abs(std::complex<double>(h.re, h.im)));
        return 114.0 - std::trunc(decibels * (364.0 / 77.0));
    }

    Surface surface_;
    FilterState filterState = initialFilterState();
    Fonts fonts_;
    ::ResponseView view_;
    std::unique_ptr<FontInfo>& arialFont = fonts_.arialFont;
    Rect magnitudePane = MAGNITUDE;
    Rect phasePane = PHASE;
    bool& cutoffMarkerVisible = view_.cutoffMarkerVisible;
    const std::vector<std::int32_t>& magnitudeRows = view_.magnitudeRows();
    const std::vector<std::int32_t>& phaseRows = view_.phaseRows();
};

int countColour(const Surface& surface, const Rect& area, Rgb colour)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += pixelAt(surface, x, y) == colour ? 1 : 0;
    return count;
}

// Closed form: 545 / ln 2205 = 70.79 pixels per unit of ln, 364 / 77 = 4.727 pixels
// per dB, 0 dB at 10 + ⌊22 · 4.727⌋ = 114, 90 / π = 28.65 pixels per radian; f lies
// at column 245 + ⌊ln(f / 10) · 70.79⌋, the marker at f = √(10 · 22050).
TEST_F(ResponseViewTest, AxesGridColumnsAndMarkerOf800By600Panes)
{
    const ResponseAxes axes = responseAxes(MAGNITUDE, PHASE);
    EXPECT_EQ(axes.width, 545);
    EXPECT_TRUE(agreesToDigits(axes.frequencyScale, "70.79"));
    EXPECT_TRUE(agreesToDigits(axes.dbScale, "4.727"));
    EXPECT_EQ(axes.zeroDbRow, 114);
    EXPECT_EQ(axes.phaseCentreRow, 485);
    EXPECT_EQ(axes.half, 90);
    EXPECT_TRUE(agreesToDigits(axes.phaseScale, "28.65"));

    const double frequencies[] = {10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    const int columns[] = {245, 294, 358, 408, 457, 521, 571, 620, 684, 734, 783};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(frequencyColumn(axes, MAGNITUDE, frequencies[i]), columns[i]) << frequencies[i];
    EXPECT_EQ(frequencyColumn(axes, MAGNITUDE, 22050.0), 790);

    const int levels[] = {20, 10, 0, -10, -20, -30, -40, -50};
    const int rows[] = {20, 67, 114, 161, 208, 255, 303, 350};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(decibelRow(axes, levels[i]), rows[i]) << levels[i];

    draw(false);
    EXPECT_EQ(cutoffMarkerX(), 517);
}

// A deep notch at a frequency puts the lowest level of the curve into the
// column that samples it. Closed form: column i samples 10 · 2205^(i / 545) Hz.
TEST_F(ResponseViewTest, ColumnsSampleTheirFrequencies)
{
    const struct {
        double frequency;
        int column;
    } cases[] = {{10.01, 0}, {10.14, 1}, {466.3, 272}, {21740.0, 544}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frequency);
        const double omega = std::numbers::pi * c.frequency / 22050.0;
        filterState.zeros.count = 1;
        filterState.zeros.pairFlags[0] = true;
        filterState.zeros.positions[0] = {std::cos(omega), std::sin(omega)};
        sampleResponse(responseAxes(MAGNITUDE, PHASE));
        for (int i = c.column - 2; i <= c.column + 2; ++i) {
            if (i != c.column && i >= 0 && i < 545) {
                EXPECT_LT(magnitudeRows[static_cast<std::size_t>(i)],
                          magnitudeRows[static_cast<std::size_t>(c.column)]);
            }
        }
    }
}

TEST_F(ResponseViewTest, CurvesFollowTheModel)
{
    useFirstOrderLowPass();
    draw(false);
    for (int i = 0; i < 545; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(magnitudeRows[static_cast<std::size_t>(i)], expectedMagnitudeRow(i), 1);
        const double f = 10.0 * std::pow(2205.0, i / 545.0);
        const double omega = std::numbers::pi * f / 22050.0;
        const Complex h = evaluateResponse({std::cos(omega), std::sin(omega)});
        const double phase = std::arg(std::complex<double>(h.re, h.im));
        const double phaseRow = 485.0 - std::trunc(phase * 90.0 / std::numbers::pi);
        EXPECT_NEAR(phaseRows[static_cast<std::size_t>(i)], phaseRow, 1);
    }
    // Near the cutoff the curve falls about half a row per column.
    for (const int i : {272, 300})
        EXPECT_EQ(pixelAt(surface_, 245 + i, static_cast<int>(expectedMagnitudeRow(i))), BLACK) << i;
}

TEST_F(ResponseViewTest, GridMarkerAndFramePixels)
{
    draw(false);
    const ResponseAxes axes = responseAxes(MAGNITUDE, PHASE);
    for (const double f : {20.0, 30.0, 90.0, 100.0, 500.0, 5000.0, 20000.0}) {
        SCOPED_TRACE(f);
        const int x = frequencyColumn(axes, MAGNITUDE, f);
        EXPECT_EQ(pixelAt(surface_, x, 50), GRID_GREY);
        EXPECT_EQ(pixelAt(surface_, x, 420), GRID_GREY);
        EXPECT_EQ(pixelAt(surface_, x, 374), WHITE);
        EXPECT_EQ(pixelAt(surface_, x, 576), WHITE);
    }
    EXPECT_EQ(pixelAt(surface_, 293, 50), WHITE);
    EXPECT_EQ(pixelAt(surface_, 788, 50), WHITE);
    for (const int y : {20, 67, 161, 208, 255, 303, 350})
        EXPECT_EQ(pixelAt(surface_, 700, y), GRID_GREY) << y;
    EXPECT_EQ(pixelAt(surface_, 700, 21), WHITE);

    // The flat curves lie on the 0 dB row and the phase centre line.
    EXPECT_EQ(pixelAt(surface_, 700, 114), BLACK);
    EXPECT_EQ(pixelAt(surface_, 788, 114), BLACK);
    EXPECT_EQ(pixelAt(surface_, 700, 485), BLACK);
    EXPECT_EQ(pixelAt(surface_, 246, 485), BLACK);

    for (const auto& [x, y] : {Point{245, 200}, Point{789, 200}, Point{500, 10}, Point{500, 373}, Point{245, 450},
                               Point{789, 450}, Point{500, 395}, Point{500, 575}, Point{245, 114}})
        EXPECT_EQ(pixelAt(surface_, x, y), GREY) << x << ", " << y;

    // The dotted marker lies in the magnitude pane only.
    const Rect marker{517, 11, 518, 373};
    EXPECT_GT(countColour(surface_, marker, MARKER_BLUE), 100);
    EXPECT_GT(countColour(surface_, marker, WHITE), 100);
    EXPECT_EQ(countColour(surface_, {516, 0, 517, 600}, MARKER_BLUE), 0);
    EXPECT_EQ(countColour(surface_, {518, 0, 519, 600}, MARKER_BLUE), 0);
    EXPECT_EQ(countColour(surface_, {517, 373, 518, 600}, MARKER_BLUE), 0);

    cutoffMarkerVisible = false;
    resizeSurface(surface_, 800, 600);
    draw(false);
    EXPECT_EQ(countColour(surface_, {0, 0, 800, 600}, MARKER_BLUE), 0);
}

TEST_F(ResponseViewTest, MagnitudeIsLiftedOutsideThePane)
{
    useFirstOrderLowPass();
    filterState.gain = filterState.gain * 100.0;  // +40 dB
    draw(false);
    EXPECT_LT(magnitudeRows[0], MAGNITUDE.top);
    EXPECT_EQ(countColour(surface_, {246, 11, 400, 373}, BLACK), 0);
    EXPECT_GT(countColour(surface_, {745, 11, 746, 373}, BLACK), 0);

    // Rows at the top are drawn, rows at the bottom are not, and a single
    // column between two out-of-range ones draws nothing.
    resizeSurface(surface_, 800, 600);
    const Rect pane{100, 50, 110, 80};
    overwriteRows(0, {49, 50, 50, 80, 79, 79, 20, 60, 90, 90}, std::vector<std::int32_t>(10, 300));
    plotCurves(surface_, pane);
    EXPECT_EQ(pixelAt(surface_, 101, 50), BLACK);
    EXPECT_EQ(pixelAt(surface_, 104, 79), BLACK);
    EXPECT_EQ(countColour(surface_, {0, 0, 800, 79}, BLACK), 1);
    EXPECT_EQ(countColour(surface_, {0, 79, 800, 100}, BLACK), 1);
    EXPECT_EQ(countColour(surface_, {100, 300, 109, 301}, BLACK), 9);
    EXPECT_EQ(countColour(surface_, {0, 0, 800, 600}, BLACK), 11);
}

TEST_F(ResponseViewTest, NonFiniteResponsesLandOnTheAxes)
{
    // A zero on the unit circle at the frequency of column 0: its power is 0.
    const double omega0 = (10.0 * filterState.pi) / 22050.0;
    filterState.zeros.count = 1;
    filterState.zeros.pairFlags[0] = true;
    filterState.zeros.positions[0] = {std::cos(omega0), std::sin(omega0)};
    draw(false);
    EXPECT_EQ(magnitudeRows[0], 114);
    EXPECT_GT(magnitudeRows[1], MAGNITUDE.bottom);

    // A pole there instead gives NaN.
    filterState.poles = filterState.zeros;
    filterState.zeros.count = 0;
    draw(false);
    EXPECT_EQ(magnitudeRows[0], 114);
    EXPECT_EQ(phaseRows[0], 485);
    EXPECT_LT(magnitudeRows[1], MAGNITUDE.top);

    // A power beyond the double range.
    filterState.poles.count = 0;
    filterState.gain = std::numeric_limits<double>::max();
    draw(false);
    EXPECT_EQ(magnitudeRows[100], 114);
    filterState.gain = std::numeric_limits<double>::infinity();
    draw(false);
    EXPECT_EQ(magnitudeRows[100], 114);
    EXPECT_EQ(phaseRows[100], 485);
}

TEST_F(ResponseViewTest, TextOnlyOutsideThePanes)
{
    useFirstOrderLowPass();
    Surface plain;
    resizeSurface(plain, 800, 600);
    drawResponse(plain, MAGNITUDE, PHASE, false);
    draw(true);
    int differences = 0;
    int marksOutside = 0;
    int textOutside = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            if (contains(MAGNITUDE, x, y) || contains(PHASE, x, y)) {
                differences += pixelAt(plain, x, y) != pixelAt(surface_, x, y) ? 1 : 0;
            } else {
                marksOutside += pixelAt(plain, x, y) != WHITE ? 1 : 0;
                textOutside += pixelAt(surface_, x, y) != WHITE ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(marksOutside, 0);
    EXPECT_GT(textOutside, 100);

    // Without fonts there is no text.
    arialFont = nullptr;
    resizeSurface(surface_, 800, 600);
    draw(true);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            ASSERT_EQ(pixelAt(surface_, x, y), pixelAt(plain, x, y)) << x << ", " << y;
}

// The opaque boxes of the labels show on a coloured background: the top row
// of each box and the edge at its reference point.
TEST_F(ResponseViewTest, LabelPlaces)
{
    fillRect(surface_, {0, 0, 800, 600}, BACKGROUND);
    draw(true);
    const auto expectTopAt = [this](int x, int y) {
        EXPECT_NE(pixelAt(surface_, x, y), BACKGROUND) << x << ", " << y;
        EXPECT_EQ(pixelAt(surface_, x, y - 1), BACKGROUND) << x << ", " << y - 1;
    };
    for (const int x : {245, 294, 358, 408, 457, 521, 571, 620, 684, 734, 783}) {
        expectTopAt(x, 375);
        expectTopAt(x, 577);
    }
    for (const int y : {13, 60, 107, 154, 201, 248, 296, 343}) {
        expectTopAt(242, y);
        EXPECT_EQ(pixelAt(surface_, 243, y), BACKGROUND) << y;
    }
    expectTopAt(241, 388);
    EXPECT_EQ(pixelAt(surface_, 242, 388), BACKGROUND);
    expectTopAt(242, 478);
    EXPECT_EQ(pixelAt(surface_, 243, 478), BACKGROUND);
    expectTopAt(241, 569);
    EXPECT_EQ(pixelAt(surface_, 242, 569), BACKGROUND);
    // No label for 30 Hz.
    EXPECT_EQ(pixelAt(surface_, 322, 375), BACKGROUND);
}

TEST_F(ResponseViewTest, SampleRateRescalesTheAxis)
{
    filterState.nyquist = 96000.0;
    filterState.cutoff = 1000.0;
    const ResponseAxes axes = responseAxes(MAGNITUDE, PHASE);
    EXPECT_LT(frequencyColumn(axes, MAGNITUDE, 20.0), 294);
    EXPECT_EQ(frequencyColumn(axes, MAGNITUDE, 50000.0), 751);
    EXPECT_EQ(frequencyColumn(axes, MAGNITUDE, 90000.0), 786);

    fillRect(surface_, {0, 0, 800, 600}, BACKGROUND);
    draw(true);
    EXPECT_EQ(pixelAt(surface_, 786, 50), GRID_GREY);
    EXPECT_EQ(pixelAt(surface_, 787, 50), BACKGROUND);
    EXPECT_EQ(pixelAt(surface_, 788, 50), BACKGROUND);
    EXPECT_EQ(pixelAt(surface_, 751, 50), GRID_GREY);
    EXPECT_NE(pixelAt(surface_, 751, 375), BACKGROUND);
    EXPECT_NE(pixelAt(surface_, 751, 577), BACKGROUND);
}

TEST_F(ResponseViewTest, EraseAndRedrawRestoreTheImage)
{
    useFirstOrderLowPass();
    Surface fresh;
    resizeSurface(fresh, 800, 600);
    drawResponse(fresh, MAGNITUDE, PHASE, true);
    const FilterState first = filterState;

    draw(true);

    // With the flag down the erase removes the curves but leaves a marker.
    cutoffMarkerVisible = false;
    Surface kept = fresh;
    eraseResponseCurves(kept);
    EXPECT_EQ(countColour(kept, {0, 0, 800, 600}, BLACK), 0);
    EXPECT_EQ(countColour(kept, {0, 0, 800, 600}, MARKER_BLUE), countColour(fresh, {0, 0, 800, 600}, MARKER_BLUE));
    EXPECT_GT(countColour(kept, {0, 0, 800, 600}, MARKER_BLUE), 100);

    cutoffMarkerVisible = true;
    eraseResponseCurves(surface_);
    cutoffMarkerVisible = false;
    filterState.modelIndex = 3;  // band-pass
    filterState.q = 10.0;
    filterState.cutoff = 2000.0;
    applyModel();
    filterState.gain = filterState.gain * 30.0;
    draw(false);
    EXPECT_EQ(countColour(surface_, {0, 0, 800, 600}, MARKER_BLUE), 0);

    eraseResponseCurves(surface_);
    cutoffMarkerVisible = true;
    filterState = first;
    draw(false);
    EXPECT_EQ(surface_.image, fresh.image);
}

TEST_F(ResponseViewTest, RowsOfNoCurveEraseNothing)
{
    draw(true);
    const QImage drawn = surface_.image;
    clearResponseRows();
    cutoffMarkerVisible = false;
    eraseResponseCurves(surface_);
    EXPECT_EQ(surface_.image, drawn);
}

TEST_F(ResponseViewTest, RowsAreWrittenOnlyWithinThePaneAndTheArrays)
{
    overwriteRows(545, {12345}, {12345});
    draw(false);
    EXPECT_EQ(magnitudeRows[544], 114);
    EXPECT_EQ(magnitudeRows[545], 12345);
    EXPECT_EQ(phaseRows[545], 12345);

    view_.setRows(std::vector<std::int32_t>(100, 12345), std::vector<std::int32_t>(100, 12345));
    draw(false);
    eraseResponseCurves(surface_);
    draw(false);
    EXPECT_EQ(magnitudeRows[99], 114);
    EXPECT_EQ(phaseRows[99], 485);
    EXPECT_EQ(pixelAt(surface_, 245 + 98, 114), BLACK);
    EXPECT_EQ(pixelAt(surface_, 245 + 150, 114), GRID_GREY);
}

TEST_F(ResponseViewTest, EmptyPanesSampleAndPlotNothing)
{
    useFirstOrderLowPass();
    view_.setRows(std::vector<std::int32_t>(800, 12345), std::vector<std::int32_t>(800, 12345));
    for (const int right : {300, 250}) {
        SCOPED_TRACE(right);
        drawResponse(surface_, {300, 10, right, 374}, {300, 395, right, 576}, false);
        EXPECT_EQ(magnitudeRows[0], 12345);
        EXPECT_EQ(phaseRows[0], 12345);
        EXPECT_EQ(countColour(surface_, {0, 0, 800, 600}, BLACK), 0);
        EXPECT_EQ(countColour(surface_, {250, 0, 800, 600}, GRID_GREY) > 0, right == 250);
    }

    // The layout of a zero client area: panes far off with negative width,
    // and no row arrays.
    magnitudePane = {(1 << 27) + 20, 10, -10, -1431655792};
    phasePane = {(1 << 27) + 20, -1431655771, -10, -24};
    view_.setRows({}, {});
    for (const int size : {0, 800}) {
        resizeSurface(surface_, size, size);
        eraseResponseCurves(surface_);
        drawResponse(surface_, magnitudePane, phasePane, true);
        eraseResponseCurves(surface_);
        EXPECT_EQ(countColour(surface_, {0, 0, size, size}, BLACK), 0);
    }
    EXPECT_TRUE(magnitudeRows.empty());
}

}  // namespace
