#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Sound files as libsndfile reads them (WAV, AIFF, FLAC, Ogg Vorbis, Opus,
// MP3 and the rest of its list), and their conversion to what the Listen
// dock plays. Everything from a file is untrusted: a refusal is one line
// naming the file and its problem, and nothing a file's header claims (its
// length, its rate) decides how much is allocated before the samples are
// really there.

// A decoded sound: interleaved frames of channels samples each.
struct SoundClip {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> samples;
    bool truncated = false;  // the file went on beyond the limit the reader was given

    std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

struct SoundClipRead {
    std::optional<SoundClip> clip;
    std::string error;  // when there is no clip: "PATH: problem"
};

// The longest stretch of a sound file the Listen dock holds in memory.
constexpr double MAX_LISTEN_SECONDS = 600.0;

// Reads at most maxSeconds of the file at path. Refuses a missing file ("no
// such file"), one libsndfile cannot decode ("not a sound file libsndfile
// reads: REASON"), and one that breaks off with a read error.
SoundClipRead readSoundClip(const std::string& path, double maxSeconds = MAX_LISTEN_SECONDS);

struct MonoResult {
    std::vector<float> samples;
    std::string error;  // set when resampling failed
};

// The clip as one channel (the mean of its channels) at sampleRate, converted
// with libsoxr (high quality, linear phase) when the clip's rate differs.
MonoResult monoAtRate(const SoundClip& clip, int sampleRate);

// The message libsndfile gives for the last failed open, without a final
// full stop and starting in lower case, to follow a colon.
std::string soundLibraryError(const char* message);
