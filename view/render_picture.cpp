#include "view/render_picture.h"

#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"
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
        || dpi > MAX_PICTURE_DPI)
        return {};

    // A picture of its own: fonts, layout and views made for it alone, so
    // that a window's own stay as they are. A fresh response view shows the
    // cutoff marker, as a full paint after start-up or opening a design does.
    const Fonts fonts = createFonts(dpi);
    Layout layout;
    Plots plots;
    layoutPlots(layout, plots, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                fonts.arialFont.get(), PICTURE_BASE_UNIT);
    resizeSurface(plots.surface, width, height);
    fullPaint(plots, layout, document.filter, fonts, Rect{0, 0, width, height});
    return plots.surface.image;
}
