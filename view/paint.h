#pragma once

#include "view/geometry.h"

struct Surface;

// The caption over the palette.
constexpr const char* PALETTE_CAPTION = "Use mouse to drag poles/zeros:";

// The full paint of the client area within updateRect: cleared to white,
// z-plane, palette with samples, caption, and the response with its labels
// when updateRect reaches the response panes or their label strip.
void fullPaint(Surface& surface, const Rect& updateRect);

// The parts of the client area that a partial redraw can have changed.
struct ChangedAreas {
    Rect zPlane;     // the z-plane, the palette and every root mark, old or new
    Rect magnitude;  // the old and the new magnitude curve and cutoff marker
    Rect phase;      // the old and the new phase curve
};

// The partial redraw after an interactive change, without clearing: z-plane
// with its erase pass, palette with its samples, old curves erased, the
// marker flag set to showMarker, response without labels.
ChangedAreas partialRedraw(Surface& surface, bool showMarker);
