#pragma once

#include <QFont>
#include <QString>

#include <memory>

// One font of the display with the metrics the layout and the labels use.
struct FontInfo {
    QFont font;
    int height = 0;            // ascent plus descent, in pixels
    int averageCharWidth = 0;  // in pixels
};

// The two fonts of the display: "Arial" for every label and for the layout's
// metrics, "Symbol" for the phase labels +π, 0, −π. A missing one (null)
// leaves its texts out. The window owns them and drops them before the
// application object goes, since a font must not outlive it.
struct Fonts {
    std::unique_ptr<FontInfo> arialFont;
    std::unique_ptr<FontInfo> symbolFont;
};

// The character height in pixels of a font of the given size in tenths of a
// point on a surface of dpi vertical pixels per inch, halves going up:
// 8 points give 8 at 72 dpi, 11 at 96, 13 at 120, 16 at 144, 21 at 192.
int characterHeight(int tenthsOfPoint, int dpi);

// The font of the named face whose character height is
// characterHeight(tenthsOfPoint, dpi) pixels (at least 1), with its metrics.
// A face that is not installed resolves to the closest one the system has.
FontInfo makeFontInfo(const QString& face, int tenthsOfPoint, int dpi);

// Both fonts at 8 points for a surface of dpi vertical pixels per logical
// inch, each measured.
//
// The symbol font is a face actually named "Symbol" only where that face maps
// π (U+03C0) and − (U+2212) to glyphs of its own; everywhere else it is the
// Arial face at the same size, so that the phase labels look the same on
// every machine that lacks such a font, whatever fontconfig would substitute.
Fonts createFonts(int dpi);
