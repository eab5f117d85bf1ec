#include "view/surface.h"

#include <QFont>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>

namespace {

using PixelSet = std::set<std::pair<int, int>>;

PixelSet pixelsOf(const Surface& surface, Rgb colour)
{
    PixelSet found;
    for (int y = 0; y < surfaceHeight(surface); ++y)
        for (int x = 0; x < surfaceWidth(surface); ++x)
            if (pixelAt(surface, x, y) == colour)
                found.insert({x, y});
    return found;
}

// The pixels a line covers, from its definition: one pixel per step along the
// longer axis, the other coordinate the nearest to the ideal line with ties
// going away from the start; the end point excluded.
PixelSet referenceLine(long long x0, long long y0, long long x1, long long y1, int width, int height)
{
    __extension__ using Wide = __int128;
    PixelSet pixels;
    const long long dx = x1 - x0, dy = y1 - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const long long minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const long long start = xMajor ? x0 : y0;
    const long long sign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    // Only the steps whose major coordinate lies on the image can draw.
    for (long long along = 0; along < (xMajor ? width : height); ++along) {
        const long long i = (along - start) * sign;
        if (i < 0 || i >= major)
            continue;
        const long long offset = static_cast<long long>((Wide{2} * i * minor + major) / (Wide{2} * major));
        const long long across = (xMajor ? y0 : x0) + ((xMajor ? dy : dx) < 0 ? -offset : offset);
        const long long x = xMajor ? along : across, y = xMajor ? across : along;
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels.insert({static_cast<int>(x), static_cast<int>(y)});
    }
    return pixels;
}

class SurfaceTest : public testing::Test {
protected:
    void SetUp() override { resizeSurface(surface, 64, 48); }
    void line(int x0, int y0, int x1, int y1)
    {
        moveTo(surface, x0, y0);
        lineTo(surface, x1, y1);
    }
    Surface surface;
};

TEST_F(SurfaceTest, StartsWhiteWithTheDefaultPen)
{
    EXPECT_EQ(pixelsOf(surface, WHITE).size(), 64u * 48u);
    EXPECT_EQ(surface.pen, DEFAULT_PEN);
    EXPECT_EQ(pixelAt(surface, -1, 3), WHITE);
}

TEST_F(SurfaceTest, AxisAndDiagonalLinesExcludeTheirEndPoint)
{
    line(2, 5, 7, 5);
    EXPECT_EQ(pixelsOf(surface, BLACK), (PixelSet{{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}}));
    resizeSurface(surface, 64, 48);
    line(9, 8, 9, 4);
    EXPECT_EQ(pixelsOf(surface, BLACK), (PixelSet{{9, 8}, {9, 7}, {9, 6}, {9, 5}}));
    resizeSurface(surface, 64, 48);
    line(10, 10, 13, 7);
    EXPECT_EQ(pixelsOf(surface, BLACK), (PixelSet{{10, 10}, {11, 9}, {12, 8}}));
    resizeSurface(surface, 64, 48);
    line(4, 4, 4, 4);
    EXPECT_TRUE(pixelsOf(surface, BLACK).empty());
    EXPECT_EQ(surface.position, (Point{4, 4}));
}

TEST_F(SurfaceTest, EverySlopeFollowsTheNearestPixelRule)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> coordinate(-20, 84);
    for (int trial = 0; trial < 400; ++trial) {
        resizeSurface(surface, 64, 48);
        const int x0 = coordinate(random), y0 = coordinate(random), x1 = coordinate(random), y1 = coordinate(random);
        line(x0, y0, x1, y1);
        EXPECT_EQ(pixelsOf(surface, BLACK), referenceLine(x0, y0, x1, y1, 64, 48))
            << "(" << x0 << ", " << y0 << ") to (" << x1 << ", " << y1 << ")";
    }
}

