#include "bench/bench_setup.h"

#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"
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

void setUpRoots(int slotCount, int variant)
{
    filterState = initialFilterState();
    filterState.modelIndex = 8;
    fill(filterState.zeros, slotCount, variant == 0 ? 0.95 : 0.9, variant == 0 ? 0.0 : 0.05);
    fill(filterState.poles, slotCount, variant == 0 ? 0.8 : 0.85, variant == 0 ? 0.02 : 0.0);
    normalizeGain();
}

void setUpDisplay(Surface& surface, int width, int height)
{
    createFonts(96);
    baseUnitY = 16;
    layoutPanes(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    resizeSurface(surface, width, height);
    fullPaint(surface, {0, 0, width, height});
}
