#pragma once

// Drives the real main window in tests: waits for what Qt shows, acts on
// modal dialogs and pop-up menus from a timer so that no test can hang, and
// compares the client surface with a fresh full paint.

#include "app/client_area.h"
#include "app/design_session.h"
#include "app/file_commands.h"
#include "app/main_window.h"
#include "app/readout_bar.h"
#include "app/root_editor.h"
#include "view/layout.h"
#include "view/paint.h"
#include "view/surface.h"

#include <QApplication>
#include <QBackingStore>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QComboBox>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
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
#include <optional>
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
// The watch it returns can be stopped early (QPointer, as it deletes itself
// once done): a watch left running past the moment its dialog could show
// would act on some later dialog instead.
inline QPointer<QTimer> whenModalShows(std::function<void(QWidget*)> act, bool* found = nullptr, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
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
            if (modal != nullptr) {
                if (found != nullptr)
                    *found = true;
                act(modal);
            }
        }
    });
    timer->start(10);
    return timer;
}

// Stops a watch of whenModalShows if it has not acted yet.
inline void stopWatch(const QPointer<QTimer>& watch)
{
    if (!watch.isNull()) {
        watch->stop();
        watch->deleteLater();
    }
}

// The window's client area, its central widget.
inline ClientArea* clientAreaOf(const MainWindow& window) { return static_cast<ClientArea*>(window.centralWidget()); }

// The client surface as a fresh full paint of the window's current state
// would draw it: new views, with the marker flag the window's response view
// has now unless marker says otherwise, so that nothing the window's own
// views keep takes part.
inline QImage freshFullPaint(const MainWindow& window, std::optional<bool> marker = std::nullopt)
{
    const ClientArea& area = *clientAreaOf(window);
    const int width = surfaceWidth(area.surface()), height = surfaceHeight(area.surface());
    Plots reference;
    reference.response.cutoffMarkerVisible = marker.value_or(area.plots().response.cutoffMarkerVisible);
    reference.precision = area.plots().precision;
    reference.response.clearResponseRows(static_cast<std::size_t>(width));
    resizeSurface(reference.surface, width, height);
    fullPaint(reference, area.layout(), window.session().filter(), area.fonts(), {0, 0, width, height});
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
    const ClientArea& area = *clientAreaOf(window);
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
    const ClientArea* area = clientAreaOf(window);
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

// Chooses the item of the next pop-up menu with this text as the user
// would, clicking it; fails the test when no menu or no such item shows.
inline void clickMenuItemWhenShown(const QString& text, bool* found)
{
    whenModalShows(
        [text](QWidget* popup) {
            auto* menu = qobject_cast<QMenu*>(popup);
            QVERIFY(menu != nullptr);
            for (QAction* action : menu->actions())
                if (action->text() == text) {
                    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                    return;
                }
            QFAIL("no such item");
        },
        found);
}

// count presses of key on the slider, each delivered and shown before the
// next.
inline void keySteps(QSlider* slider, Qt::Key key, int count)
{
    slider->setFocus();
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(slider, key);
        settle();
    }
}

// Moves a slider to position with the keys a user presses: Home, then
// PageUp while a whole page fits, then single steps.
inline void setSliderByKeys(QSlider* slider, int position)
{
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Home);
    while (slider->value() + slider->pageStep() <= position)
        QTest::keyClick(slider, Qt::Key_PageUp);
    while (slider->value() < position)
        QTest::keyClick(slider, Qt::Key_Right);
    settle();
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
    DesignSession& session() const { return window_->session(); }
    ClientArea* clientArea() const { return clientAreaOf(*window_); }
    const ControlPanel& controls() const { return clientArea()->controls(); }
    // The session's filter: what the tests read is what the window shows.
    const FilterState& filterState() const { return session().filter(); }
    FileCommands& files() const { return *window_->findChild<FileCommands*>(); }
    ReadoutBar& readoutBar() const { return *window_->findChild<ReadoutBar*>(); }
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

    // The menu-bar item that sends the command id, found as the user finds
    // it, in submenus too.
    QAction* commandAction(int id) const
    {
        QList<QMenu*> menus;
        for (QAction* top : window_->menuBar()->actions())
            if (top->menu() != nullptr)
                menus << top->menu();
        while (!menus.isEmpty()) {
            QMenu* menu = menus.takeFirst();
            for (QAction* item : menu->actions()) {
                if (item->menu() != nullptr)
                    menus << item->menu();
                else if (item->data().toInt() == id)
                    return item;
            }
        }
        return nullptr;
    }

    void triggerCommand(int id) const
    {
        commandAction(id)->trigger();
        settle();
    }

    // Chooses the model with the arrow keys in the focused combo box.
    void chooseModelByKeys(int model) const
    {
        QComboBox* combo = controls().modelComboBox;
        combo->setFocus();
        while (combo->currentIndex() < model)
            QTest::keyClick(combo, Qt::Key_Down);
        while (combo->currentIndex() > model)
            QTest::keyClick(combo, Qt::Key_Up);
        settle();
    }

    QWindow* window() const { return window_->windowHandle(); }

    // Window coordinates of a client pixel, taken one to one: the window
    // tests that use it run at a device pixel ratio of one.
    QPoint at(Point p) const { return clientArea()->mapTo(window_.get(), QPoint(p.x, p.y)); }

    // The pointer moved to a client pixel, as the platform sends the move.
    void moveTo(Point p) const
    {
        QTest::mouseMove(window(), at(p));
        settle();
    }

    // The left button pressed and released at a client pixel, each delivered
    // and shown before the next event.
    void press(Point p) const
    {
        QTest::mousePress(window(), Qt::LeftButton, {}, at(p));
        settle();
    }

    void release(Point p) const
    {
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at(p));
        settle();
    }

    // The client pixel of a root's mark: its conjugate's when lower.
    Point markOf(const Complex& position, bool lower = false) const
    {
        const int dy = toPixel(position.im * zPlaneScale());
        return {zPlaneCentreX() + toPixel(position.re * zPlaneScale()), zPlaneCentreY() + (lower ? dy : -dy)};
    }

    QImage freshFullPaint() const { return ::freshFullPaint(*window_); }
    std::string differenceFromFullPaint() const { return ::differenceFromFullPaint(*window_); }
    QImage shownClientPixels() const { return ::shownClientPixels(*window_); }

private:
    std::unique_ptr<MainWindow> window_;
};
