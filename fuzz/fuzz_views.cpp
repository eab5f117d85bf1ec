// libFuzzer target over the filter model and the views. The input bytes build
// an arbitrary filter (roots, flags and parameters that may be NaN, infinite,
// huge, tiny or denormal, up to 20 slots a list), an arbitrary client size and
// update rectangles, and a sequence of the operations the program runs on
// them: evaluation, gain normalisation, every design, layout, full paint and
// partial redraw. Whatever the values, nothing may crash, invoke undefined
// behaviour or touch memory outside its bounds.

#include "model/designs.h"
#include "model/filter_state.h"
#include "view/fonts.h"
#include "view/layout.h"
#include "view/paint.h"
#include "view/response_view.h"
#include "view/surface.h"
#include "view/zplane_view.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Reads the input front to back; past its end every read gives zeros.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    std::uint16_t word()
    {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }

    std::int32_t int32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        std::int32_t result;
        std::memcpy(&result, &value, sizeof result);
        return result;
    }

    // Mostly the values that break arithmetic, else any bit pattern or an
    // ordinary value of either sign.
    double real()
    {
        constexpr double specials[] = {
            0.0,
            -0.0,
            1.0,
            -1.0,
            0.5,
            std::numeric_limits<double>::quiet_NaN(),
            std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::max(),
            -std::numeric_limits<double>::max(),
            std::numeric_limits<double>::min(),
            std::numeric_limits<double>::denorm_min(),
            -std::numeric_limits<double>::denorm_min(),
            std::numeric_limits<double>::epsilon(),
            1e300,
            -1e300,
            1e-300,
            2147483648.0,
            -2147483649.0,
            4294967296.0,
            22050.0,
            96000.0,
            10.0,
            0.7071067811865476,
        };
        constexpr std::size_t count = sizeof specials / sizeof specials[0];
        const std::uint8_t kind = byte();
        if (kind < count)
            return specials[kind];
        if (kind < 160) {
            std::uint64_t bits = 0;
            for (int i = 0; i < 8; ++i)
                bits |= static_cast<std::uint64_t>(byte()) << (8 * i);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        const double magnitude = static_cast<double>(word()) / 16384.0;
        return kind & 1 ? -magnitude : magnitude;
    }

    Rect rect() { return {int32(), int32(), int32(), int32()}; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void fillList(Bytes& in, RootList& list)
{
    list.count = in.byte() % (MAX_ROOTS + 1);
    for (int i = 0; i < MAX_ROOTS; ++i) {
        list.positions[i] = {in.real(), in.real()};
        list.pairFlags[i] = in.byte() & 1;
    }
}

// Keeps the fuzzed surface small enough for quick runs; a surface smaller
// than the layout is a case of its own, drawing past the image.
int surfaceSide(std::uint16_t side, std::uint8_t shrink)
{
    const int limit = 1 + (shrink & 3) * 300;
    return std::min<int>(side, limit);
}

// A client size: mostly one of a screen's, now and then any 16-bit size.
std::uint16_t clientSide(Bytes& in)
{
    const std::uint16_t side = in.word();
    return side & 0x8000u ? side : static_cast<std::uint16_t>(side % 1024u);
}

// The fonts of a 96 dpi screen, made once for every input, since making them
// is slow; each input draws with copies of them.
Fonts screenFonts;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    static_cast<void>(argc);
    new QGuiApplication(qtArgc, qtArgv);
    screenFonts = createFonts(96);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes in(data, size);
    FilterState filter = initialFilterState();
    filter.nyquist = in.real();
    filter.cutoff = in.real();
    filter.q = in.real();
    filter.gain = in.real();
    if (in.byte() & 1)
        filter.lowestFrequency = in.real();
    filter.modelIndex = in.byte() % (MODEL_COUNT + 1);
    fillList(in, filter.zeros);
    fillList(in, filter.poles);
    Plots plots;
    plots.response.cutoffMarkerVisible = in.byte() & 1;

    // The layout's font metrics and dialog unit, as any screen might give.
    Fonts fonts;
    fonts.arialFont = std::make_unique<FontInfo>(*screenFonts.arialFont);
    fonts.symbolFont = std::make_unique<FontInfo>(*screenFonts.symbolFont);
    if (in.byte() & 1) {
        fonts.arialFont->height = in.int32();
        fonts.arialFont->averageCharWidth = in.int32();
    }
    const FontInfo* const arial = fonts.arialFont.get();
    const int baseUnitY = in.int32();

    Layout layout;
    Surface& surface = plots.surface;
    const std::uint16_t width = clientSide(in), height = clientSide(in);
    layoutPlots(layout, plots, width, height, arial, baseUnitY);
    const std::uint8_t shrink = in.byte();
    resizeSurface(surface, surfaceSide(width, shrink), surfaceSide(height, static_cast<std::uint8_t>(shrink >> 2)));
    fullPaint(plots, layout, filter, fonts, {0, 0, surfaceWidth(surface), surfaceHeight(surface)});

    for (int step = 0; step < 24 && !in.empty(); ++step) {
        switch (in.byte() % 12) {
        case 0: {
            const Complex h = evaluateResponse(filter, {in.real(), in.real()});
            static_cast<void>(h);
            break;
        }
        case 1: normalizeGain(filter); break;
        case 2:
            filter.modelIndex = in.byte() % (MODEL_COUNT + 1);
            applyModel(filter);
            break;
        case 3:
            filter.nyquist = in.real();
            filter.cutoff = in.real();
            filter.q = in.real();
            applyModel(filter);
            break;
        case 4: fullPaint(plots, layout, filter, fonts, in.rect()); break;
        case 5: partialRedraw(plots, layout, filter, fonts, in.byte() & 1); break;
        case 6: {
            RootList& list = in.byte() & 1 ? filter.poles : filter.zeros;
            const int slot = in.byte() % MAX_ROOTS;
            list.positions[slot] = {in.real(), in.real()};
            list.pairFlags[slot] = in.byte() & 1;
            list.count = in.byte() % (MAX_ROOTS + 1);
            break;
        }
        case 7: {
            const std::uint16_t w = clientSide(in), h = clientSide(in);
            layoutPlots(layout, plots, w, h, arial, baseUnitY);
            if (in.byte() & 1)
                resizeSurface(surface, surfaceSide(w, shrink), surfaceSide(h, static_cast<std::uint8_t>(shrink >> 2)));
            break;
        }
        case 8: plots.zPlane.drawZPlane(surface, in.rect(), filter, in.byte() & 1); break;
        case 9: plots.response.drawResponse(surface, in.rect(), in.rect(), filter, fonts, in.byte() & 1); break;
        case 10: {
            const Rect magnitude = in.rect();
            const ResponseAxes axes = responseAxes(magnitude, in.rect(), filter);
            static_cast<void>(frequencyColumn(axes, magnitude, in.real()));
            static_cast<void>(decibelRow(axes, in.real()));
            break;
        }
        default: static_cast<void>(characterHeight(in.int32(), in.int32())); break;
        }
    }
    return 0;
}
