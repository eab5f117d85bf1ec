#pragma once

#include "app/design_session.h"
#include "view/layout.h"

#include <QObject>

class QComboBox;
class QLabel;
class QSlider;
class QWidget;

// The column of six controls at the top left of the client area: the model
// label and combo box, the cutoff label and slider, the Q label and slider.
// The widgets are children of the client area, which deletes them.
//
// The panel shows the session's design: it follows the session's changes
// and sets its widgets from the document, without their signals; what the
// user does with them goes to the session as edits, and a mouse drag of a
// slider as a gesture.
class ControlPanel : public QObject {
    Q_OBJECT

public:
    // Creates the controls as children of parent, showing the session's
    // design.
    ControlPanel(DesignSession& session, QWidget* parent);

    // Moves the controls to the places of the layout, which are in device
    // pixels; parent coordinates are those divided by devicePixelRatio.
    void place(const Layout& layout, double devicePixelRatio) const;

    QLabel* const modelLabel;
    QComboBox* const modelComboBox;
    QLabel* const cutoffLabel;
    QSlider* const cutoffSlider;
    QLabel* const qLabel;
    QSlider* const qSlider;

private:
    void follow(DesignChanges what);
    void sliderMoved(const QSlider* slider, int position);

    DesignSession& session_;
};

// A hidden slider is disabled as well: that ends the auto-repeat of a press
// on its groove which the hiding cut short.
void showSlider(QSlider* slider, bool shown);
