#include "view/paint.h"

#include "model/designs.h"
#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/response_view.h"
#include "view/surface.h"
#include "view/zplane_view.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// The random sequences cost most of this file's run time; the sanitizer build
// checks fewer of them.
#if defined(__SANITIZE_ADDRESS__)
constexpr int SEQUENCES = 40;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int SEQUENCES = 40;
#else
constexpr int SEQUENCES = 200;
#endif
#else
constexpr int SEQUENCES = 200;
#endif
constexpr int STEPS = 30;

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr double NYQUISTS[] = {22050.0, 24000.0, 48000.0, 96000.0};
constexpr Rgb BACKGROUND = rgb(1, 2, 3);

Rect wholeOf(const Surface& surface) { return {0, 0, surfaceWidth(surface), surfaceHeight(surface)}; }

// "" when both surfaces agree on every pixel of r within the images, else the
// first pixel that differs.
std::string firstDifference(const Surface& a, const Surface& b, const Rect& r)
{
    const int left = std::max(r.left, 0);
    const int right = std::min({r.right, surfaceWidth(a), surfaceWidth(b)});
    const int top = std::max(r.top, 0);
    const int bottom = std::min({r.bottom, surfaceHeight(a), surfaceHeight(b)});
    for (int y = top; y < bottom; ++y) {
        const auto* rowA = reinterpret_cast<const std::uint32_t*>(a.image.constScanLine(y));
        const auto* rowB = reinterpret_cast<const std::uint32_t*>(b.image.constScanLine(y));
        if (left >= right || std::memcmp(rowA + left, rowB + left, sizeof *rowA * static_cast<std::size_t>(right - left)) == 0)
            continue;
        for (int x = left; x < right; ++x) {
            if (rowA[x] != rowB[x]) {
                std::ostringstream text;
                text << "pixel " << x << "," << y << ": " << std::hex << pixelAt(a, x, y) << " against "
                     << pixelAt(b, x, y);
                return text.str();
            }
        }
    }
    return "";
}

bool hasPixelOtherThan(const Surface& surface, const Rect& r, Rgb colour)
{
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, surfaceHeight(surface)); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, surfaceWidth(surface)); ++x)
            if (pixelAt(surface, x, y) != colour)
                return true;
    return false;
}

bool isDark(Rgb colour)
{
    return ((colour >> 16) & 0xffu) < 100u && ((colour >> 8) & 0xffu) < 100u && (colour & 0xffu) < 100u;
}

// The window's state, owned here: fonts, layout, filter and the plots whose
// surface is surface_. Every drawing, on whichever surface, goes through the
// plots' one pair of views, as the window's own paints do; a reference image
// drawn on reference_ leaves the views as a paint of the window would.
class Paint : public testing::Test {
protected:
    void SetUp() override
    {
        fonts_ = createFonts(96);
        arialFont = fonts_.arialFont.get();
        ASSERT_NE(arialFont, nullptr);
        ASSERT_NE(fonts_.symbolFont, nullptr);
        applyModel();
        layOut(surface_, WIDTH, HEIGHT);
    }

