#include "app/control_panel.h"

#include "model/designs.h"

#include "model/slider_positions.h"
#include "view/geometry.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

// Both the static labels and the sliders stand on the window's white.
void onWhite(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* createLabel(QWidget* parent, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    onWhite(label);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QSlider* createSlider(QWidget* parent, bool visible)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    onWhite(slider);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setRange(0, SLIDER_TOP);
    showSlider(slider, visible);
    return slider;
}

// The open list is at least as wide as its widest item plus an edge of this
// width on each side, so that no model name is cut off.
constexpr int EDGE_WIDTH = 2;

QComboBox* createComboBox(QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    const QFontMetrics metrics(combo->font());
    int widest = 0;
    // The item index is the model index.
    for (int model = 0; model < MODEL_COUNT; ++model) {
        const char* name = modelName(model);
        combo->addItem(QString::fromUtf8(name));
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(name)));
    }
    combo->view()->setMinimumWidth(widest + 2 * EDGE_WIDTH);
    combo->setCurrentIndex(0);
    return combo;
}

void place(QWidget* widget, const Layout& layout, ControlId id, double ratio, int height)
{
    const ControlGeometry& g = layout.controlGeometry[id - 1];
    const auto logical = [ratio](int pixels) { return toPixel(std::floor(pixels / ratio)); };
    widget->setGeometry(logical(g.x), logical(g.y), std::max(0, logical(g.width)), std::max(0, height));
}

int logicalHeight(const Layout& layout, ControlId id, double ratio)
{
    return toPixel(std::ceil(layout.controlGeometry[id - 1].height / ratio));
}

}  // namespace

void showSlider(QSlider* slider, bool shown)
{
    slider->setVisible(shown);
    slider->setEnabled(shown);
}

void createControls(ControlPanel& controls, QWidget* parent)
{
    controls.modelLabel = createLabel(parent, "Filter model:");
    controls.modelComboBox = createComboBox(parent);
    controls.cutoffLabel = createLabel(parent, "");
    controls.cutoffSlider = createSlider(parent, true);
    controls.cutoffSlider->setValue(1000);
    controls.qLabel = createLabel(parent, "Q = 0.707");
    controls.qLabel->hide();
    controls.qSlider = createSlider(parent, false);

    ControlPanel* const panel = &controls;
    QObject::connect(controls.modelComboBox, &QComboBox::activated, [panel] {
        if (panel->modelChosen)
            panel->modelChosen();
    });
    for (QSlider* slider : {controls.cutoffSlider, controls.qSlider}) {
        const auto moved = [panel, slider] {
            if (panel->sliderMoved)
                panel->sliderMoved(slider);
        };
        QObject::connect(slider, &QSlider::valueChanged, moved);
        QObject::connect(slider, &QSlider::sliderReleased, moved);
    }
}

void placeControls(const ControlPanel& controls, const Layout& layout, double devicePixelRatio)
{
    const double ratio = devicePixelRatio > 0.0 ? devicePixelRatio : 1.0;
    place(controls.modelLabel, layout, MODEL_LABEL, ratio, logicalHeight(layout, MODEL_LABEL, ratio));
    // The closed box keeps its own height; its list opens below it.
    place(controls.modelComboBox, layout, MODEL_COMBO_BOX, ratio, controls.modelComboBox->sizeHint().height());
    place(controls.cutoffLabel, layout, CUTOFF_LABEL, ratio, logicalHeight(layout, CUTOFF_LABEL, ratio));
    place(controls.cutoffSlider, layout, CUTOFF_SLIDER, ratio, logicalHeight(layout, CUTOFF_SLIDER, ratio));
    place(controls.qLabel, layout, Q_LABEL, ratio, logicalHeight(layout, Q_LABEL, ratio));
    place(controls.qSlider, layout, Q_SLIDER, ratio, logicalHeight(layout, Q_SLIDER, ratio));
}
