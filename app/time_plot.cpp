#include "app/time_plot.h"

#include "app/refresh_interval.h"
#include "model/time_response.h"
#include "res/resource_ids.h"
#include "view/colours.h"
#include "view/plot_axes.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// Up to this many samples each gets a stem; more would merge into a comb.
constexpr int MOST_STEMS = 128;
constexpr int STEM_HEAD_RADIUS = 2;
// Room around the frame, in logical pixels, besides that of the labels.
constexpr int GAP = 4;

QColor colourOf(Rgb rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

// The labels' face at 8 points, as in the client area.
QFont labelFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    return font;
}

// Three significant digits: what a pointer position can claim.
QString figure(double value) { return QString::number(value, 'g', 3); }

// A tick's label: as short as its value allows.
QString tickLabel(double value) { return QString::number(value, 'g', 6); }

// Frequencies in whole hertz from 100 Hz on, as the client area's readout.
QString hertz(double frequency)
{
    return frequency >= 100.0 ? QString::number(frequency, 'f', 0) : QString::number(frequency, 'g', 3);
}

// The frequency of a fraction 0 … 1 along the group delay's axis.
double axisFrequency(const FilterState& filter, double fraction)
{
    return filter.lowestFrequency * std::pow(filter.nyquist / filter.lowestFrequency, fraction);
}

double axisFraction(const FilterState& filter, double frequency)
{
    return std::log(frequency / filter.lowestFrequency) / std::log(filter.nyquist / filter.lowestFrequency);
}

}  // namespace

TimePlot::TimePlot(TimeView view, const DesignSession& session, QWidget* parent)
    : QWidget(parent), session_(session), view_(view)
{
    setMouseTracking(true);
    // Every pixel is painted below.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(labelFont());
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setTimerType(Qt::PreciseTimer);
    connect(&repaintTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    connect(&session_, &DesignSession::changed, this, &TimePlot::follow);
}

void TimePlot::follow(DesignChanges what)
{
    if (!(what & (DesignChange::Roots | DesignChange::Rate | DesignChange::Restored)))
        return;
    stale_ = true;
    if (isVisible() && !repaintTimer_.isActive())
        repaintTimer_.start(refreshInterval(screen()));
}

void TimePlot::bringUpToDate()
{
    if (!stale_)
        return;
    stale_ = false;
    if (view_ == TimeView::GroupDelay) {
        delayColumns_ = 0;
        return;
    }
    const FilterState& filter = session_.filter();
    unstable_ = hasUnstablePole(filter);
    samples_ = impulseResponse(filter, shownImpulseLength(filter));
    finalValue_.reset();
    if (view_ == TimeView::Step) {
        samples_ = stepResponse(samples_);
        finalValue_ = finalStepValue(filter);
    }
}

const std::vector<double>& TimePlot::samples()
{
    bringUpToDate();
    return samples_;
}

void TimePlot::computeGroupDelay(int columns)
{
    bringUpToDate();
    if (columns == delayColumns_)
        return;
    const FilterState& filter = session_.filter();
    frequencies_ = logFrequencies(filter.lowestFrequency, filter.nyquist, std::max(columns, 2));
    delays_ = groupDelays(filter, frequencies_);
    delayColumns_ = columns;
}

QRectF TimePlot::frame() const
{
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    // Room for labels of the widest kind the axes have.
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("-0.000000"));
    const double left = labelWidth + 2 * GAP;
    const double right = view_ == TimeView::GroupDelay ? labelWidth + 2 * GAP : 3 * GAP;
    const double top = line + GAP;
    const double bottom = (view_ == TimeView::GroupDelay ? 1 : 2) * line + 2 * GAP;
    return QRectF(left, top, std::max(1.0, width() - left - right), std::max(1.0, height() - top - bottom));
}

QString TimePlot::dataCsv()
{
    if (view_ == TimeView::GroupDelay) {
        computeGroupDelay(std::max(2, static_cast<int>(frame().width() * devicePixelRatioF())));
        return QString::fromStdString(groupDelayCsv(frequencies_, delays_));
    }
    bringUpToDate();
    return QString::fromStdString(valueListCsv(samples_));
}

QString TimePlot::pointerText(QPointF at)
{
    const QRectF plot = frame();
    if (!plot.contains(at))
        return {};
    const double fraction = (at.x() - plot.left()) / plot.width();
    const FilterState& filter = session_.filter();
    if (view_ == TimeView::GroupDelay) {
        const double frequency = axisFrequency(filter, fraction);
        const double tau = groupDelay(filter, frequency);
        const double ms = tau * 1000.0 / (2.0 * filter.nyquist);
        return QStringLiteral("f = %1 Hz   τ = %2 samples (%3 ms)").arg(hertz(frequency), figure(tau), figure(ms));
    }
    bringUpToDate();
    if (samples_.empty())
        return {};
    const double last = static_cast<double>(samples_.size() - 1);
    const auto n = static_cast<std::size_t>(std::clamp(std::round(fraction * last), 0.0, last));
    return QStringLiteral("n = %1   %2 = %3")
        .arg(n)
        .arg(view_ == TimeView::Step ? QStringLiteral("s[n]") : QStringLiteral("h[n]"))
        .arg(figure(samples_[n]));
}

