#include "app/client_area.h"

#include "app/position_dialog.h"
#include "model/readout.h"
#include "res/resource_ids.h"
#include "view/response_view.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QCursor& cursorOf(const Cursors& cursors, CursorKind kind)
{
    switch (kind) {
    case CursorKind::Hand: return cursors.hand;
    case CursorKind::Bin: return cursors.bin;
    case CursorKind::Arrow: break;
    }
    return cursors.arrow;
}

// The selected root's list as the index of the step name pairs.
std::size_t listIndex(const RootEditor& editor) { return editor.selectedRoot.list == RootListKind::Poles ? 1 : 0; }

// The layout takes 16-bit sizes, the range its arithmetic is checked over; a
// larger client is laid out as 65535 pixels.
std::uint16_t sizeWord(int pixels) { return static_cast<std::uint16_t>(std::clamp(pixels, 0, 65535)); }

}  // namespace

Rect ClientArea::withinSurface(const Rect& pixels) const
{
    return {std::max(pixels.left, 0), std::max(pixels.top, 0), std::min(pixels.right, surfaceWidth(plots_.surface)),
            std::min(pixels.bottom, surfaceHeight(plots_.surface))};
}

ClientArea::ClientArea(QWidget* parent, FilterState& filter, const Fonts& fonts, const Cursors& cursors)
    : QWidget(parent), filter_(filter), fonts_(fonts), cursors_(cursors)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A click on the panes or the z-plane takes the keyboard focus back from
    // a control, so that the window's own keys work again; Tab passes it by.
    setFocusPolicy(Qt::ClickFocus);
    resizeSurface(plots_.surface, 0, 0);
}

void ClientArea::redrawPlots(bool showMarker)
{
    const ChangedAreas changed = partialRedraw(plots_, layout_, filter_, fonts_, showMarker);
    for (const Rect& area : {changed.zPlane, changed.magnitude, changed.phase}) {
        if (isEmpty(area))
            continue;
        const QRect logical = toLogical(area);
        rememberDrawn(logical);
        update(logical);
    }
}

void ClientArea::showAfresh(bool showMarker)
{
    plots_.response.cutoffMarkerVisible = showMarker;
    invalidate();
}

void ClientArea::invalidate()
{
    drawnCount_ = 0;
    update();
}

bool ClientArea::drawnBeforeShown(const QRect& logical) const
{
    for (int i = 0; i < drawnCount_; ++i)
        if (drawnNotShown_[i].contains(logical))
            return true;
    return false;
}

void ClientArea::rememberDrawn(const QRect& logical)
{
    if (drawnCount_ < DRAWN_CAPACITY) {
        drawnNotShown_[drawnCount_++] = logical;
        return;
    }
    // Full: one rectangle around them all still says what was drawn.
    for (int i = 1; i < DRAWN_CAPACITY; ++i)
        drawnNotShown_[0] = drawnNotShown_[0].united(drawnNotShown_[i]);
    drawnNotShown_[0] = drawnNotShown_[0].united(logical);
    drawnCount_ = 1;
}

Point ClientArea::toClientPixels(QPointF position) const
{
    const double ratio = devicePixelRatioF();
    return {toPixel(position.x() * ratio), toPixel(position.y() * ratio)};
}

