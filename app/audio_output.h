#pragma once

#include "model/audio_engine.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

// What the audio output is doing, for the Listen dock's status line.
struct AudioOutputStatus {
    bool deviceMissing = false;  // the system has no default audio output
    bool open = false;           // a stream to the device is running
    int designRate = 0;          // Hz: the rate the sound is made at, the design's
    int deviceRate = 0;          // Hz: the stream's rate; 0 while no stream is open
    QString problem;             // the device refused the stream: why, one line

    // The sound is converted from the design's rate to the device's.
    bool resampling() const { return open && deviceRate != designRate; }
};

class AudioStream;

// The sound of an AudioEngine, sent to the system's default audio output
// through Qt Multimedia (QAudioSink, which on Linux talks to PulseAudio or
// PipeWire's PulseAudio service).
//
// The stream lives in a thread of its own with its own event loop, so that a
// GUI thread that is busy or inside a modal dialog never stops the sound: the
// audio thread renders the engine there, and the GUI only hands controls to
// the engine (lock-free, AudioEngine) and posts the rare requests below to
// the audio thread's event queue. The GUI never waits for the audio thread,
// except when the output is destroyed.
//
// The stream runs at the design's rate when the device takes that rate;
// otherwise at the device's preferred rate, and the engine's sound is
// converted with libsoxr (StreamResampler) on the way, which the status
// reports. It is fed in push mode from a timer every FEED_INTERVAL_MS: each
// time, as much as the device has room for, in blocks of at most PERIOD_SECONDS
// of audio, into a device buffer of BUFFER_SECONDS. So a change of the design
// is rendered within one period of being made, and heard BUFFER_SECONDS later
// at most (plus the sound server's own latency).
//
// Play opens the stream when none is open; Stop lets the engine fade out and
// closes the stream once the fade has been played. A change of the design's
// rate fades out, reopens the stream at the new rate and fades in again.
// Destroying the output stops the sound the same way: it fades out, is
// played to its end and the stream closes before the thread is joined; only
// a device that takes nothing for FINISH_TIMEOUT_MS is closed at once.
//
// Qt Multimedia keeps its connection to the sound server for the rest of the
// process, tied to the thread of the output that first used it: a program
// makes one output and keeps it.
class AudioOutput {
public:
    static constexpr double PERIOD_SECONDS = 0.010;
    static constexpr double BUFFER_SECONDS = 0.040;
    static constexpr int FEED_INTERVAL_MS = 4;
    static constexpr int FINISH_TIMEOUT_MS = 1000;

    // Plays engine, which must outlive the output; the output renders its
    // audio side from now on. deviceRate 0 chooses the stream's rate as
    // above; another value forces the stream to that rate, so that the
    // conversion can be tried on any device.
    explicit AudioOutput(AudioEngine& engine, int sampleRate = 44100, int deviceRate = 0);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // The engine's control side, for this thread (the one that made the
    // output) alone. Its render side belongs to the audio thread.
    AudioEngine& engine() { return engine_; }

    // The design's rate: the rate the engine runs at.
    void setSampleRate(int sampleRate);
    int sampleRate() const { return sampleRate_; }

    // Play and Stop: the engine fades in or out; Play opens the stream (or
    // says again that there is no device).
    void play();
    void stop();
    bool isPlaying() const { return engine_.controls().playing; }

    // Looks for the default device again; the status says what was found.
    void refreshDevice();

    // The last status the audio thread reported, and a function called on
    // this thread with each new one.
    const AudioOutputStatus& status() const { return status_; }
    void setStatusHandler(std::function<void(const AudioOutputStatus&)> handler) { statusHandler_ = std::move(handler); }

private:
    void toStream(std::function<void(AudioStream&)> request);
    void receiveStatus(const AudioOutputStatus& status);

    AudioEngine& engine_;
    int sampleRate_;
    AudioOutputStatus status_;
    std::function<void(const AudioOutputStatus&)> statusHandler_;
    // Lives in this thread: status reports arrive through its event queue.
    QObject guiContext_;
    QThread thread_;
    // Lives in the audio thread: requests go through its event queue.
    QObject* streamContext_;
    // Made, used and destroyed on the audio thread only.
    std::unique_ptr<AudioStream> stream_;
};