    void layOut(Surface& surface, int width, int height)
    {
        layoutPanes(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
        resizeSurface(surface, width, height);
        fullPaint(surface, wholeOf(surface));
    }

    // What a resize does: a new layout and response rows cleared for it.
    void layoutPanes(std::uint16_t width, std::uint16_t height)
    {
        layoutPlots(layout_, plots_, width, height, arialFont, baseUnitY);
    }

    void fullPaint(Surface& target, const Rect& updateRect)
    {
        onSurface(target, [&] { ::fullPaint(plots_, layout_, filterState, fonts_, updateRect); });
    }
    void partialRedraw(Surface& target, bool showMarker)
    {
        onSurface(target, [&] { ::partialRedraw(plots_, layout_, filterState, fonts_, showMarker); });
    }
    void drawZPlane(Surface& target, const Rect& rect, bool erase)
    {
        plots_.zPlane.drawZPlane(target, rect, filterState, erase);
    }
    void drawPalette(Surface& target, bool withMarks)
    {
        ::drawPalette(target, paletteRect, plots_.zPlane.geometry().scale, withMarks);
    }
    void eraseResponseCurves(Surface& target) const { plots_.response.eraseResponseCurves(target, magnitudePane); }
    void drawResponse(Surface& target, const Rect& magnitude, const Rect& phase, bool withText)
    {
        plots_.response.drawResponse(target, magnitude, phase, filterState, fonts_, withText);
    }
    void applyModel() { ::applyModel(filterState); }
    void normalizeGain() { ::normalizeGain(filterState); }
    int cutoffMarkerX() const { return plots_.response.cutoffMarkerX(); }
    int labelStripLeft() const { return magnitudePane.left - 3 * arialFont->averageCharWidth - 10; }

    Fonts fonts_;
    const FontInfo* arialFont = nullptr;
    int baseUnitY = 16;
    FilterState filterState = initialFilterState();
    ::Layout layout_;
    Plots plots_;
    Surface& surface_ = plots_.surface;
    Surface reference_;
    Rect& zPlaneRect = layout_.zPlaneRect;
    Rect& paletteRect = layout_.paletteRect;
    Rect& magnitudePane = layout_.magnitudePane;
    Rect& phasePane = layout_.phasePane;
    bool& cutoffMarkerVisible = plots_.response.cutoffMarkerVisible;
    const std::vector<std::int32_t>& magnitudeRows = plots_.response.magnitudeRows();
    const std::vector<std::int32_t>& phaseRows = plots_.response.phaseRows();

private:
    // Runs draw with target as the plots' surface for its duration.
    template <typename Draw>
    void onSurface(Surface& target, Draw draw)
    {
        if (&target == &plots_.surface) {
            draw();
            return;
        }
        std::swap(target, plots_.surface);
        draw();
        std::swap(target, plots_.surface);
    }
};

// One random walk through the changes a user makes: models, sliders, sample
// rates and root edits.
class ChangeWalk {
public:
    ChangeWalk(FilterState& filter, const Rect& zPlaneRect, unsigned seed) : filterState(filter), random_(seed)
    {
        const int half = (zPlaneRect.right - zPlaneRect.left) / 2;
        const int scale = (5 * half) >> 3;
        // Every mark, a zero's circle being the widest, stays inside the frame.
        limit_ = std::min(1.5, static_cast<double>(half - 1 - scale / 12) / scale);
    }

    void startState()
    {
        filterState = initialFilterState();
        filterState.nyquist = NYQUISTS[pick(4)];
        filterState.cutoff = randomCutoff();
        filterState.q = uniform(std::sqrt(0.5), 10.0);
        filterState.modelIndex = pick(8);
        applyModel();
    }

    // Returns true when the change is one after which the program repaints
    // the whole window.
    bool change()
    {
        switch (pick(8)) {
        case 0: filterState.modelIndex = pick(8); applyModel(); return false;
        case 1: filterState.cutoff = randomCutoff(); applyModel(); return false;
        case 2: filterState.q = uniform(std::sqrt(0.5), 10.0); applyModel(); return false;
        case 3: addRoot(); break;
        case 4: moveRoot(); break;
        case 5: deleteRoot(); break;
        case 6: toggleRoot(); break;
        default:
            filterState.nyquist = NYQUISTS[pick(4)];
            filterState.cutoff = std::min(filterState.cutoff, filterState.nyquist);
            applyModel();
            return true;
        }
        normalizeGain();
        return false;
    }

    bool coin() { return pick(2) == 1; }

private:
    void applyModel() { ::applyModel(filterState); }
    void normalizeGain() { ::normalizeGain(filterState); }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

    double randomCutoff()
    {
        const double lowest = filterState.lowestFrequency;
        const double cutoff = lowest * std::pow(filterState.nyquist / lowest, uniform(0.0, 1.0));
        return std::clamp(cutoff, lowest, filterState.nyquist);
    }

    Complex randomPosition(bool pair)
    {
        return {uniform(-limit_, limit_), pair ? uniform(-limit_, limit_) : 0.0};
    }

    RootList& someList() { return coin() ? filterState.zeros : filterState.poles; }

