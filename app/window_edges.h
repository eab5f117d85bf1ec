#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>

// Paints the device pixels of a top-level window that Qt leaves unpainted on
// X at a fractional display scale.
//
// Qt takes a window's logical size from the size of its X window and paints
// the window's backing store at that logical size times the scale, both
// rounded to whole pixels. At 2.25 an X window 1200 device pixels wide is 533
// logical pixels, painted as 1199: its last device column belongs to no
// widget, and no paint of Qt's ever reaches it. X shows there whatever it
// had, the window's old pixels after a shrink and anything at all after a
// map, so that partial redraws, a resize and a map each left it different.
// Whenever X may have changed that column or row (a new size, an exposure),
// this fills it with the window's own colour, so that every device pixel of
// the window shows the same however the window was painted last.
//
// Install one for the whole application; it lets every event through and
// does nothing where the platform is not X or the scale whole.
class WindowEdges final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
};