QRect ClientArea::toLogical(const Rect& pixels) const
{
    const double ratio = devicePixelRatioF();
    const int left = toPixel(std::floor(pixels.left / ratio)), top = toPixel(std::floor(pixels.top / ratio));
    const int right = toPixel(std::ceil(pixels.right / ratio)), bottom = toPixel(std::ceil(pixels.bottom / ratio));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

Rect ClientArea::toClient(const QRect& logical) const
{
    // At a fractional ratio Qt rounds the edges of a logical rectangle to
    // device pixels from the window's origin, not the client area's; one
    // device pixel more on each side holds whatever that rounding adds.
    const double ratio = devicePixelRatioF();
    const int margin = ratio == std::floor(ratio) ? 0 : 1;
    const auto edge = [ratio, margin](double logicalEdge, bool after) {
        const double device = after ? std::ceil(logicalEdge * ratio) : std::floor(logicalEdge * ratio);
        return narrowPixel(std::int64_t{toPixel(device)} + (after ? margin : -margin));
    };
    return {edge(logical.left(), false), edge(logical.top(), false), edge(logical.right() + 1.0, true),
            edge(logical.bottom() + 1.0, true)};
}

void ClientArea::paintEvent(QPaintEvent* event)
{
    QRect exposed;
    for (const QRect& logical : event->region())
        if (!drawnBeforeShown(logical))
            exposed = exposed.united(logical);
    drawnCount_ = 0;
    if (!exposed.isEmpty()) {
        fullPaint(plots_, layout_, filter_, fonts_, toClient(exposed));
        // A full paint gives the z-plane the geometry of a new layout, where
        // the pointer's z and the roots' marks lie now.
        notifyReadout();
    }

    // Surface pixels go to device pixels one to one. The painter's scale by
    // the device pixel ratio is undone, and the client area starts at the
    // whole device pixel nearest to where Qt puts it, so that no surface
    // pixel is stretched or split at a fractional ratio; Qt's own clip of
    // this paint, in device pixels, decides which of them are shown.
    QPainter painter(this);
    const QTransform scaled = painter.deviceTransform();
    const QPointF origin(std::round(scaled.dx()), std::round(scaled.dy()));
    painter.setWorldTransform(QTransform::fromTranslate(origin.x(), origin.y()) * scaled.inverted());
    for (const QRect& logical : event->region()) {
        const Rect pixels = withinSurface(toClient(logical));
        if (!isEmpty(pixels))
            painter.drawImage(QPoint(pixels.left, pixels.top), plots_.surface.image,
                              QRect(pixels.left, pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top));
    }
}

void ClientArea::resizeEvent(QResizeEvent*) { layOut(); }

// A move to a screen of another scale changes the ratio without a resize;
// everything measured in device pixels is made again, and the whole client
// area painted afresh.
bool ClientArea::event(QEvent* event)
{
    const bool screenChanged = event->type() == QEvent::ScreenChangeInternal
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
                               || event->type() == QEvent::DevicePixelRatioChange
#endif
        ;
    const bool handled = QWidget::event(event);
    if (screenChanged && devicePixelRatioF() != laidOutRatio_) {
        if (ratioChanged)
            ratioChanged(devicePixelRatioF());
        layOut();
    }
    return handled;
}

void ClientArea::layOut()
{
    const double ratio = devicePixelRatioF();
    laidOutRatio_ = ratio;
    // Qt rounds the device rectangle of each widget on its own: at a
    // fractional ratio a device row between the client area and the status
    // bar can belong to neither, and only the window's background reaches it.
    // Painted beneath the client area then, it shows there in every paint.
    setAttribute(Qt::WA_OpaquePaintEvent, ratio == std::floor(ratio));
    const std::uint16_t width = sizeWord(toPixel(std::round(this->width() * ratio)));
    const std::uint16_t height = sizeWord(toPixel(std::round(this->height() * ratio)));
    layoutPlots(layout_, plots_, width, height, fonts_.arialFont.get(), baseUnitY_);
    resizeSurface(plots_.surface, width, height);
    if (laidOut)
        laidOut(layout_, ratio);
    invalidate();
    // The same pointer can lie over another place of the new layout.
    notifyReadout();
}

void ClientArea::mouseMoveEvent(QMouseEvent* event)
{
    // Without a drag the pointer only counts over the client area itself.
    if (!rootEditor_.dragging && !rect().contains(event->position().toPoint())) {
        pointer_.reset();
        notifyReadout();
        return;
    }
    const Point at = toClientPixels(event->position());
    pointer_ = at;
    apply(handleMouseMove(rootEditor_, filter_, editorView(), at.x, at.y));
    notifyReadout();
}

void ClientArea::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (rootEditor_.dragging)
        return;
    pointer_.reset();
    notifyReadout();
}

void ClientArea::notifyReadout()
{
    if (readoutChanged)
        readoutChanged();
}

void ClientArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Point at = toClientPixels(event->position());
    pointer_ = at;
    const bool wasDragging = rootEditor_.dragging;
    if (!wasDragging && editStarting)
        editStarting();
    apply(handleLeftButtonDown(rootEditor_, filter_, editorView(), at.x, at.y));
    if (!wasDragging && rootEditor_.dragging) {
        const std::size_t list = listIndex(rootEditor_);
        dragName_ = !rootEditor_.fromPalette                  ? STEP_MOVE_ROOT[list]
                    : selectedPairFlag(rootEditor_, filter_) ? STEP_ADD_ROOT_PAIR[list]
                                                             : STEP_ADD_ROOT[list];
    }
    notifyReadout();
}

void ClientArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasDragging = rootEditor_.dragging;
    const bool deleting = rootEditor_.outside;
    const std::size_t list = listIndex(rootEditor_);
    apply(handleLeftButtonUp(rootEditor_, filter_, editorView()));
    if (wasDragging && editDone)
        editDone(deleting ? STEP_DELETE_ROOT[list] : dragName_);
    notifyReadout();
}

// Qt sends press, release, double-click, release. On a root the double-click
// takes the place of the second press, which would start a drag; elsewhere it
// is that press.
void ClientArea::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Point at = toClientPixels(event->position());
    pointer_ = at;
    const EditorResponse response = handleDoubleClick(rootEditor_, filter_, editorView(), at.x, at.y);
    if (!response.openPositionDialog) {
        apply(response);
        mousePressEvent(event);
        return;
    }
    apply(response);
    notifyReadout();
}

void ClientArea::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() != QContextMenuEvent::Mouse)
        return;
    const Point at = toClientPixels(event->pos());
    apply(handleContextMenu(rootEditor_, filter_, editorView(), at.x, at.y), event->globalPos());
}

