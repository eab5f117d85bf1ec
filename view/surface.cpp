#include "view/surface.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

__extension__ using Wide = unsigned __int128;

// The part of the image that drawing may touch, as half-open int64 ranges.
struct Bounds {
    std::int64_t left, top, right, bottom;
};

Bounds drawableBounds(const Surface& surface)
{
    return {surface.drawable.left, surface.drawable.top, surface.drawable.right, surface.drawable.bottom};
}

bool inside(const Bounds& b, std::int64_t x, std::int64_t y)
{
    return x >= b.left && x < b.right && y >= b.top && y < b.bottom;
}

// Direct access to the pixels, taken once per drawing operation. A copy of
// the surface shares its image until one of them draws: then that one takes
// pixels of its own, as QImage does for any write.
struct Pixels {
    std::uint32_t* bits;
    std::int64_t wordsPerLine;

    explicit Pixels(Surface& surface)
    {
        if (!surface.image.isDetached() ||
            surface.image.constBits() != reinterpret_cast<const uchar*>(surface.pixels)) {
            surface.pixels = reinterpret_cast<std::uint32_t*>(surface.image.bits());
            surface.wordsPerLine = surface.image.bytesPerLine() / 4;
        }
        bits = surface.pixels;
        wordsPerLine = surface.wordsPerLine;
    }
    void set(std::int64_t x, std::int64_t y, Rgb colour) const
    {
        bits[y * wordsPerLine + x] = 0xff000000u | colour;
    }
};

void updateDrawable(Surface& surface)
{
    surface.drawable = {std::max(surface.clip.left, 0), std::max(surface.clip.top, 0),
                        std::min(surface.clip.right, surface.image.width()),
                        std::min(surface.clip.bottom, surface.image.height())};
}

// Adds the part of [left, right) × [top, bottom) on the drawable area to the
// dirty bounds.
void markDirty(Surface& surface, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    Rect& d = surface.dirty;
    const Rect& b = surface.drawable;
    const int l = static_cast<int>(std::max<std::int64_t>(left, b.left));
    const int t = static_cast<int>(std::max<std::int64_t>(top, b.top));
    const int r = static_cast<int>(std::min<std::int64_t>(right, b.right));
    const int btm = static_cast<int>(std::min<std::int64_t>(bottom, b.bottom));
    if (l >= r || t >= btm)
        return;
    if (d.left >= d.right || d.top >= d.bottom) {
        d = {l, t, r, btm};
        return;
    }
    d = {std::min(d.left, l), std::min(d.top, t), std::max(d.right, r), std::max(d.bottom, btm)};
}

void fillSpan(const Pixels& pixels, std::int64_t y, std::int64_t from, std::int64_t to, Rgb colour)
{
    std::uint32_t* row = pixels.bits + y * pixels.wordsPerLine;
    std::fill(row + from, row + to, 0xff000000u | colour);
}

// The largest s with s² ≤ v.
std::uint64_t squareRootFloor(Wide v)
{
    double estimate = std::sqrt(static_cast<double>(v));
    std::uint64_t s = estimate >= 18446744073709551615.0 ? UINT64_MAX : static_cast<std::uint64_t>(estimate);
    if (v >= (Wide{1} << 100)) {
        // Far beyond double precision: Newton's method from above.
        Wide x = Wide{s} + 4096;
        for (;;) {
            const Wide y = (x + v / x) / 2;
            if (y >= x)
                break;
            x = y;
        }
        s = static_cast<std::uint64_t>(x);
    }
    while (Wide{s} * s > v)
        --s;
    while (s < UINT64_MAX && Wide{s + 1} * (s + 1) <= v)
        ++s;
    return s;
}

// The smallest step i ≥ 0 of a line whose minor offset floor((2·i·minor +
// major) / (2·major)) reaches k.
std::int64_t firstStepReaching(std::int64_t k, std::uint64_t major, std::uint64_t minor)
{
    if (k <= 0)
        return 0;
    if (minor == 0)
        return INT64_MAX;
    const Wide numerator = Wide{2 * static_cast<std::uint64_t>(k) - 1} * major;
    const Wide denominator = Wide{2} * minor;
    const Wide step = (numerator + denominator - 1) / denominator;
    return step > Wide{INT64_MAX} ? INT64_MAX : static_cast<std::int64_t>(step);
}

