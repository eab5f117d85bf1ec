#include "tests/stress/stress_targets.h"
#include "tests/window_driver.h"

#include "app/client_area.h"
#include "app/control_panel.h"
#include "app/main_window.h"
#include "model/filter_state.h"
#include "view/geometry.h"
#include "view/layout.h"
#include "view/zplane_view.h"

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QSlider>

#include <algorithm>
#include <cmath>

int pick(std::int32_t value, int n)
{
    return n <= 0 ? 0 : static_cast<int>(static_cast<std::uint32_t>(value) % static_cast<std::uint32_t>(n));
}

namespace {

// What a target aims at, chosen by the first of its four parameters.
enum TargetType {
    ANYWHERE_IN_CLIENT,
    ON_ROOT,
    NEAR_HIT_BOUNDARY,
    IN_PALETTE,
    ON_ZPLANE_EDGE,
    OUTSIDE_WINDOW,
    ON_CONTROL,
    IN_RESPONSE,
    TARGET_TYPES
};

// Window coordinates of a client pixel. Qt counts the window in logical
// pixels; the menu bar stands above the client area.
QPoint fromClientPixel(const MainWindow& window, std::int64_t x, std::int64_t y)
{
    const double ratio = clientAreaOf(window)->devicePixelRatioF();
    const auto logical = [ratio](std::int64_t v) {
        return toPixel(std::floor(static_cast<double>(std::clamp<std::int64_t>(v, -1000000, 1000000)) / ratio));
    };
    return clientAreaOf(window)->mapTo(&window, QPoint(logical(x), logical(y)));
}

}  // namespace

QPoint avoidMenuBar(const MainWindow& window, QPoint p)
{
    const QRect bar = window.menuBar()->geometry();
    if (bar.contains(p))
        p.setY(-1 - (p.y() - bar.top()));
    return p;
}

