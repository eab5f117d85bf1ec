#pragma once

#include <cstdint>
#include <vector>

// A look-ahead peak limiter whose output never exceeds CEILING in magnitude,
// whatever comes in: the last guard between a filter with an absurd gain and
// the listener's ears.
//
// The signal is delayed by L samples (2 ms). For each incoming sample x[n] the
// gain it needs is g[n] = min(1, C / |x[n]|). The gain applied to the sample
// leaving the delay, x[n − L], is the average over the last L + 1 values of
//   h[k] = min(g[k − L] … g[k]), lowered further by the release (below).
// Every one of those L + 1 windows contains the index n − L, so every averaged
// value is at most g[n − L], and so is the average: |y| ≤ C exactly, not
// approximately, and the gain still changes smoothly (a peak is approached
// over L samples, never jumped to). This is the minimum-then-box-filter
// limiter known from mastering tools. After a peak the gain may rise by at
// most RELEASE_DB_PER_SECOND, which only ever lowers h and so keeps the proof.
//
// The few ulps the average can gain in floating point are taken away by a
// final clamp to C, which touches nothing else. Input beyond ±1e6 (+120 dBFS)
// is clipped there first, and a non-finite sample becomes 0, so that every
// gain stays a normal number; what a filter produces at such levels is noise
// anyway.
//
// process() allocates nothing and takes no lock; the constructor allocates
// the delay lines for the highest rate once.
class PeakLimiter {
public:
    static constexpr double CEILING = 0.89;  // −1.01 dBFS: below −1 dBFS (0.8913) even as a float
    static constexpr double LOOK_AHEAD_SECONDS = 0.002;
    static constexpr double RELEASE_DB_PER_SECOND = 60.0;
    static constexpr double INPUT_LIMIT = 1e6;

    explicit PeakLimiter(int highestSampleRate);

    // Sets the rate (at most the constructor's) and starts afresh.
    void prepare(int sampleRate);
    // Empties the delay line; the gain returns to 1.
    void reset();

    // The delay L in samples.
    int latency() const { return lookAhead_; }

    // Takes x[n], returns the limited x[n − L].
    double process(double x);

private:
    int capacity_;          // of each line: the highest rate's L + 1
    int lookAhead_ = 1;     // L
    int window_ = 2;        // L + 1
    double release_ = 1.0;  // the most the gain may grow per sample

    std::vector<double> delay_;  // L samples: x[n − L] … x[n − 1]
    int delayPosition_ = 0;

    // The running minimum over the last L + 1 gains: increasing values with
    // the sample counts at which they entered, oldest first, in a ring.
    std::vector<double> minimumValues_;
    std::vector<std::uint64_t> minimumTimes_;
    int minimumHead_ = 0;
    int minimumCount_ = 0;
    std::uint64_t time_ = 0;

    double released_ = 1.0;      // h after the release, of the last sample
    std::vector<double> gains_;  // the last L + 1 released gains
    int gainPosition_ = 0;
    double gainSum_ = 0.0;       // their sum, recomputed at every turn of the ring
};
