#pragma once

#include "view/colours.h"
#include "view/geometry.h"

#include <QFont>
#include <QImage>

#include <cstdint>
#include <string_view>

// The drawing surface: a pixel image of the client area that the views draw
// on and the window shows. Lines, ellipses, frames and pixels are rasterised
// here, exactly and identically everywhere; text goes through QPainter.
//
// Nothing is ever written outside the image or outside the clip rectangle,
// and a line or ellipse far outside costs no more than one across the image.

struct Pen {
    Rgb colour = BLACK;
    bool dotted = false;  // 3 pixels on, 3 off, continued along a polyline

    friend bool operator==(Pen, Pen) = default;
};

constexpr Pen DEFAULT_PEN{BLACK, false};
constexpr Pen WHITE_PEN{WHITE, false};

// The fill of an ellipse: the white default, or hollow.
enum class Brush { White, Hollow };

// Where the reference point of a text lies on its box.
enum class TextAlign { LeftTop, CentreTop, RightTop, LeftBottom };

struct Surface {
    QImage image;  // Format_RGB32, one pixel per client pixel
    Rect clip;     // drawing is limited to this part of the image

    Pen pen = DEFAULT_PEN;
    Brush brush = Brush::White;
    const QFont* font = nullptr;
    Rgb textColour = BLACK;
    TextAlign textAlign = TextAlign::LeftTop;

    Point position;         // the current position of moveTo and lineTo
    unsigned dotPhase = 0;  // where the dotted pattern stands on the current polyline

    // Kept by the drawing functions: the pixels of the image and the part of
    // it that the clip rectangle leaves drawable.
    std::uint32_t* pixels = nullptr;
    std::int64_t wordsPerLine = 0;
    Rect drawable;
    Rect dirty;  // bounds of what was drawn since the last takeDirtyRect
};

// The bounds of everything drawn since the last call (empty when nothing
// was), for showing only what changed.
Rect takeDirtyRect(Surface& surface);

// A white image of the given size (negative sizes are empty), unclipped.
void resizeSurface(Surface& surface, int width, int height);

int surfaceWidth(const Surface& surface);
int surfaceHeight(const Surface& surface);

// Limits drawing to r within the image; unclipSurface lifts the limit.
void clipSurface(Surface& surface, const Rect& r);
void unclipSurface(Surface& surface);

void fillRect(Surface& surface, const Rect& r, Rgb colour);
void setPixel(Surface& surface, int x, int y, Rgb colour);
Rgb pixelAt(const Surface& surface, int x, int y);  // WHITE off the image

// moveTo sets the current position and starts a new polyline; lineTo draws
// in the current pen from it up to, but not including, (x, y), which becomes
// the current position.
void moveTo(Surface& surface, int x, int y);
void lineTo(Surface& surface, int x, int y);

// An ellipse inside the box whose right and bottom edges are exclusive: its
// outline touches columns left and right − 1 and rows top and bottom − 1.
// Outline in the current pen, interior in the current brush.
void ellipse(Surface& surface, int left, int top, int right, int bottom);

// A one-pixel frame along the inside of r.
void frameRect(Surface& surface, const Rect& r, Rgb colour);

// Text in the current font and text colour over an opaque white box of the
// text's advance width and the font's height, placed by the text alignment.
// Nothing is drawn outside that box.
void textOut(Surface& surface, int x, int y, std::string_view utf8);

// Selections that put the previous pen, brush or font back when they end.
template <typename T, T Surface::*selected>
class Selection {
public:
    Selection(Surface& surface, T value) : surface_(surface), previous_(surface.*selected)
    {
        surface.*selected = value;
    }
    ~Selection() { surface_.*selected = previous_; }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    Surface& surface_;
    T previous_;
};

using PenSelection = Selection<Pen, &Surface::pen>;
using BrushSelection = Selection<Brush, &Surface::brush>;
using FontSelection = Selection<const QFont*, &Surface::font>;
