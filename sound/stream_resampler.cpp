#include "sound/stream_resampler.h"

#include <soxr.h>

#include <algorithm>

StreamResampler::StreamResampler(double inputRate, double outputRate, std::size_t maxInput, Source source,
                                 void* context)
    : source_(source), context_(context), input_(std::max<std::size_t>(maxInput, 1))
{
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // no threads of its own
    resampler_ = soxr_create(inputRate, outputRate, 1, &error, &io, &quality, &runtime);
    if (resampler_ == nullptr) {
        error_ = error != nullptr ? error : "no resampler";
        return;
    }
    error = soxr_set_input_fn(resampler_, &StreamResampler::supply, this, input_.size());
    if (error != nullptr) {
        error_ = error;
        soxr_delete(resampler_);
        resampler_ = nullptr;
        return;
    }
    // Priming: a few blocks of silence through, so that libsoxr has made its
    // buffers before the first real pull. They come out first, as silence.
    priming_ = true;
    std::vector<float> scratch(input_.size());
    for (int i = 0; i < 4; ++i)
        soxr_output(resampler_, scratch.data(), scratch.size() / 4);
    priming_ = false;
}

StreamResampler::~StreamResampler()
{
    if (resampler_ != nullptr)
        soxr_delete(resampler_);
}

std::size_t StreamResampler::supply(void* self, const void** data, std::size_t requested)
{
    auto* resampler = static_cast<StreamResampler*>(self);
    const std::size_t count = std::min(requested, resampler->input_.size());
    if (resampler->priming_)
        std::fill_n(resampler->input_.begin(), count, 0.0f);
    else
        resampler->source_(resampler->context_, resampler->input_.data(), count);
    *data = resampler->input_.data();
    return count;
}

void StreamResampler::pull(float* out, std::size_t count)
{
    std::size_t done = 0;
    if (resampler_ != nullptr) {
        // The source never ends, so each call gives all that is asked; the
        // loop only guards against a library that gives less.
        for (int attempt = 0; attempt < 8 && done < count; ++attempt)
            done += soxr_output(resampler_, out + done, count - done);
    }
    std::fill(out + done, out + count, 0.0f);
}
