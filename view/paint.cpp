#include "view/paint.h"

#include "view/fonts.h"
#include "view/layout.h"
#include "view/response_view.h"
#include "view/surface.h"
#include "view/zplane_view.h"

#include <cstdint>

namespace {

// The dB and phase labels stand left of the panes, in the room the layout
// leaves them; an update that reaches into that room redraws the response so
// that the labels come back.
std::int64_t labelStripLeft()
{
    const std::int64_t labelRoom = arialFont != nullptr ? 3 * std::int64_t{arialFont->averageCharWidth} + 10 : 10;
    return magnitudePane.left - labelRoom;
}

void drawCaption(Surface& surface)
{
    const FontSelection font(surface, arialFont != nullptr ? &arialFont->font : nullptr);
    surface.textAlign = TextAlign::LeftBottom;
    surface.textColour = BLACK;
    textOut(surface, paletteRect.left, paletteRect.top, PALETTE_CAPTION);
}

}  // namespace

void fullPaint(Surface& surface, const Rect& updateRect)
{
    clipSurface(surface, updateRect);
    fillRect(surface, updateRect, WHITE);
    drawZPlane(surface, zPlaneRect, false);
    drawPalette(surface, true);
    drawCaption(surface);
    if (updateRect.right > labelStripLeft())
        drawResponse(surface, magnitudePane, phasePane, true);
    unclipSurface(surface);
}

ChangedAreas partialRedraw(Surface& surface, bool showMarker)
{
    ChangedAreas changed;
    takeDirtyRect(surface);
    // The erase pass may have whitened a palette sample under a mark that
    // lay over the palette; the samples go on top again, as in a full paint.
    drawZPlane(surface, zPlaneRect, true);
    drawPalette(surface, true);
    changed.zPlane = takeDirtyRect(surface);

    // Only the erase steps took pixels from the grid: the old curves and
    // marker, and old root marks wherever they lay.
    Rect oldMagnitude, oldPhase, newMagnitude, newPhase;
    storedCurveBounds(oldMagnitude, oldPhase);
    const Rect erased[] = {changed.zPlane, storedMarkerBounds()};
    const GridRepair repair{erased, 2};
    eraseResponseCurves(surface);
    cutoffMarkerVisible = showMarker;
    drawResponse(surface, magnitudePane, phasePane, false, &repair);
    storedCurveBounds(newMagnitude, newPhase);
    takeDirtyRect(surface);
    changed.magnitude = united(oldMagnitude, newMagnitude);
    changed.phase = united(oldPhase, newPhase);
    return changed;
}
