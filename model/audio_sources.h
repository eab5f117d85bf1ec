#pragma once

#include <cstdint>

// The test signals the Listen dock offers, one sample at a time. Each is a
// plain value: no allocation, no lock, the same samples for the same seed
// and rate. Levels are full scale (peaks near ±1); the engine scales them.

// Uniform white noise in [−1, 1): xorshift64* (Vigna), whose 53 high bits make
// the mantissa. Its period (2⁶⁴ − 1 samples) is longer than anyone listens.
class WhiteNoise {
public:
    explicit WhiteNoise(std::uint64_t seed = 0x9E3779B97F4A7C15u);
    double next();

private:
    std::uint64_t state_;
};

// Pink noise (power falling 3 dB per octave): Paul Kellet's refined filter,
// seven first-order sections over white noise, within ±0.05 dB of 1/f from
// 9.2 Hz up at 44.1 kHz. Its pole radii are fixed, so at another rate the
// band where it is pink moves with the rate (at 192 kHz from about 40 Hz up),
// which leaves the audible range pink at every rate the program offers.
class PinkNoise {
public:
    explicit PinkNoise(std::uint64_t seed = 0x2545F4914F6CDD1Du);
    double next();

private:
    WhiteNoise white_;
    double b_[7] = {};
};

// A sine whose frequency rises exponentially from 10 Hz to the Nyquist
// frequency in 5 s, then starts again at 10 Hz. The phase is accumulated, so
// it runs on without a jump where the sweep starts again; only the frequency
// jumps back. prepare() must run before the first sample.
class SineSweep {
public:
    static constexpr double LOWEST_FREQUENCY = 10.0;  // Hz
    static constexpr double SECONDS = 5.0;

    // Starts the sweep at its lowest frequency, at phase 0.
    void prepare(int sampleRate);
    double next();

    // Samples per sweep: 5 s at the rate.
    std::int64_t length() const { return length_; }

private:
    double frequency_ = LOWEST_FREQUENCY;  // Hz, of the next sample
    double ratio_ = 1.0;                   // of the frequency from one sample to the next
    double radiansPerHertz_ = 0.0;         // 2π / rate
    double phase_ = 0.0;                   // [−π, π)
    std::int64_t length_ = 1;
    std::int64_t position_ = 0;            // in the sweep, 0 … length − 1
};
