#pragma once

class QComboBox;
class QLabel;
class QSlider;
class QWidget;

// The column of six controls at the top left of the client area: the model
// label and combo box, the cutoff label and slider, the Q label and slider.

struct ControlPanel {
    QLabel* modelLabel = nullptr;
    QComboBox* modelComboBox = nullptr;
    QLabel* cutoffLabel = nullptr;
    QSlider* cutoffSlider = nullptr;
    QLabel* qLabel = nullptr;
    QSlider* qSlider = nullptr;
};

extern ControlPanel controls;

// The model names in model index order, so that the combo box's current
// index is the model index.
constexpr const char* MODEL_NAMES[] = {
    "1st order LP",
    "2nd order LP",
    "2nd order LP (state variable)",
    "2nd order BP",
    "2nd order Notch",
    "4th order LP (Butterworth)",
    "4th order LP (2x 2nd order)",
    "6th order LP (Butterworth)",
    "Custom",
};

// Creates the six controls as children of parent, in their start-up state:
// model 0, cutoff slider at 1000, Q label and slider hidden.
void createControls(QWidget* parent);

// Moves the controls to the places of the last layout, which are in device
// pixels; parent coordinates are those divided by devicePixelRatio.
void placeControls(double devicePixelRatio);

// Sets Nyquist to half the sample rate, derives the cutoff from the cutoff
// slider, rewrites its label and applies the model. Redraws nothing.
void updateCutoff(double sampleRate);

// Any user movement of either slider.
void handleSliderScroll(const QSlider* slider);

// A model chosen by the user in the combo box.
void handleModelSelection();

void updateControlVisibility();

// Shows "Custom" without recomputing or redrawing the filter.
void switchToCustom();
