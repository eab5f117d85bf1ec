#pragma once

// Filter states and display set-up shared by the benchmarks.

#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"

// 20 zero pairs and 20 pole pairs inside the unit circle when slotCount is 20;
// one single zero and one single pole when slotCount is 1. variant picks one of
// two arrangements, so that alternating them makes a redraw erase for real.
void setUpRoots(FilterState& filter, int slotCount, int variant);

// What a benchmark draws with: the fonts, the layout and the plots of one
// client area, owned here as the window owns its own.
struct BenchDisplay {
    Fonts fonts;
    Layout layout;
    Plots plots;
};

// Fonts, layout and a full paint of filter in a client area of this size.
void setUpDisplay(BenchDisplay& display, const FilterState& filter, int width, int height);
