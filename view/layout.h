#pragma once

#include "view/geometry.h"

#include <cstdint>
#include <vector>

// The panes of the client area and the places of the six controls, computed
// from the client size, the Arial metrics and the dialog base unit.

extern Rect zPlaneRect;
extern Rect paletteRect;
extern Rect magnitudePane;
extern Rect phasePane;

// One element per pixel of client width: the row of the magnitude and of the
// phase curve at column magnitudePane.left + i. The response view fills them.
extern std::vector<std::int32_t> magnitudeRows;
extern std::vector<std::int32_t> phaseRows;

// The height unit of the control column in pixels: the character height of
// the controls' font, so that labels and sliders grow with it. Set by the
// window before the first layout.
extern int baseUnitY;

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

// Indexed by control id − 1; hidden controls are placed as well.
extern ControlGeometry controlGeometry[CONTROL_COUNT];

// Recomputes every rectangle and control place and replaces both row arrays
// for a client area of width × height pixels. Reads arialFont and baseUnitY.
void layoutPanes(std::uint16_t width, std::uint16_t height);
