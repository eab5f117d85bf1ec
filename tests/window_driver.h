#pragma once

// Drives the real main window in tests: waits for what Qt shows, acts on
// modal dialogs and pop-up menus from a timer so that no test can hang, and
// compares the client surface with a fresh full paint.

#include "app/client_area.h"
#include "app/main_window.h"
#include "view/layout.h"
#include "view/paint.h"
#include "view/surface.h"

#include <QApplication>
#include <QBackingStore>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

// Where a horizontal slider's handle stands, in the slider's coordinates.
inline QRect sliderHandle(const QSlider* slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->value();
    option.sliderValue = slider->value();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
}

// Lets Qt deliver what is pending: posted events, update requests, paints.
inline void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// Runs act on the next modal dialog as soon as it shows, from inside its
// event loop. Gives up after timeoutMs; returns through found whether it acted.
inline void whenModalShows(std::function<void(QWidget*)> act, bool* found = nullptr, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    if (found != nullptr)
        *found = false;
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act, found, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            modal = QApplication::activePopupWidget();
        if (modal != nullptr || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            if (modal != nullptr) {
                if (found != nullptr)
                    *found = true;
                act(modal);
            }
        }
    });
    timer->start(10);
}

// The client surface as a fresh full paint of the current state would draw it.
inline QImage freshFullPaint()
{
    Surface reference;
    resizeSurface(reference, surfaceWidth(clientArea->surface), surfaceHeight(clientArea->surface));
    fullPaint(reference, {0, 0, surfaceWidth(reference), surfaceHeight(reference)});
    return reference.image;
}

// The first pixel inside r where the two images differ, or "" when none does.
inline std::string firstDifference(const QImage& a, const QImage& b, const Rect& r)
{
    for (int y = std::max(r.top, 0); y < std::min({r.bottom, a.height(), b.height()}); ++y)
        for (int x = std::max(r.left, 0); x < std::min({r.right, a.width(), b.width()}); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                char at[40];
                std::snprintf(at, sizeof at, "(%d, %d)", x, y);
                return at;
            }
    return "";
}

// The panes and the z-plane are exactly what a full paint draws.
inline std::string differenceFromFullPaint()
{
    const QImage reference = freshFullPaint();
    for (const Rect& r : {magnitudePane, phasePane, zPlaneRect}) {
        const std::string at = firstDifference(clientArea->surface.image, reference, r);
        if (!at.empty())
            return at;
    }
    return "";
}

// The device pixels the window shows of the client area: the top-level
// window's backing store, which is what the offscreen platform puts on its
// screen, cut at the client area's device rectangle. Null when the platform
// keeps its pixels elsewhere.
inline QImage shownClientPixels()
{
    QBackingStore* store = mainWindow->backingStore();
    QPaintDevice* device = store != nullptr ? store->paintDevice() : nullptr;
    if (device == nullptr || device->devType() != QInternal::Image)
        return {};
    const QImage& window = *static_cast<QImage*>(device);
    const double ratio = clientArea->devicePixelRatioF();
    const QPoint origin = clientArea->mapTo(mainWindow, QPoint(0, 0));
    const QRect client(toPixel(std::round(origin.x() * ratio)), toPixel(std::round(origin.y() * ratio)),
                       surfaceWidth(clientArea->surface), surfaceHeight(clientArea->surface));
    return window.copy(client).convertToFormat(QImage::Format_RGB32);
}

// How many pixels inside r differ between the two images.
inline int differingPixels(const QImage& a, const QImage& b, const Rect& r)
{
    int count = 0;
    for (int y = std::max(r.top, 0); y < std::min({r.bottom, a.height(), b.height()}); ++y)
        for (int x = std::max(r.left, 0); x < std::min({r.right, a.width(), b.width()}); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}
