#include "app/client_area.h"

#include "app/position_dialog.h"
#include "model/designs.h"
#include "model/readout.h"
#include "res/images.h"
#include "res/resource_ids.h"
#include "view/response_view.h"

#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

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

// The layout takes 16-bit sizes, the range its arithmetic is checked over; a
// larger client is laid out as 65535 pixels.
std::uint16_t sizeWord(int pixels) { return static_cast<std::uint16_t>(std::clamp(pixels, 0, 65535)); }

}  // namespace

Rect ClientArea::withinSurface(const Rect& pixels) const
{
    return {std::max(pixels.left, 0), std::max(pixels.top, 0), std::min(pixels.right, surfaceWidth(plots_.surface)),
            std::min(pixels.bottom, surfaceHeight(plots_.surface))};
}

ClientArea::ClientArea(DesignSession& session, const QScreen* screen, QWidget* parent)
    : QWidget(parent), session_(session),
      cursors_{QCursor(Qt::ArrowCursor), QCursor(loadHandCursor()), QCursor(loadBinCursor())}
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A click on the panes or the z-plane takes the keyboard focus back from
    // a control, so that the window's own keys work again; Tab passes it by.
    setFocusPolicy(Qt::ClickFocus);
    resizeSurface(plots_.surface, 0, 0);
    prepareForRatio(screen, screen != nullptr ? screen->devicePixelRatio() : 1.0);
    controls_ = new ControlPanel(session_, this);
    connect(&session_, &DesignSession::changed, this, &ClientArea::follow);
}

// One surface pixel is one device pixel: fonts and the controls' base unit
// are measured in device pixels, and made again for every new ratio.
void ClientArea::prepareForRatio(const QScreen* screen, double ratio)
{
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    fonts_ = createFonts(toPixel(screen->logicalDotsPerInchY() * ratio));
    const QFontMetrics controlFont(font());
    baseUnitY_ = toPixel((controlFont.ascent() + controlFont.descent()) * ratio);
}

// An edit is shown by a partial redraw, as it happens; a design put in place
// as a whole, or a new rate with its new frequency labels, by a full paint.
// A root that a press adds is drawn only from the drag's first movement on,
// which may move nothing: until then the press's redraw is owed. Any other
// change draws at once, that root included.
void ClientArea::follow(DesignChanges what)
{
    if (what & DesignChange::Roots)
        noteRootsChanged(rootEditor_);
    if (what & (DesignChange::Restored | DesignChange::Rate)) {
        plots_.response.cutoffMarkerVisible = session_.cutoffMarkerVisible();
        invalidate();
    } else if (what & (DesignChange::Roots | DesignChange::Positions | DesignChange::Marker)) {
        if (pressing_)
            redrawOwed_ = true;
        else
            redrawPlots();
    }
    if (what & (DesignChange::Roots | DesignChange::Model | DesignChange::Positions | DesignChange::Rate
                | DesignChange::Restored))
        notifyReadout();
}

void ClientArea::redrawPlots()
{
    redrawOwed_ = false;
    const ChangedAreas changed =
        partialRedraw(plots_, layout_, session_.filter(), fonts_, session_.cutoffMarkerVisible());
    for (const Rect& area : {changed.zPlane, changed.magnitude, changed.phase}) {
        if (isEmpty(area))
            continue;
        const QRect logical = toLogical(area);
        rememberDrawn(logical);
        update(logical);
    }
}

void ClientArea::invalidate()
{
    redrawOwed_ = false;
    drawnCount_ = 0;
    update();
}

void ClientArea::setPrecision(Precision precision)
{
    if (precision == plots_.precision)
        return;
    plots_.precision = precision;
    invalidate();
    notifyReadout();
    emit precisionChanged(precision);
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
        fullPaint(plots_, layout_, session_.filter(), fonts_, toClient(exposed));
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
        prepareForRatio(screen(), devicePixelRatioF());
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
    controls_->place(layout_, ratio);
    emit laidOut();
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
    apply(handleMouseMove(rootEditor_, session_.filter(), editorView(), at.x, at.y));
    notifyReadout();
}

// The pointer can come back without moving (the window mapped again beneath
// it): what it points at counts from then on.
void ClientArea::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (rootEditor_.dragging)
        return;
    pointer_ = toClientPixels(event->position());
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

void ClientArea::notifyReadout() { emit readoutChanged(readoutText()); }

void ClientArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Point at = toClientPixels(event->position());
    pointer_ = at;
    // A press that starts a drag begins its step; its edits (a root added
    // from the palette, the switch to "Custom") belong to that step.
    const bool wasDragging = rootEditor_.dragging;
    if (!wasDragging)
        session_.beginGesture(Gesture::RootDrag);
    pressing_ = true;
    apply(handleLeftButtonDown(rootEditor_, session_.filter(), editorView(), at.x, at.y));
    pressing_ = false;
    if (!wasDragging && rootEditor_.dragging) {
        dragName_ = !rootEditor_.fromPalette                              ? rootStepName(STEP_MOVE_ROOT)
                    : selectedPairFlag(rootEditor_, session_.filter()) ? rootStepName(STEP_ADD_ROOT_PAIR)
                                                                       : rootStepName(STEP_ADD_ROOT);
    } else if (!wasDragging) {
        session_.endGesture(Gesture::RootDrag, {});
    }
    notifyReadout();
}

void ClientArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasDragging = rootEditor_.dragging;
    const QString stepName = rootEditor_.outside ? rootStepName(STEP_DELETE_ROOT) : dragName_;
    apply(handleLeftButtonUp(rootEditor_, session_.filter(), editorView()));
    if (wasDragging)
        session_.endGesture(Gesture::RootDrag, stepName);
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
    const EditorResponse response = handleDoubleClick(rootEditor_, session_.filter(), editorView(), at.x, at.y);
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
    const EditorResponse response = handleContextMenu(rootEditor_, session_.filter(), editorView(), at.x, at.y);
    apply(response);
    if (response.openMenu)
        openRootMenu(response.menu, event->globalPos());
}

// Carries out what the editor asks for. An edit or a switch to "Custom" is
// one change of the design, which the session announces and this area then
// follows; once the editor shows the root a press added, the redraw owed
// for it is made.
void ClientArea::apply(const EditorResponse& response, const QString& stepName)
{
    if (response.edit.kind != RootEdit::Kind::None || response.switchToCustom) {
        const bool marker = response.redraw ? response.showMarker : session_.cutoffMarkerVisible();
        session_.editRoots(response.edit, response.switchToCustom, marker, stepName);
    }
    if (redrawOwed_ && !rootEditor_.addedRootUnshown)
        redrawPlots();
    // Qt grabs the mouse for the widget under a pressed button until its
    // release, which is exactly the extent of a drag.
    if (response.setCursor)
        setCursor(cursorOf(cursors_, response.cursor));
    if (response.openPositionDialog)
        editPosition();
}

// The item of the root's kind carries the check mark and does nothing.
void ClientArea::openRootMenu(const RootMenu& items, QPoint at)
{
    QMenu menu(this);
    const auto add = [this, &menu](const char* text, int id, bool checked) {
        QAction* action = menu.addAction(QString::fromUtf8(text));
        action->setData(id);
        action->setCheckable(checked);
        action->setChecked(checked);
        return action;
    };
    connect(add("Delete", items.deleteId, false), &QAction::triggered, this,
            [this] { rootCommand(IDM_ROOT_DELETE); });
    menu.addSeparator();
    QAction* single = add("Single real", items.singleId, items.singleChecked);
    QAction* pair = add("Double complex conjugate", items.pairId, items.pairChecked);
    connect(items.singleChecked ? pair : single, &QAction::triggered, this, [this] { rootCommand(IDM_ROOT_TOGGLE); });
    menu.addSeparator();
    connect(add("Position\u2026", items.positionId, false), &QAction::triggered, this, [this] { editPosition(); });
    menu.exec(at);
}

EditorView ClientArea::editorView() const
{
    return {plots_.zPlane.geometry(), layout_.zPlaneRect, layout_.paletteRect, session_.cutoffMarkerVisible()};
}

// The step name of the selected root's list: [0] for a zero, [1] for a pole.
QString ClientArea::rootStepName(const char* const (&names)[2]) const
{
    return QString::fromUtf8(names[rootEditor_.selectedRoot.list == RootListKind::Poles ? 1 : 0]);
}

// Unlike a mouse event, a menu command leaves the cursor as it is. A command
// that reaches a drag in progress belongs to that drag's step.
void ClientArea::rootCommand(int id)
{
    const QString name = id == IDM_ROOT_DELETE                             ? rootStepName(STEP_DELETE_ROOT)
                         : selectedPairFlag(rootEditor_, session_.filter()) ? rootStepName(STEP_MAKE_SINGLE)
                                                                            : rootStepName(STEP_MAKE_PAIR);
    EditorResponse response = handleRootCommand(rootEditor_, session_.filter(), editorView(), id);
    response.setCursor = false;
    apply(response, name);
    notifyReadout();
}

// The dialog is modal: the mouse events of its own clicks never reach the
// editor, and the release of the double-click that opened it finds no drag.
// Typed under a drag in progress, the position belongs to that drag's step.
void ClientArea::editPosition()
{
    const std::optional<Complex> start = typedPositionStart(rootEditor_, session_.filter());
    if (!start)
        return;
    const std::optional<PointedRoot> root = selectedRoot(rootEditor_, session_.filter());
    const std::optional<Complex> typed = askPosition(this, *start, root.has_value() && !root->root.pair);
    if (!typed)
        return;
    apply(applyTypedPosition(rootEditor_, session_.filter(), *typed), rootStepName(STEP_MOVE_ROOT));
    notifyReadout();
}

namespace {

// The readout's line for a pointer at pointer (none: away), the editor as it
// stands, the views as last drawn.
std::string readoutLine(const FilterState& filter_, const EditorView& view, const Layout& layout_,
                        const RootEditor& rootEditor_, const std::optional<Point>& pointer_, Precision precision)
{
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
    return filterSummary(filter_, modelName(filter_.modelIndex), precision);
}

}  // namespace

QString ClientArea::readoutText() const
{
    return QString::fromStdString(
        readoutLine(session_.filter(), editorView(), layout_, rootEditor_, pointer_, plots_.precision));
}