    void addRoot()
    {
        RootList& list = someList();
        if (list.count >= MAX_ROOTS)
            return;
        const bool pair = coin();
        list.positions[list.count] = randomPosition(pair);
        list.pairFlags[list.count] = pair;
        ++list.count;
    }

    void moveRoot()
    {
        RootList& list = someList();
        if (list.count == 0)
            return;
        const int slot = pick(list.count);
        list.positions[slot] = randomPosition(list.pairFlags[slot]);
    }

    void deleteRoot()
    {
        RootList& list = someList();
        if (list.count == 0)
            return;
        for (int slot = pick(list.count); slot + 1 < list.count; ++slot) {
            list.positions[slot] = list.positions[slot + 1];
            list.pairFlags[slot] = list.pairFlags[slot + 1];
        }
        --list.count;
    }

    void toggleRoot()
    {
        RootList& list = someList();
        if (list.count == 0)
            return;
        const int slot = pick(list.count);
        list.pairFlags[slot] = !list.pairFlags[slot];
        if (!list.pairFlags[slot])
            list.positions[slot].im = 0.0;
    }

    FilterState& filterState;
    std::mt19937 random_;
    double limit_ = 0.0;
};

// The redraw after an edit leaves in the panes exactly what a repaint of the
// same state on a cleared window shows. The reference paint rewrites the
// view's drawn copies, row arrays and marker column with the very values the
// partial redraw left, since both drew the same filter.
TEST_F(Paint, PartialRedrawLeavesWhatAFullPaintDraws)
{
    resizeSurface(reference_, WIDTH, HEIGHT);
    for (int sequence = 0; sequence < SEQUENCES; ++sequence) {
        ChangeWalk walk(filterState, zPlaneRect, static_cast<unsigned>(sequence) + 1u);
        walk.startState();
        cutoffMarkerVisible = walk.coin();
        resizeSurface(surface_, WIDTH, HEIGHT);
        fullPaint(surface_, wholeOf(surface_));
        for (int step = 0; step < STEPS; ++step) {
            if (walk.change()) {
                fullPaint(surface_, wholeOf(surface_));
                continue;
            }
            partialRedraw(surface_, walk.coin());
            fullPaint(reference_, wholeOf(reference_));
            for (const Rect& pane : {magnitudePane, phasePane, zPlaneRect}) {
                const std::string difference = firstDifference(surface_, reference_, pane);
                ASSERT_EQ(difference, "") << "sequence " << sequence << ", step " << step;
            }
        }
    }
}

// Changing the Nyquist frequency moves the grid, which the partial redraw
// never erases: that change needs the full repaint the window gives it.
// The view state that a redraw reads and leaves behind.
struct ViewState {
    ResponseView response;
    ZPlaneView zPlane;

