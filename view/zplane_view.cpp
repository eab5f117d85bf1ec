#include "view/zplane_view.h"

#include "view/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A list's count as a loop bound that can never leave its slots, whatever a
// writer left in it.
int validCount(const RootList& list)
{
    if (list.count < 0)
        return 0;
    return list.count < MAX_ROOTS ? list.count : MAX_ROOTS;
}

void drawList(Surface& surface, const ZPlaneGeometry& at, const RootList& list, unsigned size, bool asCross,
              bool erasing)
{
    drawRootList(surface, at.centreX, at.centreY, size, list.positions, list.pairFlags, validCount(list), asCross,
                 erasing);
}

// The scale as the unsigned size of a mark; the scale is always a whole,
// non-negative number below 2^32, but nothing out of that range may reach
// the cast.
unsigned sampleSize(double scale)
{
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

void ZPlaneView::drawZPlane(Surface& surface, const Rect& rect, const FilterState& filter, bool erase,
                            const RoundedFilter* rounded)
{
    const std::int64_t half = (static_cast<std::int64_t>(rect.right) - rect.left) / 2;
    const std::int64_t centreX = rect.left + half;
    const std::int64_t centreY = rect.top + half;
    const std::uint32_t scale = (5u * static_cast<std::uint32_t>(half)) >> 3;
    geometry_.centreX = narrowPixel(centreX);
    geometry_.centreY = narrowPixel(centreY);
    geometry_.scale = static_cast<double>(scale);

    {
        const BrushSelection hollow(surface, Brush::Hollow);
        if (erase) {
            const PenSelection white(surface, WHITE_PEN);
            drawList(surface, geometry_, drawnPoles_, scale, true, true);
            drawList(surface, geometry_, drawnZeros_, scale, false, true);
            if (!drawnRoundedZeros_.empty() || !drawnRoundedPoles_.empty())
                drawRoundedMarks(surface, rect, geometry_, drawnRoundedZeros_, drawnRoundedPoles_, WHITE);
        }

        const std::int64_t s = scale;
        ellipseBox(surface, centreX - s, centreY - s, centreX + s, centreY + s);
        line(surface, centreX, rect.top, centreX, rect.bottom);
        line(surface, rect.left, centreY, rect.right, centreY);

        drawnRoundedZeros_.clear();
        drawnRoundedPoles_.clear();
        if (rounded != nullptr && rounded->problem.empty()) {
            drawnRoundedZeros_ = rounded->zeros;
            drawnRoundedPoles_ = rounded->poles;
            drawRoundedMarks(surface, rect, geometry_, drawnRoundedZeros_, drawnRoundedPoles_, ROUNDED_GREY);
        }

        {
            const PenSelection blue(surface, Pen{ZERO_BLUE, false});
            drawList(surface, geometry_, filter.zeros, scale, false, false);
        }
        {
            const PenSelection red(surface, Pen{POLE_RED, false});
            drawList(surface, geometry_, filter.poles, scale, true, false);
        }
    }
    frameRect(surface, rect, GREY);

    drawnPoles_ = filter.poles;
    drawnZeros_ = filter.zeros;
}

void drawRoundedMarks(Surface& surface, const Rect& rect, const ZPlaneGeometry& at, const std::vector<Root>& zeros,
                      const std::vector<Root>& poles, Rgb colour)
{
    const Rect previous = surface.clip;
    const Rect within{std::max(previous.left, rect.left), std::max(previous.top, rect.top),
                      std::min(previous.right, rect.right), std::min(previous.bottom, rect.bottom)};
    clipSurface(surface, within);
    const unsigned size = sampleSize(at.scale);
    const double s = static_cast<double>(size);
    const std::int64_t radius = size / 12u + 2u;
    const std::int64_t half = size / 14u + 2u;
    {
        const BrushSelection hollow(surface, Brush::Hollow);
        const PenSelection pen(surface, Pen{colour, false});
        for (const std::vector<Root>* list : {&zeros, &poles}) {
            const bool pole = list == &poles;
            for (const Root& root : *list) {
                const std::int64_t x = std::int64_t{at.centreX} + toPixel(root.position.re * s);
                const std::int64_t dy = toPixel(root.position.im * s);
                for (const std::int64_t y : {std::int64_t{at.centreY} - dy, std::int64_t{at.centreY} + dy}) {
                    if (pole)
                        frameRect(surface, {narrowPixel(x - half), narrowPixel(y - half), narrowPixel(x + half + 1),
                                            narrowPixel(y + half + 1)},
                                  colour);
                    else
                        ellipseBox(surface, x - radius, y - radius, x + radius + 1, y + radius + 1);
                    if (!root.pair)
                        break;
                }
            }
        }
    }
    clipSurface(surface, previous);
}

void drawPalette(Surface& surface, const Rect& paletteRect, double scale, bool withMarks)
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
    drawPoleSample(surface, narrowPixel(x0), cy, scale);
    drawPoleSample(surface, narrowPixel(x0 + side), above, scale);
    drawPoleSample(surface, narrowPixel(x0 + side), below, scale);
    drawZeroSample(surface, narrowPixel(x0 + 2 * side), cy, scale);
    drawZeroSample(surface, narrowPixel(x0 + 3 * side), above, scale);
    drawZeroSample(surface, narrowPixel(x0 + 3 * side), below, scale);
}

void drawRootList(Surface& surface, int centreX, int centreY, unsigned size, const Complex* positions,
                  const bool* pairFlags, int count, bool asCross, bool erasing)
{
    const double s = static_cast<double>(size);
    for (int i = 0; i < count; ++i) {
        const int px = narrowPixel(static_cast<std::int64_t>(centreX) + toPixel(positions[i].re * s));
        const std::int64_t dy = toPixel(positions[i].im * s);
        const int up = narrowPixel(centreY - dy);
        if (asCross)
            drawCrossMark(surface, px, up, size);
        else
            drawCircleMark(surface, px, up, size, erasing);
        if (!pairFlags[i])
            continue;
        const int down = narrowPixel(centreY + dy);
        if (asCross)
            drawCrossMark(surface, px, down, size);
        else
            drawCircleMark(surface, px, down, size, erasing);
    }
}

void drawCircleMark(Surface& surface, int x, int y, unsigned size, bool erasing)
{
    const std::int64_t r = size / 12u;
    ellipseBox(surface, x - r, y - r, x + r + 1, y + r + 1);
    setPixel(surface, x, y, erasing ? WHITE : ZERO_BLUE);
}

void drawCrossMark(Surface& surface, int x, int y, unsigned size)
{
    const std::int64_t h = size / 14u;
    line(surface, x - h, y - h, x + h + 1, y + h + 1);
    line(surface, x - h, y + h, x + h + 1, y - h - 1);
}

void drawZeroSample(Surface& surface, int x, int y, double scale)
{
    const PenSelection blue(surface, Pen{ZERO_BLUE, false});
    drawCircleMark(surface, x, y, sampleSize(scale));
}

void drawPoleSample(Surface& surface, int x, int y, double scale)
{
    const PenSelection red(surface, Pen{POLE_RED, false});
    drawCrossMark(surface, x, y, sampleSize(scale));
}
