#include "app/audio_output.h"

#include "sound/stream_resampler.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// The audio thread's part of the output: the sink, the feeding timer, the
// conversion to the device's rate and sample format. Every member function
// runs on the audio thread.
class AudioStream {
public:
    using Report = std::function<void(const AudioOutputStatus&)>;

    AudioStream(AudioEngine& engine, int designRate, int forcedDeviceRate, Report report);
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    void open();
    void setRate(int rate);
    void checkDevice();
    // Ends the audio thread's event loop once the stream is closed: at once
    // when none is open, otherwise when the fade-out of a Stop has been
    // played.
    void finish();

private:
    void close();
    void endIfFinishing();
    void feed();
    void produce(std::size_t frames);
    void report();
    static void renderEngine(void* self, float* samples, std::size_t count);

    AudioEngine& engine_;
    int forcedDeviceRate_;
    Report report_;
    AudioOutputStatus status_;
    int pendingRate_ = 0;  // a rate to reopen at once the fade-out is played
    bool finishing_ = false;

    QMediaDevices devices_;
    QTimer timer_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr;  // the sink's, while open
    QAudioFormat format_;
    std::unique_ptr<StreamResampler> resampler_;
    std::size_t periodFrames_ = 0;  // at the device's rate
    std::size_t bufferFrames_ = 0;
    std::size_t quietFrames_ = 0;   // written since the engine fell silent
    std::vector<float> mono_;       // one period at the device's rate
    std::vector<char> bytes_;       // one period in the device's format
};

