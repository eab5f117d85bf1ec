#pragma once

#include "app/audio_output.h"
#include "model/audio_cascade.h"
#include "model/document.h"
#include "sound/sound_file.h"

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

// The Listen dock's contents: the source ("White noise", "Pink noise", "Sine
// sweep", "Sound file…"), Play/Stop, the output level in dB (−60 … 0,
// default −12), a peak meter, "Bypass", and a status line ("No audio output
// device", "Unstable filter – muted", the rate conversion). It owns the
// engine and the audio output, and takes each new design through
// showDocument().
//
// The engine's controls follow the panel from the start; the audio output,
// its thread and the connection to the sound server are made at the first
// Play and kept until the panel goes, so that a program that never plays
// touches no audio device. Destroying the panel while it plays fades the
// sound out (AudioOutput).
//
// Choosing "Sound file…" asks for a file; the file is decoded here (at most
// its first MAX_LISTEN_SECONDS), mixed to one channel and converted to the
// design's rate, and converted again from the decoded samples when the
// design's rate changes. A file that cannot be read leaves the source as it
// was and says why under the source.
class ListenPanel : public QWidget {
public:
    // deviceRate: see AudioOutput.
    explicit ListenPanel(QWidget* parent = nullptr, int deviceRate = 0);
    ~ListenPanel() override;

    // A new design: its cascade crossfades in, its rate becomes the sound's.
    void showDocument(const Document& document);

    // Makes the file the source; false, with the problem shown, when it
    // cannot be read.
    bool openSoundFile(const QString& path);

    // The status lines now shown, joined by line breaks.
    QString statusText() const;

    // The engine's control side, which the controls and showDocument() set.
    AudioEngine& engine() { return engine_; }
    // The audio output; null until the first Play.
    AudioOutput* output() { return output_.get(); }
    QComboBox* sourceBox() const { return source_; }
    QPushButton* playButton() const { return play_; }
    QSlider* levelSlider() const { return level_; }
    QLabel* levelLabel() const { return levelText_; }
    QProgressBar* peakMeter() const { return meter_; }
    QCheckBox* bypassBox() const { return bypass_; }
    QLabel* fileLabel() const { return file_; }
    QLabel* statusLabel() const { return status_; }

private:
    void sourceActivated(int index);
    void playClicked();
    void levelMoved(int decibels);
    void bypassToggled(bool on);
    void updateStatus();
    void updateMeter();
    void sendFileSamples();
    void showFileText(const QString& line);

    // First: the output plays it until the output is gone.
    AudioEngine engine_;
    std::unique_ptr<AudioOutput> output_;
    int deviceRate_;
    QComboBox* source_ = nullptr;
    QPushButton* play_ = nullptr;
    QSlider* level_ = nullptr;
    QLabel* levelText_ = nullptr;
    QProgressBar* meter_ = nullptr;
    QCheckBox* bypass_ = nullptr;
    QLabel* file_ = nullptr;
    QLabel* status_ = nullptr;
    QFormLayout* form_ = nullptr;
    QTimer meterTimer_;

    CascadeCoefficients cascade_;
    bool playable_ = true;
    int sampleRate_ = 44100;  // the design's, which the engine runs at
    int chosenSource_ = 0;  // the combo's index before "Sound file…" was chosen
    std::optional<SoundClip> clip_;
};
