#pragma once

#include "model/filter_state.h"
#include "model/rounding.h"
#include "view/fonts.h"
#include "view/geometry.h"
#include "view/layout.h"
#include "view/response_view.h"
#include "view/surface.h"
#include "view/zplane_view.h"

#include <cstdint>

// The caption over the palette.
constexpr const char* PALETTE_CAPTION = "Use mouse to drag poles/zeros:";

// What the client area shows and what its views keep between drawings: the
// surface and the two views that draw into it. Each drawing reads the layout,
// the filter and the fonts it is given and changes only this.
//
// precision is the precision view's choice: other than Exact, every drawing
// adds what rounding the coefficients to it does (model/rounding.h), the
// rounded roots as hollow grey marks in the z-plane and the rounded
// cascade's |H| as a grey curve in the magnitude pane. A partial redraw
// over-paints what the last drawing showed of it, so that a change of the
// choice needs no more than a partial redraw, and with Exact nothing is
// drawn, computed or stored for it.
struct Plots {
    Surface surface;
    ResponseView response;
    ZPlaneView zPlane;
    Precision precision = Precision::Exact;
};

// A new layout for a client area of width × height pixels, and the response
// rows cleared for its panes: what every resize does before the next paint.
void layoutPlots(Layout& layout, Plots& plots, std::uint16_t width, std::uint16_t height, const FontInfo* arial,
                 int baseUnitY);

// The full paint of the client area within updateRect: cleared to white,
// z-plane, palette with samples, caption, and the response with its labels
// when updateRect reaches the response panes or their label strip.
void fullPaint(Plots& plots, const Layout& layout, const FilterState& filter, const Fonts& fonts,
               const Rect& updateRect);

// The parts of the client area that a partial redraw can have changed.
struct ChangedAreas {
    Rect zPlane;     // the z-plane, the palette and every root mark, old or new
    Rect magnitude;  // the old and the new magnitude curve and cutoff marker
    Rect phase;      // the old and the new phase curve
};

// The partial redraw after an interactive change, without clearing: z-plane
// with its erase pass, palette with its samples, old curves erased, the
// marker flag set to showMarker, response without labels.
ChangedAreas partialRedraw(Plots& plots, const Layout& layout, const FilterState& filter, const Fonts& fonts,
                           bool showMarker);
