#pragma once

// How loud a recorded or rendered signal is near one frequency, for the
// tests that compare the sound with |H|.

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

constexpr std::size_t BAND_SEGMENT = 4096;

// Mean power of signal[from … to) near frequency f: Hann-windowed segments
// of BAND_SEGMENT samples, one every hop samples, the squared DFT magnitude
// at nine bins around f (Goertzel's recurrence per bin), averaged.
template <typename Sample>
double bandPower(const std::vector<Sample>& signal, std::size_t from, std::size_t to, std::size_t hop, double f,
                 double rate)
{
    const double bin = std::round(f / rate * BAND_SEGMENT);
    double total = 0.0;
    int count = 0;
    for (std::size_t start = from; start + BAND_SEGMENT <= to; start += hop) {
        for (int k = -4; k <= 4; ++k) {
            const double coefficient = 2 * std::cos(2 * std::numbers::pi * (bin + k) / BAND_SEGMENT);
            double s1 = 0.0;
            double s2 = 0.0;
            for (std::size_t i = 0; i < BAND_SEGMENT; ++i) {
                const double window =
                    0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / BAND_SEGMENT);
                const double s = signal[start + i] * window + coefficient * s1 - s2;
                s2 = s1;
                s1 = s;
            }
            total += s1 * s1 + s2 * s2 - coefficient * s1 * s2;
            ++count;
        }
    }
    return total / count;
}