    static ViewState save(const Plots& plots) { return {plots.response, plots.zPlane}; }
    void restore(Plots& plots) const
    {
        plots.response = response;
        plots.zPlane = zPlane;
    }
};

// The partial redraw draws the frequency grid again only where the erase
// steps took pixels from it. It leaves the whole image exactly as drawing all
// of the grid does, also when root marks lie far outside the z-plane, over
// the panes.
TEST_F(Paint, GridRepairLeavesWhatTheWholeGridDraws)
{
    std::mt19937 random(99);
    std::uniform_real_distribution<double> position(-3.0, 3.0);
    std::uniform_int_distribution<int> count(0, 6);
    for (int step = 0; step < 300; ++step) {
        if (step % 3 == 0) {
            filterState.modelIndex = static_cast<int>(random() % 8);
            filterState.cutoff = 20.0 + static_cast<double>(random() % 20000);
            applyModel();
        } else {
            for (RootList* list : {&filterState.zeros, &filterState.poles}) {
                list->count = count(random);
                for (int i = 0; i < list->count; ++i) {
                    list->pairFlags[i] = (random() % 2) == 0;
                    list->positions[i] = {position(random), list->pairFlags[i] ? position(random) : 0.0};
                }
            }
            normalizeGain();
        }
        const bool showMarker = (random() % 3) != 0;
        reference_ = surface_;
        const ViewState before = ViewState::save(plots_);
        partialRedraw(surface_, showMarker);

        before.restore(plots_);
        drawZPlane(reference_, zPlaneRect, true);
        drawPalette(reference_, true);
        eraseResponseCurves(reference_);
        cutoffMarkerVisible = showMarker;
        drawResponse(reference_, magnitudePane, phasePane, false);
        ASSERT_EQ(firstDifference(surface_, reference_, wholeOf(surface_)), "") << "step " << step;
    }
}

TEST_F(Paint, PartialRedrawKeepsTheOldGridWhenTheAxisRescales)
{
    filterState.nyquist = 96000.0;
    applyModel();
    partialRedraw(surface_, true);
    resizeSurface(reference_, WIDTH, HEIGHT);
    fullPaint(reference_, wholeOf(reference_));
    EXPECT_NE(firstDifference(surface_, reference_, magnitudePane), "");
    fullPaint(surface_, wholeOf(surface_));
    EXPECT_EQ(firstDifference(surface_, reference_, wholeOf(surface_)), "");
}

TEST_F(Paint, FullPaintTouchesNothingOutsideItsUpdateRect)
{
    resizeSurface(reference_, WIDTH, HEIGHT);
    fullPaint(reference_, wholeOf(reference_));
    const Rect updates[] = {
        {0, 0, WIDTH, HEIGHT},
        {zPlaneRect.left + 7, zPlaneRect.top + 5, magnitudePane.left + 100, phasePane.top + 20},
        {magnitudePane.left - 40, 0, WIDTH, magnitudePane.bottom + 20},
        {paletteRect.left, paletteRect.top - 20, paletteRect.right, paletteRect.bottom},
        {0, 0, labelStripLeft(), HEIGHT},
        {300, 200, 301, 201},
        {-50, -50, 100, 100},
        {WIDTH - 30, HEIGHT - 30, WIDTH + 100, HEIGHT + 100},
    };
    for (const Rect& update : updates) {
        resizeSurface(surface_, WIDTH, HEIGHT);
        fillRect(surface_, wholeOf(surface_), BACKGROUND);
        fullPaint(surface_, update);
        int changed = 0;
        for (int y = 0; y < HEIGHT; ++y) {
            for (int x = 0; x < WIDTH; ++x) {
                if (contains(update, x, y)) {
                    ASSERT_EQ(pixelAt(surface_, x, y), pixelAt(reference_, x, y))
                        << x << "," << y << " in " << update.left << "," << update.top;
                    ++changed;
                } else {
                    ASSERT_EQ(pixelAt(surface_, x, y), BACKGROUND)
                        << x << "," << y << " outside " << update.left << "," << update.top;
                }
            }
        }
        EXPECT_GT(changed, 0);
    }
}

// The response is drawn again only by an update that reaches the strip of the
// dB and phase labels left of the panes, so that those labels come back.
TEST_F(Paint, ResponseIsRedrawnOnlyWhenTheUpdateReachesTheLabelStrip)
{
    const Surface before = surface_;
    const std::vector<std::int32_t> oldMagnitude = magnitudeRows;
    const std::vector<std::int32_t> oldPhase = phaseRows;
    const int oldMarker = cutoffMarkerX();

    filterState.modelIndex = 3;
    filterState.cutoff = 3000.0;
    filterState.q = 4.0;
    applyModel();

    const int strip = labelStripLeft();
    ASSERT_GE(strip, zPlaneRect.right);
    fullPaint(surface_, {0, 0, strip, HEIGHT});
    EXPECT_EQ(magnitudeRows, oldMagnitude);
    EXPECT_EQ(phaseRows, oldPhase);
    EXPECT_EQ(cutoffMarkerX(), oldMarker);
    EXPECT_EQ(firstDifference(surface_, before, {strip, 0, WIDTH, HEIGHT}), "");

    fillRect(surface_, {strip, 0, magnitudePane.left, HEIGHT}, WHITE);
    fullPaint(surface_, {0, 0, strip + 1, HEIGHT});
    EXPECT_NE(magnitudeRows, oldMagnitude);
    EXPECT_NE(phaseRows, oldPhase);
    EXPECT_NE(cutoffMarkerX(), oldMarker);
    const std::vector<std::int32_t> stripMagnitude = magnitudeRows;
    const std::vector<std::int32_t> stripPhase = phaseRows;
    const int stripMarker = cutoffMarkerX();

    fillRect(surface_, {strip, 0, magnitudePane.left, HEIGHT}, WHITE);
    fullPaint(surface_, {0, 0, magnitudePane.left, HEIGHT});
    resizeSurface(reference_, WIDTH, HEIGHT);
    fullPaint(reference_, wholeOf(reference_));
    EXPECT_EQ(stripMagnitude, magnitudeRows);
    EXPECT_EQ(stripPhase, phaseRows);
    EXPECT_EQ(stripMarker, cutoffMarkerX());

    const Rect labels{strip, 0, magnitudePane.left, HEIGHT};
    EXPECT_EQ(firstDifference(surface_, reference_, labels), "");
    EXPECT_TRUE(hasPixelOtherThan(surface_, {strip, magnitudePane.top, magnitudePane.left, magnitudePane.bottom},
                                  WHITE));
    EXPECT_TRUE(hasPixelOtherThan(surface_, {strip, phasePane.top - arialFont->height, magnitudePane.left,
                                             phasePane.bottom + arialFont->height},
                                  WHITE));
}

TEST_F(Paint, CaptionStandsOnThePalettesTopEdge)
{
    const int textHeight = arialFont->height;
    const int advance = QFontMetrics(arialFont->font).horizontalAdvance(QString::fromUtf8(PALETTE_CAPTION));
    ASSERT_GT(advance, 0);
    ASSERT_LT(paletteRect.left + advance, magnitudePane.left);

    int leftmost = std::numeric_limits<int>::max();
    int rightmost = std::numeric_limits<int>::min();
    int lowest = std::numeric_limits<int>::min();
    for (int y = paletteRect.top - textHeight; y < paletteRect.top; ++y) {
        for (int x = 0; x < magnitudePane.left; ++x) {
            if (isDark(pixelAt(surface_, x, y))) {
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x);
                lowest = std::max(lowest, y);
            }
        }
    }
    EXPECT_GE(leftmost, paletteRect.left);
    EXPECT_LE(leftmost, paletteRect.left + 3);
    EXPECT_GT(rightmost, paletteRect.left + advance / 2);
    EXPECT_LT(rightmost, paletteRect.left + advance + 2);
    // "p" descends to the bottom of the text box.
    EXPECT_GE(lowest, paletteRect.top - 3);

