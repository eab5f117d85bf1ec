#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct soxr;

// One channel converted from one sample rate to another while it is pulled:
// the Listen dock's sound, made at the design's rate, for an output device
// that runs at another. libsoxr (high quality, linear phase) does the work;
// it asks the source for input as it needs it.
//
// The constructor allocates and primes the resampler, so that pull()
// allocates nothing in the steady state (libsoxr sizes its buffers during
// the priming); pull() takes no lock.
class StreamResampler {
public:
    // Fills samples[0 … count) with the next input samples; count is at most
    // the constructor's maxInput.
    using Source = void (*)(void* context, float* samples, std::size_t count);

    StreamResampler(double inputRate, double outputRate, std::size_t maxInput, Source source, void* context);
    ~StreamResampler();
    StreamResampler(const StreamResampler&) = delete;
    StreamResampler& operator=(const StreamResampler&) = delete;

    // Empty when the resampler works; otherwise why it could not be made.
    const std::string& error() const { return error_; }

    // The next count output samples.
    void pull(float* out, std::size_t count);

private:
    static std::size_t supply(void* self, const void** data, std::size_t requested);

    soxr* resampler_ = nullptr;
    Source source_;
    void* context_;
    std::vector<float> input_;
    std::string error_;
    bool priming_ = false;
};
