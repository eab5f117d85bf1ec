#pragma once

// Drives the real main window in tests: waits for what Qt shows, acts on
// modal dialogs and pop-up menus from a timer so that no test can hang, and
// compares the client surface with a fresh full paint.

#include "app/client_area.h"
#include "app/main_window.h"
#include "app/root_editor.h"
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
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
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

// The client surface as a fresh full paint of the window's current state
// would draw it: new views, with the marker flag the window's response view
// has now, so that nothing the window's own views keep takes part.
inline QImage freshFullPaint(const MainWindow& window)
{
    const ClientArea& area = *window.clientArea();
    const int width = surfaceWidth(area.surface()), height = surfaceHeight(area.surface());
    Plots reference;
    reference.response.cutoffMarkerVisible = area.plots().response.cutoffMarkerVisible;
    reference.response.clearResponseRows(static_cast<std::size_t>(width));
    resizeSurface(reference.surface, width, height);
    fullPaint(reference, area.layout(), window.document().filter, window.fonts(), {0, 0, width, height});
    return reference.surface.image;
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
inline std::string differenceFromFullPaint(const MainWindow& window)
{
    const QImage reference = freshFullPaint(window);
    const ClientArea& area = *window.clientArea();
    const Layout& layout = area.layout();
    for (const Rect& r : {layout.magnitudePane, layout.phasePane, layout.zPlaneRect}) {
        const std::string at = firstDifference(area.surface().image, reference, r);
        if (!at.empty())
            return at;
    }
    return "";
}

// The device pixels the window shows of the client area: the top-level
// window's backing store, which is what the offscreen platform puts on its
// screen, cut at the client area's device rectangle. Null when the platform
// keeps its pixels elsewhere.
inline QImage shownClientPixels(MainWindow& window)
{
    QBackingStore* store = window.backingStore();
    QPaintDevice* device = store != nullptr ? store->paintDevice() : nullptr;
    if (device == nullptr || device->devType() != QInternal::Image)
        return {};
    const QImage& shown = *static_cast<QImage*>(device);
    const ClientArea* area = window.clientArea();
    const double ratio = area->devicePixelRatioF();
    const QPoint origin = area->mapTo(&window, QPoint(0, 0));
    const QRect client(toPixel(std::round(origin.x() * ratio)), toPixel(std::round(origin.y() * ratio)),
                       surfaceWidth(area->surface()), surfaceHeight(area->surface()));
    return shown.copy(client).convertToFormat(QImage::Format_RGB32);
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

// Owns the main window of a window test and offers what the tests read of
// it under the names the program gives them. openWindow makes a new window
// with the default filter, so that every test object starts from the same
// state; closeWindow deletes it while the application still exists.
class WindowDriver {
public:
    bool openWindow()
    {
        window_ = createMainWindow();
        if (window_ == nullptr || !QTest::qWaitForWindowExposed(window_.get()))
            return false;
        settle();
        return true;
    }

    void closeWindow() { window_.reset(); }

    MainWindow* mainWindow() const { return window_.get(); }
    ClientArea* clientArea() const { return window_->clientArea(); }
    const ControlPanel& controls() const { return window_->controls(); }
    // The window's own filter: what the tests read is what the window shows.
    FilterState& filterState() const { return window_->filter(); }
    const RootEditor& rootEditor() const { return clientArea()->rootEditor(); }
    const Surface& surface() const { return clientArea()->surface(); }
    const Layout& layout() const { return clientArea()->layout(); }
    const Rect& zPlaneRect() const { return layout().zPlaneRect; }
    const Rect& paletteRect() const { return layout().paletteRect; }
    const Rect& magnitudePane() const { return layout().magnitudePane; }
    const Rect& phasePane() const { return layout().phasePane; }
    int zPlaneCentreX() const { return clientArea()->plots().zPlane.geometry().centreX; }
    int zPlaneCentreY() const { return clientArea()->plots().zPlane.geometry().centreY; }
    double zPlaneScale() const { return clientArea()->plots().zPlane.geometry().scale; }
    bool cutoffMarkerVisible() const { return clientArea()->plots().response.cutoffMarkerVisible; }

    QImage freshFullPaint() const { return ::freshFullPaint(*window_); }
    std::string differenceFromFullPaint() const { return ::differenceFromFullPaint(*window_); }
    QImage shownClientPixels() const { return ::shownClientPixels(*window_); }

private:
    std::unique_ptr<MainWindow> window_;
};
