#include "app/readout_bar.h"

#include "app/refresh_interval.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace {

// The bar as assistive technology sees it: static text named by the newest
// text unless the bar is given a name, as a QLabel's interface is.
class ReadoutAccessible : public QAccessibleWidget {
public:
    explicit ReadoutAccessible(ReadoutBar* bar) : QAccessibleWidget(bar, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const ReadoutBar*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* readoutAccessible(const QString&, QObject* object)
{
    if (auto* bar = dynamic_cast<ReadoutBar*>(object))
        return new ReadoutAccessible(bar);
    return nullptr;
}

}  // namespace

ReadoutBar::ReadoutBar(QWidget* parent) : QWidget(parent)
{
    // Qt keeps each factory once however often it is installed.
    QAccessible::installFactory(readoutAccessible);
    setAccessibleDescription(QStringLiteral("The response, point or root under the pointer"));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Every pixel is painted below, so Qt need not paint the bar beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaintTimer_.setSingleShot(true);
    // A coarse timer may fire early, more often than the screen refreshes.
    repaintTimer_.setTimerType(Qt::PreciseTimer);
    connect(&repaintTimer_, &QTimer::timeout, this, &ReadoutBar::showNewText);
}

void ReadoutBar::showNewText()
{
    update();
    // As a label announces a new text, at the pace of the repaints: a client
    // that reads the name gets the newest text.
    if (QAccessible::isActive() && accessibleName().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void ReadoutBar::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    if (!repaintTimer_.isActive())
        repaintTimer_.start(refreshInterval(screen()));
}

QSize ReadoutBar::sizeHint() const
{
    // As tall as a label of one line in this font; the bar may give more.
    return {fontMetrics().averageCharWidth() * 40, fontMetrics().height()};
}

QSize ReadoutBar::minimumSizeHint() const { return {0, sizeHint().height()}; }

void ReadoutBar::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    painter.setPen(palette().color(QPalette::WindowText));
    // Drawn at a baseline rather than into a box: the box's line breaking
    // and alignment cost as much as the glyphs, and a line needs neither.
    // The baseline is where a label centres one line, to the same pixel.
    painter.setClipRect(rect());
    const QFontMetricsF metrics(font());
    painter.drawText(QPointF(0.0, (height() - metrics.ascent() - metrics.descent()) / 2.0 + metrics.ascent()), text_);
    shownText_ = text_;
}
