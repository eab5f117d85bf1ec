#include "tests/stress/stress_checks.h"
#include "tests/window_driver.h"

#include "app/client_area.h"
#include "app/control_panel.h"
#include "app/main_window.h"
#include "app/root_editor.h"
#include "app/time_docks.h"
#include "app/time_plot.h"
#include "model/time_response.h"
#include "model/designs.h"
#include "model/filter_state.h"
#include "model/readout.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"
#include "view/response_view.h"
#include "view/surface.h"
#include "view/zplane_view.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QCursor>
#include <QFontMetrics>
#include <QLabel>
#include <QSlider>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <utility>
#include <vector>

namespace {

// Which models show the Q controls, by model index.
constexpr bool Q_SHOWN[MODEL_COUNT] = {false, true, true, true, true, false, true, false, false};

std::string listFault(const RootList& list, const char* name)
{
    if (list.count < 0 || list.count > MAX_ROOTS)
        return std::string("counts: ") + name + " count " + std::to_string(list.count);
    for (int i = 0; i < list.count; ++i)
        if (!list.pairFlags[i] && !(list.positions[i].im == 0.0)) {
            std::ostringstream text;
            text << "single-im: " << name << " slot " << i << " is single with im " << list.positions[i].im;
            return text.str();
        }
    return "";
}

// The first field in which the state shown now differs from the one
// shown before at the same place of the history, with both values, so that
// a failure says what undo failed to put back.
std::string firstDifference(const ShownState& was, const ShownState& now)
{
    std::ostringstream text;
    text.precision(17);
    const auto differs = [&text](const char* field, const auto& before, const auto& after) {
        if (std::memcmp(&before, &after, sizeof before) == 0)
            return false;
        text << field << " is " << after << ", was " << before;
        return true;
    };
    const Document& a = was.document;
    const Document& b = now.document;
    const FilterState& f = a.filter;
    const FilterState& g = b.filter;
    if (differs("sample rate", a.sampleRate, b.sampleRate) || differs("cutoff position", a.cutoffPosition, b.cutoffPosition) ||
        differs("Q position", a.qPosition, b.qPosition) || differs("model", f.modelIndex, g.modelIndex) ||
        differs("Q-visible flag", f.qVisible, g.qVisible) || differs("Nyquist", f.nyquist, g.nyquist) ||
        differs("lowest frequency", f.lowestFrequency, g.lowestFrequency) || differs("cutoff", f.cutoff, g.cutoff) ||
        differs("Q", f.q, g.q) || differs("gain", f.gain, g.gain) || differs("pi", f.pi, g.pi) ||
        differs("cutoff marker", was.cutoffMarkerVisible, now.cutoffMarkerVisible))
        return text.str();
    const std::pair<const char*, std::pair<const RootList*, const RootList*>> lists[] = {
        {"zeros", {&f.zeros, &g.zeros}}, {"poles", {&f.poles, &g.poles}}};
    for (const auto& [name, pair] : lists) {
        const RootList& before = *pair.first;
        const RootList& after = *pair.second;
        if (differs((std::string(name) + " count").c_str(), before.count, after.count))
            return text.str();
        for (int i = 0; i < before.count && i < MAX_ROOTS; ++i) {
            const std::string slot = std::string(name) + "[" + std::to_string(i) + "]";
            if (differs((slot + ".pair").c_str(), before.pairFlags[i], after.pairFlags[i]) ||
                differs((slot + ".re").c_str(), before.positions[i].re, after.positions[i].re) ||
                differs((slot + ".im").c_str(), before.positions[i].im, after.positions[i].im))
                return text.str();
        }
    }
    return "no field differs";
}

const char* cursorName(const Cursors& cursors, const QCursor& cursor)
{
    if (cursor == cursors.arrow)
        return "arrow";
    if (cursor == cursors.hand)
        return "hand";
    if (cursor == cursors.bin)
        return "bin";
    return nullptr;
}

bool sameList(const RootList& a, const RootList& b)
{
    if (a.count != b.count)
        return false;
    for (int i = 0; i < std::clamp(a.count, 0, MAX_ROOTS); ++i)
        if (a.pairFlags[i] != b.pairFlags[i] ||
            std::memcmp(&a.positions[i], &b.positions[i], sizeof a.positions[i]) != 0)
            return false;
    return true;
}

// Every pixel a list's marks cover, as drawRootList places them, lies inside
// zPlaneRect: a circle of radius size/12 or a cross of half-size size/14.
bool marksInside(const ZPlaneGeometry& zPlane, const Rect& zPlaneRect, const RootList& list, bool asCross)
{
    // The view's scale is a whole number below 2^32, the mark size it uses.
    const double s = zPlane.scale >= 0.0 && zPlane.scale < 4294967296.0 ? zPlane.scale : 0.0;
    const auto size = static_cast<std::int64_t>(s);
    const std::int64_t reach = asCross ? size / 14 : size / 12;
    const Rect& r = zPlaneRect;
    const auto fits = [&r, reach](std::int64_t x, std::int64_t y) {
        return x - reach >= r.left && x + reach < r.right && y - reach >= r.top && y + reach < r.bottom;
    };
    for (int i = 0; i < std::clamp(list.count, 0, MAX_ROOTS); ++i) {
        const std::int64_t x = narrowPixel(std::int64_t{zPlane.centreX} + toPixel(list.positions[i].re * s));
        const std::int64_t dy = toPixel(list.positions[i].im * s);
        if (!fits(x, narrowPixel(zPlane.centreY - dy)))
            return false;
        if (list.pairFlags[i] && !fits(x, narrowPixel(zPlane.centreY + dy)))
            return false;
    }
    return true;
}

bool overlap(const Rect& a, const Rect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool empty(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

// A client area too small for its panes lays them out over each other, and
// over the palette; there the order of the drawing steps decides each pixel
// and a redraw cannot match a full paint, nor does it need to.
bool panesApart(const Layout& layout)
{
    const Rect& zPlaneRect = layout.zPlaneRect;
    const Rect& magnitudePane = layout.magnitudePane;
    const Rect& phasePane = layout.phasePane;
    const Rect& paletteRect = layout.paletteRect;
    const Rect* panes[] = {&zPlaneRect, &magnitudePane, &phasePane};
    for (const Rect* pane : panes)
        if (empty(*pane))
            return false;
    return !overlap(zPlaneRect, magnitudePane) && !overlap(zPlaneRect, phasePane) &&
           !overlap(magnitudePane, phasePane) && !overlap(paletteRect, magnitudePane) &&
           !overlap(paletteRect, phasePane);
}

// The palette caption, drawn by full paints only, over its white box and the
// pixels its glyphs may reach beyond it. In a client area narrower than about
// 520 or lower than about 180 pixels it runs into the magnitude pane, where
// the erase of a redrawn curve takes its pixels away: a flaw of its own, left
// out of the comparison so that it hides no other difference.
Rect captionBox(const FontInfo* arialFont, const Rect& paletteRect)
{
    if (arialFont == nullptr)
        return {};
    const int width = QFontMetrics(arialFont->font).horizontalAdvance(QString::fromUtf8(PALETTE_CAPTION));
    const std::int64_t top = std::int64_t{paletteRect.top} - arialFont->height;
    return {narrowPixel(std::int64_t{paletteRect.left} - 2), narrowPixel(top - 2),
            narrowPixel(std::int64_t{paletteRect.left} + width + 2), narrowPixel(std::int64_t{paletteRect.top} + 2)};
}

std::string firstDifferenceIn(const QImage& shown, const QImage& reference, const Rect& r, const Rect& caption)
{
    const int left = std::max(r.left, 0), top = std::max(r.top, 0);
    const int right = std::min({r.right, shown.width(), reference.width()});
    const int bottom = std::min({r.bottom, shown.height(), reference.height()});
    for (int y = top; y < bottom; ++y) {
        const auto* a = reinterpret_cast<const std::uint32_t*>(shown.constScanLine(y));
        const auto* b = reinterpret_cast<const std::uint32_t*>(reference.constScanLine(y));
        if (left >= right || std::memcmp(a + left, b + left, sizeof *a * static_cast<std::size_t>(right - left)) == 0)
            continue;
        for (int x = left; x < right; ++x)
            if (a[x] != b[x] && !contains(caption, x, y)) {
                std::ostringstream text;
                text << "pixel (" << x << ", " << y << ") is " << std::hex << (a[x] & 0xffffffu) << ", a full paint has "
                     << (b[x] & 0xffffffu);
                return text.str();
            }
    }
    return "";
}

}  // namespace

std::string StressChecks::checkState() const
{
    const FilterState& filterState = window_.session().document().filter;
    const ControlPanel& controls = clientAreaOf(window_)->controls();
    const RootEditor& rootEditor = clientAreaOf(window_)->rootEditor();
    for (const auto& [list, name] : {std::pair{&filterState.zeros, "zeros"}, std::pair{&filterState.poles, "poles"}})
        if (std::string fault = listFault(*list, name); !fault.empty())
            return fault;
    if (!std::isfinite(filterState.gain)) {
        std::ostringstream text;
        text << "gain: the gain is " << filterState.gain;
        return text.str();
    }
    const int model = filterState.modelIndex;
    if (model < 0 || model >= MODEL_COUNT)
        return "model: model index " + std::to_string(model);
    if (controls.modelComboBox->currentIndex() != model)
        return "combo: the combo box shows " + std::to_string(controls.modelComboBox->currentIndex()) +
               ", the model index is " + std::to_string(model);
    const bool custom = model == MODEL_CUSTOM;
    if (controls.cutoffLabel->isHidden() != custom || controls.cutoffSlider->isHidden() != custom)
        return "cutoff-controls: cutoff controls " + std::string(controls.cutoffSlider->isHidden() ? "hidden" : "shown") +
               " for model " + std::to_string(model);
    if (filterState.qVisible != Q_SHOWN[model])
        return "q-flag: the Q-visible flag is " + std::string(filterState.qVisible ? "set" : "clear") + " for model " +
               std::to_string(model);
    if (controls.qLabel->isHidden() == Q_SHOWN[model] || controls.qSlider->isHidden() == Q_SHOWN[model])
        return "q-controls: Q controls " + std::string(controls.qSlider->isHidden() ? "hidden" : "shown") +
               " for model " + std::to_string(model);

    const char* cursor = cursorName(clientAreaOf(window_)->cursors(), clientAreaOf(window_)->cursor());
    if (cursor == nullptr)
        return "cursor: the cursor is none of arrow, hand and bin";
    if (rootEditor.dragging) {
        const char* expected = rootEditor.outside ? "bin" : "hand";
        if (std::strcmp(cursor, expected) != 0)
            return std::string("drag-cursor: ") + cursor + " while dragging " +
                   (rootEditor.outside ? "outside" : "inside");
    }
    return "";
}

std::string StressChecks::checkHistory(bool undoOrRedo)
{
    const QUndoStack& stack = window_.session().history().stack();
    const int index = stack.index();
    const int count = stack.count();
    // At the limit, each new step drops the oldest: every index moves down.
    const auto oldest = reinterpret_cast<std::uintptr_t>(count > 0 ? stack.command(0) : nullptr);
    if (count == UndoHistory::STEP_LIMIT && oldestStep_ != 0 && oldest != oldestStep_ && !statesAt_.empty()) {
        statesAt_.erase(statesAt_.begin());
        lastIndex_ = std::max(lastIndex_ - 1, 0);
    }
    oldestStep_ = oldest;
    // An empty history (a design opened) knows no state but the one shown.
    if (count == 0)
        statesAt_.clear();
    // A new step drops the steps that were there to redo: the states after
    // them are no longer the history's.
    if (!undoOrRedo && (index != lastIndex_ || count != lastCount_))
        statesAt_.resize(static_cast<std::size_t>(std::min(lastIndex_, index)) + 1);
    lastIndex_ = index;
    lastCount_ = count;
    statesAt_.resize(static_cast<std::size_t>(count) + 1);

    // A drag in progress has changed the state without a step yet.
    const ControlPanel& controls = clientAreaOf(window_)->controls();
    if (clientAreaOf(window_)->rootEditor().dragging || controls.cutoffSlider->isSliderDown() ||
        controls.qSlider->isSliderDown())
        return "";
    const ShownState now = window_.session().shownState();
    std::optional<ShownState>& known = statesAt_[static_cast<std::size_t>(index)];
    if (undoOrRedo && known && !(*known == now))
        return "undo-state: at history index " + std::to_string(index) + " of " + std::to_string(count) + ", " +
               firstDifference(*known, now);
    known = now;
    return "";
}

void StressChecks::observeDrawnRoots()
{
    const ZPlaneView& zPlane = clientAreaOf(window_)->plots().zPlane;
    if (sameList(zPlane.drawnZeros(), seenZeros_) && sameList(zPlane.drawnPoles(), seenPoles_))
        return;
    erasedZeros_ = seenZeros_;
    erasedPoles_ = seenPoles_;
    seenZeros_ = zPlane.drawnZeros();
    seenPoles_ = zPlane.drawnPoles();
}

// A press on the palette adds a root that the first movement draws; until
// then the display shows the roots from before. A client area that shows
// nothing gets no paint.
bool StressChecks::mayShowOtherRoots() const
{
    const ClientArea* clientArea = clientAreaOf(window_);
    const RootEditor& rootEditor = clientArea->rootEditor();
    return (rootEditor.dragging && rootEditor.lastDragPoint == rootEditor.pressPoint) ||
           surfaceWidth(clientArea->surface()) == 0 || surfaceHeight(clientArea->surface()) == 0 ||
           clientArea->visibleRegion().isEmpty();
}

std::string StressChecks::checkShownRoots() const
{
    const FilterState& filterState = window_.session().document().filter;
    const ZPlaneView& zPlane = clientAreaOf(window_)->plots().zPlane;
    const RootList& drawnZeros = zPlane.drawnZeros();
    const RootList& drawnPoles = zPlane.drawnPoles();
    if (mayShowOtherRoots() || (sameList(drawnZeros, filterState.zeros) && sameList(drawnPoles, filterState.poles)))
        return "";
    return "shown-roots: the z-plane was last drawn with " + std::to_string(drawnZeros.count) + " zeros and " +
           std::to_string(drawnPoles.count) + " poles, the filter has " + std::to_string(filterState.zeros.count) +
           " and " + std::to_string(filterState.poles.count) + ", or other positions";
}

bool StressChecks::displayCheckable()
{
    observeDrawnRoots();
    const FilterState& filterState = window_.session().document().filter;
    const ClientArea* clientArea = clientAreaOf(window_);
    const ZPlaneView& zPlane = clientArea->plots().zPlane;
    const RootList& drawnZeros = zPlane.drawnZeros();
    const RootList& drawnPoles = zPlane.drawnPoles();
    const Rect& zPlaneRect = clientArea->layout().zPlaneRect;
    if (mayShowOtherRoots() || !panesApart(clientArea->layout()))
        return false;
    if (!sameList(drawnZeros, filterState.zeros) || !sameList(drawnPoles, filterState.poles))
        return false;
    const ZPlaneGeometry& geometry = zPlane.geometry();
    return marksInside(geometry, zPlaneRect, drawnZeros, false) && marksInside(geometry, zPlaneRect, drawnPoles, true) &&
           marksInside(geometry, zPlaneRect, erasedZeros_, false) &&
           marksInside(geometry, zPlaneRect, erasedPoles_, true);
}

std::string StressChecks::checkDisplay() const
{
    const ClientArea* clientArea = clientAreaOf(window_);
    const Layout& layout = clientArea->layout();
    const QImage reference = freshFullPaint(window_);
    const Rect caption = captionBox(clientAreaOf(window_)->fonts().arialFont.get(), layout.paletteRect);

    // Only what shows counts: Qt paints no part of the client area that its
    // window hides.
    const QRect visible = clientArea->visibleRegion().boundingRect();
    const double ratio = clientArea->devicePixelRatioF();
    const Rect shown{toPixel(visible.left() * ratio), toPixel(visible.top() * ratio),
                     toPixel((visible.right() + 1) * ratio), toPixel((visible.bottom() + 1) * ratio)};
    for (const auto& [pane, name] :
         {std::pair{&layout.magnitudePane, "magnitude pane"}, std::pair{&layout.phasePane, "phase pane"},
          std::pair{&layout.zPlaneRect, "z-plane"}}) {
        const Rect part{std::max(pane->left, shown.left), std::max(pane->top, shown.top),
                        std::min(pane->right, shown.right), std::min(pane->bottom, shown.bottom)};
        const std::string at = firstDifferenceIn(clientArea->surface().image, reference, part, caption);
        if (at.empty())
            continue;
        if (!displayImages.empty()) {
            clientArea->surface().image.save(QString::fromStdString(displayImages + "-shown.png"));
            reference.save(QString::fromStdString(displayImages + "-full-paint.png"));
        }
        return std::string("display: in the ") + name + ", " + at;
    }
    return "";
}

std::string StressChecks::checkReadout() const
{
    const ClientArea& area = *clientAreaOf(window_);
    const FilterState& filter = window_.session().document().filter;
    const EditorView view = area.editorView();
    const Layout& layout = area.layout();
    const auto kindOf = [](RootListKind list) { return list == RootListKind::Poles ? RootKind::Pole : RootKind::Zero; };
    std::string expected;
    const std::optional<Point> pointer = area.pointer();
    if (area.rootEditor().dragging && selectedRoot(area.rootEditor(), filter)) {
        const PointedRoot dragged = *selectedRoot(area.rootEditor(), filter);
        expected = rootReadout(dragged.root, kindOf(dragged.list), filter.nyquist);
    } else if (!area.rootEditor().dragging && pointer) {
        const int x = pointer->x, y = pointer->y;
        if (const std::optional<PointedRoot> pointed = rootAt(filter, view, x, y)) {
            expected = rootReadout(pointed->root, kindOf(pointed->list), filter.nyquist);
        } else if (contains(view.zPlaneRect, x, y)) {
            const double scale = view.geometry.scale;
            expected = zPlaneReadout({(static_cast<double>(x) - view.geometry.centreX) / scale,
                                      (static_cast<double>(view.geometry.centreY) - y) / scale},
                                     filter.nyquist);
        } else if ((contains(layout.magnitudePane, x, y) || contains(layout.phasePane, x, y)) &&
                   columnFrequency(layout.magnitudePane, filter.lowestFrequency, filter.nyquist, x)) {
            expected = responseReadout(
                filter, *columnFrequency(layout.magnitudePane, filter.lowestFrequency, filter.nyquist, x));
        }
    }
    if (expected.empty())
        expected = filterSummary(filter, modelName(filter.modelIndex), clientAreaOf(window_)->plots().precision);
    const std::string shown = window_.findChild<ReadoutBar*>()->text().toStdString();
    if (shown != expected)
        return "readout: shows \"" + shown + "\", the pointer's place gives \"" + expected + "\"";
    return "";
}

std::string StressChecks::checkTimeViews() const
{
    // A change reaches an open view at its next repaint, within a refresh.
    const auto settled = [](const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 200) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QTest::qSleep(2);
        }
        return done();
    };
    const FilterState& filter = window_.session().filter();
    // Qt paints nothing of a plot that the window's size leaves no room.
    for (TimePlot* plot : window_.findChildren<TimePlot*>()) {
        if (!plot->isVisible() || plot->visibleRegion().isEmpty())
            continue;
        if (!settled([plot] { return plot->upToDate(); }))
            return "time-views: an open plot still shows an earlier design";
        if (plot->view() == TimeView::GroupDelay)
            continue;
        std::vector<double> expected = impulseResponse(filter, shownImpulseLength(filter));
        if (plot->view() == TimeView::Step)
            expected = stepResponse(expected);
        const std::vector<double>& shown = plot->samples();
        if (shown.size() != expected.size())
            return "time-views: " + std::to_string(shown.size()) + " samples shown for " +
                   std::to_string(expected.size());
        for (std::size_t n = 0; n < shown.size(); ++n)
            if (!(shown[n] == expected[n]) && !(std::isnan(shown[n]) && std::isnan(expected[n])))
                return "time-views: sample " + std::to_string(n) + " differs";
    }
    for (RootsTable* table : window_.findChildren<RootsTable*>()) {
        if (!table->isVisible())
            continue;
        const int roots = filter.zeros.count + filter.poles.count;
        if (!settled([table, roots] {
                return table->storedRowCount() == roots &&
                       static_cast<std::size_t>(table->rowCount()) == table->rows().size();
            }))
            return "time-views: the roots table has " + std::to_string(table->rowCount()) + " rows for " +
                   std::to_string(roots) + " roots";
    }
    return {};
}
