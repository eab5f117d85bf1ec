#include "model/audio_sources.h"

#include <algorithm>
#include <cmath>
#include <numbers>

WhiteNoise::WhiteNoise(std::uint64_t seed) : state_(seed != 0 ? seed : 1) {}

double WhiteNoise::next()
{
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    const std::uint64_t bits = state_ * 0x2545F4914F6CDD1Du;
    // 53 random bits as a double in [0, 1), then [−1, 1).
    return static_cast<double>(bits >> 11) * 0x1.0p-52 - 1.0;
}

PinkNoise::PinkNoise(std::uint64_t seed) : white_(seed) {}

double PinkNoise::next()
{
    const double white = white_.next();
    b_[0] = 0.99886 * b_[0] + white * 0.0555179;
    b_[1] = 0.99332 * b_[1] + white * 0.0750759;
    b_[2] = 0.96900 * b_[2] + white * 0.1538520;
    b_[3] = 0.86650 * b_[3] + white * 0.3104856;
    b_[4] = 0.55000 * b_[4] + white * 0.5329522;
    b_[5] = -0.7616 * b_[5] - white * 0.0168980;
    const double pink = b_[0] + b_[1] + b_[2] + b_[3] + b_[4] + b_[5] + b_[6] + white * 0.5362;
    b_[6] = white * 0.115926;
    // Kellet's scale for white noise of peak 1 gives peaks near ±1.
    return pink * 0.11;
}

void SineSweep::prepare(int sampleRate)
{
    const double rate = sampleRate > 0 ? sampleRate : 1.0;
    length_ = std::max<std::int64_t>(1, std::llround(SECONDS * rate));
    const double highest = rate / 2.0;
    ratio_ = std::pow(highest / LOWEST_FREQUENCY, 1.0 / static_cast<double>(length_));
    radiansPerHertz_ = 2.0 * std::numbers::pi / rate;
    frequency_ = LOWEST_FREQUENCY;
    phase_ = 0.0;
    position_ = 0;
}

double SineSweep::next()
{
    const double sample = std::sin(phase_);
    phase_ += radiansPerHertz_ * frequency_;
    if (phase_ >= std::numbers::pi)
        phase_ -= 2.0 * std::numbers::pi;
    // The frequency restarts exactly, so that its round-off never builds up
    // beyond one sweep.
    if (++position_ == length_) {
        position_ = 0;
        frequency_ = LOWEST_FREQUENCY;
    } else {
        frequency_ *= ratio_;
    }
    return sample;
}
