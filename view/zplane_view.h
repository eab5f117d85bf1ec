#pragma once

#include "model/filter_state.h"
#include "view/geometry.h"

struct Surface;

// The z-plane pane (unit circle, axes, zeros as blue circles, poles as red
// crosses, pairs mirrored about the real axis) and the root palette above it.

// Published by every drawZPlane: the pixel of z = 0 and the pixels per unit.
extern int zPlaneCentreX;
extern int zPlaneCentreY;
extern double zPlaneScale;  // always a whole number

// Set while drawZPlane paints over the old marks, so that their centres turn
// white with them instead of blue.
extern bool erasingMarks;

// The roots exactly as the last drawZPlane drew them.
extern RootList drawnZeros;
extern RootList drawnPoles;

// Draws the pane into rect (zPlaneRect); erase first over-paints in white the
// marks of drawnZeros and drawnPoles.
void drawZPlane(Surface& surface, const Rect& rect, bool erase);

// Frames paletteRect with its cell dividers; withMarks adds the four samples.
void drawPalette(Surface& surface, bool withMarks);

// One list, in the current pen: crosses for poles, circles for zeros.
void drawRootList(Surface& surface, int centreX, int centreY, unsigned size, const Complex* positions,
                  const bool* pairFlags, int count, bool asCross);

// One mark around pixel (x, y): a circle of radius size/12, or a cross of
// half-size size/14.
void drawCircleMark(Surface& surface, int x, int y, unsigned size);
void drawCrossMark(Surface& surface, int x, int y, unsigned size);

// A palette sample in its own pen, sized by the z-plane scale.
void drawZeroSample(Surface& surface, int x, int y);
void drawPoleSample(Surface& surface, int x, int y);

// Back to the start-up state: geometry 0, empty drawn copies.
void resetZPlaneView();
