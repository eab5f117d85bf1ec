#include "res/images.h"
#include "res/resource_ids.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QSize>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace {

// The classic 16-colour palette, as 0xRRGGBB.
constexpr std::array<QRgb, 16> PALETTE = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

bool isTransparent(QRgb pixel) { return qAlpha(pixel) == 0; }

QRgb colourOf(QRgb pixel) { return pixel & 0xFFFFFFu; }

// Every pixel either fully transparent or an opaque colour among allowed.
template <typename Colours>
void expectOnlyColours(const QImage& image, const Colours& allowed)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (isTransparent(pixel))
                continue;
            EXPECT_EQ(qAlpha(pixel), 255) << "at " << x << ", " << y;
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), colourOf(pixel)), allowed.end())
                << "colour " << std::hex << colourOf(pixel) << std::dec << " at " << x << ", " << y;
        }
    }
}

int countColour(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!isTransparent(image.pixel(x, y)) && colourOf(image.pixel(x, y)) == colour)
                ++count;
    return count;
}

bool samePixels(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    if (left.size() != right.size())
        return false;
    for (int y = 0; y < left.height(); ++y)
        for (int x = 0; x < left.width(); ++x)
            if (left.pixel(x, y) != right.pixel(x, y))
                return false;
    return true;
}

// A pointing finger tip: an opaque dark pixel with nothing above it.
void expectFingerTipAt(const QImage& image, int x, int y)
{
    const QRgb tip = image.pixel(x, y);
    EXPECT_EQ(qAlpha(tip), 255);
    EXPECT_LT(qGray(tip), 64);
    for (int above = 0; above < y; ++above)
        EXPECT_TRUE(isTransparent(image.pixel(x, above))) << "above the tip at row " << above;
}

constexpr std::array<QRgb, 2> BLACK_AND_WHITE = {0x000000, 0xFFFFFF};

TEST(ResourceIds, FixedIdsAndTexts)
{
    EXPECT_STREQ(APP_TITLE, "Vorbel");
    EXPECT_STREQ(APPLICATION_NAME, "VORBEL");
    EXPECT_EQ(IDM_ABOUT, 104);
    EXPECT_EQ(IDM_EXIT, 105);
    EXPECT_EQ(IDM_ROOT_DELETE, 200);
    EXPECT_EQ(IDM_ROOT_TOGGLE, 201);
    EXPECT_EQ(IDM_ROOT_KEEP, 202);
    EXPECT_EQ(IDI_APP_ICON, 107);
    EXPECT_EQ(IDC_BIN_CURSOR, 130);
    EXPECT_EQ(IDC_HAND_CURSOR, 132);
    EXPECT_STREQ(MENU_FILE, "&File");
    EXPECT_STREQ(MENU_EXIT, "E&xit");
    EXPECT_STREQ(MENU_SAMPLE_RATE, "F&s");
    EXPECT_STREQ(MENU_HELP, "&Help");
    EXPECT_STREQ(MENU_ABOUT, "&About ...");
}

TEST(ResourceIds, SampleRateCommandsInMenuOrder)
{
    constexpr int ids[] = {32771, 32772, 32773, 32774};
    constexpr int rates[] = {44100, 48000, 96000, 192000};
    constexpr const char* texts[] = {"4&4100", "4&8000", "9&6000", "19&2000"};
    ASSERT_EQ(std::size(RATE_COMMANDS), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(RATE_COMMANDS[i].id, ids[i]);
        EXPECT_EQ(RATE_COMMANDS[i].rate, rates[i]);
        EXPECT_STREQ(RATE_COMMANDS[i].text, texts[i]);
    }
    EXPECT_EQ(DEFAULT_RATE_COMMAND, 32771);
}

TEST(Icons, SizesAndUnknownRequests)
{
    EXPECT_EQ(loadIconImage(107, 32).size(), QSize(32, 32));
    EXPECT_EQ(loadIconImage(107, 16).size(), QSize(16, 16));
    EXPECT_TRUE(loadIconImage(108, 16).isNull());
    EXPECT_TRUE(loadIconImage(107, 48).isNull());
    EXPECT_TRUE(loadIconImage(130, 32).isNull());
}