// A line from (x0, y0) by (dx, dy), seen along its longer (major) axis: one
// pixel per major step i, the minor offset being floor((2·i·minor + major) /
// (2·major)), i.e. the nearest pixel with ties moving away from the start.
struct LineSteps {
    bool xMajor;
    std::int64_t majorStart, majorSign, minorStart, minorSign;
    std::uint64_t major, minor;
};

LineSteps lineSteps(std::int64_t x0, std::int64_t y0, std::int64_t dx, std::int64_t dy)
{
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
    return {xMajor,
            xMajor ? x0 : y0,
            dMajor < 0 ? -1 : 1,
            xMajor ? y0 : x0,
            dMinor < 0 ? -1 : 1,
            static_cast<std::uint64_t>(std::llabs(dMajor)),
            static_cast<std::uint64_t>(std::llabs(dMinor))};
}

// Draws steps first … last, all on the drawable part of the image.
void drawSteps(Surface& surface, const LineSteps& line, std::int64_t first, std::int64_t last)
{
    const Pixels pixels(surface);
    const Rgb colour = surface.pen.colour;
    const bool dotted = surface.pen.dotted;
    if (!dotted && line.minor == 0) {
        // Horizontal and vertical lines, most of every redraw, pixel by pixel
        // without the stepping arithmetic.
        const std::int64_t from = line.majorStart + line.majorSign * (line.majorSign > 0 ? first : last);
        const std::int64_t to = line.majorStart + line.majorSign * (line.majorSign > 0 ? last : first) + 1;
        if (line.xMajor) {
            fillSpan(pixels, line.minorStart, from, to, colour);
        } else {
            std::uint32_t* p = pixels.bits + from * pixels.wordsPerLine + line.minorStart;
            for (std::int64_t y = from; y < to; ++y, p += pixels.wordsPerLine)
                *p = 0xff000000u | colour;
        }
        return;
    }
    const std::uint64_t twoMajor = 2 * line.major, twoMinor = 2 * line.minor;
    std::int64_t offset = 0;
    std::uint64_t remainder = line.major;
    if (first > 0) {
        const Wide start = Wide{twoMinor} * static_cast<std::uint64_t>(first) + line.major;
        offset = static_cast<std::int64_t>(start / twoMajor);
        remainder = static_cast<std::uint64_t>(start % twoMajor);
    }
    std::uint64_t phase = (surface.dotPhase + static_cast<std::uint64_t>(first)) % 6;
    for (std::int64_t i = first; i <= last; ++i) {
        if (!dotted || phase < 3) {
            const std::int64_t a = line.majorStart + line.majorSign * i;
            const std::int64_t c = line.minorStart + line.minorSign * offset;
            if (line.xMajor)
                pixels.set(a, c, colour);
            else
                pixels.set(c, a, colour);
        }
        phase = phase == 5 ? 0 : phase + 1;
        remainder += twoMinor;
        if (remainder >= twoMajor) {
            remainder -= twoMajor;
            ++offset;
        }
    }
}

// All steps of a solid line that lies wholly on the drawable part, as
// drawSteps would draw them, with the least work per pixel: the short
// segments of the response curves are most of the lines of every redraw.
void drawSolidSteps(const Pixels& pixels, std::int64_t x0, std::int64_t y0, std::int64_t dx, std::int64_t dy,
                    Rgb colour)
{
    const std::int64_t ax = std::llabs(dx), ay = std::llabs(dy);
    const bool xMajor = ax >= ay;
    const std::int64_t major = xMajor ? ax : ay, minor = xMajor ? ay : ax;
    const std::int64_t xStep = dx < 0 ? -1 : 1, yStep = dy < 0 ? -pixels.wordsPerLine : pixels.wordsPerLine;
    const std::int64_t majorStep = xMajor ? xStep : yStep, minorStep = xMajor ? yStep : xStep;
    std::uint32_t* p = pixels.bits + y0 * pixels.wordsPerLine + x0;
    const std::uint32_t value = 0xff000000u | colour;
    std::int64_t remainder = major;
    for (std::int64_t i = 0; i < major; ++i) {
        *p = value;
        p += majorStep;
        remainder += 2 * minor;
        if (remainder >= 2 * major) {
            remainder -= 2 * major;
            p += minorStep;
        }
    }
}

