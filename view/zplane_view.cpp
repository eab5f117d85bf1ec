#include "view/zplane_view.h"

#include "view/layout.h"
#include "view/surface.h"

#include <cmath>
#include <cstdint>

int zPlaneCentreX = 0;
int zPlaneCentreY = 0;
double zPlaneScale = 0.0;
bool erasingMarks = false;
RootList drawnZeros;
RootList drawnPoles;

namespace {

// A list's count as a loop bound that can never leave its slots, whatever a
// writer left in it.
int validCount(const RootList& list)
{
    if (list.count < 0)
        return 0;
    return list.count < MAX_ROOTS ? list.count : MAX_ROOTS;
}

void drawList(Surface& surface, const RootList& list, unsigned size, bool asCross)
{
    drawRootList(surface, zPlaneCentreX, zPlaneCentreY, size, list.positions, list.pairFlags,
                 validCount(list), asCross);
}

// The scale as the unsigned size of a mark; the scale is always a whole,
// non-negative number below 2^32, but nothing out of that range may reach
// the cast.
unsigned sampleSize()
{
    const double scale = zPlaneScale;
    if (!std::isfinite(scale) || scale < 1.0)
        return 0;
    if (scale >= 4294967295.0)
        return 4294967295u;
    return static_cast<unsigned>(scale);
}

void line(Surface& surface, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1)
{
    moveTo(surface, narrowPixel(x0), narrowPixel(y0));
    lineTo(surface, narrowPixel(x1), narrowPixel(y1));
}

void ellipseBox(Surface& surface, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    ellipse(surface, narrowPixel(left), narrowPixel(top), narrowPixel(right), narrowPixel(bottom));
}

}  // namespace

void drawZPlane(Surface& surface, const Rect& rect, bool erase)
{
    const std::int64_t half = (static_cast<std::int64_t>(rect.right) - rect.left) / 2;
    const std::int64_t centreX = rect.left + half;
    const std::int64_t centreY = rect.top + half;
    const std::uint32_t scale = (5u * static_cast<std::uint32_t>(half)) >> 3;
    zPlaneCentreX = narrowPixel(centreX);
    zPlaneCentreY = narrowPixel(centreY);
    zPlaneScale = static_cast<double>(scale);

    {
        const BrushSelection hollow(surface, Brush::Hollow);
        if (erase) {
            erasingMarks = true;
            {
                const PenSelection white(surface, WHITE_PEN);
                drawList(surface, drawnPoles, scale, true);
                drawList(surface, drawnZeros, scale, false);
            }
            erasingMarks = false;
        }

        const std::int64_t s = scale;
        ellipseBox(surface, centreX - s, centreY - s, centreX + s, centreY + s);
        line(surface, centreX, rect.top, centreX, rect.bottom);
        line(surface, rect.left, centreY, rect.right, centreY);

        {
            const PenSelection blue(surface, Pen{ZERO_BLUE, false});
            drawList(surface, filterState.zeros, scale, false);
        }
        {
            const PenSelection red(surface, Pen{POLE_RED, false});
            drawList(surface, filterState.poles, scale, true);
        }
    }
    frameRect(surface, rect, GREY);

    drawnPoles = filterState.poles;
    drawnZeros = filterState.zeros;
}

void drawPalette(Surface& surface, bool withMarks)
{
    const Rect& rect = paletteRect;
    frameRect(surface, rect, GREY);
    const std::int64_t side = static_cast<std::int64_t>(rect.bottom) - rect.top;

    {
        const PenSelection grey(surface, Pen{GREY, false});
        for (std::int64_t cell = 1; cell <= 3; ++cell) {
            const std::int64_t x = rect.left + cell * side;
            line(surface, x, rect.top, x, rect.bottom);
        }
    }

    if (!withMarks)
        return;
    const BrushSelection hollow(surface, Brush::Hollow);
    const int cy = narrowPixel(rect.top + side / 2);
    const std::int64_t x0 = rect.left + side / 2;
    const std::int64_t d = side / 12;
    const int above = narrowPixel(cy - d);
    const int below = narrowPixel(cy + d);
    drawPoleSample(surface, narrowPixel(x0), cy);
    drawPoleSample(surface, narrowPixel(x0 + side), above);
    drawPoleSample(surface, narrowPixel(x0 + side), below);
    drawZeroSample(surface, narrowPixel(x0 + 2 * side), cy);
    drawZeroSample(surface, narrowPixel(x0 + 3 * side), above);
    drawZeroSample(surface, narrowPixel(x0 + 3 * side), below);
}

void drawRootList(Surface& surface, int centreX, int centreY, unsigned size, const Complex* positions,
                  const bool* pairFlags, int count, bool asCross)
{
    const double s = static_cast<double>(size);
    for (int i = 0; i < count; ++i) {
        const int px = narrowPixel(static_cast<std::int64_t>(centreX) + toPixel(positions[i].re * s));
        const std::int64_t dy = toPixel(positions[i].im * s);
        const int up = narrowPixel(centreY - dy);
        if (asCross)
            drawCrossMark(surface, px, up, size);
        else
            drawCircleMark(surface, px, up, size);
        if (!pairFlags[i])
            continue;
        const int down = narrowPixel(centreY + dy);
        if (asCross)
            drawCrossMark(surface, px, down, size);
        else
            drawCircleMark(surface, px, down, size);
    }
}

void drawCircleMark(Surface& surface, int x, int y, unsigned size)
{
    const std::int64_t r = size / 12u;
    ellipseBox(surface, x - r, y - r, x + r + 1, y + r + 1);
    setPixel(surface, x, y, erasingMarks ? WHITE : ZERO_BLUE);
}

void drawCrossMark(Surface& surface, int x, int y, unsigned size)
{
    const std::int64_t h = size / 14u;
    line(surface, x - h, y - h, x + h + 1, y + h + 1);
    line(surface, x - h, y + h, x + h + 1, y - h - 1);
}

void drawZeroSample(Surface& surface, int x, int y)
{
    const PenSelection blue(surface, Pen{ZERO_BLUE, false});
    drawCircleMark(surface, x, y, sampleSize());
}

void drawPoleSample(Surface& surface, int x, int y)
{
    const PenSelection red(surface, Pen{POLE_RED, false});
    drawCrossMark(surface, x, y, sampleSize());
}

void resetZPlaneView()
{
    zPlaneCentreX = 0;
    zPlaneCentreY = 0;
    zPlaneScale = 0.0;
    erasingMarks = false;
    drawnZeros = RootList{};
    drawnPoles = RootList{};
}
