#pragma once

#include "model/filter_state.h"
#include "model/rounding.h"
#include "view/colours.h"
#include "view/geometry.h"

#include <vector>

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
    // filter; erase first over-paints in white the marks last drawn. With a
    // rounded filter that could be rounded, a hollow grey mark lies where
    // each of its roots is (drawRoundedMarks), under the exact marks.
    void drawZPlane(Surface& surface, const Rect& rect, const FilterState& filter, bool erase,
                    const RoundedFilter* rounded = nullptr);

    const ZPlaneGeometry& geometry() const { return geometry_; }
    const RootList& drawnZeros() const { return drawnZeros_; }
    const RootList& drawnPoles() const { return drawnPoles_; }
    // The rounded roots as last drawn; empty when none were.
    const std::vector<Root>& drawnRoundedZeros() const { return drawnRoundedZeros_; }
    const std::vector<Root>& drawnRoundedPoles() const { return drawnRoundedPoles_; }

private:
    ZPlaneGeometry geometry_;
    RootList drawnZeros_;
    RootList drawnPoles_;
    std::vector<Root> drawnRoundedZeros_;
    std::vector<Root> drawnRoundedPoles_;
};

// The marks of rounded roots, in colour, clipped to rect (the pane): a
// circle of radius size/12 + 2 around each zero and a square frame of
// half-side size/14 + 2 around each pole, both hollow and a little larger
// than the exact marks, so that a root that rounding leaves in place shows
// both. Pairs are mirrored about the real axis. Drawing is limited to rect
// and to the clip rectangle in force, which is put back afterwards.
void drawRoundedMarks(Surface& surface, const Rect& rect, const ZPlaneGeometry& at, const std::vector<Root>& zeros,
                      const std::vector<Root>& poles, Rgb colour);

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
