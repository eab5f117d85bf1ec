#include "model/audio_engine.h"

#include <algorithm>
#include <cmath>
#include <utility>

double levelGain(double decibels) { return std::pow(10.0, decibels / 20.0); }

// ---- Ramp

void AudioEngine::Ramp::moveTo(double newTarget, int samples)
{
    target = newTarget;
    if (samples <= 0 || value == newTarget) {
        jumpTo(newTarget);
        return;
    }
    step = (newTarget - value) / samples;
    remaining = samples;
}

void AudioEngine::Ramp::jumpTo(double newTarget)
{
    value = newTarget;
    target = newTarget;
    step = 0.0;
    remaining = 0;
}

double AudioEngine::Ramp::next()
{
    if (remaining > 0) {
        if (--remaining == 0)
            value = target;
        else
            value += step;
    }
    return value;
}

// ---- Control side

AudioEngine::AudioEngine() : limiter_(HIGHEST_SAMPLE_RATE)
{
    controls_.level = levelGain(DEFAULT_LEVEL_DB);
    controls_.playable = isPlayable(controls_.cascade);
    publishControls();
    prepare(44100);
}

void AudioEngine::publishControls()
{
    controlsExchange_.back() = controls_;
    controlsExchange_.publish();
}

void AudioEngine::setCascade(const CascadeCoefficients& cascade)
{
    controls_.cascade = cascade;
    controls_.playable = isPlayable(cascade);
    publishControls();
}

void AudioEngine::setBypass(bool bypass)
{
    controls_.bypass = bypass;
    publishControls();
}

void AudioEngine::setPlaying(bool playing)
{
    controls_.playing = playing;
    publishControls();
}

void AudioEngine::setSource(SoundSource source)
{
    controls_.source = source;
    publishControls();
}

void AudioEngine::setLevelDb(double decibels)
{
    const double clamped = std::isnan(decibels) ? DEFAULT_LEVEL_DB : std::clamp(decibels, LOWEST_LEVEL_DB, HIGHEST_LEVEL_DB);
    controls_.level = levelGain(clamped);
    publishControls();
}

void AudioEngine::setFileSamples(std::vector<float> samples)
{
    fileExchange_.back() = std::move(samples);
    fileExchange_.publish();
    // The slot just taken back holds a file the audio side no longer reads
    // (or never read): its memory is given back here, not there.
    std::vector<float>().swap(fileExchange_.back());
}

// ---- Audio side

void AudioEngine::prepare(int sampleRate)
{
    sampleRate_ = std::clamp(sampleRate, 1, HIGHEST_SAMPLE_RATE);
    const double rate = sampleRate_;
    crossfadeLength_ = std::max(1, static_cast<int>(std::lround(CROSSFADE_SECONDS * rate)));
    playFadeLength_ = std::max(1, static_cast<int>(std::lround(PLAY_FADE_SECONDS * rate)));
    meterFall_ = std::pow(10.0, -METER_FALL_DB_PER_SECOND / 20.0 / rate);
    limiter_.prepare(sampleRate_);
    sweep_.prepare(sampleRate_);
    white_ = WhiteNoise();
    pink_ = PinkNoise();
    filePosition_ = 0;
    fileLooped_ = false;
    held_ = false;
    gate_.jumpTo(0.0);
    meterValue_ = 0.0;
    meter_.store(0.0f, std::memory_order_relaxed);
    silent_.store(true, std::memory_order_relaxed);
    // The controls now in front are applied afresh by the next render.
    controlsTaken_ = false;
    appliedWhileQuiet_ = false;
}

void AudioEngine::fadeOutForRestart()
{
    held_ = true;
    gate_.moveTo(0.0, static_cast<int>(std::lround(gate_.value * playFadeLength_)));
}

void AudioEngine::takeControls(bool force)
{
    if (!controlsExchange_.update() && !force)
        return;
    const EngineControls& controls = controlsExchange_.front();
    if (controls.level != level_.target)
        level_.moveTo(controls.level, crossfadeLength_);
    const double open = controls.playing && !held_ ? 1.0 : 0.0;
    if (open != gate_.target)
        gate_.moveTo(open, static_cast<int>(std::lround(std::fabs(open - gate_.value) * playFadeLength_)));
    target_.kind = controls.bypass ? PathKind::Through : controls.playable ? PathKind::Cascade : PathKind::Silent;
    target_.cascade = controls.cascade;
    wantedSource_ = controls.source;
    muted_.store(target_.kind == PathKind::Silent, std::memory_order_relaxed);
    appliedWhileQuiet_ = false;
}

void AudioEngine::applyAtOnce()
{
    Path& path = paths_[current_];
    path.kind = target_.kind;
    path.cascade = target_.cascade;
    path.state = CascadeState();
    crossfading_ = false;
    crossfade_.jumpTo(0.0);
    source_ = wantedSource_;
    if (fileExchange_.update()) {
        filePosition_ = 0;
        fileLooped_ = false;
    }
    sourceGain_.jumpTo(1.0);
    level_.jumpTo(level_.target);
    limiter_.reset();
    appliedWhileQuiet_ = true;
}

void AudioEngine::startCrossfadeIfDue()
{
    if (crossfading_)
        return;
    const Path& current = paths_[current_];
    if (current.kind == target_.kind
        && (target_.kind != PathKind::Cascade || sameCascade(current.cascade, target_.cascade)))
        return;
    Path& next = paths_[1 - current_];
    next.kind = target_.kind;
    next.cascade = target_.cascade;
    next.state = CascadeState();
    crossfade_.jumpTo(0.0);
    crossfade_.moveTo(1.0, crossfadeLength_);
    crossfading_ = true;
}

