#pragma once

#include "model/document.h"

#include <QImage>

// The largest width or height, and the range of dots per inch, that a
// picture may be asked for.
constexpr int MAX_PICTURE_SIDE = 8192;
constexpr int MAX_PICTURE_DPI = 2400;

// The full paint of the document's design on a client area of width × height
// pixels whose fonts are made for dpi pixels per inch: what the window shows
// right after start-up, a sample-rate change or a resize at that client size
// (the child controls left out). The roots and the gain are the document's as
// stored; no design is re-run.
//
// It needs a QGuiApplication and makes fonts, layout and views of its own,
// so a live window is left as it is. Null for a side outside
// 1 … MAX_PICTURE_SIDE or a dpi outside 1 … MAX_PICTURE_DPI.
QImage renderFullPaint(const Document& document, int width, int height, int dpi);
