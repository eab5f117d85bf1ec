// The Listen panel on the offscreen platform, with no sound server to talk
// to: its controls and texts, what it says, and sound files chosen for it.

#include "app/listen_panel.h"
#include "model/designs.h"
#include "res/resource_ids.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <vector>

namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

Document withPole(double re, double im)
{
    Document document = designedDocument(1, 48000, 1000, 500);
    document.filter.modelIndex = MODEL_CUSTOM;
    document.filter.poles.positions[0] = {re, im};
    document.filter.poles.pairFlags[0] = true;
    document.filter.poles.count = 1;
    return document;
}

void writeTone(const QString& path, int rate, int channels, int frames)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    QVERIFY(file != nullptr);
    std::vector<double> samples(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5 * std::sin(0.05 * static_cast<double>(i / static_cast<std::size_t>(channels)));
    sf_writef_double(file, samples.data(), frames);
    sf_close(file);
}

}  // namespace

class ListenPanelTest : public QObject {
    Q_OBJECT

private slots:
    void controlsAndTheirTexts()
    {
        ListenPanel panel;
        QCOMPARE(panel.sourceBox()->count(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(panel.sourceBox()->itemText(i), text(LISTEN_SOURCES[i]));
        QCOMPARE(panel.sourceBox()->itemText(3), QString::fromUtf8("Sound file…"));
        QCOMPARE(panel.levelSlider()->minimum(), -60);
        QCOMPARE(panel.levelSlider()->maximum(), 0);
        QCOMPARE(panel.levelSlider()->value(), -12);
        QCOMPARE(panel.levelLabel()->text(), QString("-12 dB"));
        QCOMPARE(panel.playButton()->text(), QString("Play"));
        QCOMPARE(panel.bypassBox()->text(), QString("Bypass"));
        QVERIFY(!panel.bypassBox()->isChecked());
        QCOMPARE(panel.peakMeter()->minimum(), -60);

        // The controls reach the engine's controls.
        const EngineControls& controls = panel.engine().controls();
        QCOMPARE(controls.level, std::pow(10.0, -12.0 / 20.0));
        panel.levelSlider()->setValue(-30);
        QCOMPARE(panel.levelLabel()->text(), QString("-30 dB"));
        QCOMPARE(controls.level, std::pow(10.0, -30.0 / 20.0));
        QTest::mouseClick(panel.bypassBox(), Qt::LeftButton);
        QVERIFY(controls.bypass);
        panel.sourceBox()->setCurrentIndex(2);
        emit panel.sourceBox()->activated(2);
        QCOMPARE(controls.source, SoundSource::SineSweep);
    }

    // Without a device the panel says so, Play and Stop still answer, and
    // nothing else changes.
    // No output, and so no device looked for, before the first Play; the
    // one output made then stays.
    void noDeviceIsSaid()
    {
        ListenPanel panel;
        QTest::qWait(100);
        QVERIFY(panel.output() == nullptr);
        QVERIFY(panel.statusText().isEmpty());
        QTest::mouseClick(panel.playButton(), Qt::LeftButton);
        QCOMPARE(panel.playButton()->text(), QString("Stop"));
        AudioOutput* output = panel.output();
        QVERIFY(output != nullptr);
        QVERIFY(output->isPlaying());
        QTRY_VERIFY(panel.statusText().contains(text(LISTEN_NO_DEVICE)));
        QTest::qWait(100);
        QVERIFY(panel.statusText().contains(text(LISTEN_NO_DEVICE)));
        QVERIFY(!output->status().open);
        QTest::mouseClick(panel.playButton(), Qt::LeftButton);
        QCOMPARE(panel.playButton()->text(), QString("Play"));
        QVERIFY(!output->isPlaying());
        QTest::mouseClick(panel.playButton(), Qt::LeftButton);
        QCOMPARE(panel.output(), output);
        QVERIFY(output->isPlaying());
    }

    // "Unstable filter – muted" while a pole is on or outside the unit circle,
    // unless Bypass plays the unfiltered source.
    void unstableDesignIsSaid()
    {
        ListenPanel panel;
        const QString unstable = QString::fromUtf8("Unstable filter – muted");
        QCOMPARE(text(LISTEN_UNSTABLE), unstable);
        panel.showDocument(withPole(0.5, 0.5));
        QVERIFY(!panel.statusText().contains(unstable));
        QVERIFY(panel.engine().controls().playable);
        panel.showDocument(withPole(0.8, 0.6));  // radius exactly 1
        QVERIFY(panel.statusText().contains(unstable));
        QVERIFY(!panel.engine().controls().playable);
        panel.bypassBox()->setChecked(true);
        QVERIFY(!panel.statusText().contains(unstable));
        panel.bypassBox()->setChecked(false);
        QVERIFY(panel.statusText().contains(unstable));
        panel.showDocument(withPole(1.2, 0.0));
        QVERIFY(panel.statusText().contains(unstable));
        panel.showDocument(withPole(0.5, 0.5));
        QVERIFY(!panel.statusText().contains(unstable));
    }

    // A sound file becomes the source and its name is shown; one that cannot
    // be read leaves the source as it was and says why. The file follows the
    // design's rate.
    void soundFiles()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString tone = folder.filePath("tone.wav");
        writeTone(tone, 44100, 2, 4410);
        const QString bad = folder.filePath("bad.wav");
        std::ofstream(bad.toStdString()) << "not sound";

        ListenPanel panel;
        // The file's line shows only when it has something to say.
        QVERIFY(!panel.fileLabel()->isVisibleTo(&panel));
        panel.showDocument(designedDocument(0, 48000, 1000, 0));
        panel.sourceBox()->setCurrentIndex(1);
        emit panel.sourceBox()->activated(1);
        QVERIFY(!panel.openSoundFile(bad));
        QVERIFY(panel.fileLabel()->isVisibleTo(&panel));
        QCOMPARE(panel.sourceBox()->currentIndex(), 1);
        QCOMPARE(panel.engine().controls().source, SoundSource::PinkNoise);
        QVERIFY(panel.fileLabel()->text().startsWith(bad + ": not a sound file libsndfile reads: "));

        QVERIFY(panel.openSoundFile(tone));
        QCOMPARE(panel.sourceBox()->currentIndex(), 3);
        QCOMPARE(panel.engine().controls().source, SoundSource::File);
        QCOMPARE(panel.fileLabel()->text(), QString("tone.wav"));
        // Another rate converts the file again; nothing else is said.
        panel.showDocument(designedDocument(0, 96000, 1000, 0));
        QCOMPARE(panel.fileLabel()->text(), QString("tone.wav"));

        QVERIFY(!panel.openSoundFile(folder.filePath("none.wav")));
        QCOMPARE(panel.sourceBox()->currentIndex(), 3);
        QCOMPARE(panel.fileLabel()->text(), folder.filePath("none.wav") + ": no such file");
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No sound server, whatever this machine runs: the panel must say so.
    qputenv("PULSE_SERVER", "unix:/nonexistent/vorbel-no-sound-server");
    QApplication application(argc, argv);
    ListenPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "listen_panel_test.moc"
