#pragma once

#include <QFont>
#include <QString>

// The two fonts of the display, created once by createFonts and kept until
// releaseFonts.
struct FontInfo {
    QFont font;
    int height = 0;            // ascent plus descent, in pixels
    int averageCharWidth = 0;  // in pixels
};

// "Arial" for every label and for the layout's metrics; "Symbol" for the
// phase labels +π, 0, −π. Null until createFonts and after releaseFonts.
extern FontInfo* arialFont;
extern FontInfo* symbolFont;

// The character height in pixels of a font of the given size in tenths of a
// point on a surface of dpi vertical pixels per inch, halves going up:
// 8 points give 8 at 72 dpi, 11 at 96, 13 at 120, 16 at 144, 21 at 192.
int characterHeight(int tenthsOfPoint, int dpi);

// The font of the named face whose character height is
// characterHeight(tenthsOfPoint, dpi) pixels (at least 1), with its metrics.
// A face that is not installed resolves to the closest one the system has.
FontInfo makeFontInfo(const QString& face, int tenthsOfPoint, int dpi);

// Creates both fonts at 8 points for a surface of dpi vertical pixels per
// logical inch, measuring each. Later calls replace nothing.
//
// The symbol font is a face actually named "Symbol" only where that face maps
// π (U+03C0) and − (U+2212) to glyphs of its own; everywhere else it is the
// Arial face at the same size, so that the phase labels look the same on
// every machine that lacks such a font, whatever fontconfig would substitute.
void createFonts(int dpi);

// Frees both fonts that createFonts made and sets the pointers to null; to be
// called while the QGuiApplication still exists, since a font must not
// outlive it. A later createFonts makes them afresh.
void releaseFonts();
