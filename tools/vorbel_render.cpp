// vorbel-render: writes the full paint of one filter state to a PNG file, the
// picture the window shows right after start-up, a sample-rate change or a
// resize, without a display.

#include "app/slider_scales.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "view/render_picture.h"

#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

constexpr const char* USAGE =
    "usage: vorbel-render [--model 0-8] [--rate 44100|48000|96000|192000] [--cutoff-pos 0-2000] "
    "[--q-pos 0-2000] [--size WxH] [--dpi 1-2400] --out FILE.png\n";

constexpr int MAX_SIDE = MAX_PICTURE_SIDE;

struct Options {
    int model = 0;
    int rate = 44100;
    int cutoffPosition = 1000;
    int qPosition = 0;
    int width = 800;
    int height = 600;
    int dpi = 96;
    const char* out = nullptr;
};

// The whole text as a decimal number within [low, high], or nothing.
std::optional<int> parseNumber(std::string_view text, int low, int high)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

bool parseSize(std::string_view text, Options& options)
{
    const std::string_view::size_type cross = text.find('x');
    if (cross == std::string_view::npos)
        return false;
    const std::optional<int> width = parseNumber(text.substr(0, cross), 1, MAX_SIDE);
    const std::optional<int> height = parseNumber(text.substr(cross + 1), 1, MAX_SIDE);
    if (!width || !height)
        return false;
    options.width = *width;
    options.height = *height;
    return true;
}

bool parseOption(std::string_view name, std::string_view value, Options& options)
{
    std::optional<int> number;
    if (name == "--model") {
        number = parseNumber(value, 0, MODEL_COUNT - 1);
        options.model = number.value_or(0);
    } else if (name == "--rate") {
        number = parseNumber(value, 44100, 192000);
        if (number && *number != 44100 && *number != 48000 && *number != 96000 && *number != 192000)
            number.reset();
        options.rate = number.value_or(0);
    } else if (name == "--cutoff-pos") {
        number = parseNumber(value, 0, SLIDER_TOP);
        options.cutoffPosition = number.value_or(0);
    } else if (name == "--q-pos") {
        number = parseNumber(value, 0, SLIDER_TOP);
        options.qPosition = number.value_or(0);
    } else if (name == "--dpi") {
        number = parseNumber(value, 1, MAX_PICTURE_DPI);
        options.dpi = number.value_or(0);
    } else if (name == "--size") {
        return parseSize(value, options);
    } else if (name == "--out") {
        options.out = value.data();
        return !value.empty();
    }
    return number.has_value();
}

std::optional<Options> parseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc || !parseOption(argv[i], argv[i + 1], options))
            return std::nullopt;
    }
    if (options.out == nullptr)
        return std::nullopt;
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        std::fputs(USAGE, stderr);
        return 2;
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sees no argument of ours, so that none is taken for one of its own.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    const QGuiApplication application(qtArgc, qtArgv);

    const Document document = designedDocument(options->model, options->rate, options->cutoffPosition, options->qPosition);

    const QImage picture = renderFullPaint(document, options->width, options->height, options->dpi);
    if (picture.isNull()) {
        std::fputs("vorbel-render: cannot create the fonts\n", stderr);
        return 1;
    }

    if (!picture.save(QString::fromLocal8Bit(options->out), "PNG")) {
        std::fprintf(stderr, "vorbel-render: cannot write %s\n", options->out);
        return 1;
    }
    return 0;
}
