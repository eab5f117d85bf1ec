#include "app/listen_panel.h"

#include "res/resource_ids.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int FILE_SOURCE = static_cast<int>(SoundSource::File);
constexpr int METER_INTERVAL_MS = 33;
constexpr int METER_FLOOR_DB = -60;

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

ListenPanel::ListenPanel(QWidget* parent, int deviceRate) : QWidget(parent), deviceRate_(deviceRate)
{
    source_ = new QComboBox(this);
    for (const char* name : LISTEN_SOURCES)
        source_->addItem(text(name));
    play_ = new QPushButton(text(LISTEN_PLAY), this);
    level_ = new QSlider(Qt::Horizontal, this);
    level_->setRange(static_cast<int>(AudioEngine::LOWEST_LEVEL_DB), static_cast<int>(AudioEngine::HIGHEST_LEVEL_DB));
    level_->setValue(static_cast<int>(AudioEngine::DEFAULT_LEVEL_DB));
    level_->setPageStep(6);
    levelText_ = new QLabel(this);
    meter_ = new QProgressBar(this);
    meter_->setRange(METER_FLOOR_DB, 0);
    meter_->setValue(METER_FLOOR_DB);
    meter_->setFormat(text(LISTEN_PEAK_SILENT));
    bypass_ = new QCheckBox(text(LISTEN_BYPASS), this);
    file_ = new QLabel(this);
    file_->setWordWrap(true);
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = new QLabel(this);
    status_->setWordWrap(true);

    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(level_, 1);
    levelRow->addWidget(levelText_);
    form_ = new QFormLayout;
    QFormLayout* form = form_;
    form->addRow(text(LISTEN_SOURCE_LABEL), source_);
    form->addRow(QString(), file_);
    form->addRow(text(LISTEN_LEVEL_LABEL), levelRow);
    form->addRow(text(LISTEN_PEAK_LABEL), meter_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(play_);
    buttons->addWidget(bypass_);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addLayout(buttons);
    column->addWidget(status_);
    column->addStretch(1);

    connect(source_, &QComboBox::activated, this, [this](int index) { sourceActivated(index); });
    connect(play_, &QPushButton::clicked, this, [this] { playClicked(); });
    connect(level_, &QSlider::valueChanged, this, [this](int value) { levelMoved(value); });
    connect(bypass_, &QCheckBox::toggled, this, [this](bool on) { bypassToggled(on); });
    meterTimer_.setInterval(METER_INTERVAL_MS);
    connect(&meterTimer_, &QTimer::timeout, this, [this] { updateMeter(); });

    levelMoved(level_->value());
    showFileText({});
    updateStatus();
}

// The file's row takes no room while it has nothing to say.
void ListenPanel::showFileText(const QString& line)
{
    file_->setText(line);
    form_->setRowVisible(file_, !line.isEmpty());
}

ListenPanel::~ListenPanel() = default;

void ListenPanel::showDocument(const Document& document)
{
    const CascadeCoefficients cascade = cascadeCoefficients(document.filter);
    if (!sameCascade(cascade, cascade_)) {
        cascade_ = cascade;
        playable_ = isPlayable(cascade);
        engine_.setCascade(cascade);
    }
    if (document.sampleRate != sampleRate_) {
        sampleRate_ = document.sampleRate;
        if (output_)
            output_->setSampleRate(sampleRate_);
        if (clip_)
            sendFileSamples();
    }
    updateStatus();
}

void ListenPanel::sendFileSamples()
{
    MonoResult mono = monoAtRate(*clip_, sampleRate_);
    if (!mono.error.empty())
        showFileText(QString::fromStdString(mono.error));
    engine_.setFileSamples(std::move(mono.samples));
}

bool ListenPanel::openSoundFile(const QString& path)
{
    SoundClipRead read = readSoundClip(path.toStdString());
    if (!read.clip) {
        showFileText(QString::fromStdString(read.error));
        const QSignalBlocker blocker(source_);
        source_->setCurrentIndex(chosenSource_);
        return false;
    }
    clip_ = std::move(read.clip);
    const QString name = QFileInfo(path).fileName();
    showFileText(text(clip_->truncated ? LISTEN_FILE_TRUNCATED_FORMAT : LISTEN_FILE_FORMAT).arg(name));
    sendFileSamples();
    {
        const QSignalBlocker blocker(source_);
        source_->setCurrentIndex(FILE_SOURCE);
    }
    chosenSource_ = FILE_SOURCE;
    engine_.setSource(SoundSource::File);
    return true;
}

void ListenPanel::sourceActivated(int index)
{
    if (index == FILE_SOURCE) {
        // The sound goes on while the dialog is open: it runs in its own thread.
        const QString path = QFileDialog::getOpenFileName(this, text(LISTEN_FILE_DIALOG_TITLE), QString(),
                                                          text(SOUND_FILE_FILTER));
        if (path.isEmpty()) {
            const QSignalBlocker blocker(source_);
            source_->setCurrentIndex(chosenSource_);
            return;
        }
        openSoundFile(path);
        return;
    }
    chosenSource_ = index;
    engine_.setSource(static_cast<SoundSource>(index));
}

void ListenPanel::playClicked()
{
    if (!output_) {
        output_ = std::make_unique<AudioOutput>(engine_, sampleRate_, deviceRate_);
        output_->setStatusHandler([this](const AudioOutputStatus&) { updateStatus(); });
    }
    if (output_->isPlaying()) {
        output_->stop();
        play_->setText(text(LISTEN_PLAY));
    } else {
        output_->play();
        play_->setText(text(LISTEN_STOP));
        meterTimer_.start();
    }
}

void ListenPanel::levelMoved(int decibels)
{
    levelText_->setText(text(LISTEN_LEVEL_FORMAT).arg(decibels));
    engine_.setLevelDb(decibels);
}

void ListenPanel::bypassToggled(bool on)
{
    engine_.setBypass(on);
    updateStatus();
}

QString ListenPanel::statusText() const { return status_->text(); }

void ListenPanel::updateStatus()
{
    const AudioOutputStatus status = output_ ? output_->status() : AudioOutputStatus{};
    QStringList lines;
    if (status.deviceMissing)
        lines << text(LISTEN_NO_DEVICE);
    if (!playable_ && !bypass_->isChecked())
        lines << text(LISTEN_UNSTABLE);
    if (status.resampling())
        lines << text(LISTEN_RESAMPLING).arg(status.designRate).arg(status.deviceRate);
    if (!status.problem.isEmpty())
        lines << status.problem;
    status_->setText(lines.join(QLatin1Char('\n')));
}

void ListenPanel::updateMeter()
{
    const double peak = engine_.meterPeak();
    const double decibels = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    if (decibels < METER_FLOOR_DB) {
        meter_->setValue(METER_FLOOR_DB);
        meter_->setFormat(text(LISTEN_PEAK_SILENT));
    } else {
        meter_->setValue(static_cast<int>(std::lround(decibels)));
        meter_->setFormat(text(LISTEN_PEAK_FORMAT).arg(decibels, 0, 'f', 1));
    }
    if (!engine_.controls().playing && peak == 0.0)
        meterTimer_.stop();
}
