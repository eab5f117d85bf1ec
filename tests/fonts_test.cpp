#include "view/fonts.h"

#include <QChar>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>

#include <gtest/gtest.h>

#include <limits>

namespace {

const QString ARIAL_FACE = QStringLiteral("Liberation Sans");

TEST(CharacterHeight, EightPointsByDpi)
{
    EXPECT_EQ(characterHeight(80, 72), 8);
    EXPECT_EQ(characterHeight(80, 96), 11);
    EXPECT_EQ(characterHeight(80, 120), 13);
    EXPECT_EQ(characterHeight(80, 144), 16);
    EXPECT_EQ(characterHeight(80, 192), 21);
}

TEST(CharacterHeight, HalvesGoUpAndSignIsDropped)
{
    EXPECT_EQ(characterHeight(105, 72), 11);
    EXPECT_EQ(characterHeight(104, 72), 10);
    EXPECT_EQ(characterHeight(80, -96), 11);
    EXPECT_EQ(characterHeight(80, 0), 0);
}

TEST(CharacterHeight, ExtremeSizesSaturate)
{
    constexpr int big = std::numeric_limits<int>::max();
    constexpr int small = std::numeric_limits<int>::min();
    EXPECT_EQ(characterHeight(big, big), 214748365);
    EXPECT_EQ(characterHeight(small, big), 214748365);
}

// Liberation Sans, the face fontconfig gives for "Arial", measured at the
// character heights of 8 points: ascent plus descent, and the average width.
TEST(MakeFontInfo, ArialResolvesToLiberationSansWithItsMetrics)
{
    struct Case {
        int dpi, pixels, height, averageCharWidth;
    };
    for (const Case c : {Case{72, 8, 9, 5}, Case{96, 11, 12, 6}, Case{120, 13, 15, 8}, Case{144, 16, 17, 9},
             Case{192, 21, 23, 12}}) {
        SCOPED_TRACE(c.dpi);
        const FontInfo info = makeFontInfo(QStringLiteral("Arial"), 80, c.dpi);
        EXPECT_EQ(QFontInfo(info.font).family(), ARIAL_FACE);
        EXPECT_EQ(QFontInfo(info.font).pixelSize(), c.pixels);
        EXPECT_EQ(info.height, c.height);
        EXPECT_EQ(info.averageCharWidth, c.averageCharWidth);
    }
}

TEST(MakeFontInfo, HeightLeavesOutExternalLeading)
{
    const FontInfo info = makeFontInfo(QStringLiteral("Arial"), 80, 144);
    const QFontMetrics metrics(info.font);
    ASSERT_GT(metrics.leading(), 0);
    EXPECT_EQ(info.height, metrics.lineSpacing() - metrics.leading());
}

TEST(MakeFontInfo, ZeroDpiStillGivesAUsableFont)
{
    const FontInfo info = makeFontInfo(QStringLiteral("Arial"), 80, 0);
    EXPECT_EQ(info.font.pixelSize(), 1);
    EXPECT_GT(info.height, 0);
}

TEST(CreateFonts, BothFontsAtEightPointsOwnedByTheCaller)
{
    const Fonts fonts = createFonts(96);
    const FontInfo* arialFont = fonts.arialFont.get();
    const FontInfo* symbolFont = fonts.symbolFont.get();
    ASSERT_NE(arialFont, nullptr);
    ASSERT_NE(symbolFont, nullptr);

    EXPECT_EQ(QFontInfo(arialFont->font).family(), ARIAL_FACE);
    EXPECT_EQ(QFontInfo(arialFont->font).pixelSize(), 11);
    EXPECT_EQ(arialFont->height, 12);
    EXPECT_EQ(arialFont->averageCharWidth, 6);

    const QFontMetrics symbolMetrics(symbolFont->font);
    EXPECT_TRUE(symbolMetrics.inFont(QChar(0x03C0)));
    EXPECT_TRUE(symbolMetrics.inFont(QChar(0x2212)));
    EXPECT_EQ(QFontInfo(symbolFont->font).pixelSize(), 11);
    if (!QFontDatabase::families().contains(QStringLiteral("Symbol"), Qt::CaseInsensitive)) {
        EXPECT_EQ(QFontInfo(symbolFont->font).family(), ARIAL_FACE);
    }

    // Fonts for another dpi are new ones; the first stay as they were.
    const Fonts other = createFonts(192);
    EXPECT_NE(other.arialFont.get(), arialFont);
    EXPECT_NE(other.symbolFont.get(), symbolFont);
    EXPECT_EQ(arialFont->font.pixelSize(), 11);
    EXPECT_EQ(arialFont->height, 12);
}

TEST(CreateFonts, FontsForTheNextDpiAreMadeAfresh)
{
    Fonts fonts = createFonts(96);
    fonts = Fonts{};
    EXPECT_EQ(fonts.arialFont, nullptr);
    EXPECT_EQ(fonts.symbolFont, nullptr);

    // 8 points at 192 dpi: 80 · 192 / 72 = 213 tenths of a pixel, 21 pixels.
    fonts = createFonts(192);
    ASSERT_NE(fonts.arialFont, nullptr);
    ASSERT_NE(fonts.symbolFont, nullptr);
    EXPECT_EQ(fonts.arialFont->font.pixelSize(), 21);
    EXPECT_EQ(fonts.symbolFont->font.pixelSize(), 21);
}

}  // namespace
