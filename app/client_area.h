#pragma once

#include "app/root_editor.h"
#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"

#include <QCursor>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

// The pointer's shapes: the system arrow, the pointing hand over a root or
// the palette, the bin over a deleting drop.
struct Cursors {
    QCursor arrow;
    QCursor hand;
    QCursor bin;
};

// The client area: shows the drawing surface, lays out panes and controls on
// every resize and forwards the mouse to the root editor. Its pixels are
// device pixels, so that one surface pixel is one pixel on the screen at any
// device pixel ratio.
//
// It owns the layout, the plots (surface and views) and the root editor. It
// draws the filter and uses the fonts and cursors its owner gives it, which
// outlive it; what reaches beyond it goes out through the callbacks.
class ClientArea : public QWidget {
public:
    ClientArea(QWidget* parent, FilterState& filter, const Fonts& fonts, const Cursors& cursors);

    // The height unit of the control column, for the next layout.
    void setBaseUnitY(int baseUnitY) { baseUnitY_ = baseUnitY; }

    // Draws the partial redraw into the surface and schedules showing it.
    void redrawPlots(bool showMarker);

    // Schedules a full paint of the whole client area.
    void invalidate();

    // Schedules a full paint with the cutoff marker shown or hidden: what
    // shows a filter that partial redraws did not lead to (an undo, a file).
    void showAfresh(bool showMarker);

    // Device pixels of a point given in this widget's coordinates.
    Point toClientPixels(QPointF position) const;

    // A command of the root pop-up menu: the editor acts on the selected
    // root; a switch to "Custom" and a redraw follow as it asks.
    void rootCommand(int id);

    const Surface& surface() const { return plots_.surface; }
    // For tests that mark a pixel which only a full paint may clear.
    Surface& surface() { return plots_.surface; }
    const Plots& plots() const { return plots_; }
    const Layout& layout() const { return layout_; }
    const RootEditor& rootEditor() const { return rootEditor_; }
    // What the editor sees of the views.
    EditorView editorView() const;

    // Where the pointer last was over the client area, in device pixels;
    // none once it has left. During a drag it follows the pointer anywhere.
    std::optional<Point> pointer() const { return pointer_; }

    // The readout for the pointer's place: the response at its column over a
    // pane, its z over the z-plane, the root it points at or drags, and the
    // filter's summary anywhere else; modelName names the model.
    std::string readoutText(const char* modelName) const;

    // Opens the position dialog for the selected root and applies what is
    // typed; Cancel changes nothing.
    void editPosition();

    // After every layout, with the device pixel ratio it was made for.
    std::function<void(const Layout&, double)> laidOut;
    // The device pixel ratio has changed (the window moved to a screen of
    // another scale): called with the new ratio before the new layout, so
    // that the owner can make fonts and the base unit for it.
    std::function<void(double)> ratioChanged;
    // The editor has turned the filter into a "Custom" one.
    std::function<void()> switchedToCustom;
    // A command chosen in the root pop-up menu.
    std::function<void(int)> commandChosen;
    // The pointer has moved or left, or the editor has changed the filter:
    // what the readout shows may have changed.
    std::function<void()> readoutChanged;
    // After every editor response that redrew the plots: the filter may
    // have changed.
    std::function<void()> edited;
    // Around each edit of the roots by the user (a drag from press to
    // release, a palette add, a pop-up command): editStarting before
    // anything changes, editDone after the last change with the edit's name.
    // A press that starts no drag is followed by no editDone.
    std::function<void()> editStarting;
    std::function<void(const char*)> editDone;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void apply(const EditorResponse& response, QPoint menuAt = {});
    void notifyReadout();
    QRect toLogical(const Rect& pixels) const;
    Rect toClient(const QRect& logical) const;
    Rect withinSurface(const Rect& pixels) const;

    // The name of the drag in progress, decided on its press.
    const char* dragName_ = "";

    FilterState& filter_;
    const Fonts& fonts_;
    const Cursors& cursors_;
    int baseUnitY_ = 0;
    // The ratio the layout, the surface and the fonts were made for.
    double laidOutRatio_ = 0.0;
    void layOut();
    Layout layout_;
    Plots plots_;
    RootEditor rootEditor_;
    std::optional<Point> pointer_;

    // What partial redraws have drawn and not yet shown; any other part of a
    // paint request is an exposure and gets a full paint. A few rectangles
    // in place, since a drag adds some at every step.
    static constexpr int DRAWN_CAPACITY = 12;
    QRect drawnNotShown_[DRAWN_CAPACITY];
    int drawnCount_ = 0;
    bool drawnBeforeShown(const QRect& logical) const;
    void rememberDrawn(const QRect& logical);
};
