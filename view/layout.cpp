#include "view/layout.h"

#include <cstdint>

// The rectangle sums wrap modulo 2^32 as the unsigned arithmetic of the
// z-plane side makes them do for windows too small to hold anything; the
// bits are then read back as a signed coordinate.
static std::uint32_t bits(int value)
{
    return static_cast<std::uint32_t>(value);
}

static int coordinate(std::uint32_t value)
{
    return static_cast<int>(value);
}

static void placeControl(Layout& layout, ControlId id, int x, std::int64_t y, int width, std::int64_t height)
{
    layout.controlGeometry[id - 1] = ControlGeometry{x, narrowPixel(y), width, narrowPixel(height)};
}

Layout layoutPanes(std::uint16_t width, std::uint16_t height, const FontInfo* arial, int baseUnitY)
{
    Layout layout;
    layout.baseUnitY = baseUnitY;
    const int textHeight = arial != nullptr ? arial->height : 0;
    const int charWidth = arial != nullptr ? arial->averageCharWidth : 0;

    const std::uint32_t cw = width;
    const std::uint32_t ch = height;
    const std::uint32_t h = bits(textHeight);
    const std::uint32_t labelWidth = 3u * bits(charWidth);
    const int margin = textHeight >> 1;
    const std::uint32_t m = bits(margin);

    const std::uint32_t d = cw - labelWidth - m - 20u;
    const std::uint32_t e = ch - 2u * h - m - 20u;
    std::uint32_t s = (9u * d) >> 5;
    if (s >= e)
        s = e;

    layout.zPlaneRect = Rect{margin, coordinate(ch - m - s), coordinate(m + s), coordinate(ch - m)};

    const std::uint32_t cell = s / 6u;
    layout.paletteRect = Rect{margin, coordinate(ch - m - s + 1u - cell), coordinate(m + 4u * cell),
        coordinate(ch - m - s + 1u)};

    const std::uint32_t responseLeft = s + m + labelWidth + 10u;
    const std::uint32_t phaseTop = ch - h - 10u - e / 3u;
    layout.phasePane = Rect{coordinate(responseLeft), coordinate(phaseTop), coordinate(cw - 10u), coordinate(ch - h - 10u)};
    layout.magnitudePane = Rect{coordinate(responseLeft), 10, coordinate(cw - 10u), coordinate(phaseTop - m - h)};

    const std::int64_t u = baseUnitY;
    const int controlWidth = coordinate(s - m);
    const std::int64_t sliderHeight = 15 * u / 8;
    const std::int64_t gap = 7 * u / 4;
    const std::int64_t cutoffTop = margin + u + gap + 2;
    const std::int64_t qTop = cutoffTop + u + sliderHeight + 2;

    placeControl(layout, MODEL_LABEL, margin, margin, controlWidth, u);
    placeControl(layout, MODEL_COMBO_BOX, margin, margin + u, controlWidth, static_cast<std::int64_t>(height) - margin - u);
    placeControl(layout, CUTOFF_LABEL, margin, cutoffTop, controlWidth, u);
    placeControl(layout, CUTOFF_SLIDER, margin, cutoffTop + u, controlWidth, sliderHeight);
    placeControl(layout, Q_LABEL, margin, qTop, controlWidth, u);
    placeControl(layout, Q_SLIDER, margin, qTop + u, controlWidth, sliderHeight);
    return layout;
}
