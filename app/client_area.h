#pragma once

#include "app/control_panel.h"
#include "app/design_session.h"
#include "app/root_editor.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"

#include <QCursor>
#include <QRect>
#include <QString>
#include <QWidget>

#include <optional>

class QScreen;

// The pointer's shapes: the system arrow, the pointing hand over a root or
// the palette, the bin over a deleting drop.
struct Cursors {
    QCursor arrow;
    QCursor hand;
    QCursor bin;
};

// The client area: the z-plane with its palette, the response panes and the
// control panel. It shows the session's design on a drawing surface whose
// pixels are device pixels, so that one surface pixel is one pixel on the
// screen at any device pixel ratio; it lays out panes and controls on every
// resize, and hands the mouse to the root editor, whose edits go to the
// session.
//
// It follows the session's changes: a partial redraw for an edit, a full
// paint for a design put in place as a whole or a new rate. It owns the
// layout, the plots (surface and views), the root editor, the fonts, the
// cursors and the control panel.
class ClientArea : public QWidget {
    Q_OBJECT

public:
    // Fonts and controls are made for screen's scale until the area is shown.
    ClientArea(DesignSession& session, const QScreen* screen, QWidget* parent);

    // Schedules a full paint of the whole client area.
    void invalidate();

    // The precision view's choice (Plots::precision): what the window shows,
    // not part of the design. A new choice is shown by a full paint, and the
    // readout's summary says what rounding to it leaves.
    void setPrecision(Precision precision);
    Precision precision() const { return plots_.precision; }

    const Surface& surface() const { return plots_.surface; }
    // For tests that mark a pixel which only a full paint may clear.
    Surface& surface() { return plots_.surface; }
    const Plots& plots() const { return plots_; }
    const Layout& layout() const { return layout_; }
    const Fonts& fonts() const { return fonts_; }
    const Cursors& cursors() const { return cursors_; }
    const ControlPanel& controls() const { return *controls_; }
    const RootEditor& rootEditor() const { return rootEditor_; }
    // What the editor sees of the views.
    EditorView editorView() const;

    // Device pixels of a point given in this widget's coordinates.
    Point toClientPixels(QPointF position) const;

    // Where the pointer last was over the client area, in device pixels;
    // none once it has left. During a drag it follows the pointer anywhere.
    std::optional<Point> pointer() const { return pointer_; }

    // The readout for the pointer's place: the response at its column over a
    // pane, its z over the z-plane, the root it points at or drags, and the
    // filter's summary anywhere else.
    QString readoutText() const;

signals:
    // What the readout shows may have changed: the pointer has moved or
    // left, the design has changed or the layout has.
    void readoutChanged(const QString& text);
    // After every layout.
    void laidOut();
    // The precision view's choice is a new one.
    void precisionChanged(Precision precision);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void follow(DesignChanges what);
    void redrawPlots();
    void prepareForRatio(const QScreen* screen, double ratio);
    void layOut();
    void apply(const EditorResponse& response, const QString& stepName = {});
    void openRootMenu(const RootMenu& items, QPoint at);
    void rootCommand(int id);
    void editPosition();
    void notifyReadout();
    QString rootStepName(const char* const (&names)[2]) const;
    QRect toLogical(const Rect& pixels) const;
    Rect toClient(const QRect& logical) const;
    Rect withinSurface(const Rect& pixels) const;

    DesignSession& session_;
    Fonts fonts_;
    Cursors cursors_;
    int baseUnitY_ = 0;
    // The ratio the layout, the surface and the fonts were made for.
    double laidOutRatio_ = 0.0;
    Layout layout_;
    Plots plots_;
    RootEditor rootEditor_;
    ControlPanel* controls_ = nullptr;  // a child: Qt deletes it
    std::optional<Point> pointer_;
    // The name of the drag in progress, decided on its press.
    QString dragName_;
    // A press is being carried out; what it changes waits for the drag's
    // first movement (or its release) to be drawn, which is then owed.
    bool pressing_ = false;
    bool redrawOwed_ = false;

    // What partial redraws have drawn and not yet shown; any other part of a
    // paint request is an exposure and gets a full paint. A few rectangles
    // in place, since a drag adds some at every step.
    static constexpr int DRAWN_CAPACITY = 12;
    QRect drawnNotShown_[DRAWN_CAPACITY];
    int drawnCount_ = 0;
    bool drawnBeforeShown(const QRect& logical) const;
    void rememberDrawn(const QRect& logical);
};