    EXPECT_FALSE(hasPixelOtherThan(surface_, {0, paletteRect.top - 2 * textHeight, magnitudePane.left,
                                              paletteRect.top - textHeight},
                                   WHITE));
}

TEST_F(Paint, ExtremeRootsAndGainsDrawWithoutFault)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Complex positions[] = {{1e6, 0.0}, {-1e9, 3e9}, {1e300, -1e300}, {nan, 0.0}, {inf, -inf},
                                 {-inf, nan}, {0.5, 1e-300}};
    const double gains[] = {1.0, nan, inf, -inf, 0.0, 1e308};
    for (const double gain : gains) {
        filterState = initialFilterState();
        for (const Complex& position : positions) {
            const int slot = filterState.zeros.count;
            filterState.zeros.positions[slot] = position;
            filterState.zeros.pairFlags[slot] = position.im != 0.0;
            filterState.poles.positions[slot] = {position.im, position.re};
            filterState.poles.pairFlags[slot] = position.re != 0.0;
            ++filterState.zeros.count;
            ++filterState.poles.count;
        }
        filterState.gain = gain;
        fullPaint(surface_, wholeOf(surface_));
        partialRedraw(surface_, true);
        partialRedraw(surface_, false);
        EXPECT_EQ(pixelAt(surface_, zPlaneRect.left, zPlaneRect.top), GREY);
        EXPECT_EQ(pixelAt(surface_, magnitudePane.right - 1, magnitudePane.bottom - 1), GREY);
        EXPECT_EQ(pixelAt(surface_, phasePane.left, phasePane.top), GREY);
    }

    // A response that is NaN at every column puts both curves on their zero
    // rows: 0 dB, 22 dB below the top, and the phase pane's centre line.
    filterState = initialFilterState();
    filterState.gain = nan;
    partialRedraw(surface_, false);
    const int zeroDbRow = magnitudePane.top + toPixel(22.0 * (magnitudePane.bottom - magnitudePane.top) / 77.0);
    const int centreRow = (phasePane.top + phasePane.bottom) / 2;
    const auto width = static_cast<std::size_t>(magnitudePane.right - magnitudePane.left);
    ASSERT_GE(magnitudeRows.size(), width);
    for (std::size_t i = 0; i < width; ++i) {
        ASSERT_EQ(magnitudeRows[i], zeroDbRow) << i;
        ASSERT_EQ(phaseRows[i], centreRow) << i;
    }
    EXPECT_EQ(pixelAt(surface_, magnitudePane.left + 5, zeroDbRow), BLACK);
    EXPECT_EQ(pixelAt(surface_, magnitudePane.left + 5, centreRow), BLACK);
}

