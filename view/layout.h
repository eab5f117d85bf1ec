#pragma once

#include "view/fonts.h"
#include "view/geometry.h"

#include <cstdint>

// The panes of the client area and the places of the six controls, computed
// from the client size, the Arial metrics and the dialog base unit.

struct ControlGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Child control ids, in creation order.
enum ControlId {
    MODEL_LABEL = 1,
    MODEL_COMBO_BOX = 2,
    CUTOFF_LABEL = 3,
    CUTOFF_SLIDER = 4,
    Q_LABEL = 5,
    Q_SLIDER = 6,
};
constexpr int CONTROL_COUNT = 6;

struct Layout {
    Rect zPlaneRect;
    Rect paletteRect;
    Rect magnitudePane;
    Rect phasePane;
    // Indexed by control id − 1; hidden controls are placed as well.
    ControlGeometry controlGeometry[CONTROL_COUNT];
    // The height unit of the control column in pixels: the character height
    // of the controls' font, so that labels and sliders grow with it.
    int baseUnitY = 0;
};

// Every rectangle and control place for a client area of width × height
// pixels, from the Arial metrics (none counts as 0) and the base unit. The
// response rows hang on the panes: whoever owns them clears them for the new
// width whenever this gives new panes.
Layout layoutPanes(std::uint16_t width, std::uint16_t height, const FontInfo* arial, int baseUnitY);
