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
    return {std::max<std::int64_t>(surface.clip.left, 0), std::max<std::int64_t>(surface.clip.top, 0),
            std::min<std::int64_t>(surface.clip.right, surface.image.width()),
            std::min<std::int64_t>(surface.clip.bottom, surface.image.height())};
}

bool inside(const Bounds& b, std::int64_t x, std::int64_t y)
{
    return x >= b.left && x < b.right && y >= b.top && y < b.bottom;
}

// Direct access to the pixels, taken once per drawing operation.
struct Pixels {
    std::uint32_t* bits;
    std::int64_t wordsPerLine;

    explicit Pixels(Surface& surface)
        : bits(reinterpret_cast<std::uint32_t*>(surface.image.bits())),
          wordsPerLine(surface.image.bytesPerLine() / 4)
    {
    }
    void set(std::int64_t x, std::int64_t y, Rgb colour) const
    {
        bits[y * wordsPerLine + x] = 0xff000000u | colour;
    }
};

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

// Draws the steps of a line from (x0, y0): along the major axis one pixel per
// step, the minor offset being floor((2·i·|minor| + |major|) / (2·|major|)),
// i.e. the nearest pixel with ties moving away from the start. Steps off the
// drawable bounds are skipped without being visited.
void drawLineSteps(Surface& surface, std::int64_t x0, std::int64_t y0, std::int64_t dx, std::int64_t dy)
{
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t dMajor = xMajor ? dx : dy;
    const std::int64_t dMinor = xMajor ? dy : dx;
    const std::uint64_t major = static_cast<std::uint64_t>(std::llabs(dMajor));
    const std::uint64_t minor = static_cast<std::uint64_t>(std::llabs(dMinor));
    const std::int64_t majorSign = dMajor < 0 ? -1 : 1;
    const std::int64_t minorSign = dMinor < 0 ? -1 : 1;
    const std::int64_t majorStart = xMajor ? x0 : y0;
    const std::int64_t minorStart = xMajor ? y0 : x0;

    const Bounds b = drawableBounds(surface);
    const std::int64_t majorLow = xMajor ? b.left : b.top, majorHigh = xMajor ? b.right : b.bottom;
    const std::int64_t minorLow = xMajor ? b.top : b.left, minorHigh = xMajor ? b.bottom : b.right;
    if (majorLow >= majorHigh || minorLow >= minorHigh)
        return;

    // Steps whose major coordinate is drawable.
    std::int64_t first = 0, last = static_cast<std::int64_t>(major) - 1;
    if (majorSign > 0) {
        first = std::max(first, majorLow - majorStart);
        last = std::min(last, majorHigh - 1 - majorStart);
    } else {
        first = std::max(first, majorStart - (majorHigh - 1));
        last = std::min(last, majorStart - majorLow);
    }
    // Steps whose minor offset is drawable: offsets qLow … qHigh.
    const std::int64_t qLow = minorSign > 0 ? minorLow - minorStart : minorStart - (minorHigh - 1);
    const std::int64_t qHigh = minorSign > 0 ? minorHigh - 1 - minorStart : minorStart - minorLow;
    if (qHigh < 0)
        return;
    first = std::max(first, firstStepReaching(qLow, major, minor));
    const std::int64_t beyond = firstStepReaching(qHigh + 1, major, minor);
    if (beyond != INT64_MAX)
        last = std::min(last, beyond - 1);
    if (first > last)
        return;

    const Wide start = Wide{2} * static_cast<std::uint64_t>(first) * minor + major;
    std::int64_t offset = static_cast<std::int64_t>(start / (Wide{2} * major));
    std::uint64_t remainder = static_cast<std::uint64_t>(start % (Wide{2} * major));
    const std::uint64_t twoMajor = 2 * major, twoMinor = 2 * minor;

    const Pixels pixels(surface);
    const Rgb colour = surface.pen.colour;
    const bool dotted = surface.pen.dotted;
    std::uint64_t phase = (surface.dotPhase + static_cast<std::uint64_t>(first)) % 6;
    for (std::int64_t i = first; i <= last; ++i) {
        if (!dotted || phase < 3) {
            const std::int64_t a = majorStart + majorSign * i;
            const std::int64_t c = minorStart + minorSign * offset;
            if (xMajor)
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

// The rows of an ellipse's region in one column, as the doubled half-extent:
// the largest Y of the column's parity with X²·h² + Y²·w² ≤ w²·h², X and Y
// being doubled offsets from the box centre.
std::int64_t halfExtent(std::int64_t doubledOffset, std::uint64_t across, std::uint64_t along,
                        std::int64_t parity)
{
    const Wide offsetSquared = Wide{static_cast<std::uint64_t>(std::llabs(doubledOffset))} *
                               static_cast<std::uint64_t>(std::llabs(doubledOffset));
    const Wide room = Wide{across} * across - offsetSquared;
    const Wide v = Wide{along} * along * room;
    std::int64_t extent = static_cast<std::int64_t>(squareRootFloor(v) / across);
    if ((extent - parity) % 2 != 0)
        --extent;
    // A flat box can leave its outer columns without an interior point; they
    // keep their middle pixels so that the outline reaches every edge of the box.
    return std::max(extent, parity);
}

}  // namespace

void resizeSurface(Surface& surface, int width, int height)
{
    surface.image = QImage(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    surface.image.fill(Qt::white);
    unclipSurface(surface);
}

int surfaceWidth(const Surface& surface) { return surface.image.width(); }

int surfaceHeight(const Surface& surface) { return surface.image.height(); }

void clipSurface(Surface& surface, const Rect& r) { surface.clip = r; }

void unclipSurface(Surface& surface) { surface.clip = {0, 0, surface.image.width(), surface.image.height()}; }

void fillRect(Surface& surface, const Rect& r, Rgb colour)
{
    const Bounds b = drawableBounds(surface);
    const std::int64_t left = std::max<std::int64_t>(r.left, b.left), right = std::min<std::int64_t>(r.right, b.right);
    const std::int64_t top = std::max<std::int64_t>(r.top, b.top), bottom = std::min<std::int64_t>(r.bottom, b.bottom);
    if (left >= right)
        return;
    const Pixels pixels(surface);
    for (std::int64_t y = top; y < bottom; ++y)
        fillSpan(pixels, y, left, right, colour);
}

void setPixel(Surface& surface, int x, int y, Rgb colour)
{
    if (inside(drawableBounds(surface), x, y))
        Pixels(surface).set(x, y, colour);
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
    drawLineSteps(surface, x0, y0, dx, dy);
    const std::uint64_t steps = static_cast<std::uint64_t>(std::max(std::llabs(dx), std::llabs(dy)));
    surface.dotPhase = static_cast<unsigned>((surface.dotPhase + steps) % 6);
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

    const std::int64_t sumX = std::int64_t{left} + right - 1, sumY = std::int64_t{top} + bottom - 1;
    const std::uint64_t width = static_cast<std::uint64_t>(w), height = static_cast<std::uint64_t>(h);
    const Pixels pixels(surface);
    const Rgb colour = surface.pen.colour;
    auto plot = [&](std::int64_t x, std::int64_t y) {
        if (inside(b, x, y))
            pixels.set(x, y, colour);
    };

    for (std::int64_t x = columnFrom; x < columnTo; ++x) {
        const std::int64_t extent = halfExtent(2 * x - sumX, width, height, (sumY % 2 + 2) % 2);
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
        const std::int64_t extent = halfExtent(2 * y - sumY, height, width, (sumX % 2 + 2) % 2);
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
    painter.setClipRect(QRect(QPoint(static_cast<int>(b.left), static_cast<int>(b.top)),
                              QPoint(static_cast<int>(b.right) - 1, static_cast<int>(b.bottom) - 1)));
    painter.setFont(*surface.font);
    painter.setPen(QColor::fromRgb(0xff000000u | surface.textColour));
    painter.drawText(QPoint(box.left, narrowPixel(top + metrics.ascent())), text);
}
