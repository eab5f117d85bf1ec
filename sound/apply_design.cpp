#include "sound/apply_design.h"

#include "model/audio_cascade.h"
#include "sound/sound_file.h"

#include <sndfile.h>
#include <soxr.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <vector>

namespace {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFileHandle = std::unique_ptr<SNDFILE, SoundFileCloser>;

struct ResamplerDeleter {
    void operator()(soxr* resampler) const { soxr_delete(resampler); }
};
using ResamplerHandle = std::unique_ptr<soxr, ResamplerDeleter>;

constexpr sf_count_t BLOCK_FRAMES = 8192;

std::optional<int> formatFor(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".wav")
        return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == ".flac")
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == ".ogg" || extension == ".oga")
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    return std::nullopt;
}

// A new file beside target, created (never opened if it exists) with the
// permissions a new file gets; -1 and errno when none can be made.
int createBeside(const std::string& target, std::string& path)
{
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(entropy()));
        path = target + suffix;
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

// The written file, removed again unless kept.
class PartFile {
public:
    explicit PartFile(std::string path) : path_(std::move(path)) {}
    ~PartFile()
    {
        if (!kept_)
            std::remove(path_.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    void keep() { kept_ = true; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool kept_ = false;
};

// Filters an interleaved block in place, each channel with its own state.
void filterBlock(const CascadeCoefficients& cascade, std::vector<CascadeState>& states, double* frames,
                 std::size_t count, std::vector<double>& channel)
{
    const std::size_t channels = states.size();
    channel.resize(count);
    for (std::size_t c = 0; c < channels; ++c) {
        for (std::size_t i = 0; i < count; ++i)
            channel[i] = frames[i * channels + c];
        runCascade(cascade, states[c], channel.data(), count);
        for (std::size_t i = 0; i < count; ++i)
            frames[i * channels + c] = channel[i];
    }
}

}  // namespace

std::string applyDesign(const Document& design, const std::string& inPath, const std::string& outPath, bool resample)
{
    const std::optional<int> format = formatFor(outPath);
    if (!format) {
        const std::string extension = std::filesystem::path(outPath).extension().string();
        return outPath + (extension.empty() ? ": no extension" : ": unknown extension \"" + extension + "\"")
            + " (.wav, .flac or .ogg)";
    }

    std::error_code error;
    if (!std::filesystem::exists(inPath, error))
        return inPath + ": no such file";
    if (std::filesystem::is_directory(inPath, error))
        return inPath + ": is a folder, not a sound file";
    SF_INFO inInfo{};
    const SoundFileHandle in(sf_open(inPath.c_str(), SFM_READ, &inInfo));
    if (!in)
        return inPath + ": not a sound file libsndfile reads: " + soundLibraryError(sf_strerror(nullptr));
    if (inInfo.channels <= 0 || inInfo.samplerate <= 0)
        return inPath + ": not a sound file libsndfile reads: no channels or no sample rate";
    const int rate = design.sampleRate;
    const bool converting = inInfo.samplerate != rate;
    if (converting && !resample)
        return inPath + ": sample rate " + std::to_string(inInfo.samplerate) + " Hz, but the design's is "
            + std::to_string(rate) + " Hz (--resample converts it)";

    SF_INFO outInfo{};
    outInfo.samplerate = rate;
    outInfo.channels = inInfo.channels;
    outInfo.format = *format;
    if (!sf_format_check(&outInfo))
        return outPath + ": cannot write: the format cannot hold " + std::to_string(inInfo.channels) + " channels at "
            + std::to_string(rate) + " Hz";

    const auto channels = static_cast<std::size_t>(inInfo.channels);
    ResamplerHandle resampler;
    if (converting) {
        soxr_error_t soxrError = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
        resampler.reset(soxr_create(inInfo.samplerate, rate, static_cast<unsigned>(channels), &soxrError, &io,
                                    &quality, nullptr));
        if (!resampler)
            return inPath + ": cannot resample it: " + (soxrError != nullptr ? soxrError : "no resampler");
    }

    std::string partPath;
    const int descriptor = createBeside(outPath, partPath);
    if (descriptor < 0)
        return outPath + ": cannot write: " + std::strerror(errno);
    PartFile part(partPath);
    SoundFileHandle out(sf_open_fd(descriptor, SFM_WRITE, &outInfo, SF_TRUE));
    if (!out) {
        ::close(descriptor);
        return outPath + ": cannot write: " + soundLibraryError(sf_strerror(nullptr));
    }
    sf_command(out.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const CascadeCoefficients cascade = cascadeCoefficients(design.filter);
    std::vector<CascadeState> states(channels);
    std::vector<double> inBlock(static_cast<std::size_t>(BLOCK_FRAMES) * channels);
    const double ratio = converting ? static_cast<double>(rate) / inInfo.samplerate : 1.0;
    std::vector<double> converted(converting ? (static_cast<std::size_t>(std::ceil(BLOCK_FRAMES * ratio)) + 64) * channels
                                             : 0);
    std::vector<double> channel;

    // Filters and writes count frames; false when the result cannot be kept.
    std::string failure;
    const auto emit = [&](double* frames, std::size_t count) {
        filterBlock(cascade, states, frames, count, channel);
        for (std::size_t i = 0; i < count * channels; ++i) {
            if (!std::isfinite(frames[i])) {
                failure = outPath + ": the filtered sound is not finite (unstable filter or too much gain)";
                return false;
            }
        }
        if (sf_writef_double(out.get(), frames, static_cast<sf_count_t>(count)) != static_cast<sf_count_t>(count)) {
            failure = outPath + ": cannot write: " + soundLibraryError(sf_strerror(out.get()));
            return false;
        }
        return true;
    };

    for (;;) {
        const sf_count_t got = sf_readf_double(in.get(), inBlock.data(), BLOCK_FRAMES);
        if (got < 0)
            break;
        const bool end = got == 0;
        if (!converting) {
            if (end)
                break;
            if (!emit(inBlock.data(), static_cast<std::size_t>(got)))
                return failure;
            continue;
        }
        // The resampler takes all the input it is given and, at the end
        // (input NULL), gives out what it still holds.
        std::size_t offered = end ? 0 : static_cast<std::size_t>(got);
        const double* input = end ? nullptr : inBlock.data();
        const std::size_t room = converted.size() / channels;
        for (;;) {
            std::size_t used = 0;
            std::size_t made = 0;
            const soxr_error_t soxrError =
                soxr_process(resampler.get(), input, offered, &used, converted.data(), room, &made);
            if (soxrError != nullptr)
                return inPath + ": cannot resample it: " + soxrError;
            if (made > 0 && !emit(converted.data(), made))
                return failure;
            if (input != nullptr) {
                if (used == 0 && made == 0)
                    return inPath + ": cannot resample it: the resampler takes no more input";
                input += used * channels;
                offered -= used;
                if (offered == 0)
                    break;
            } else if (made == 0) {
                break;
            }
        }
        if (end)
            break;
    }
    if (sf_error(in.get()) != SF_ERR_NO_ERROR)
        return inPath + ": cannot read it to the end: " + soundLibraryError(sf_strerror(in.get()));

    // Closing finishes the file (the header's lengths, the encoder's last
    // pages); only a file closed without error is renamed.
    const int closed = sf_close(out.release());
    if (closed != SF_ERR_NO_ERROR)
        return outPath + ": cannot write: " + soundLibraryError(sf_error_number(closed));
    if (std::rename(part.path().c_str(), outPath.c_str()) != 0)
        return outPath + ": cannot write: " + std::strerror(errno);
    part.keep();
    return {};
}