// Draws the steps of a line that fall on the drawable part of the image,
// without visiting the others.
void drawLineSteps(Surface& surface, std::int64_t x0, std::int64_t y0, std::int64_t dx, std::int64_t dy)
{
    const LineSteps line = lineSteps(x0, y0, dx, dy);
    const std::int64_t lastStep = static_cast<std::int64_t>(line.major) - 1;
    const Bounds b = drawableBounds(surface);
    if (inside(b, x0, y0) && inside(b, x0 + dx, y0 + dy)) {
        drawSteps(surface, line, 0, lastStep);
        return;
    }
    const std::int64_t majorLow = line.xMajor ? b.left : b.top, majorHigh = line.xMajor ? b.right : b.bottom;
    const std::int64_t minorLow = line.xMajor ? b.top : b.left, minorHigh = line.xMajor ? b.bottom : b.right;
    if (majorLow >= majorHigh || minorLow >= minorHigh)
        return;

    // Steps whose major coordinate is drawable.
    std::int64_t first = 0, last = lastStep;
    if (line.majorSign > 0) {
        first = std::max(first, majorLow - line.majorStart);
        last = std::min(last, majorHigh - 1 - line.majorStart);
    } else {
        first = std::max(first, line.majorStart - (majorHigh - 1));
        last = std::min(last, line.majorStart - majorLow);
    }
    // Steps whose minor offset is drawable: offsets qLow … qHigh.
    const std::int64_t qLow = line.minorSign > 0 ? minorLow - line.minorStart : line.minorStart - (minorHigh - 1);
    const std::int64_t qHigh = line.minorSign > 0 ? minorHigh - 1 - line.minorStart : line.minorStart - minorLow;
    if (qHigh < 0)
        return;
    first = std::max(first, firstStepReaching(qLow, line.major, line.minor));
    const std::int64_t beyond = firstStepReaching(qHigh + 1, line.major, line.minor);
    if (beyond != INT64_MAX)
        last = std::min(last, beyond - 1);
    if (first <= last)
        drawSteps(surface, line, first, last);
}

// The rows of an ellipse's region in one column, as the doubled half-extent:
// the largest Y of the column's parity with X²·h² + Y²·w² ≤ w²·h², X and Y
// being doubled offsets from the box centre.
std::int64_t halfExtent(std::int64_t doubledOffset, std::uint64_t across, std::uint64_t along,
                        std::int64_t parity)
{
    const std::uint64_t offset = static_cast<std::uint64_t>(std::llabs(doubledOffset));
    std::int64_t extent;
    if (across < (1u << 15) && along < (1u << 15)) {
        // Every ellipse of a real window: the products fit in 64 bits.
        const std::uint64_t v = along * along * (across * across - offset * offset);
        std::uint64_t s = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(v)));
        while (s * s > v)
            --s;
        while ((s + 1) * (s + 1) <= v)
            ++s;
        extent = static_cast<std::int64_t>(s / across);
    } else {
        const Wide room = Wide{across} * across - Wide{offset} * offset;
        extent = static_cast<std::int64_t>(squareRootFloor(Wide{along} * along * room) / across);
    }
    if ((extent - parity) % 2 != 0)
        --extent;
    // A flat box can leave its outer columns without an interior point; they
    // keep their middle pixels so that the outline reaches every edge of the box.
    return std::max(extent, parity);
}

// The half extents of every column and row of the last ellipse box size
// drawn: the root marks of one size are drawn many times in every redraw.
// The extents depend on the box's size alone, so the table is a cache that
// never changes what is drawn.
constexpr std::int64_t TABLE_SIDE = 1024;

struct ExtentTable {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t columns[TABLE_SIDE];
    std::int64_t rows[TABLE_SIDE];
};

const ExtentTable* extentsOf(std::int64_t w, std::int64_t h)
{
    static ExtentTable extentTable;
    if (w > TABLE_SIDE || h > TABLE_SIDE)
        return nullptr;
    if (extentTable.width != w || extentTable.height != h) {
        for (std::int64_t c = 0; c < w; ++c)
            extentTable.columns[c] = halfExtent(2 * c - (w - 1), static_cast<std::uint64_t>(w),
                                                static_cast<std::uint64_t>(h), (h - 1) % 2);
        for (std::int64_t r = 0; r < h; ++r)
            extentTable.rows[r] = halfExtent(2 * r - (h - 1), static_cast<std::uint64_t>(h),
                                             static_cast<std::uint64_t>(w), (w - 1) % 2);
        extentTable.width = w;
        extentTable.height = h;
    }
    return &extentTable;
}

}  // namespace

