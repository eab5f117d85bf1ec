#pragma once

#include "app/audio_output.h"
#include "model/audio_cascade.h"
#include "model/document.h"
#include "sound/sound_file.h"

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

// The Listen dock's contents: the source ("White noise", "Pink noise", "Sine
// sweep", "Sound file…"), Play/Stop, the output level in dB (−60 … 0,
// default −12), a peak meter, "Bypass", and a status line ("No audio output
// device", "Unstable filter – muted", the rate conversion). It owns the audio
// output and the engine, and takes each new design through showDocument().
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

    AudioOutput& output() { return output_; }
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

    AudioOutput output_;
    QComboBox* source_ = nullptr;
    QPushButton* play_ = nullptr;
    QSlider* level_ = nullptr;
    QLabel* levelText_ = nullptr;
    QProgressBar* meter_ = nullptr;
    QCheckBox* bypass_ = nullptr;
    QLabel* file_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer meterTimer_;

    CascadeCoefficients cascade_;
    bool playable_ = true;
    int sampleRate_ = 0;
    int chosenSource_ = 0;  // the combo's index before "Sound file…" was chosen
    std::optional<SoundClip> clip_;
};
