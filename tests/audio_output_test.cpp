// The audio output against a real sound server: a private PulseAudio server
// with a null sink, started for this test, whose monitor parec records. The
// recording must have the spectrum of white noise through the design (band
// power over |H|² the same at every frequency), stay below −1 dBFS, and
// never break off, even while the GUI thread stalls, and fade out when the
// output goes while it plays. Skips where pulseaudio, pacat or parec is not
// installed, or the server will not start.
//
// A busy machine can starve the sound server itself, and then every client
// breaks off, however well it feeds the server. So the sink has a third
// channel on which pacat plays a constant reference all along: a break in
// the program's sound counts only where the reference went on playing
// (within 100 ms either side), and where the server loses more than a
// tenth of the reference, the test skips: such a machine can judge nothing.

#include "tests/band_power.h"

#include "app/audio_output.h"
#include "model/audio_cascade.h"
#include "model/designs.h"
#include "model/filter_state.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

namespace {

constexpr int SINK_RATE = 48000;
constexpr float REFERENCE_LEVEL = 0.25f;
// A break: this many exact zeros in a row, which filtered noise never gives.
constexpr std::size_t BREAK_LENGTH = 32;
// How near a break of the reference must be to excuse one of the sound.
constexpr std::size_t NEARBY = SINK_RATE / 10;

double responsePower(const FilterState& filter, double f, double rate)
{
    const double omega = 2 * std::numbers::pi * f / rate;
    const Complex h = evaluateResponse(filter, {std::cos(omega), std::sin(omega)});
    return h.re * h.re + h.im * h.im;
}

struct Recording {
    std::vector<float> sound;      // the program's left channel
    std::vector<float> reference;  // the third channel
};

}  // namespace

class AudioOutputTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> reference_;
    QString pacat_;
    QString parec_;
    QString chrt_;
    QProcessEnvironment environment_;

    // Starts program with arguments, with real-time priority where chrt is
    // there and the system allows it, as a desktop's sound clients have.
    void startFast(QProcess& process, const QString& program, const QStringList& arguments)
    {
        if (!chrt_.isEmpty()) {
            process.start(chrt_, QStringList{"--fifo", "10", program} + arguments);
            if (process.waitForStarted(5000) && !process.waitForFinished(200))
                return;
        }
        process.start(program, arguments);
        process.waitForStarted(5000);
    }

    // Plays white noise through the design while parec records the sink's
    // monitor: one second with the GUI thread stalled, then the steps of a
    // drag, 10 ms apart, then the last design for two seconds.
    Recording record(AudioOutput& output, const std::vector<Document>& drag)
    {
        output.engine().setCascade(cascadeCoefficients(drag.front().filter));
        output.engine().setLevelDb(-6.0);
        output.play();
        for (int i = 0; i < 500 && !output.status().open; ++i)
            QTest::qWait(10);
        if (!output.status().open) {
            qWarning("no stream: device missing %d, problem %s", output.status().deviceMissing,
                     qPrintable(output.status().problem));
            return {};
        }
        QProcess recorder;
        startRecorder(recorder);
        QTest::qWait(300);
        // A modal dialog or a long computation: the GUI thread does nothing.
        QThread::msleep(1000);
        for (const Document& step : drag) {
            output.engine().setCascade(cascadeCoefficients(step.filter));
            QTest::qWait(10);
        }
        QTest::qWait(2000);
        output.stop();
        QTest::qWait(300);
        return finishRecording(recorder);
    }

    // parec recording the sink's monitor, all three channels.
    void startRecorder(QProcess& recorder)
    {
        recorder.setProcessEnvironment(environment_);
        recorder.setStandardOutputFile(folder_->filePath("recording.raw"));
        startFast(recorder, parec_,
                  {"--device=vorbel_test.monitor", "--format=float32le", "--channels=3",
                   "--channel-map=front-left,front-right,aux0", QString("--rate=%1").arg(SINK_RATE),
                   "--latency-msec=20"});
    }

    Recording finishRecording(QProcess& recorder)
    {
        recorder.terminate();
        recorder.waitForFinished(5000);
        QFile raw(folder_->filePath("recording.raw"));
        if (!raw.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = raw.readAll();
        std::vector<float> frames(static_cast<std::size_t>(bytes.size()) / sizeof(float));
        std::memcpy(frames.data(), bytes.constData(), frames.size() * sizeof(float));
        Recording recording;
        for (std::size_t i = 0; i + 2 < frames.size(); i += 3) {
            recording.sound.push_back(frames[i]);
            recording.reference.push_back(frames[i + 2]);
        }
        return recording;
    }

    // A pole pair at 2 kHz moving from radius 0.5 to 0.99 in 100 steps, over
    // zeros at ±1, scaled to 0.5 at 2 kHz so that the limiter stays out.
    static std::vector<Document> dragToward(int rate)
    {
        std::vector<Document> steps;
        for (int i = 0; i <= 100; ++i) {
            Document document = designedDocument(1, rate, 1000, 0);
            FilterState& filter = document.filter;
            filter.modelIndex = MODEL_CUSTOM;
            const double radius = 0.5 + 0.49 * i / 100.0;
            const double angle = 2 * std::numbers::pi * 2000.0 / rate;
            filter.poles.count = 1;
            filter.poles.pairFlags[0] = true;
            filter.poles.positions[0] = {radius * std::cos(angle), radius * std::sin(angle)};
            filter.zeros.count = 2;
            filter.zeros.pairFlags[0] = filter.zeros.pairFlags[1] = false;
            filter.zeros.positions[0] = {1.0, 0.0};
            filter.zeros.positions[1] = {-1.0, 0.0};
            filter.gain = 1.0;
            filter.gain = 0.5 / std::sqrt(responsePower(filter, 2000.0, rate));
            steps.push_back(document);
        }
        return steps;
    }

    // The sound: from the first to the last sample that is not silent.
    static std::pair<std::size_t, std::size_t> audible(const std::vector<float>& sound)
    {
        std::size_t first = 0;
        while (first < sound.size() && std::fabs(sound[first]) < 1e-4f)
            ++first;
        std::size_t last = sound.size();
        while (last > first && std::fabs(sound[last - 1]) < 1e-4f)
            --last;
        return {first, last};
    }

    // The root-mean-square of signal[from, to).
    static double rms(const std::vector<float>& signal, std::size_t from, std::size_t to)
    {
        double sum = 0.0;
        for (std::size_t i = from; i < to; ++i)
            sum += static_cast<double>(signal[i]) * signal[i];
        return std::sqrt(sum / static_cast<double>(to - from));
    }

    void checkRecording(const Recording& recording, const FilterState& final, int designRate)
    {
        const std::vector<float>& sound = recording.sound;
        QVERIFY2(sound.size() > static_cast<std::size_t>(3 * SINK_RATE), "nothing recorded");
        const auto [first, last] = audible(sound);
        const double seconds = static_cast<double>(last - first) / SINK_RATE;
        QVERIFY2(seconds > 3.5, qPrintable(QString("sound for %1 s only").arg(seconds)));

        // The reference is exactly itself: the channels do not mix. Where it
        // is lost for more than a tenth of the time, the server could not
        // keep even a constant going, and nothing can be judged.
        const auto intact = std::count(recording.reference.begin() + static_cast<std::ptrdiff_t>(first),
                                       recording.reference.begin() + static_cast<std::ptrdiff_t>(last), REFERENCE_LEVEL);
        QVERIFY(intact > 0);
        const double lost = 1.0 - static_cast<double>(intact) / static_cast<double>(last - first);
        if (lost > 0.1)
            QSKIP(qPrintable(QString("the sound server was starved: it lost %1 % of the reference").arg(100 * lost, 0, 'f', 0)));

        // Breaks: runs of exact zeros in the sound, each excused only where
        // the reference broke off at the same time (the server was starved).
        std::size_t breaks = 0;
        std::size_t excused = 0;
        std::size_t run = 0;
        float peak = 0.0f;
        for (std::size_t n = first; n <= last; ++n) {
            if (n < last && sound[n] == 0.0f) {
                ++run;
                continue;
            }
            if (run >= BREAK_LENGTH) {
                // A starved server stops both clients, but each runs dry when
                // its own buffer does: up to a buffer apart, and longer.
                const std::size_t from = n - run > NEARBY ? n - run - NEARBY : 0;
                const std::size_t to = std::min(n + NEARBY, recording.reference.size());
                bool referenceBroke = false;
                for (std::size_t k = from; k < to; ++k)
                    referenceBroke = referenceBroke || recording.reference[k] != REFERENCE_LEVEL;
                ++(referenceBroke ? excused : breaks);
            }
            run = 0;
            if (n < last)
                peak = std::max(peak, std::fabs(sound[n]));
        }
        if (excused > 0)
            qInfo("%zu breaks of the server itself (the reference broke off too)", excused);
        QCOMPARE(breaks, std::size_t{0});
        QVERIFY(peak < std::pow(10.0f, -1.0f / 20.0f));
        QVERIFY(peak > 0.05f);

        // The last 1.5 s before the fade-out: white noise through the final
        // design. Its band power over |H|² is flat where |H| is not tiny.
        const std::size_t to = last - static_cast<std::size_t>(0.2 * SINK_RATE);
        const std::size_t from = to - static_cast<std::size_t>(1.5 * SINK_RATE);
        std::vector<double> ratios;
        for (const double f : {300.0, 700.0, 1200.0, 1700.0, 2000.0, 2300.0, 3000.0, 5000.0, 8000.0, 12000.0}) {
            const double expected = responsePower(final, f, designRate);
            if (expected < 1e-5 * responsePower(final, 2000.0, designRate))
                continue;
            const double ratio = 10 * std::log10(bandPower(sound, from, to, BAND_SEGMENT / 2, f, SINK_RATE) / expected);
            ratios.push_back(ratio);
            qInfo("%6.0f Hz: |H|² %7.2f dB, recorded over |H|² %6.2f dB", f, 10 * std::log10(expected), ratio);
        }
        QVERIFY(ratios.size() >= 6);
        const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
        QVERIFY2(*high - *low < 3.0, "the spectrum does not follow |H|");
    }

private slots:
    void initTestCase()
    {
        const QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
        pacat_ = QStandardPaths::findExecutable("pacat");
        parec_ = QStandardPaths::findExecutable("parec");
        chrt_ = QStandardPaths::findExecutable("chrt");
        if (pulseaudio.isEmpty() || pacat_.isEmpty() || parec_.isEmpty())
            QSKIP("pulseaudio, pacat or parec is not installed");
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
        const QString socket = folder_->filePath("native");
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert("HOME", folder_->path());
        environment_.insert("XDG_RUNTIME_DIR", folder_->path());
        environment_.insert("XDG_CONFIG_HOME", folder_->path());
        environment_.insert("PULSE_SERVER", "unix:" + socket);
        // The server leaves 20 s after its last client, so that a test that
        // dies leaves nothing running for long.
        server_ = std::make_unique<QProcess>();
        server_->setProcessEnvironment(environment_);
        server_->start(pulseaudio,
                       {"--daemonize=no", "-n", "--exit-idle-time=20", "--use-pid-file=no", "--log-level=error",
                        QString("--load=module-null-sink sink_name=vorbel_test format=float32le channels=3 "
                                "channel_map=front-left,front-right,aux0 rate=%1")
                            .arg(SINK_RATE),
                        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        if (!server_->waitForStarted(5000))
            QSKIP("pulseaudio does not start");
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            QTest::qWait(50);
        if (!QFile::exists(socket))
            QSKIP(qPrintable("pulseaudio offers no socket: " + server_->readAllStandardError()));

        // The reference: 60 s of a constant on the third channel. It also
        // keeps the null sink at a short latency; a null sink's first block,
        // before any stream asks for less, lasts two seconds.
        const QString constant = folder_->filePath("reference.raw");
        QFile file(constant);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const std::vector<float> samples(static_cast<std::size_t>(60 * SINK_RATE), REFERENCE_LEVEL);
        file.write(reinterpret_cast<const char*>(samples.data()), static_cast<qint64>(samples.size() * sizeof(float)));
        file.close();
        reference_ = std::make_unique<QProcess>();
        reference_->setProcessEnvironment(environment_);
        reference_->setStandardInputFile(constant);
        startFast(*reference_, pacat_,
                  {"--raw", "--format=float32le", "--channels=1", "--channel-map=aux0",
                   QString("--rate=%1").arg(SINK_RATE), "--latency-msec=40", "--device=vorbel_test"});
        QVERIFY(reference_->state() == QProcess::Running);
        QTest::qWait(2500);
        // Qt Multimedia connects to the server the first time it is used.
        qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {reference_.get(), server_.get()}) {
            if (process == nullptr)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }

    // At the design's rate, which the device takes.
    void soundFollowsTheDesign()
    {
        AudioEngine engine;
        AudioOutput output(engine, SINK_RATE);
        QTRY_VERIFY_WITH_TIMEOUT(!output.status().deviceMissing && output.status().designRate == SINK_RATE, 5000);
        const std::vector<Document> drag = dragToward(SINK_RATE);
        const Recording recording = record(output, drag);
        QCOMPARE(output.status().deviceRate, 0);  // closed again after Stop
        checkRecording(recording, drag.back().filter, SINK_RATE);
    }

    // The design at 44.1 kHz on a stream forced to 48 kHz: converted by
    // libsoxr, and said so.
    void soundIsConvertedToTheDevicesRate()
    {
        AudioEngine engine;
        AudioOutput output(engine, 44100, SINK_RATE);
        const std::vector<Document> drag = dragToward(44100);
        bool resampling = false;
        output.setStatusHandler([&](const AudioOutputStatus& status) { resampling = resampling || status.resampling(); });
        const Recording recording = record(output, drag);
        QVERIFY(resampling);
        checkRecording(recording, drag.back().filter, 44100);
    }

    // The program quits while it plays: the output goes while the sound is
    // running. The sound fades out to its end, as at Stop, rather than
    // breaking off, and the destructor returns once the audio thread is
    // joined, well before its deadline.
    void destroyingWhilePlayingFadesOut()
    {
        AudioEngine engine;
        engine.setCascade(cascadeCoefficients(dragToward(SINK_RATE).front().filter));
        engine.setLevelDb(-6.0);
        auto output = std::make_unique<AudioOutput>(engine, SINK_RATE);
        QProcess recorder;
        startRecorder(recorder);
        output->play();
        QTRY_VERIFY_WITH_TIMEOUT(output->status().open, 5000);
        QTest::qWait(1500);
        QElapsedTimer clock;
        clock.start();
        output.reset();
        const qint64 milliseconds = clock.elapsed();
        QTest::qWait(300);
        const Recording recording = finishRecording(recorder);
        qInfo("the output went in %lld ms", milliseconds);
        QVERIFY(milliseconds < AudioOutput::FINISH_TIMEOUT_MS);

        const std::vector<float>& sound = recording.sound;
        const auto [first, last] = audible(sound);
        QVERIFY2(last - first > static_cast<std::size_t>(SINK_RATE), "nothing recorded");
        const auto intact = std::count(recording.reference.begin() + static_cast<std::ptrdiff_t>(first),
                                       recording.reference.begin() + static_cast<std::ptrdiff_t>(last), REFERENCE_LEVEL);
        if (static_cast<double>(intact) < 0.9 * static_cast<double>(last - first))
            QSKIP("the sound server was starved");
        // A linear fade of PLAY_FADE_SECONDS: its last 5 ms are at a twentieth
        // of the level at most, where a sound cut off is at its full level.
        const auto ms = [](double count) { return static_cast<std::size_t>(count * SINK_RATE / 1000); };
        const double before = rms(sound, last - ms(300), last - ms(100));
        const double end = rms(sound, last - ms(5), last);
        qInfo("level before the end %.4f, in its last 5 ms %.4f", before, end);
        QVERIFY(before > 0.01);
        QVERIFY(end < 0.15 * before);
    }
};

QTEST_GUILESS_MAIN(AudioOutputTest)

#include "audio_output_test.moc"
