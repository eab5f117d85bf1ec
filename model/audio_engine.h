#pragma once

#include "model/audio_cascade.h"
#include "model/audio_sources.h"
#include "model/peak_limiter.h"
#include "model/triple_buffer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// What the Listen dock plays, in the order of its source combo box.
enum class SoundSource : unsigned char { WhiteNoise, PinkNoise, SineSweep, File };

// Everything the GUI decides about the sound, handed to the audio thread as
// one snapshot so that it never sees half of a change.
struct EngineControls {
    CascadeCoefficients cascade;  // the design's sections
    bool playable = false;        // isPlayable(cascade): otherwise the filtered sound is muted
    bool bypass = false;          // the unfiltered source instead of the filter's output
    bool playing = false;
    SoundSource source = SoundSource::WhiteNoise;
    double level = 0.25;          // linear gain after the limiter, from the dB of the level control
};

// The sound of the Listen dock: a source, the design's cascade, a crossfade
// at every change, a peak limiter, the output level and the Play/Stop fades.
//
// Two threads use it. The control side (set… and the status readers) belongs
// to one thread, the GUI's; the audio side (prepare, render, fadeOutForRestart,
// latency) to one other, the audio output's. The sides meet only in two
// TripleBuffers (the controls, the sound file's samples) and in three
// relaxed atomics that the audio side writes for display (meter, muted,
// silent). Neither side ever waits for the other, and the audio side never
// allocates, frees, locks or throws.
//
// The signal path, per sample:
//   source (× SOURCE_LEVEL, or the file as it is)
//   → the current processing: the cascade, the source itself (bypass), or
//     silence (a design that cannot be played); during a change the old and
//     the new run side by side and the output moves linearly from the old one
//     to the new one over CROSSFADE_SECONDS, the new cascade starting from
//     rest
//   → PeakLimiter (2 ms look-ahead, never above −1 dBFS)
//   → output level (ramped over CROSSFADE_SECONDS at every change)
//   → Play/Stop gate (a linear ramp over PLAY_FADE_SECONDS)
//
// A change of the controls is taken at the start of each CHUNK samples. The
// processing it asks for starts its crossfade at once, or, when a crossfade
// is still running, as soon as that one ends; changes that arrive meanwhile
// are skipped for the newest. So a design published while the sound plays is
// heard within CROSSFADE_SECONDS + CHUNK samples of the audio rendered after
// it, and every output sample lies between the outputs of at most two
// processings. A change of source or of sound file dips the source to silence
// and back over CROSSFADE_SECONDS each way, so that the filter never sees a
// jump either. While stopped and faded out, changes take effect at once and
// nothing is computed.
class AudioEngine {
public:
    static constexpr int HIGHEST_SAMPLE_RATE = 192000;
    static constexpr double CROSSFADE_SECONDS = 0.005;
    static constexpr double PLAY_FADE_SECONDS = 0.05;
    static constexpr double SOURCE_LEVEL = 0.5;  // peak of the noises and the sweep: −6 dBFS
    static constexpr double LOWEST_LEVEL_DB = -60.0;
    static constexpr double HIGHEST_LEVEL_DB = 0.0;
    static constexpr double DEFAULT_LEVEL_DB = -12.0;
    static constexpr double METER_FALL_DB_PER_SECOND = 20.0;
    static constexpr std::size_t CHUNK = 64;

    // Allocates the limiter's lines for HIGHEST_SAMPLE_RATE; prepared for
    // 44100 Hz, stopped, with an empty cascade.
    AudioEngine();

    // ---- Control side: one thread. Each setter publishes a new snapshot.
    void setCascade(const CascadeCoefficients& cascade);  // sets playable too
    void setBypass(bool bypass);
    void setPlaying(bool playing);
    void setSource(SoundSource source);
    void setLevelDb(double decibels);  // clamped to LOWEST … HIGHEST_LEVEL_DB
    // The sound file's samples, one channel at the rate the engine runs at,
    // played in a loop when the source is File. Frees the previous file's
    // samples here (on the control side) once the audio side has let go.
    void setFileSamples(std::vector<float> samples);
    const EngineControls& controls() const { return controls_; }

    // ---- Status, for display: any thread, each value on its own.
    // The output's peak magnitude, falling by METER_FALL_DB_PER_SECOND.
    float meterPeak() const { return meter_.load(std::memory_order_relaxed); }
    // The filtered sound is silenced because the design cannot be played.
    bool isMuted() const { return muted_.load(std::memory_order_relaxed); }
    // Stopped and faded out: the output is exactly zero.
    bool isSilent() const { return silent_.load(std::memory_order_relaxed); }

    // ---- Audio side: one thread.
    // Sets the rate (clamped to 1 … HIGHEST_SAMPLE_RATE) and starts afresh:
    // silent, sources, cascades and limiter at rest. Allocates nothing.
    void prepare(int sampleRate);
    // The next frames samples of one channel.
    void render(float* out, std::size_t frames);
    // Fades out as Stop does, whatever the controls say, until the next
    // prepare(): for a restart of the output at another rate.
    void fadeOutForRestart();
    int sampleRate() const { return sampleRate_; }
    // Samples from the source to the output: the limiter's look-ahead.
    int latency() const { return limiter_.latency(); }

private:
    enum class PathKind : unsigned char { Cascade, Through, Silent };
    struct Path {
        PathKind kind = PathKind::Silent;
        CascadeCoefficients cascade;
        CascadeState state;
    };
    // A value moving linearly to its target, arriving exactly.
    struct Ramp {
        double value = 0.0;
        double target = 0.0;
        double step = 0.0;
        int remaining = 0;
        void moveTo(double newTarget, int samples);
        void jumpTo(double newTarget);
        double next();
    };

    void publishControls();
    void takeControls(bool force);
    void applyAtOnce();
    void startCrossfadeIfDue();
    void makeInput(double* samples, std::size_t count);
    double nextSourceSample();
    double nextFileSample();
    void runPath(Path& path, double* samples, std::size_t count);

    // Control side.
    EngineControls controls_;
    TripleBuffer<EngineControls> controlsExchange_;
    TripleBuffer<std::vector<float>> fileExchange_;

    // Audio side.
    int sampleRate_ = 44100;
    int crossfadeLength_ = 1;
    int playFadeLength_ = 1;
    double meterFall_ = 1.0;  // per sample
    bool held_ = false;
    bool controlsTaken_ = false;
    bool appliedWhileQuiet_ = false;

    Path target_;  // the processing the newest controls ask for (its state unused)
    Path paths_[2];
    int current_ = 0;
    bool crossfading_ = false;
    Ramp crossfade_;  // the weight of paths_[1 − current_]

    SoundSource wantedSource_ = SoundSource::WhiteNoise;
    SoundSource source_ = SoundSource::WhiteNoise;
    Ramp sourceGain_;  // dips to 0 for a change of source or file
    WhiteNoise white_;
    PinkNoise pink_;
    SineSweep sweep_;
    std::size_t filePosition_ = 0;
    bool fileLooped_ = false;

    PeakLimiter limiter_;
    Ramp level_;
    Ramp gate_;
    double meterValue_ = 0.0;

    double input_[CHUNK] = {};
    double mixed_[CHUNK] = {};
    double incoming_[CHUNK] = {};

    std::atomic<float> meter_{0.0f};
    std::atomic<bool> muted_{false};
    std::atomic<bool> silent_{true};
    static_assert(std::atomic<float>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
};

// 10^(dB / 20), the level control's dB as a gain.
double levelGain(double decibels);