void TimePlot::mouseMoveEvent(QMouseEvent* event)
{
    emit pointerTextChanged(pointerText(event->position()));
    QWidget::mouseMoveEvent(event);
}

void TimePlot::leaveEvent(QEvent* event)
{
    emit pointerTextChanged(QString());
    QWidget::leaveEvent(event);
}

namespace {

// What one paint needs of the plot's geometry: the frame, and the rows of
// values on the vertical axis.
struct Axes {
    QRectF frame;
    ValueRange values;

    double y(double value) const { return frame.bottom() - rangeFraction(values, value) * frame.height(); }
};

// Whole device pixels, so that one-pixel lines stay one pixel wide at any
// scale factor: the position of the device pixel a logical coordinate lies
// in, back in logical coordinates.
double snapped(double logical, double ratio) { return std::floor(logical * ratio) / ratio; }

void drawValueGrid(QPainter& painter, const Axes& axes, double ratio, int labelWidth)
{
    const QFontMetrics metrics(painter.font());
    for (const double tick : linearTicks(axes.values, std::max(2, static_cast<int>(axes.frame.height()) / 40))) {
        const double y = snapped(axes.y(tick), ratio);
        painter.setPen(colourOf(GRID_GREY));
        painter.drawLine(QLineF(axes.frame.left(), y, axes.frame.right(), y));
        painter.setPen(colourOf(GREY));
        painter.drawText(QRectF(axes.frame.left() - labelWidth - GAP, y - metrics.height(), labelWidth,
                                2 * metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, tickLabel(tick));
    }
}

}  // namespace

void TimePlot::paintEvent(QPaintEvent*)
{
    ++paints_;
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const double ratio = devicePixelRatioF();
    QRectF plot = frame();
    plot = QRectF(QPointF(snapped(plot.left(), ratio), snapped(plot.top(), ratio)),
                  QPointF(snapped(plot.right(), ratio), snapped(plot.bottom(), ratio)));
    painter.fillRect(plot, colourOf(WHITE));
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const int labelWidth = static_cast<int>(plot.left()) - 2 * GAP;
    const FilterState& filter = session_.filter();
    const double sampleRate = 2.0 * filter.nyquist;
    QPen curvePen(colourOf(BLACK), 0);
    curvePen.setCosmetic(true);

    Axes axes{plot, {}};
    if (view_ == TimeView::GroupDelay) {
        const int columns = std::max(2, static_cast<int>(plot.width() * ratio));
        computeGroupDelay(columns);
        axes.values = plotRange(delays_.data(), static_cast<int>(delays_.size()));
        drawValueGrid(painter, axes, ratio, labelWidth);
        // The frequency grid of the magnitude pane: every multiple of a
        // decade, labelled at 1, 2 and 5 where a label finds room.
        double labelsEnd = -HUGE_VAL;
        for (double decade = 1.0; decade < filter.nyquist; decade *= 10.0)
            for (int multiple = 1; multiple <= 10; ++multiple) {
                const double frequency = multiple * decade;
                if (frequency < filter.lowestFrequency || frequency > filter.nyquist)
                    continue;
                const double x = snapped(plot.left() + axisFraction(filter, frequency) * plot.width(), ratio);
                painter.setPen(colourOf(GRID_GREY));
                painter.drawLine(QLineF(x, plot.top(), x, plot.bottom()));
                const QString label = tickLabel(frequency);
                const double half = metrics.horizontalAdvance(label) / 2.0;
                if ((multiple == 1 || multiple == 2 || multiple == 5) && x - half > labelsEnd + GAP) {
                    painter.setPen(colourOf(GREY));
                    painter.drawText(QRectF(x - half, plot.bottom() + GAP, 2 * half, line),
                                     Qt::AlignHCenter | Qt::AlignTop, label);
                    labelsEnd = x + half;
                }
            }
        // The second scale, in ms, with round ticks of its own.
        painter.setPen(colourOf(GREY));
        const double msPerSample = 1000.0 / sampleRate;
        for (const double tick : linearTicks({axes.values.low * msPerSample, axes.values.high * msPerSample},
                                             std::max(2, static_cast<int>(plot.height()) / 40))) {
            const double y = snapped(axes.y(tick / msPerSample), ratio);
            painter.drawLine(QLineF(plot.right(), y, plot.right() + GAP / 2.0, y));
            painter.drawText(QRectF(plot.right() + GAP, y - line, labelWidth, 2 * line),
                             Qt::AlignLeft | Qt::AlignVCenter, tickLabel(tick));
        }
        painter.drawText(QRectF(plot.left() - labelWidth - GAP, 0, labelWidth, line), Qt::AlignRight | Qt::AlignTop,
                         QStringLiteral("samples"));
        painter.drawText(QRectF(plot.right() + GAP, 0, labelWidth, line), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("ms"));
        painter.drawText(QRectF(GAP, plot.bottom() + GAP, labelWidth, line), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Hz"));

        // The curve, broken wherever the delay is undefined.
        painter.setPen(curvePen);
        painter.setClipRect(plot);
        QPainterPath path;
        bool drawing = false;
        for (std::size_t i = 0; i < delays_.size(); ++i) {
            if (!std::isfinite(delays_[i])) {
                drawing = false;
                continue;
            }
            const QPointF point(plot.left() + static_cast<double>(i) / ratio, axes.y(delays_[i]));
            if (drawing)
                path.lineTo(point);
            else
                path.moveTo(point);
            drawing = true;
        }
        painter.drawPath(path);
        painter.setClipping(false);
    } else {
        bringUpToDate();
        const int count = static_cast<int>(samples_.size());
        axes.values = plotRange(samples_.data(), count);
        if (finalValue_)
            axes.values = plotRange(std::vector<double>{axes.values.low, axes.values.high, *finalValue_}.data(), 3);
        drawValueGrid(painter, axes, ratio, labelWidth);
        const double last = std::max(1, count - 1);
        const auto x = [&](double n) { return plot.left() + n / last * plot.width(); };
        // Sample ticks below, with the same instants in ms on a second row.
        for (const double tick : linearTicks({0.0, last}, std::max(2, static_cast<int>(plot.width()) / 70))) {
            const double at = snapped(x(tick), ratio);
            painter.setPen(colourOf(GRID_GREY));
            painter.drawLine(QLineF(at, plot.top(), at, plot.bottom()));
            painter.setPen(colourOf(GREY));
            painter.drawText(QRectF(at - 40, plot.bottom() + GAP, 80, line), Qt::AlignHCenter | Qt::AlignTop,
                             tickLabel(tick));
            painter.drawText(QRectF(at - 40, plot.bottom() + GAP + line, 80, line), Qt::AlignHCenter | Qt::AlignTop,
                             figure(tick * 1000.0 / sampleRate));
        }
        painter.setPen(colourOf(GREY));
        painter.drawText(QRectF(GAP, plot.bottom() + GAP, labelWidth, line), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("n"));
        painter.drawText(QRectF(GAP, plot.bottom() + GAP + line, labelWidth, line), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("ms"));

        painter.setClipRect(plot);
        const double zeroRow = snapped(axes.y(0.0), ratio);
        painter.setPen(colourOf(GREY));
        painter.drawLine(QLineF(plot.left(), zeroRow, plot.right(), zeroRow));
        if (finalValue_) {
            QPen dotted(colourOf(BLACK), 0, Qt::DotLine);
            dotted.setCosmetic(true);
            painter.setPen(dotted);
            const double y = snapped(axes.y(*finalValue_), ratio);
            painter.drawLine(QLineF(plot.left(), y, plot.right(), y));
        }
        painter.setPen(curvePen);
        const double* sample = samples_.data();
        const auto y = [&](double value) { return axes.y(std::clamp(value, axes.values.low, axes.values.high)); };
        if (count <= MOST_STEMS) {
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setBrush(colourOf(BLACK));
            for (int n = 0; n < count; ++n) {
                if (!std::isfinite(sample[n]))
                    continue;
                const double at = snapped(x(n), ratio);
                painter.drawLine(QLineF(at, zeroRow, at, y(sample[n])));
                painter.drawEllipse(QPointF(at, y(sample[n])), STEM_HEAD_RADIUS, STEM_HEAD_RADIUS);
            }
            painter.setRenderHint(QPainter::Antialiasing, false);
        } else {
            // Many samples to a device column: the column's extent, joined to
            // the last sample of the column before, which draws what a
            // polyline through every sample would at a fraction of the cost.
            const int columns = std::max(1, static_cast<int>(plot.width() * ratio));
            std::vector<QLineF> lines;
            lines.reserve(static_cast<std::size_t>(columns));
            std::optional<double> previous;
            int n = 0;
            for (int column = 0; column < columns && n < count; ++column) {
                const int end = column + 1 == columns
                                    ? count
                                    : std::min(count, static_cast<int>(std::ceil((column + 1.0) / columns * last)));
                double low = previous.value_or(HUGE_VAL), high = previous.value_or(-HUGE_VAL);
                for (; n < end; ++n)
                    if (std::isfinite(sample[n])) {
                        low = std::min(low, sample[n]);
                        high = std::max(high, sample[n]);
                        previous = sample[n];
                    }
                if (low <= high) {
                    const double at = plot.left() + column / ratio;
                    lines.emplace_back(at, y(low), at, y(high));
                }
            }
            painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        }
        painter.setClipping(false);
        if (unstable_) {
            painter.setPen(colourOf(BLACK));
            painter.drawText(plot.adjusted(GAP, GAP, -GAP, -GAP), Qt::AlignLeft | Qt::AlignTop,
                             QString::fromUtf8(UNSTABLE_RESPONSE_TEXT));
        }
    }
    painter.setPen(colourOf(GREY));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(0, 0, -1.0 / ratio, -1.0 / ratio));
}