void resizeSurface(Surface& surface, int width, int height)
{
    surface.image = QImage(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    surface.image.fill(Qt::white);
    surface.pixels = nullptr;
    unclipSurface(surface);
}

Rect takeDirtyRect(Surface& surface)
{
    const Rect dirty = surface.dirty;
    surface.dirty = {};
    return dirty;
}

int surfaceWidth(const Surface& surface) { return surface.image.width(); }

int surfaceHeight(const Surface& surface) { return surface.image.height(); }

void clipSurface(Surface& surface, const Rect& r)
{
    surface.clip = r;
    updateDrawable(surface);
}

void unclipSurface(Surface& surface) { clipSurface(surface, {0, 0, surface.image.width(), surface.image.height()}); }

void fillRect(Surface& surface, const Rect& r, Rgb colour)
{
    const Bounds b = drawableBounds(surface);
    const std::int64_t left = std::max<std::int64_t>(r.left, b.left), right = std::min<std::int64_t>(r.right, b.right);
    const std::int64_t top = std::max<std::int64_t>(r.top, b.top), bottom = std::min<std::int64_t>(r.bottom, b.bottom);
    if (left >= right)
        return;
    markDirty(surface, left, top, right, bottom);
    const Pixels pixels(surface);
    for (std::int64_t y = top; y < bottom; ++y)
        fillSpan(pixels, y, left, right, colour);
}

void setPixel(Surface& surface, int x, int y, Rgb colour)
{
    if (inside(drawableBounds(surface), x, y)) {
        markDirty(surface, x, y, std::int64_t{x} + 1, std::int64_t{y} + 1);
        Pixels(surface).set(x, y, colour);
    }
}

Rgb pixelAt(const Surface& surface, int x, int y)
{
    if (x < 0 || y < 0 || x >= surface.image.width() || y >= surface.image.height())
        return WHITE;
    return surface.image.pixel(x, y) & 0xffffffu;
}

void moveTo(Surface& surface, int x, int y)
{
    surface.position = {x, y};
    surface.dotPhase = 0;
}

void lineTo(Surface& surface, int x, int y)
{
    const std::int64_t x0 = surface.position.x, y0 = surface.position.y;
    const std::int64_t dx = x - x0, dy = y - y0;
    surface.position = {x, y};
    if (dx == 0 && dy == 0)
        return;
    markDirty(surface, std::min<std::int64_t>(x0, x), std::min<std::int64_t>(y0, y),
              std::max<std::int64_t>(x0, x) + 1, std::max<std::int64_t>(y0, y) + 1);
    const Bounds b = drawableBounds(surface);
    if (!surface.pen.dotted && inside(b, x0, y0) && inside(b, x, y))
        drawSolidSteps(Pixels(surface), x0, y0, dx, dy, surface.pen.colour);
    else
        drawLineSteps(surface, x0, y0, dx, dy);
    if (surface.pen.dotted) {
        const std::uint64_t steps = static_cast<std::uint64_t>(std::max(std::llabs(dx), std::llabs(dy)));
        surface.dotPhase = static_cast<unsigned>((surface.dotPhase + steps) % 6);
    }
}

void ellipse(Surface& surface, int left, int top, int right, int bottom)
{
    const std::int64_t w = std::int64_t{right} - left, h = std::int64_t{bottom} - top;
    if (w <= 0 || h <= 0)
        return;
    const Bounds b = drawableBounds(surface);
    const std::int64_t columnFrom = std::max<std::int64_t>(left, b.left), columnTo = std::min<std::int64_t>(right, b.right);
    const std::int64_t rowFrom = std::max<std::int64_t>(top, b.top), rowTo = std::min<std::int64_t>(bottom, b.bottom);
    if (columnFrom >= columnTo || rowFrom >= rowTo)
        return;
    markDirty(surface, columnFrom, rowFrom, columnTo, rowTo);

    const std::int64_t sumX = std::int64_t{left} + right - 1, sumY = std::int64_t{top} + bottom - 1;
    const ExtentTable* table = extentsOf(w, h);
    const auto columnExtent = [&](std::int64_t x) {
        return table != nullptr ? table->columns[x - left]
                                : halfExtent(2 * x - sumX, static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h),
                                             (h - 1) % 2);
    };
    const auto rowExtent = [&](std::int64_t y) {
        return table != nullptr ? table->rows[y - top]
                                : halfExtent(2 * y - sumY, static_cast<std::uint64_t>(h), static_cast<std::uint64_t>(w),
                                             (w - 1) % 2);
    };
    const Pixels pixels(surface);
    const Rgb colour = surface.pen.colour;
    auto plot = [&](std::int64_t x, std::int64_t y) {
        if (inside(b, x, y))
            pixels.set(x, y, colour);
    };

    for (std::int64_t x = columnFrom; x < columnTo; ++x) {
        const std::int64_t extent = columnExtent(x);
        const std::int64_t y0 = (sumY - extent) / 2, y1 = (sumY + extent) / 2;
        if (surface.brush == Brush::White && y1 - y0 > 1) {
            const std::int64_t from = std::max(y0 + 1, rowFrom), to = std::min(y1, rowTo);
            for (std::int64_t y = from; y < to; ++y)
                pixels.set(x, y, WHITE);
        }
        plot(x, y0);
        plot(x, y1);
    }
    for (std::int64_t y = rowFrom; y < rowTo; ++y) {
        const std::int64_t extent = rowExtent(y);
        plot((sumX - extent) / 2, y);
        plot((sumX + extent) / 2, y);
    }
}

