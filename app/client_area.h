#pragma once

#include "app/root_editor.h"
#include "view/surface.h"

#include <QRect>
#include <QWidget>

// The client area: shows the drawing surface, lays out panes and controls on
// every resize and forwards the mouse to the root editor. Its pixels are
// device pixels, so that one surface pixel is one pixel on the screen at any
// device pixel ratio.
class ClientArea : public QWidget {
public:
    explicit ClientArea(QWidget* parent);

    Surface surface;

    // Draws the partial redraw into the surface and schedules showing it.
    void redrawPlots(bool showMarker);

    // Schedules a full paint of the whole client area.
    void invalidate();

    // Device pixels of a point given in this widget's coordinates.
    Point toClientPixels(QPointF position) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void apply(const EditorResponse& response, QPoint menuAt = {});
    QRect toLogical(const Rect& pixels) const;
    Rect toClient(const QRect& logical) const;
    Rect withinSurface(const Rect& pixels) const;

    // What partial redraws have drawn and not yet shown; any other part of a
    // paint request is an exposure and gets a full paint. A few rectangles
    // in place, since a drag adds some at every step.
    static constexpr int DRAWN_CAPACITY = 12;
    QRect drawnNotShown_[DRAWN_CAPACITY];
    int drawnCount_ = 0;
    bool drawnBeforeShown(const QRect& logical) const;
    void rememberDrawn(const QRect& logical);
};

extern ClientArea* clientArea;
