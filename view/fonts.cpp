#include "view/fonts.h"

#include "view/geometry.h"

#include <QChar>
#include <QFontInfo>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <utility>

int characterHeight(int tenthsOfPoint, int dpi)
{
    const int y = toPixel(static_cast<double>(tenthsOfPoint) * static_cast<double>(dpi) / 72.0);
    return toPixel(std::fabs(static_cast<double>(y)) / 10.0 + 0.5);
}

FontInfo makeFontInfo(const QString& face, int tenthsOfPoint, int dpi)
{
    FontInfo info;
    info.font = QFont(face);
    info.font.setPixelSize(std::max(characterHeight(tenthsOfPoint, dpi), 1));
    const QFontMetrics metrics(info.font);
    info.height = metrics.ascent() + metrics.descent();
    info.averageCharWidth = metrics.averageCharWidth();
    return info;
}

static bool isGenuineSymbolFace(const FontInfo& info)
{
    const QFontMetrics metrics(info.font);
    return QFontInfo(info.font).family().compare(QStringLiteral("Symbol"), Qt::CaseInsensitive) == 0
        && metrics.inFont(QChar(0x03C0)) && metrics.inFont(QChar(0x2212));
}

Fonts createFonts(int dpi)
{
    Fonts fonts;
    fonts.arialFont = std::make_unique<FontInfo>(makeFontInfo(QStringLiteral("Arial"), 80, dpi));
    FontInfo symbol = makeFontInfo(QStringLiteral("Symbol"), 80, dpi);
    if (!isGenuineSymbolFace(symbol))
        symbol = makeFontInfo(QStringLiteral("Arial"), 80, dpi);
    fonts.symbolFont = std::make_unique<FontInfo>(std::move(symbol));
    return fonts;
}
