#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// The icons and cursors, compiled into the program. The images come as
// ARGB32; fully transparent pixels are the background. Everything returning
// a QPixmap, QIcon or QCursor needs a QGuiApplication.

// An icon image by id and side: IDI_APP_ICON at 32 and 16. Any other pair
// gives a null image.
QImage loadIconImage(int id, int size);

// A cursor image by id: IDC_HAND_CURSOR gives the monochrome hand,
// IDC_BIN_CURSOR the 16-colour bin. Any other id gives a null image.
QImage loadCursorImage(int id);

// The window icon: IDI_APP_ICON at 32 and 16 pixels.
QIcon loadApplicationIcon();

// The About box's picture: IDI_APP_ICON at 32 pixels.
QPixmap loadAboutIcon();

// The pointing hand, hot spot at the finger tip.
QCursor loadHandCursor();

// The bin announcing that a release deletes what is dragged: the 16-colour
// image, hot spot at BIN_HOT_SPOT_X, BIN_HOT_SPOT_Y.
QCursor loadBinCursor();