TEST_F(SurfaceTest, LinesFarOutsideAreClippedExactly)
{
    line(10, -2000000000, 10, 20);
    PixelSet expected;
    for (int y = 0; y < 20; ++y)
        expected.insert({10, y});
    EXPECT_EQ(pixelsOf(surface, BLACK), expected);

    const struct {
        int x0, y0, x1, y1;
    } far[] = {{-1000000, -333333, 1000000, 333340},
               {2147483647, -2147483647 - 1, -2147483647 - 1, 2147483647},
               {-5, 1000000000, 40, -1000000000},
               {1000000, 20, -1000000, 21}};
    for (const auto& f : far) {
        resizeSurface(surface, 64, 48);
        line(f.x0, f.y0, f.x1, f.y1);
        EXPECT_EQ(pixelsOf(surface, BLACK), referenceLine(f.x0, f.y0, f.x1, f.y1, 64, 48))
            << f.x0 << " " << f.y0 << " " << f.x1 << " " << f.y1;
    }
}

TEST_F(SurfaceTest, DottedPenContinuesAlongThePolyline)
{
    const PenSelection dotted(surface, Pen{rgb(1, 2, 3), true});
    moveTo(surface, 0, 0);
    lineTo(surface, 4, 0);  // on 0 1 2, off 3
    lineTo(surface, 10, 0); // off 4 5, on 6 7 8, off 9
    lineTo(surface, 10, 5); // off (10,0) … phase continues: steps 10 11 off, 12 13 14 on
    const PixelSet drawn = pixelsOf(surface, rgb(1, 2, 3));
    EXPECT_EQ(drawn, (PixelSet{{0, 0}, {1, 0}, {2, 0}, {6, 0}, {7, 0}, {8, 0}, {10, 2}, {10, 3}, {10, 4}}));

    // A clipped start keeps the pattern where the line really starts.
    resizeSurface(surface, 64, 48);
    moveTo(surface, -4, 1);
    lineTo(surface, 8, 1);
    EXPECT_EQ(pixelsOf(surface, rgb(1, 2, 3)), (PixelSet{{2, 1}, {3, 1}, {4, 1}}));
}

TEST_F(SurfaceTest, SelectionsPutThePreviousObjectBack)
{
    const QFont font;
    {
        const PenSelection red(surface, Pen{rgb(255, 0, 0), false});
        const BrushSelection hollow(surface, Brush::Hollow);
        const FontSelection selected(surface, &font);
        EXPECT_EQ(surface.pen.colour, rgb(255, 0, 0));
        {
            const PenSelection white(surface, WHITE_PEN);
            EXPECT_EQ(surface.pen, WHITE_PEN);
        }
        EXPECT_EQ(surface.pen.colour, rgb(255, 0, 0));
        EXPECT_EQ(surface.brush, Brush::Hollow);
        EXPECT_EQ(surface.font, &font);
    }
    EXPECT_EQ(surface.pen, DEFAULT_PEN);
    EXPECT_EQ(surface.brush, Brush::White);
    EXPECT_EQ(surface.font, nullptr);
}

// Bounding box of the pixels of one colour: left, top, right, bottom inclusive.
Rect extentOf(const PixelSet& pixels)
{
    Rect r{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
    for (const auto& [x, y] : pixels) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x);
        r.bottom = std::max(r.bottom, y);
    }
    return r;
}

bool eightConnectedRing(const PixelSet& pixels)
{
    if (pixels.empty())
        return false;
    PixelSet seen{*pixels.begin()};
    std::vector<std::pair<int, int>> todo{*pixels.begin()};
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (pixels.count({x + dx, y + dy}) && seen.insert({x + dx, y + dy}).second)
                    todo.push_back({x + dx, y + dy});
    }
    return seen.size() == pixels.size();
}

