#pragma once

// Filter states and display set-up shared by the benchmarks.

// 20 zero pairs and 20 pole pairs inside the unit circle when slotCount is 20;
// one single zero and one single pole when slotCount is 1. variant picks one of
// two arrangements, so that alternating them makes a redraw erase for real.
void setUpRoots(int slotCount, int variant);

// Fonts, layout and a full paint of a client area of this size.
struct Surface;
void setUpDisplay(Surface& surface, int width, int height);