TEST(Icons, SixteenColoursWithRedPolesAndBlueZeros)
{
    for (const auto& [id, size] : {std::pair{107, 32}, std::pair{107, 16}}) {
        SCOPED_TRACE(testing::Message() << "icon " << id << " at " << size);
        const QImage image = loadIconImage(id, size);
        expectOnlyColours(image, PALETTE);
        EXPECT_GT(countColour(image, 0xFF0000), 0);
        EXPECT_GT(countColour(image, 0x0000FF), 0);
        EXPECT_GT(countColour(image, 0x000000), 0);
        EXPECT_GT(countColour(image, 0xFFFFFF), 0);
    }
}

TEST(Icons, PolesRightOfZerosAndMirroredAboutTheRealAxis)
{
    for (const int size : {32, 16}) {
        SCOPED_TRACE(size);
        const QImage image = loadIconImage(107, size);
        int redLeft = size, blueRight = -1;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (isTransparent(pixel))
                    continue;
                if (colourOf(pixel) == 0xFF0000)
                    redLeft = std::min(redLeft, x);
                if (colourOf(pixel) == 0x0000FF)
                    blueRight = std::max(blueRight, x);
            }
        }
        EXPECT_LT(blueRight, redLeft);
        // the marks of a conjugate pair mirror about the row of the real axis
        const int axis = size / 2 - 1;
        for (int y = 0; y < size; ++y) {
            const int mirror = 2 * axis - y;
            if (mirror < 0 || mirror >= size)
                continue;
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (!isTransparent(pixel) && (colourOf(pixel) == 0xFF0000 || colourOf(pixel) == 0x0000FF)) {
                    EXPECT_EQ(image.pixel(x, mirror), pixel) << x << ", " << y;
                }
            }
        }
    }
}

TEST(Icons, ApplicationAndAboutIconsAreIcon107)
{
    const QIcon icon = loadApplicationIcon();
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(samePixels(icon.pixmap(QSize(32, 32)).toImage(), loadIconImage(107, 32)));
    EXPECT_TRUE(samePixels(icon.pixmap(QSize(16, 16)).toImage(), loadIconImage(107, 16)));

    const QPixmap about = loadAboutIcon();
    EXPECT_EQ(about.size(), QSize(32, 32));
    EXPECT_TRUE(samePixels(about.toImage(), loadIconImage(107, 32)));
}

TEST(Cursors, HandPointsWithItsFingerTip)
{
    const QImage image = loadCursorImage(132);
    ASSERT_EQ(image.size(), QSize(32, 32));
    expectOnlyColours(image, BLACK_AND_WHITE);
    expectFingerTipAt(image, 10, 10);

    const QCursor cursor = loadHandCursor();
    EXPECT_EQ(cursor.hotSpot(), QPoint(10, 10));
    EXPECT_EQ(cursor.hotSpot(), QPoint(HAND_HOT_SPOT_X, HAND_HOT_SPOT_Y));
    EXPECT_TRUE(samePixels(cursor.pixmap().toImage(), image));
}

TEST(Cursors, BinColourImageAndHotSpot)
{
    const QImage image = loadCursorImage(130);
    ASSERT_EQ(image.size(), QSize(32, 32));
    expectOnlyColours(image, PALETTE);
    EXPECT_EQ(qAlpha(image.pixel(16, 15)), 255);
    EXPECT_TRUE(isTransparent(image.pixel(0, 0)));
    EXPECT_TRUE(isTransparent(image.pixel(31, 31)));

    const QCursor cursor = loadBinCursor();
    EXPECT_EQ(cursor.hotSpot(), QPoint(16, 15));
    EXPECT_EQ(cursor.hotSpot(), QPoint(BIN_HOT_SPOT_X, BIN_HOT_SPOT_Y));
    EXPECT_TRUE(samePixels(cursor.pixmap().toImage(), image));
}

TEST(Cursors, UnknownIdGivesNullImage)
{
    EXPECT_TRUE(loadCursorImage(131).isNull());
    EXPECT_TRUE(loadCursorImage(107).isNull());
}

}  // namespace
