#include "view/paint.h"

#include <cstdint>
#include <optional>

namespace {

// The dB and phase labels stand left of the panes, in the room the layout
// leaves them; an update that reaches into that room redraws the response so
// that the labels come back.
std::int64_t labelStripLeft(const Layout& layout, const FontInfo* arialFont)
{
    const std::int64_t labelRoom = arialFont != nullptr ? 3 * std::int64_t{arialFont->averageCharWidth} + 10 : 10;
    return layout.magnitudePane.left - labelRoom;
}

void drawCaption(Surface& surface, const Rect& paletteRect, const FontInfo* arialFont)
{
    const FontSelection font(surface, arialFont != nullptr ? &arialFont->font : nullptr);
    surface.textAlign = TextAlign::LeftBottom;
    surface.textColour = BLACK;
    textOut(surface, paletteRect.left, paletteRect.top, PALETTE_CAPTION);
}

// The rounded filter of the precision view, none for Exact.
std::optional<RoundedFilter> roundedFor(const Plots& plots, const FilterState& filter)
{
    if (plots.precision == Precision::Exact)
        return std::nullopt;
    return roundFilter(filter, plots.precision);
}

}  // namespace

void layoutPlots(Layout& layout, Plots& plots, std::uint16_t width, std::uint16_t height, const FontInfo* arial,
                 int baseUnitY)
{
    layout = layoutPanes(width, height, arial, baseUnitY);
    plots.response.clearResponseRows(width);
}

void fullPaint(Plots& plots, const Layout& layout, const FilterState& filter, const Fonts& fonts,
               const Rect& updateRect)
{
    Surface& surface = plots.surface;
    const std::optional<RoundedFilter> rounded = roundedFor(plots, filter);
    const RoundedFilter* overlay = rounded ? &*rounded : nullptr;
    clipSurface(surface, updateRect);
    fillRect(surface, updateRect, WHITE);
    plots.zPlane.drawZPlane(surface, layout.zPlaneRect, filter, false, overlay);
    drawPalette(surface, layout.paletteRect, plots.zPlane.geometry().scale, true);
    drawCaption(surface, layout.paletteRect, fonts.arialFont.get());
    if (updateRect.right > labelStripLeft(layout, fonts.arialFont.get()))
        plots.response.drawResponse(surface, layout.magnitudePane, layout.phasePane, filter, fonts, true, nullptr,
                                    overlay);
    unclipSurface(surface);
}

ChangedAreas partialRedraw(Plots& plots, const Layout& layout, const FilterState& filter, const Fonts& fonts,
                           bool showMarker)
{
    Surface& surface = plots.surface;
    ResponseView& response = plots.response;
    ChangedAreas changed;
    const std::optional<RoundedFilter> rounded = roundedFor(plots, filter);
    const RoundedFilter* overlay = rounded ? &*rounded : nullptr;
    takeDirtyRect(surface);
    // The erase pass may have whitened a palette sample under a mark that
    // lay over the palette; the samples go on top again, as in a full paint.
    plots.zPlane.drawZPlane(surface, layout.zPlaneRect, filter, true, overlay);
    drawPalette(surface, layout.paletteRect, plots.zPlane.geometry().scale, true);
    changed.zPlane = takeDirtyRect(surface);

    // Only the erase steps took pixels from the grid: the old curves and
    // marker, and old root marks wherever they lay.
    Rect oldMagnitude, oldPhase, newMagnitude, newPhase;
    response.storedCurveBounds(layout.magnitudePane, layout.phasePane, oldMagnitude, oldPhase);
    const Rect erased[] = {changed.zPlane, response.storedMarkerBounds(layout.magnitudePane)};
    const GridRepair repair{erased, 2};
    response.eraseResponseCurves(surface, layout.magnitudePane);
    response.cutoffMarkerVisible = showMarker;
    response.drawResponse(surface, layout.magnitudePane, layout.phasePane, filter, fonts, false, &repair, overlay);
    response.storedCurveBounds(layout.magnitudePane, layout.phasePane, newMagnitude, newPhase);
    takeDirtyRect(surface);
    changed.magnitude = united(oldMagnitude, newMagnitude);
    changed.phase = united(oldPhase, newPhase);
    return changed;
}