double AudioEngine::nextFileSample()
{
    const std::vector<float>& file = fileExchange_.front();
    const std::size_t size = file.size();
    if (size == 0)
        return 0.0;
    if (filePosition_ >= size) {
        filePosition_ = 0;
        fileLooped_ = true;
    }
    const std::size_t position = filePosition_++;
    double sample = file[position];
    // Where the loop joins its end to its start, both fade through zero over
    // the crossfade's length, so that the seam makes no click.
    const auto fade = static_cast<std::size_t>(crossfadeLength_);
    if (size > 2 * fade) {
        if (fileLooped_ && position < fade)
            sample *= static_cast<double>(position) / static_cast<double>(fade);
        else if (position >= size - fade)
            sample *= static_cast<double>(size - 1 - position) / static_cast<double>(fade);
    }
    return sample;
}

double AudioEngine::nextSourceSample()
{
    switch (source_) {
    case SoundSource::WhiteNoise:
        return SOURCE_LEVEL * white_.next();
    case SoundSource::PinkNoise:
        return SOURCE_LEVEL * pink_.next();
    case SoundSource::SineSweep:
        return SOURCE_LEVEL * sweep_.next();
    case SoundSource::File:
        return nextFileSample();
    }
    return 0.0;
}

void AudioEngine::makeInput(double* samples, std::size_t count)
{
    // A file that arrives while another source plays is taken at once.
    if (source_ != SoundSource::File && fileExchange_.update()) {
        filePosition_ = 0;
        fileLooped_ = false;
    }
    bool change = source_ != wantedSource_ || (source_ == SoundSource::File && fileExchange_.hasNewer());
    if (change && sourceGain_.target != 0.0)
        sourceGain_.moveTo(0.0, static_cast<int>(std::lround(sourceGain_.value * crossfadeLength_)));
    for (std::size_t i = 0; i < count; ++i) {
        if (change && sourceGain_.value == 0.0) {
            source_ = wantedSource_;
            if (fileExchange_.update()) {
                filePosition_ = 0;
                fileLooped_ = false;
            }
            sourceGain_.moveTo(1.0, crossfadeLength_);
            change = false;
        }
        const double gain = sourceGain_.next();
        samples[i] = gain * nextSourceSample();
    }
}

void AudioEngine::runPath(Path& path, double* samples, std::size_t count)
{
    switch (path.kind) {
    case PathKind::Through:
        return;
    case PathKind::Silent:
        std::fill_n(samples, count, 0.0);
        return;
    case PathKind::Cascade:
        break;
    }
    runCascade(path.cascade, path.state, samples, count);
    // A stable cascade with an absurd gain can still overflow: its sound is
    // dropped and it starts again from rest rather than play infinities.
    bool finite = true;
    for (std::size_t i = 0; i < count; ++i)
        finite = finite && std::isfinite(samples[i]);
    if (!finite) {
        std::fill_n(samples, count, 0.0);
        path.state = CascadeState();
    }
    flushTinyState(path.state, path.cascade.count);
}

void AudioEngine::render(float* out, std::size_t frames)
{
    std::size_t done = 0;
    while (done < frames) {
        takeControls(!controlsTaken_);
        controlsTaken_ = true;
        // With the gate shut nothing is heard: changes take effect at once,
        // and a Play starts from rest.
        if (gate_.value == 0.0) {
            if (!appliedWhileQuiet_ || fileExchange_.hasNewer())
                applyAtOnce();
            if (gate_.target == 0.0) {
                std::fill(out + done, out + frames, 0.0f);
                meterValue_ *= std::pow(meterFall_, static_cast<double>(frames - done));
                if (meterValue_ < 1e-9)
                    meterValue_ = 0.0;
                silent_.store(true, std::memory_order_relaxed);
                break;
            }
        }
        silent_.store(false, std::memory_order_relaxed);
        appliedWhileQuiet_ = false;
        startCrossfadeIfDue();

        std::size_t count = std::min(CHUNK, frames - done);
        if (crossfading_)
            count = std::min(count, static_cast<std::size_t>(crossfade_.remaining));
        makeInput(input_, count);

        std::copy_n(input_, count, mixed_);
        runPath(paths_[current_], mixed_, count);
        if (crossfading_) {
            std::copy_n(input_, count, incoming_);
            runPath(paths_[1 - current_], incoming_, count);
            for (std::size_t i = 0; i < count; ++i) {
                const double weight = crossfade_.next();
                mixed_[i] += weight * (incoming_[i] - mixed_[i]);
            }
            if (crossfade_.remaining == 0) {
                // The weight has reached exactly 1: the output is the new
                // processing's alone, which becomes the current one.
                current_ = 1 - current_;
                crossfading_ = false;
            }
        }

        double chunkPeak = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            const double limited = limiter_.process(mixed_[i]);
            const double sample = std::clamp(limited * level_.next() * gate_.next(), -PeakLimiter::CEILING,
                                             PeakLimiter::CEILING);
            out[done + i] = static_cast<float>(sample);
            chunkPeak = std::max(chunkPeak, std::fabs(sample));
        }
        meterValue_ = std::max(chunkPeak, meterValue_ * std::pow(meterFall_, static_cast<double>(count)));
        if (meterValue_ < 1e-9)
            meterValue_ = 0.0;
        done += count;
    }
    meter_.store(static_cast<float>(meterValue_), std::memory_order_relaxed);
}
