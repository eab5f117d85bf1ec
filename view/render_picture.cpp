#include "view/render_picture.h"

#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"
#include "view/response_view.h"
#include "view/surface.h"

#include <cstdint>

namespace {

// The picture's control column is never drawn, but the layout places it;
// the unit of a common 8-point control font at 96 dpi keeps it plausible.
constexpr int PICTURE_BASE_UNIT = 16;

}  // namespace

QImage renderFullPaint(const Document& document, int width, int height, int dpi)
{
    if (width < 1 || width > MAX_PICTURE_SIDE || height < 1 || height > MAX_PICTURE_SIDE || dpi < 1
        || dpi > MAX_PICTURE_DPI || arialFont != nullptr || symbolFont != nullptr)
        return {};

    createFonts(dpi);
    if (arialFont == nullptr || symbolFont == nullptr) {
        releaseFonts();
        return {};
    }

    const FilterState kept = filterState;
    filterState = document.filter;
    // A full paint after start-up or opening a design shows the cutoff
    // marker; an earlier partial redraw may have hidden it.
    cutoffMarkerVisible = true;
    baseUnitY = PICTURE_BASE_UNIT;
    layoutPanes(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));

    Surface surface;
    resizeSurface(surface, width, height);
    fullPaint(surface, Rect{0, 0, width, height});

    releaseFonts();
    filterState = kept;
    return surface.image;
}
