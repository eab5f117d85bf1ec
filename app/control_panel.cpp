#include "app/control_panel.h"

#include "app/slider_scales.h"
#include "model/designs.h"
#include "model/slider_positions.h"
#include "res/resource_ids.h"
#include "view/geometry.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QSignalBlocker>
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

void placeWidget(QWidget* widget, const Layout& layout, ControlId id, double ratio, int height)
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

ControlPanel::ControlPanel(DesignSession& session, QWidget* parent)
    : QObject(parent), modelLabel(createLabel(parent, "Filter model:")), modelComboBox(createComboBox(parent)),
      cutoffLabel(createLabel(parent, "")), cutoffSlider(createSlider(parent, true)),
      qLabel(createLabel(parent, "Q = 0.707")), qSlider(createSlider(parent, false)), session_(session)
{
    connect(modelComboBox, &QComboBox::activated, this, [this](int model) { session_.chooseModel(model); });
    const struct {
        QSlider* slider;
        Gesture drag;
        const char* step;
    } sliders[] = {{cutoffSlider, Gesture::CutoffDrag, STEP_CHANGE_CUTOFF}, {qSlider, Gesture::QDrag, STEP_CHANGE_Q}};
    for (const auto& [slider, drag, step] : sliders) {
        connect(slider, &QSlider::valueChanged, this, [this, slider = slider](int position) { sliderMoved(slider, position); });
        connect(slider, &QSlider::sliderPressed, this, [this, drag = drag] { session_.beginGesture(drag); });
        // Also when hiding the slider cuts its drag short.
        connect(slider, &QSlider::sliderReleased, this,
                [this, drag = drag, step = step] { session_.endGesture(drag, QString::fromUtf8(step)); });
    }
    connect(&session_, &DesignSession::changed, this, &ControlPanel::follow);
    follow(DesignChange::Restored);
}

// What a hidden slider still reports is no movement of the user's.
void ControlPanel::sliderMoved(const QSlider* slider, int position)
{
    if (slider->isHidden())
        return;
    if (slider == cutoffSlider)
        session_.setCutoffPosition(position);
    else
        session_.setQPosition(position);
}

void ControlPanel::follow(DesignChanges what)
{
    if (!(what & (DesignChange::Model | DesignChange::Positions | DesignChange::Rate | DesignChange::Restored)))
        return;
    const Document& document = session_.document();
    const FilterState& filter = document.filter;
    {
        // The controls follow the document; they must not act as if the
        // user had moved them.
        const QSignalBlocker cutoffBlocker(cutoffSlider);
        const QSignalBlocker qBlocker(qSlider);
        const QSignalBlocker modelBlocker(modelComboBox);
        cutoffSlider->setValue(document.cutoffPosition);
        qSlider->setValue(document.qPosition);
        modelComboBox->setCurrentIndex(std::clamp(filter.modelIndex, 0, MODEL_CUSTOM));
    }
    cutoffLabel->setText(QString::fromStdString(cutoffLabelText(filter.cutoff)));
    qLabel->setText(QString::fromStdString(qLabelText(filter.q)));
    const bool custom = filter.modelIndex == MODEL_CUSTOM;
    cutoffLabel->setVisible(!custom);
    showSlider(cutoffSlider, !custom);
    qLabel->setVisible(filter.qVisible);
    showSlider(qSlider, filter.qVisible);
}

void ControlPanel::place(const Layout& layout, double devicePixelRatio) const
{
    const double ratio = devicePixelRatio > 0.0 ? devicePixelRatio : 1.0;
    placeWidget(modelLabel, layout, MODEL_LABEL, ratio, logicalHeight(layout, MODEL_LABEL, ratio));
    // The closed box keeps its own height; its list opens below it.
    placeWidget(modelComboBox, layout, MODEL_COMBO_BOX, ratio, modelComboBox->sizeHint().height());
    placeWidget(cutoffLabel, layout, CUTOFF_LABEL, ratio, logicalHeight(layout, CUTOFF_LABEL, ratio));
    placeWidget(cutoffSlider, layout, CUTOFF_SLIDER, ratio, logicalHeight(layout, CUTOFF_SLIDER, ratio));
    placeWidget(qLabel, layout, Q_LABEL, ratio, logicalHeight(layout, Q_LABEL, ratio));
    placeWidget(qSlider, layout, Q_SLIDER, ratio, logicalHeight(layout, Q_SLIDER, ratio));
}
