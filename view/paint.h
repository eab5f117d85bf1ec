#pragma once

#include "view/geometry.h"

struct Surface;

// The caption over the palette.
constexpr const char* PALETTE_CAPTION = "Use mouse to drag poles/zeros:";

// The full paint of the client area within updateRect: cleared to white,
// z-plane, palette with samples, caption, and the response with its labels
// when updateRect reaches the response panes or their label strip.
void fullPaint(Surface& surface, const Rect& updateRect);

// The partial redraw after an interactive change, without clearing: z-plane
// with its erase pass, palette frame, old curves erased, the marker flag set
// to showMarker, response without labels.
void partialRedraw(Surface& surface, bool showMarker);