namespace {

// A format for the device at this rate: stereo if it takes two channels,
// float samples if it takes them, else 16 or 32-bit integers.
QAudioFormat formatFor(const QAudioDevice& device, int rate)
{
    QAudioFormat format;
    format.setSampleRate(rate);
    for (const int channels : {2, 1}) {
        for (const QAudioFormat::SampleFormat sampleFormat :
             {QAudioFormat::Float, QAudioFormat::Int16, QAudioFormat::Int32}) {
            format.setChannelCount(channels);
            format.setSampleFormat(sampleFormat);
            if (device.isFormatSupported(format))
                return format;
        }
    }
    return {};
}

// Real-time scheduling for the calling thread where the system grants it
// (root, an rtprio limit, or a desktop's real-time policy): a low priority
// among real-time threads, above every ordinary one, so that a busy machine
// does not starve the sound. The thread sleeps between feeds, so it takes
// little time even so. Where it is refused the thread stays as it was.
void askForRealTime()
{
    sched_param parameters{};
    parameters.sched_priority = std::min(10, sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

std::size_t framesIn(double seconds, int rate)
{
    return static_cast<std::size_t>(std::max(1L, std::lround(seconds * rate)));
}

}  // namespace

AudioStream::AudioStream(AudioEngine& engine, int designRate, int forcedDeviceRate, Report report)
    : engine_(engine), forcedDeviceRate_(forcedDeviceRate), report_(std::move(report))
{
    status_.designRate = designRate;
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(AudioOutput::FEED_INTERVAL_MS);
    QObject::connect(&timer_, &QTimer::timeout, [this] { feed(); });
    QObject::connect(&devices_, &QMediaDevices::audioOutputsChanged, [this] { checkDevice(); });
    checkDevice();
}

AudioStream::~AudioStream() { close(); }

void AudioStream::checkDevice()
{
    status_.deviceMissing = QMediaDevices::defaultAudioOutput().isNull();
    report();
}

void AudioStream::report() { report_(status_); }

void AudioStream::open()
{
    if (sink_)
        return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    status_.deviceMissing = device.isNull();
    status_.problem.clear();
    if (device.isNull()) {
        report();
        return;
    }
    const int designRate = status_.designRate;
    int rate = forcedDeviceRate_ > 0 ? forcedDeviceRate_ : designRate;
    QAudioFormat format = formatFor(device, rate);
    if (!format.isValid() && forcedDeviceRate_ <= 0) {
        rate = device.preferredFormat().sampleRate();
        format = formatFor(device, rate);
    }
    if (!format.isValid()) {
        status_.problem = QStringLiteral("The audio output takes no format this program can write");
        report();
        return;
    }

    engine_.prepare(designRate);
    periodFrames_ = framesIn(AudioOutput::PERIOD_SECONDS, rate);
    bufferFrames_ = framesIn(AudioOutput::BUFFER_SECONDS, rate);
    mono_.assign(periodFrames_, 0.0f);
    bytes_.assign(periodFrames_ * static_cast<std::size_t>(format.bytesPerFrame()), 0);
    resampler_.reset();
    if (rate != designRate) {
        // At most one period of the design's rate per request, and a little
        // more for the converter's rounding.
        const std::size_t maxInput = framesIn(AudioOutput::PERIOD_SECONDS, designRate) + 64;
        resampler_ = std::make_unique<StreamResampler>(designRate, rate, maxInput, &AudioStream::renderEngine, this);
        if (!resampler_->error().empty()) {
            status_.problem = QStringLiteral("Cannot convert %1 Hz to %2 Hz: %3")
                                  .arg(designRate)
                                  .arg(rate)
                                  .arg(QString::fromStdString(resampler_->error()));
            resampler_.reset();
            report();
            return;
        }
    }

    format_ = format;
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->setBufferSize(static_cast<qsizetype>(bufferFrames_) * format.bytesPerFrame());
    device_ = sink_->start();
    if (device_ == nullptr || sink_->error() != QAudio::NoError) {
        status_.problem = QStringLiteral("The audio output refused the stream");
        sink_.reset();
        device_ = nullptr;
        report();
        return;
    }
    quietFrames_ = 0;
    status_.open = true;
    status_.deviceRate = rate;
    report();
    feed();
    timer_.start();
}

void AudioStream::close()
{
    timer_.stop();
    if (sink_) {
        sink_->stop();
        sink_.reset();
    }
    device_ = nullptr;
    resampler_.reset();
    status_.open = false;
    status_.deviceRate = 0;
}

void AudioStream::finish()
{
    finishing_ = true;
    pendingRate_ = 0;
    if (!sink_)
        endIfFinishing();
}

void AudioStream::endIfFinishing()
{
    if (finishing_)
        QThread::currentThread()->quit();
}

void AudioStream::setRate(int rate)
{
    if (!sink_) {
        status_.designRate = rate;
        report();
        return;
    }
    if (rate == status_.designRate && pendingRate_ == 0)
        return;
    pendingRate_ = rate;
    engine_.fadeOutForRestart();
}

void AudioStream::renderEngine(void* self, float* samples, std::size_t count)
{
    static_cast<AudioStream*>(self)->engine_.render(samples, count);
}

void AudioStream::produce(std::size_t frames)
{
    if (resampler_)
        resampler_->pull(mono_.data(), frames);
    else
        engine_.render(mono_.data(), frames);
    const int channels = format_.channelCount();
    char* out = bytes_.data();
    for (std::size_t i = 0; i < frames; ++i) {
        // The converter may overshoot the limiter's ceiling by a little
        // between samples; the device never gets more than the ceiling.
        const float sample = std::clamp(mono_[i], -static_cast<float>(PeakLimiter::CEILING),
                                        static_cast<float>(PeakLimiter::CEILING));
        for (int c = 0; c < channels; ++c) {
            switch (format_.sampleFormat()) {
            case QAudioFormat::Int16: {
                const auto value = static_cast<qint16>(std::lround(sample * 32767.0f));
                std::memcpy(out, &value, sizeof value);
                out += sizeof value;
                break;
            }
            case QAudioFormat::Int32: {
                const auto value = static_cast<qint32>(std::lround(static_cast<double>(sample) * 2147483647.0));
                std::memcpy(out, &value, sizeof value);
                out += sizeof value;
                break;
            }
            default:
                std::memcpy(out, &sample, sizeof sample);
                out += sizeof sample;
                break;
            }
        }
    }
}

void AudioStream::feed()
{
    if (!sink_ || device_ == nullptr)
        return;
    if (sink_->error() == QAudio::OpenError || sink_->error() == QAudio::FatalError) {
        status_.problem = QStringLiteral("The audio output stopped");
        close();
        report();
        endIfFinishing();
        return;
    }
    const auto bytesPerFrame = static_cast<qsizetype>(format_.bytesPerFrame());
    auto frames = static_cast<std::size_t>(sink_->bytesFree() / bytesPerFrame);
    while (frames > 0) {
        const std::size_t count = std::min(frames, periodFrames_);
        produce(count);
        const auto bytes = static_cast<qint64>(count) * bytesPerFrame;
        if (device_->write(bytes_.data(), bytes) != bytes)
            break;
        frames -= count;
        quietFrames_ = engine_.isSilent() ? quietFrames_ + count : 0;
    }
    // Silent for longer than the device holds: the fade-out has been heard.
    if (quietFrames_ > bufferFrames_ + periodFrames_) {
        close();
        if (finishing_) {
            endIfFinishing();
        } else if (pendingRate_ != 0) {
            status_.designRate = pendingRate_;
            pendingRate_ = 0;
            open();
        } else {
            report();
        }
    }
}

// ---- AudioOutput

AudioOutput::AudioOutput(AudioEngine& engine, int sampleRate, int deviceRate)
    : engine_(engine), sampleRate_(sampleRate), streamContext_(new QObject)
{
    status_.designRate = sampleRate;
    streamContext_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("Vorbel audio"));
    // The stream's objects go on the audio thread, the last thing it does.
    QObject::connect(&thread_, &QThread::finished, [this] { stream_.reset(); });
    thread_.start();
    // Status reports are posted to this thread; the lambda runs here.
    auto report = [this](const AudioOutputStatus& status) {
        QMetaObject::invokeMethod(&guiContext_, [this, status] { receiveStatus(status); }, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(
        streamContext_,
        [this, sampleRate, deviceRate, report] {
            // Before Qt Multimedia is first used: the sound server client's
            // own thread, which Qt starts then, inherits the policy.
            askForRealTime();
            stream_ = std::make_unique<AudioStream>(engine_, sampleRate, deviceRate, report);
        },
        Qt::QueuedConnection);
}

AudioOutput::~AudioOutput()
{
    engine_.setPlaying(false);
    QMetaObject::invokeMethod(
        streamContext_,
        [this] {
            if (stream_)
                stream_->finish();
            else
                QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (!thread_.wait(QDeadlineTimer(FINISH_TIMEOUT_MS))) {
        thread_.quit();
        thread_.wait();
    }
    delete streamContext_;
}

void AudioOutput::toStream(std::function<void(AudioStream&)> request)
{
    QMetaObject::invokeMethod(
        streamContext_,
        [this, request = std::move(request)] {
            if (stream_)
                request(*stream_);
        },
        Qt::QueuedConnection);
}

void AudioOutput::receiveStatus(const AudioOutputStatus& status)
{
    status_ = status;
    if (statusHandler_)
        statusHandler_(status_);
}

void AudioOutput::setSampleRate(int sampleRate)
{
    if (sampleRate == sampleRate_)
        return;
    sampleRate_ = sampleRate;
    toStream([sampleRate](AudioStream& stream) { stream.setRate(sampleRate); });
}

void AudioOutput::play()
{
    engine_.setPlaying(true);
    toStream([](AudioStream& stream) { stream.open(); });
}

void AudioOutput::stop() { engine_.setPlaying(false); }

void AudioOutput::refreshDevice()
{
    toStream([](AudioStream& stream) { stream.checkDevice(); });
}
