#include "app/window_edges.h"

#include <QApplication>
#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QSize>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

// Replies of the server are the caller's to free, with free().
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

// The top-level widget of an X window, when it is shown at a scale other
// than one: at one, Qt paints every device pixel.
const QWidget* scaledTopLevel(xcb_window_t window)
{
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->internalWinId() == WId{window})
            return widget->devicePixelRatioF() != 1.0 ? widget : nullptr;
    return nullptr;
}

// The pixel value of a colour in the window's colour map.
std::optional<std::uint32_t> pixelOf(xcb_connection_t* connection, xcb_window_t window, QColor colour)
{
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    if (attributes == nullptr)
        return std::nullopt;
    const QRgba64 rgb = colour.rgba64();
    const Reply<xcb_alloc_color_reply_t> allocated(xcb_alloc_color_reply(
        connection, xcb_alloc_color(connection, attributes->colormap, rgb.red(), rgb.green(), rgb.blue()), nullptr));
    if (allocated == nullptr)
        return std::nullopt;
    return allocated->pixel;
}

// Fills the last columns and rows of the widget's X window, native device
// pixels large, that Qt's painting of the widget does not reach. Qt converts
// sizes between device and logical pixels with QSize's operators, which round
// each side to the nearest whole pixel: the backing store it paints is the
// logical size of the X window's size, taken back to device pixels.
void fillUnpaintedEdges(xcb_connection_t* connection, xcb_window_t window, const QWidget& widget, QSize native)
{
    const double ratio = widget.devicePixelRatioF();
    const QSize painted = (native / ratio) * ratio;
    if (painted.width() >= native.width() && painted.height() >= native.height())
        return;
    const std::optional<std::uint32_t> pixel = pixelOf(connection, window, widget.palette().color(QPalette::Window));
    if (!pixel)
        return;
    // X sizes are 16 bits wide, so every one of these fits.
    const auto coordinate = [](int value) { return static_cast<std::int16_t>(value); };
    const auto extent = [](int value) { return static_cast<std::uint16_t>(value); };
    xcb_rectangle_t edges[2];
    std::uint32_t count = 0;
    if (painted.width() < native.width())
        edges[count++] = {coordinate(painted.width()), 0, extent(native.width() - painted.width()),
                          extent(native.height())};
    if (painted.height() < native.height())
        edges[count++] = {0, coordinate(painted.height()), extent(std::min(painted.width(), native.width())),
                          extent(native.height() - painted.height())};
    const xcb_gcontext_t context = xcb_generate_id(connection);
    xcb_create_gc(connection, context, window, XCB_GC_FOREGROUND, &*pixel);
    xcb_poly_fill_rectangle(connection, window, context, count, edges);
    xcb_free_gc(connection, context);
    xcb_flush(connection);
}

}  // namespace

bool WindowEdges::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr)
        return false;
    xcb_connection_t* connection = x11->connection();
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The top bit marks an event another client sent.
    switch (event->response_type & 0x7f) {
    case XCB_CONFIGURE_NOTIFY: {
        // After a shrink X keeps the old pixels; after a growth it shows
        // whatever was there.
        const auto* configure = static_cast<const xcb_configure_notify_event_t*>(message);
        if (const QWidget* widget = scaledTopLevel(configure->window))
            fillUnpaintedEdges(connection, configure->window, *widget, QSize(configure->width, configure->height));
        break;
    }
    case XCB_EXPOSE: {
        // A map or an uncovering: the exposed pixels hold anything. Once for
        // a series of exposures, at its last.
        const auto* expose = static_cast<const xcb_expose_event_t*>(message);
        const QWidget* widget = expose->count == 0 ? scaledTopLevel(expose->window) : nullptr;
        if (widget == nullptr)
            break;
        const Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, expose->window), nullptr));
        if (geometry != nullptr)
            fillUnpaintedEdges(connection, expose->window, *widget, QSize(geometry->width, geometry->height));
        break;
    }
    default: break;
    }
    return false;
}
