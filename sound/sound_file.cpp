#include "sound/sound_file.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <memory>

namespace {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFileHandle = std::unique_ptr<SNDFILE, SoundFileCloser>;

// Frames read per call, and the most samples a clip may hold whatever its
// rate and channel count claim (1 GiB of floats).
constexpr sf_count_t READ_FRAMES = 65536;
constexpr std::size_t MAX_CLIP_SAMPLES = std::size_t{1} << 28;

}  // namespace

std::string soundLibraryError(const char* message)
{
    std::string text = message != nullptr ? message : "unknown error";
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

SoundClipRead readSoundClip(const std::string& path, double maxSeconds)
{
    SoundClipRead result;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        result.error = path + ": no such file";
        return result;
    }
    if (std::filesystem::is_directory(path, error)) {
        result.error = path + ": is a folder, not a sound file";
        return result;
    }
    SF_INFO info{};
    const SoundFileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        result.error = path + ": not a sound file libsndfile reads: " + soundLibraryError(sf_strerror(nullptr));
        return result;
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        result.error = path + ": not a sound file libsndfile reads: no channels or no sample rate";
        return result;
    }

    SoundClip clip;
    clip.sampleRate = info.samplerate;
    clip.channels = info.channels;
    const auto channels = static_cast<std::size_t>(info.channels);
    const double frameLimit = std::max(0.0, maxSeconds) * info.samplerate;
    const std::size_t maxFrames = std::min(static_cast<std::size_t>(std::min(frameLimit, 1e15)), MAX_CLIP_SAMPLES / channels);
    std::vector<float> block(static_cast<std::size_t>(READ_FRAMES) * channels);
    for (;;) {
        const std::size_t room = maxFrames - clip.frames();
        if (room == 0) {
            // One more frame tells whether the file goes on.
            clip.truncated = sf_readf_float(file.get(), block.data(), 1) > 0;
            break;
        }
        const sf_count_t want = static_cast<sf_count_t>(std::min<std::size_t>(room, READ_FRAMES));
        const sf_count_t got = sf_readf_float(file.get(), block.data(), want);
        if (got <= 0)
            break;
        clip.samples.insert(clip.samples.end(), block.begin(),
                            block.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(got) * channels));
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        result.error = path + ": cannot read it to the end: " + soundLibraryError(sf_strerror(file.get()));
        return result;
    }
    result.clip = std::move(clip);
    return result;
}

MonoResult monoAtRate(const SoundClip& clip, int sampleRate)
{
    MonoResult result;
    const std::size_t frames = clip.frames();
    const auto channels = static_cast<std::size_t>(std::max(clip.channels, 1));
    std::vector<float> mono(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (std::size_t c = 0; c < channels; ++c)
            sum += clip.samples[i * channels + c];
        mono[i] = static_cast<float>(sum / static_cast<double>(channels));
    }
    if (clip.sampleRate == sampleRate || frames == 0) {
        result.samples = std::move(mono);
        return result;
    }
    const double ratio = static_cast<double>(sampleRate) / clip.sampleRate;
    std::vector<float> out(static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * ratio)) + 16);
    std::size_t done = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_error_t error = soxr_oneshot(clip.sampleRate, sampleRate, 1, mono.data(), frames, nullptr, out.data(),
                                            out.size(), &done, &io, &quality, nullptr);
    if (error != nullptr) {
        result.error = std::string("cannot resample from ") + std::to_string(clip.sampleRate) + " Hz to "
            + std::to_string(sampleRate) + " Hz: " + error;
        return result;
    }
    out.resize(done);
    result.samples = std::move(out);
    return result;
}