void ClientArea::apply(const EditorResponse& response, QPoint menuAt)
{
    if (response.switchToCustom && switchedToCustom)
        switchedToCustom();
    // Qt grabs the mouse for the widget under a pressed button until its
    // release, which is exactly the extent of a drag.
    if (response.setCursor)
        setCursor(cursorOf(cursors_, response.cursor));
    if (response.openMenu) {
        QMenu menu(this);
        const RootMenu& items = response.menu;
        const auto add = [&menu](const char* text, int id, bool checked) {
            QAction* action = menu.addAction(QString::fromUtf8(text));
            action->setData(id);
            action->setCheckable(checked);
            action->setChecked(checked);
        };
        add("Delete", items.deleteId, false);
        menu.addSeparator();
        add("Single real", items.singleId, items.singleChecked);
        add("Double complex conjugate", items.pairId, items.pairChecked);
        menu.addSeparator();
        add("Position\u2026", items.positionId, false);
        if (const QAction* chosen = menu.exec(menuAt); chosen != nullptr && commandChosen)
            commandChosen(chosen->data().toInt());
    }
    if (response.openPositionDialog)
        editPosition();
    if (response.redraw) {
        redrawPlots(response.showMarker);
        if (edited)
            edited();
    }
}

EditorView ClientArea::editorView() const
{
    return {plots_.zPlane.geometry(), layout_.zPlaneRect, layout_.paletteRect, plots_.response.cutoffMarkerVisible};
}

// Unlike a mouse event, a menu command leaves the cursor as it is.
void ClientArea::rootCommand(int id)
{
    if (id == IDM_ROOT_POSITION) {
        editPosition();
        return;
    }
    const std::size_t list = listIndex(rootEditor_);
    const char* name = id == IDM_ROOT_DELETE                   ? STEP_DELETE_ROOT[list]
                       : selectedPairFlag(rootEditor_, filter_) ? STEP_MAKE_SINGLE[list]
                                                                : STEP_MAKE_PAIR[list];
    // A command that reaches a drag in progress is part of that drag's edit.
    const bool ownEdit = !rootEditor_.dragging;
    if (ownEdit && editStarting)
        editStarting();
    const EditorResponse response = handleRootCommand(rootEditor_, filter_, editorView(), id);
    if (response.switchToCustom && switchedToCustom)
        switchedToCustom();
    if (response.redraw) {
        redrawPlots(response.showMarker);
        if (edited)
            edited();
    }
    if (ownEdit && editDone)
        editDone(name);
    notifyReadout();
}

// The dialog is modal: the mouse events of its own clicks never reach the
// editor, and the release of the double-click that opened it finds no drag.
void ClientArea::editPosition()
{
    const std::optional<Complex> start = typedPositionStart(rootEditor_, filter_);
    if (!start)
        return;
    const std::optional<PointedRoot> root = selectedRoot(rootEditor_, filter_);
    const std::optional<Complex> typed = askPosition(this, *start, root.has_value() && !root->root.pair);
    if (!typed)
        return;
    const std::size_t list = listIndex(rootEditor_);
    // Typed under a drag in progress, the position is part of that drag's edit.
    const bool ownEdit = !rootEditor_.dragging;
    if (ownEdit && editStarting)
        editStarting();
    const EditorResponse response = applyTypedPosition(rootEditor_, filter_, *typed);
    if (response.switchToCustom && switchedToCustom)
        switchedToCustom();
    if (response.redraw) {
        redrawPlots(response.showMarker);
        if (edited)
            edited();
    }
    if (ownEdit && editDone)
        editDone(STEP_MOVE_ROOT[list]);
    notifyReadout();
}

std::string ClientArea::readoutText(const char* modelName) const
{
    const EditorView view = editorView();
    const auto kindOf = [](RootListKind list) { return list == RootListKind::Poles ? RootKind::Pole : RootKind::Zero; };
    if (rootEditor_.dragging) {
        if (const std::optional<PointedRoot> dragged = selectedRoot(rootEditor_, filter_))
            return rootReadout(dragged->root, kindOf(dragged->list), filter_.nyquist);
    } else if (pointer_) {
        const int x = pointer_->x, y = pointer_->y;
        if (const std::optional<PointedRoot> pointed = rootAt(filter_, view, x, y))
            return rootReadout(pointed->root, kindOf(pointed->list), filter_.nyquist);
        if (contains(view.zPlaneRect, x, y)) {
            // Client rows grow downwards, imaginary parts upwards.
            const ZPlaneGeometry& geometry = view.geometry;
            const Complex z{static_cast<double>(std::int64_t{x} - geometry.centreX) / geometry.scale,
                            static_cast<double>(std::int64_t{geometry.centreY} - y) / geometry.scale};
            return zPlaneReadout(z, filter_.nyquist);
        }
        if (contains(layout_.magnitudePane, x, y) || contains(layout_.phasePane, x, y))
            if (const std::optional<double> frequency =
                    columnFrequency(layout_.magnitudePane, filter_.lowestFrequency, filter_.nyquist, x))
                return responseReadout(filter_, *frequency);
    }
    return filterSummary(filter_, modelName);
}
