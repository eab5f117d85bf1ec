#include "app/control_panel.h"

#include "app/main_window.h"
#include "app/slider_scales.h"
#include "model/designs.h"
#include "model/filter_state.h"
#include "view/geometry.h"
#include "view/layout.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>

ControlPanel controls;

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

// A hidden slider is disabled as well: that ends the auto-repeat of a press
// on its groove which the hiding cut short.
void showSlider(QSlider* slider, bool shown)
{
    slider->setVisible(shown);
    slider->setEnabled(shown);
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
    for (const char* name : MODEL_NAMES) {
        combo->addItem(QString::fromUtf8(name));
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(name)));
    }
    combo->view()->setMinimumWidth(widest + 2 * EDGE_WIDTH);
    combo->setCurrentIndex(0);
    return combo;
}

void place(QWidget* widget, ControlId id, double ratio, int height)
{
    const ControlGeometry& g = controlGeometry[id - 1];
    const auto logical = [ratio](int pixels) { return toPixel(std::floor(pixels / ratio)); };
    widget->setGeometry(logical(g.x), logical(g.y), std::max(0, logical(g.width)), std::max(0, height));
}

int logicalHeight(ControlId id, double ratio)
{
    return toPixel(std::ceil(controlGeometry[id - 1].height / ratio));
}

}  // namespace

void createControls(QWidget* parent)
{
    controls.modelLabel = createLabel(parent, "Filter model:");
    controls.modelComboBox = createComboBox(parent);
    controls.cutoffLabel = createLabel(parent, "");
    controls.cutoffSlider = createSlider(parent, true);
    controls.cutoffSlider->setValue(1000);
    controls.qLabel = createLabel(parent, "Q = 0.707");
    controls.qLabel->hide();
    controls.qSlider = createSlider(parent, false);

    QObject::connect(controls.modelComboBox, &QComboBox::activated, [] { handleModelSelection(); });
    for (QSlider* slider : {controls.cutoffSlider, controls.qSlider}) {
        QObject::connect(slider, &QSlider::valueChanged, [slider] { handleSliderScroll(slider); });
        QObject::connect(slider, &QSlider::sliderReleased, [slider] { handleSliderScroll(slider); });
    }
}

void placeControls(double devicePixelRatio)
{
    const double ratio = devicePixelRatio > 0.0 ? devicePixelRatio : 1.0;
    place(controls.modelLabel, MODEL_LABEL, ratio, logicalHeight(MODEL_LABEL, ratio));
    // The closed box keeps its own height; its list opens below it.
    place(controls.modelComboBox, MODEL_COMBO_BOX, ratio, controls.modelComboBox->sizeHint().height());
    place(controls.cutoffLabel, CUTOFF_LABEL, ratio, logicalHeight(CUTOFF_LABEL, ratio));
    place(controls.cutoffSlider, CUTOFF_SLIDER, ratio, logicalHeight(CUTOFF_SLIDER, ratio));
    place(controls.qLabel, Q_LABEL, ratio, logicalHeight(Q_LABEL, ratio));
    place(controls.qSlider, Q_SLIDER, ratio, logicalHeight(Q_SLIDER, ratio));
}

void updateCutoff(double sampleRate)
{
    filterState.nyquist = sampleRate / 2.0;
    filterState.cutoff =
        cutoffAtPosition(filterState.nyquist, filterState.lowestFrequency, controls.cutoffSlider->value());
    controls.cutoffLabel->setText(QString::fromStdString(cutoffLabelText(filterState.cutoff)));
    applyModel();
    // A new rate in "Custom" keeps the roots and the hidden Q controls; the
    // flag that says whether those show must stay clear with them.
    if (filterState.modelIndex == MODEL_CUSTOM)
        filterState.qVisible = false;
}

// What a hidden slider still reports (the release of a press that its hiding
// cut short) is no movement of the user's and changes nothing.
void handleSliderScroll(const QSlider* slider)
{
    if (slider == nullptr || slider->isHidden())
        return;
    if (slider == controls.cutoffSlider) {
        updateCutoff(2.0 * filterState.nyquist);
        applyAndRedraw();
    } else if (slider == controls.qSlider) {
        filterState.q = qAtPosition(controls.qSlider->value());
        controls.qLabel->setText(QString::fromStdString(qLabelText(filterState.q)));
        applyAndRedraw();
    }
}

void handleModelSelection()
{
    filterState.modelIndex = std::clamp(controls.modelComboBox->currentIndex(), 0, MODEL_CUSTOM);
    if (filterState.modelIndex != MODEL_CUSTOM)
        applyAndRedraw();
    updateControlVisibility();
}

void updateControlVisibility()
{
    const bool custom = filterState.modelIndex == MODEL_CUSTOM;
    if (custom)
        filterState.qVisible = false;
    controls.cutoffLabel->setVisible(!custom);
    showSlider(controls.cutoffSlider, !custom);
    controls.qLabel->setVisible(filterState.qVisible);
    showSlider(controls.qSlider, filterState.qVisible);
}

void switchToCustom()
{
    controls.modelComboBox->setCurrentIndex(MODEL_CUSTOM);
    filterState.modelIndex = MODEL_CUSTOM;
    updateControlVisibility();
}