TEST_F(Paint, DegenerateLayoutsDrawWithoutFault)
{
    struct Size {
        int width, height;
    };
    for (const Size size : {Size{0, 0}, Size{1, 1}, Size{65535, 10}, Size{10, 65535}, Size{3, 200}, Size{200, 3}}) {
        layOut(surface_, size.width, size.height);
        filterState.modelIndex = 5;
        applyModel();
        partialRedraw(surface_, true);
        filterState.zeros.positions[0] = {0.25, 0.5};
        filterState.zeros.pairFlags[0] = true;
        normalizeGain();
        partialRedraw(surface_, false);
        EXPECT_EQ(surfaceWidth(surface_), size.width);
        EXPECT_EQ(surfaceHeight(surface_), size.height);
        filterState = initialFilterState();
        applyModel();
        cutoffMarkerVisible = true;
    }

    // A minimised window's layout, with no paint between it and the edits.
    layoutPanes(0, 0);
    partialRedraw(surface_, true);
    EXPECT_EQ(magnitudeRows.size(), 0u);

    // Back at a normal size the repaint is that of a fresh window.
    layOut(surface_, WIDTH, HEIGHT);
    Surface fresh;
    resizeSurface(fresh, WIDTH, HEIGHT);
    fullPaint(fresh, wholeOf(fresh));
    EXPECT_EQ(firstDifference(surface_, fresh, wholeOf(surface_)), "");
    EXPECT_TRUE(hasPixelOtherThan(surface_, magnitudePane, WHITE));
}

TEST_F(Paint, PanesOfNegativeSizeDrawWithoutFault)
{
    const Rect inverted[] = {
        {400, 300, 100, 50},
        {-100, -100, -300, -300},
        {std::numeric_limits<int>::max(), 0, std::numeric_limits<int>::min(), 10},
        {0, std::numeric_limits<int>::max(), 10, std::numeric_limits<int>::min()},
    };
    for (const Rect& pane : inverted) {
        magnitudePane = pane;
        phasePane = {pane.left, narrowPixel(std::int64_t{pane.top} + 50), pane.right, pane.bottom};
        zPlaneRect = pane;
        paletteRect = {pane.left, pane.bottom, pane.right, pane.top};
        resizeSurface(surface_, WIDTH, HEIGHT);
        fullPaint(surface_, wholeOf(surface_));
        partialRedraw(surface_, true);
        partialRedraw(surface_, false);
        EXPECT_EQ(surfaceWidth(surface_), WIDTH);
    }
    // A normal layout afterwards paints the response again.
    layOut(surface_, WIDTH, HEIGHT);
    EXPECT_EQ(pixelAt(surface_, magnitudePane.left, magnitudePane.top), GREY);
    EXPECT_EQ(pixelAt(surface_, zPlaneRect.left, zPlaneRect.top), GREY);
}

}  // namespace
