#pragma once

#include "model/filter_state.h"
#include "view/geometry.h"

struct Surface;

// The z-plane pane (unit circle, axes, zeros as blue circles, poles as red
// crosses, pairs mirrored about the real axis) and the root palette above it.

// Where drawZPlane last put the plane: the pixel of z = 0 and the pixels
// per unit (always a whole number).
struct ZPlaneGeometry {
    int centreX = 0;
    int centreY = 0;
    double scale = 0.0;
};

// The pane's own state between drawings: its geometry and the roots exactly
// as it last drew them, so that the next drawing can over-paint those.
class ZPlaneView {
public:
    // Draws the pane into rect (the layout's zPlaneRect) with the roots of
    // filter; erase first over-paints in white the marks last drawn.
    void drawZPlane(Surface& surface, const Rect& rect, const FilterState& filter, bool erase);

    const ZPlaneGeometry& geometry() const { return geometry_; }
    const RootList& drawnZeros() const { return drawnZeros_; }
    const RootList& drawnPoles() const { return drawnPoles_; }

private:
    ZPlaneGeometry geometry_;
    RootList drawnZeros_;
    RootList drawnPoles_;
};

// Frames paletteRect with its cell dividers; withMarks adds the four samples,
// sized by the z-plane scale.
void drawPalette(Surface& surface, const Rect& paletteRect, double scale, bool withMarks);

// One list, in the current pen: crosses for poles, circles for zeros. While
// erasing, the circles' centres turn white with them instead of blue.
void drawRootList(Surface& surface, int centreX, int centreY, unsigned size, const Complex* positions,
                  const bool* pairFlags, int count, bool asCross, bool erasing = false);

// One mark around pixel (x, y): a circle of radius size/12, or a cross of
// half-size size/14.
void drawCircleMark(Surface& surface, int x, int y, unsigned size, bool erasing = false);
void drawCrossMark(Surface& surface, int x, int y, unsigned size);

// A palette sample in its own pen, sized by the z-plane scale.
void drawZeroSample(Surface& surface, int x, int y, double scale);
void drawPoleSample(Surface& surface, int x, int y, double scale);
