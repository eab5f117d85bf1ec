#include "model/peak_limiter.h"

#include <algorithm>
#include <cmath>

namespace {

int lookAheadAt(int sampleRate)
{
    return std::max(1, static_cast<int>(std::lround(PeakLimiter::LOOK_AHEAD_SECONDS * std::max(sampleRate, 1))));
}

}  // namespace

PeakLimiter::PeakLimiter(int highestSampleRate)
    : capacity_(lookAheadAt(highestSampleRate) + 1),
      delay_(static_cast<std::size_t>(capacity_)),
      minimumValues_(static_cast<std::size_t>(capacity_)),
      minimumTimes_(static_cast<std::size_t>(capacity_)),
      gains_(static_cast<std::size_t>(capacity_))
{
    prepare(highestSampleRate);
}

void PeakLimiter::prepare(int sampleRate)
{
    lookAhead_ = std::min(lookAheadAt(sampleRate), capacity_ - 1);
    window_ = lookAhead_ + 1;
    release_ = std::pow(10.0, RELEASE_DB_PER_SECOND / 20.0 / std::max(sampleRate, 1));
    reset();
}

void PeakLimiter::reset()
{
    std::fill(delay_.begin(), delay_.end(), 0.0);
    delayPosition_ = 0;
    minimumHead_ = 0;
    minimumCount_ = 0;
    time_ = 0;
    released_ = 1.0;
    std::fill(gains_.begin(), gains_.end(), 1.0);
    gainPosition_ = 0;
    gainSum_ = window_;
}

double PeakLimiter::process(double x)
{
    if (!std::isfinite(x))
        x = 0.0;
    x = std::clamp(x, -INPUT_LIMIT, INPUT_LIMIT);
    const double magnitude = std::fabs(x);
    const double needed = magnitude > CEILING ? CEILING / magnitude : 1.0;

    // The running minimum over [n − L, n]: let the oldest entry go once it
    // is L + 1 samples old, drop the newer entries that are not smaller than
    // this one, and add it.
    if (minimumCount_ > 0
        && time_ - minimumTimes_[static_cast<std::size_t>(minimumHead_)] >= static_cast<std::uint64_t>(window_)) {
        if (++minimumHead_ == window_)
            minimumHead_ = 0;
        --minimumCount_;
    }
    while (minimumCount_ > 0) {
        int last = minimumHead_ + minimumCount_ - 1;
        if (last >= window_)
            last -= window_;
        if (minimumValues_[static_cast<std::size_t>(last)] < needed)
            break;
        --minimumCount_;
    }
    int tail = minimumHead_ + minimumCount_;
    if (tail >= window_)
        tail -= window_;
    minimumValues_[static_cast<std::size_t>(tail)] = needed;
    minimumTimes_[static_cast<std::size_t>(tail)] = time_;
    ++minimumCount_;
    ++time_;
    const double minimum = minimumValues_[static_cast<std::size_t>(minimumHead_)];

    released_ = std::min(minimum, std::min(1.0, released_ * release_));

    // The box average of the released gains.
    gainSum_ += released_ - gains_[static_cast<std::size_t>(gainPosition_)];
    gains_[static_cast<std::size_t>(gainPosition_)] = released_;
    if (++gainPosition_ == window_) {
        gainPosition_ = 0;
        double sum = 0.0;
        for (int i = 0; i < window_; ++i)
            sum += gains_[static_cast<std::size_t>(i)];
        gainSum_ = sum;
    }
    const double gain = gainSum_ / window_;

    const double delayed = delay_[static_cast<std::size_t>(delayPosition_)];
    delay_[static_cast<std::size_t>(delayPosition_)] = x;
    if (++delayPosition_ == lookAhead_)
        delayPosition_ = 0;

    return std::clamp(delayed * gain, -CEILING, CEILING);
}
