#include "bench/bench_setup.h"

#include "view/surface.h"

#include <cmath>
#include <cstdint>

namespace {

void fill(RootList& list, int slotCount, double radius, double turn)
{
    list.count = slotCount;
    for (int i = 0; i < slotCount; ++i) {
        const double angle = turn + 3.0 * (i + 1) / (slotCount + 1);
        list.positions[i] = {radius * std::cos(angle), slotCount == 1 ? 0.0 : radius * std::sin(angle)};
        list.pairFlags[i] = slotCount != 1;
    }
}

}  // namespace

void setUpRoots(FilterState& filter, int slotCount, int variant)
{
    filter = initialFilterState();
    filter.modelIndex = 8;
    fill(filter.zeros, slotCount, variant == 0 ? 0.95 : 0.9, variant == 0 ? 0.0 : 0.05);
    fill(filter.poles, slotCount, variant == 0 ? 0.8 : 0.85, variant == 0 ? 0.02 : 0.0);
    normalizeGain(filter);
}

void setUpDisplay(BenchDisplay& display, const FilterState& filter, int width, int height)
{
    display.fonts = createFonts(96);
    layoutPlots(display.layout, display.plots, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                display.fonts.arialFont.get(), 16);
    resizeSurface(display.plots.surface, width, height);
    fullPaint(display.plots, display.layout, filter, display.fonts, {0, 0, width, height});
}