TEST_F(SurfaceTest, EllipseFillsExactlyItsBox)
{
    const BrushSelection hollow(surface, Brush::Hollow);
    for (int r = 0; r <= 12; ++r) {
        resizeSurface(surface, 64, 48);
        ellipse(surface, 30 - r, 20 - r, 30 + r + 1, 20 + r + 1);
        const PixelSet drawn = pixelsOf(surface, BLACK);
        const Rect extent = extentOf(drawn);
        EXPECT_EQ(extent.left, 30 - r) << r;
        EXPECT_EQ(extent.right, 30 + r) << r;
        EXPECT_EQ(extent.top, 20 - r) << r;
        EXPECT_EQ(extent.bottom, 20 + r) << r;
        EXPECT_TRUE(eightConnectedRing(drawn)) << r;
        for (const auto& [x, y] : drawn)  // symmetric about the centre pixel
            EXPECT_TRUE(drawn.count({60 - x, y}) && drawn.count({x, 40 - y})) << r;
        if (r >= 2) {
            EXPECT_EQ(pixelAt(surface, 30, 20), WHITE) << "hollow centre, radius " << r;
        }
    }
    // An even box, like the unit circle: columns left … right − 1.
    resizeSurface(surface, 64, 48);
    ellipse(surface, 10, 4, 30, 24);
    const Rect even = extentOf(pixelsOf(surface, BLACK));
    EXPECT_EQ(even.left, 10);
    EXPECT_EQ(even.right, 29);
    EXPECT_EQ(even.top, 4);
    EXPECT_EQ(even.bottom, 23);
    // A flat box still reaches all four of its edges.
    resizeSurface(surface, 64, 48);
    ellipse(surface, 5, 10, 45, 12);
    const Rect flat = extentOf(pixelsOf(surface, BLACK));
    EXPECT_EQ(flat.left, 5);
    EXPECT_EQ(flat.right, 44);
    EXPECT_EQ(flat.top, 10);
    EXPECT_EQ(flat.bottom, 11);
}

TEST_F(SurfaceTest, EllipseWithTheWhiteBrushIsFilled)
{
    fillRect(surface, {0, 0, 64, 48}, rgb(9, 9, 9));
    ellipse(surface, 20, 10, 31, 21);
    EXPECT_EQ(pixelAt(surface, 25, 15), WHITE);
    EXPECT_EQ(pixelAt(surface, 20, 15), BLACK);
    EXPECT_EQ(pixelAt(surface, 19, 15), rgb(9, 9, 9));
}

TEST_F(SurfaceTest, HugeEllipsesAreClippedExactly)
{
    const BrushSelection hollow(surface, Brush::Hollow);
    // A circle of radius 10⁶ whose left edge passes through the image.
    ellipse(surface, 10, 24 - 1000000, 10 + 2000001, 24 + 1000001);
    EXPECT_EQ(pixelAt(surface, 10, 24), BLACK);
    EXPECT_EQ(pixelAt(surface, 11, 24), WHITE);
    EXPECT_EQ(pixelAt(surface, 9, 24), WHITE);
    // Near its leftmost point the circle is a vertical run of pixels.
    EXPECT_EQ(pixelsOf(surface, BLACK).size(), 48u);
    for (int y = 0; y < 48; ++y)
        EXPECT_EQ(pixelAt(surface, 10, y), BLACK) << y;

    resizeSurface(surface, 64, 48);
    ellipse(surface, -2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647);
    ellipse(surface, 1000000, 1000000, 1000020, 1000020);
    EXPECT_EQ(pixelsOf(surface, BLACK).size(), 0u);
}

TEST_F(SurfaceTest, FrameLiesAlongTheInsideOfTheRectangle)
{
    frameRect(surface, {5, 6, 9, 9}, GREY);
    EXPECT_EQ(pixelsOf(surface, GREY), (PixelSet{{5, 6}, {6, 6}, {7, 6}, {8, 6}, {5, 7}, {8, 7}, {5, 8}, {6, 8},
                                                  {7, 8}, {8, 8}}));
    resizeSurface(surface, 64, 48);
    frameRect(surface, {5, 6, 5, 9}, GREY);
    frameRect(surface, {-100, -100, 1000, 1000}, GREY);
    EXPECT_TRUE(pixelsOf(surface, GREY).empty());
    frameRect(surface, {-100, 10, 1000, 11}, GREY);
    EXPECT_EQ(pixelsOf(surface, GREY).size(), 64u);
}