namespace {

struct RootRef {
    const RootList* list = nullptr;
    int slot = 0;
    bool lower = false;
};

RootRef chooseRoot(const FilterState& filterState, std::int32_t a, std::int32_t b, std::int32_t c)
{
    const RootList* first = pick(a, 2) == 0 ? &filterState.poles : &filterState.zeros;
    const RootList* second = first == &filterState.poles ? &filterState.zeros : &filterState.poles;
    const RootList* list = first->count > 0 ? first : second;
    if (list->count <= 0)
        return {};
    return {list, pick(b, std::min(list->count, MAX_ROOTS)), pick(c, 2) == 1};
}

// The pixel of a mark as the z-plane view computes it.
Point markPixel(const ZPlaneGeometry& zPlane, const RootRef& root)
{
    const Complex position = root.list->positions[root.slot];
    const std::int64_t dy = toPixel(position.im * zPlane.scale);
    const bool lower = root.lower && root.list->pairFlags[root.slot];
    return {narrowPixel(std::int64_t{zPlane.centreX} + toPixel(position.re * zPlane.scale)),
            narrowPixel(zPlane.centreY + (lower ? dy : -dy))};
}

QPoint onControl(const MainWindow& window, int which, std::int32_t b, std::int32_t c)
{
    const ControlPanel& controls = clientAreaOf(window)->controls();
    QWidget* const widgets[] = {controls.modelLabel,  controls.modelComboBox, controls.cutoffLabel,
                                controls.cutoffSlider, controls.qLabel,       controls.qSlider};
    QWidget* widget = widgets[which];
    const QPoint inside(pick(b, std::max(widget->width(), 1)), pick(c, std::max(widget->height(), 1)));
    return widget->mapTo(&window, inside);
}

QPoint resolveTargetAnywhere(const MainWindow& window, const std::int32_t* t)
{
    const ClientArea* clientArea = clientAreaOf(window);
    const ZPlaneGeometry& zPlane = clientArea->plots().zPlane.geometry();
    const Layout& layout = clientArea->layout();
    const Rect& paletteRect = layout.paletteRect;
    const int a = t[1], b = t[2], c = t[3];
    const std::int64_t width = surfaceWidth(clientArea->surface()), height = surfaceHeight(clientArea->surface());
    switch (pick(t[0], TARGET_TYPES)) {
    case ON_ROOT:
    case NEAR_HIT_BOUNDARY: {
        const RootRef root = chooseRoot(window.session().document().filter, a, b, c);
        if (root.list == nullptr)
            return avoidMenuBar(window, fromClientPixel(window, zPlane.centreX, zPlane.centreY));
        const Point mark = markPixel(zPlane, root);
        std::int64_t dx = 0, dy = 0;
        if (pick(t[0], TARGET_TYPES) == ON_ROOT) {
            if (pick(c >> 1, 2) == 1) {
                dx = pick(c >> 2, 7) - 3;
                dy = pick(c >> 5, 7) - 3;
            }
        } else {
            // Around 0.15 units from the mark, along an axis or a diagonal.
            const double reach = 0.15 * zPlane.scale;
            const int direction = pick(c >> 1, 8);
            const double along = direction < 4 ? reach : reach / std::sqrt(2.0);
            const std::int64_t k = toPixel(std::floor(along)) + pick(c >> 4, 4) - 1;
            const int sx[] = {1, -1, 0, 0, 1, 1, -1, -1}, sy[] = {0, 0, 1, -1, 1, -1, 1, -1};
            dx = sx[direction] * k;
            dy = sy[direction] * k;
        }
        return avoidMenuBar(window, fromClientPixel(window, mark.x + dx, mark.y + dy));
    }
    case IN_PALETTE: {
        const std::int64_t side = std::int64_t{paletteRect.bottom} - paletteRect.top;
        if (side <= 0)
            return avoidMenuBar(window, fromClientPixel(window, paletteRect.left, paletteRect.top));
        const std::int64_t span = std::min<std::int64_t>(side, 1 << 20);
        const std::int64_t cell = pick(a, 5);
        return avoidMenuBar(window, fromClientPixel(window, paletteRect.left + cell * side + pick(b, static_cast<int>(span)),
                                            std::int64_t{paletteRect.top} + pick(c, static_cast<int>(span))));
    }
    case ON_ZPLANE_EDGE: {
        const Rect& r = layout.zPlaneRect;
        const auto within = [](std::int32_t v, int low, int high) {
            const std::int64_t span = std::clamp<std::int64_t>(std::int64_t{high} - low, 1, 1 << 20);
            return std::int64_t{low} + pick(v, static_cast<int>(span));
        };
        const std::int64_t x = within(b, r.left, r.right), y = within(c, r.top, r.bottom);
        switch (pick(a, 8)) {
        case 0: return avoidMenuBar(window, fromClientPixel(window, x, r.top));
        case 1: return avoidMenuBar(window, fromClientPixel(window, x, std::int64_t{r.top} - 1));
        case 2: return avoidMenuBar(window, fromClientPixel(window, x, std::int64_t{r.bottom} - 1));
        case 3: return avoidMenuBar(window, fromClientPixel(window, x, r.bottom));
        case 4: return avoidMenuBar(window, fromClientPixel(window, r.left, y));
        case 5: return avoidMenuBar(window, fromClientPixel(window, std::int64_t{r.left} - 1, y));
        case 6: return avoidMenuBar(window, fromClientPixel(window, std::int64_t{r.right} - 1, y));
        default: return avoidMenuBar(window, fromClientPixel(window, r.right, y));
        }
    }
    case OUTSIDE_WINDOW: {
        const int w = window.width(), h = window.height();
        const int away = 1 + pick(b, 400);
        const int along = pick(c, 1 << 16) % (std::max(w, h) + 1);
        switch (pick(a, 4)) {
        case 0: return {-away, along};
        case 1: return {along, -away};
        case 2: return {w - 1 + away, along};
        default: return {along, h - 1 + away};
        }
    }
    case ON_CONTROL: return avoidMenuBar(window, onControl(window, pick(a, 6), b, c));
    case IN_RESPONSE: {
        const Rect& r = pick(a, 2) == 0 ? layout.magnitudePane : layout.phasePane;
        const std::int64_t w = std::clamp<std::int64_t>(std::int64_t{r.right} - r.left, 1, 1 << 20);
        const std::int64_t h = std::clamp<std::int64_t>(std::int64_t{r.bottom} - r.top, 1, 1 << 20);
        return avoidMenuBar(window, fromClientPixel(window, std::int64_t{r.left} + pick(b, static_cast<int>(w)),
                                            std::int64_t{r.top} + pick(c, static_cast<int>(h))));
    }
    default:
        return avoidMenuBar(window, fromClientPixel(window, pick(a, static_cast<int>(width) + 41) - 20,
                                            pick(b, static_cast<int>(height) + 41) - 20));
    }
}

}  // namespace

// Roots far off the z-plane have marks far off the window; the pointer goes
// no further than some way past the window's edges.
QPoint resolveTarget(const MainWindow& window, const std::int32_t* t)
{
    const QPoint p = resolveTargetAnywhere(window, t);
    constexpr int reach = 50000;
    return {std::clamp(p.x(), -reach, reach), std::clamp(p.y(), -reach, reach)};
}
