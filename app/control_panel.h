#pragma once

#include "view/layout.h"

#include <functional>

class QComboBox;
class QLabel;
class QSlider;
class QWidget;

// The column of six controls at the top left of the client area: the model
// label and combo box, the cutoff label and slider, the Q label and slider.
// The widgets are children of the client area, which deletes them; what the
// user does with them goes to whoever set the callbacks, the window.
struct ControlPanel {
    QLabel* modelLabel = nullptr;
    QComboBox* modelComboBox = nullptr;
    QLabel* cutoffLabel = nullptr;
    QSlider* cutoffSlider = nullptr;
    QLabel* qLabel = nullptr;
    QSlider* qSlider = nullptr;

    // A model chosen by the user in the combo box.
    std::function<void()> modelChosen;
    // Any movement of either slider, which the receiver tells apart.
    std::function<void(const QSlider*)> sliderMoved;
};

// Creates the six controls as children of parent, in their start-up state:
// model 0, cutoff slider at 1000, Q label and slider hidden. The panel must
// outlive the widgets' signals: it calls its callbacks from them.
void createControls(ControlPanel& controls, QWidget* parent);

// Moves the controls to the places of the layout, which are in device
// pixels; parent coordinates are those divided by devicePixelRatio.
void placeControls(const ControlPanel& controls, const Layout& layout, double devicePixelRatio);

// A hidden slider is disabled as well: that ends the auto-repeat of a press
// on its groove which the hiding cut short.
void showSlider(QSlider* slider, bool shown);