void frameRect(Surface& surface, const Rect& r, Rgb colour)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    const Bounds b = drawableBounds(surface);
    const std::int64_t left = std::max<std::int64_t>(r.left, b.left), right = std::min<std::int64_t>(r.right, b.right);
    const std::int64_t top = std::max<std::int64_t>(r.top, b.top), bottom = std::min<std::int64_t>(r.bottom, b.bottom);
    if (left >= right || top >= bottom)
        return;
    markDirty(surface, left, top, right, bottom);
    const Pixels pixels(surface);
    for (const std::int64_t y : {std::int64_t{r.top}, std::int64_t{r.bottom} - 1})
        if (y >= top && y < bottom)
            fillSpan(pixels, y, left, right, colour);
    for (const std::int64_t x : {std::int64_t{r.left}, std::int64_t{r.right} - 1})
        if (x >= left && x < right)
            for (std::int64_t y = top; y < bottom; ++y)
                pixels.set(x, y, colour);
}

void textOut(Surface& surface, int x, int y, std::string_view utf8)
{
    if (surface.font == nullptr || surface.image.isNull())
        return;
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const QFontMetrics metrics(*surface.font);
    const std::int64_t width = metrics.horizontalAdvance(text);
    const std::int64_t height = metrics.ascent() + metrics.descent();
    std::int64_t left = x, top = y;
    switch (surface.textAlign) {
    case TextAlign::LeftTop: break;
    case TextAlign::CentreTop: left -= width / 2; break;
    case TextAlign::RightTop: left -= width; break;
    case TextAlign::LeftBottom: top -= height; break;
    }
    const Bounds b = drawableBounds(surface);
    if (left >= b.right || left + width <= b.left || top >= b.bottom || top + height <= b.top)
        return;

    const Rect box{narrowPixel(left), narrowPixel(top), narrowPixel(left + width), narrowPixel(top + height)};
    fillRect(surface, box, WHITE);
    QPainter painter(&surface.image);
    // Glyphs that reach past the font's descent or the advance width (an
    // antialiased descender) would mark pixels outside the box, where the
    // next drawing there would not know to repeat them: text stays in its box.
    const std::int64_t clipLeft = std::max(b.left, left), clipTop = std::max(b.top, top);
    const std::int64_t clipRight = std::min(b.right, left + width), clipBottom = std::min(b.bottom, top + height);
    painter.setClipRect(QRect(QPoint(narrowPixel(clipLeft), narrowPixel(clipTop)),
                              QPoint(narrowPixel(clipRight - 1), narrowPixel(clipBottom - 1))));
    painter.setFont(*surface.font);
    painter.setPen(QColor::fromRgb(0xff000000u | surface.textColour));
    painter.drawText(QPoint(box.left, narrowPixel(top + metrics.ascent())), text);
}