TEST_F(SurfaceTest, ClipRectangleLimitsEveryWrite)
{
    const BrushSelection hollow(surface, Brush::Hollow);
    clipSurface(surface, {10, 10, 20, 20});
    fillRect(surface, {0, 0, 64, 48}, rgb(1, 1, 1));
    line(0, 15, 64, 15);
    ellipse(surface, 5, 5, 25, 25);
    setPixel(surface, 5, 5, rgb(2, 2, 2));
    frameRect(surface, {0, 0, 64, 48}, GREY);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            if (!contains({10, 10, 20, 20}, x, y)) {
                ASSERT_EQ(pixelAt(surface, x, y), WHITE) << x << ", " << y;
            }
    EXPECT_EQ(pixelAt(surface, 12, 15), BLACK);
    EXPECT_EQ(pixelAt(surface, 12, 12), rgb(1, 1, 1));
    unclipSurface(surface);
    setPixel(surface, 5, 5, rgb(2, 2, 2));
    EXPECT_EQ(pixelAt(surface, 5, 5), rgb(2, 2, 2));
}

TEST_F(SurfaceTest, PixelsOffTheImageAreIgnored)
{
    setPixel(surface, -1, 0, BLACK);
    setPixel(surface, 64, 0, BLACK);
    setPixel(surface, 0, 48, BLACK);
    setPixel(surface, 0, -2147483647 - 1, BLACK);
    EXPECT_TRUE(pixelsOf(surface, BLACK).empty());
    setPixel(surface, 63, 47, BLACK);
    EXPECT_EQ(pixelsOf(surface, BLACK), (PixelSet{{63, 47}}));

    Surface empty;
    resizeSurface(empty, 0, 0);
    moveTo(empty, -5, -5);
    lineTo(empty, 5, 5);
    ellipse(empty, -5, -5, 5, 5);
    frameRect(empty, {-5, -5, 5, 5}, GREY);
    fillRect(empty, {-5, -5, 5, 5}, GREY);
    EXPECT_EQ(surfaceWidth(empty), 0);
}

// The box of a text: its advance width by the font's height, placed by the
// alignment, opaque white over what was there; the glyphs in the text colour.
TEST_F(SurfaceTest, TextStandsOnItsReferencePoint)
{
    resizeSurface(surface, 200, 60);
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    const FontSelection selected(surface, &font);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance("20000");
    const int height = metrics.ascent() + metrics.descent();

    const struct {
        TextAlign align;
        int left, top;
    } cases[] = {{TextAlign::LeftTop, 100, 20},
                 {TextAlign::CentreTop, 100 - width / 2, 20},
                 {TextAlign::RightTop, 100 - width, 20},
                 {TextAlign::LeftBottom, 100, 20 - height}};
    for (const auto& c : cases) {
        resizeSurface(surface, 200, 60);
        fillRect(surface, {0, 0, 200, 60}, rgb(50, 60, 70));
        surface.textAlign = c.align;
        surface.textColour = rgb(128, 128, 128);
        textOut(surface, 100, 20, "20000");
        PixelSet covered;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 200; ++x)
                if (pixelAt(surface, x, y) != rgb(50, 60, 70))
                    covered.insert({x, y});
        const Rect box = extentOf(covered);
        EXPECT_EQ(box.left, c.left);
        EXPECT_EQ(box.top, c.top);
        EXPECT_EQ(box.right, c.left + width - 1);
        EXPECT_EQ(box.bottom, c.top + height - 1);
            int glyphPixels = 0;  // shades from the text colour to white
        for (int y = c.top; y < c.top + height; ++y)
            for (int x = c.left; x < c.left + width; ++x) {
                const Rgb p = pixelAt(surface, x, y);
                glyphPixels += (p != WHITE && (p & 0xff) >= 128 && p == rgb(p & 0xff, p & 0xff, p & 0xff)) ? 1 : 0;
            }
        EXPECT_GT(glyphPixels, 20);
        EXPECT_EQ(pixelAt(surface, c.left, c.top), WHITE);
    }
}

}  // namespace
