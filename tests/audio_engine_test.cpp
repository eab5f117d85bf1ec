// The sound's processing: the cascade against the coefficient text's
// sections, the crossfade's continuity, muting, the limiter's ceiling, the
// Play and Stop fades, the sources, and the hand-over between threads.

#include "model/audio_cascade.h"
#include "model/audio_engine.h"
#include "model/audio_sources.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/peak_limiter.h"
#include "model/triple_buffer.h"
#include "tests/band_power.h"
#include "tests/reference_cascade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int RATE = 48000;
const int FADE = static_cast<int>(std::lround(AudioEngine::CROSSFADE_SECONDS * RATE));
const int PLAY_FADE = static_cast<int>(std::lround(AudioEngine::PLAY_FADE_SECONDS * RATE));
const int CHUNK = static_cast<int>(AudioEngine::CHUNK);
// −1 dBFS, the ceiling the output must stay below.
const double MINUS_ONE_DBFS = std::pow(10.0, -1.0 / 20.0);

Document customDocument(const std::vector<std::complex<double>>& zeroPairs,
                        const std::vector<std::complex<double>>& polePairs, const std::vector<double>& singlePoles = {})
{
    Document document = designedDocument(0, RATE, 1000, 0);
    FilterState& filter = document.filter;
    filter.modelIndex = MODEL_CUSTOM;
    filter.zeros.count = 0;
    for (const std::complex<double>& z : zeroPairs) {
        filter.zeros.positions[filter.zeros.count] = {z.real(), z.imag()};
        filter.zeros.pairFlags[filter.zeros.count++] = true;
    }
    filter.poles.count = 0;
    for (const std::complex<double>& p : polePairs) {
        filter.poles.positions[filter.poles.count] = {p.real(), p.imag()};
        filter.poles.pairFlags[filter.poles.count++] = true;
    }
    for (const double p : singlePoles) {
        filter.poles.positions[filter.poles.count] = {p, 0.0};
        filter.poles.pairFlags[filter.poles.count++] = false;
    }
    normalizeGain(filter);
    return document;
}

// Renders frames samples in blocks of random length, as an audio device asks.
std::vector<float> render(AudioEngine& engine, std::size_t frames, std::mt19937& random, int shortest = 1,
                          int longest = 700)
{
    std::vector<float> out(frames);
    std::uniform_int_distribution<int> blockLength(shortest, longest);
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t count = std::min(frames - done, static_cast<std::size_t>(blockLength(random)));
        engine.render(out.data() + done, count);
        done += count;
    }
    return out;
}

std::vector<float> noise(std::size_t count, double amplitude, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
    std::vector<float> samples(count);
    for (float& sample : samples)
        sample = static_cast<float>(uniform(random));
    return samples;
}

std::vector<double> widened(const std::vector<float>& samples) { return {samples.begin(), samples.end()}; }

double peakOf(const std::vector<double>& samples)
{
    double peak = 0.0;
    for (const double v : samples)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

// An engine playing the given samples as its file, at 0 dB, started.
void startWithFile(AudioEngine& engine, const Document& document, std::vector<float> file)
{
    engine.setCascade(cascadeCoefficients(document.filter));
    engine.setSource(SoundSource::File);
    engine.setFileSamples(std::move(file));
    engine.setLevelDb(0.0);
    engine.setPlaying(true);
    engine.prepare(RATE);
}

std::vector<Document> variedDocuments()
{
    std::vector<Document> documents;
    for (int model = 0; model < MODEL_CUSTOM; ++model)
        for (const int cutoff : {300, 1000, 1700})
            documents.push_back(designedDocument(model, RATE, cutoff, 1000));
    // Single poles combined in pairs and a last first-order one; more zeros
    // than poles, so that the sections carry a delay.
    documents.push_back(customDocument({{0.3, 0.9}, {-0.5, 0.5}, {0.9, 0.1}}, {{0.7, 0.2}}, {0.5, -0.3, 0.8}));
    documents.push_back(customDocument({{0.2, 0.95}, {0.6, 0.6}, {-0.9, 0.3}}, {}));
    return documents;
}

}  // namespace

// The cascade the sound runs is the coefficient text's: alone, against the
// sections read back from the text and run in direct form I; and inside the
// engine, which after the fade-in gives exactly the cascade's output delayed
// by the limiter's look-ahead, the limiter doing nothing at this level.
TEST(AudioEngine, ProcessingMatchesTheCoefficientTextsCascade)
{
    std::mt19937 random(11);
    const std::size_t length = 20000;
    for (const Document& document : variedDocuments()) {
        SCOPED_TRACE(coefficientText(document));
        const std::vector<float> file = noise(length + 20000, 0.05, 5);
        const std::vector<double> input = widened(file);
        const std::vector<double> reference = ReferenceCascade(document).filter(input);
        const double peak = peakOf(reference);
        ASSERT_LT(peak, 0.8) << "the limiter would act";

        CascadeCoefficients cascade = cascadeCoefficients(document.filter);
        ASSERT_TRUE(isPlayable(cascade));
        CascadeState state;
        std::vector<double> alone = input;
        for (std::size_t done = 0; done < alone.size();) {
            const std::size_t count = std::min<std::size_t>(alone.size() - done, 1 + random() % 500);
            runCascade(cascade, state, alone.data() + done, count);
            done += count;
        }
        double worst = 0.0;
        for (std::size_t n = 0; n < input.size(); ++n)
            worst = std::max(worst, std::fabs(alone[n] - reference[n]));
        // The two forms round differently; poles near z = 1 magnify that to
        // about 1e-11 of the peak. A wrong coefficient would show at 1e-3.
        EXPECT_LE(worst, 1e-9 * peak);

        AudioEngine engine;
        startWithFile(engine, document, file);
        const std::vector<float> out = render(engine, length, random);
        const auto latency = static_cast<std::size_t>(engine.latency());
        double worstOut = 0.0;
        for (std::size_t n = 0; n < length; ++n) {
            const double delayed = n >= latency ? reference[n - latency] : 0.0;
            const double gate = std::min(1.0, static_cast<double>(n + 1) / PLAY_FADE);
            worstOut = std::max(worstOut, std::fabs(out[n] - delayed * gate));
        }
        EXPECT_LE(worstOut, 1e-7 + 1e-6 * peak);
    }
}

// Continuity: the designs change often, sometimes again while a crossfade
// runs, and no output sample may step further from the one before than the
// signal itself steps plus what an honest crossfade adds.
//
// Precisely: with r_d the output of design d running on the whole input, S the
// largest |r_d[n] − r_d[n−1]| over all designs and the samples checked (those
// after the fade-in), and M the largest |r_d[n]| there, every output step must be at most S + 8·M / F, F the crossfade
// length. A mix (1 − w)·A + w·B whose weight w rises by 1/F per sample steps
// by at most max(|ΔA|, |ΔB|) + |A − B| / F ≤ S + 2·M / F; the rest allows
// for the new cascade starting from rest, whose start-up differs from r_d by
// a transient that, with all poles within radius 0.5, dies within a few
// dozen samples while its weight is still a few 1/F. Switching from one
// design's output to the next without a crossfade breaks this bound, which
// the test checks too, so that the bound is no formality.
TEST(AudioEngine, CrossfadeKeepsEveryStepWithinTheSignalsOwn)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> poleRadius(0.1, 0.5);
    std::uniform_real_distribution<double> zeroRadius(0.3, 1.2);
    std::uniform_real_distribution<double> angle(0.05, 3.1);
    std::vector<Document> designs;
    for (int k = 0; k < 30; ++k) {
        std::vector<std::complex<double>> zeros;
        std::vector<std::complex<double>> poles;
        const int pairs = 1 + k % 3;
        for (int i = 0; i < pairs; ++i) {
            zeros.push_back(std::polar(zeroRadius(random), angle(random)));
            poles.push_back(std::polar(poleRadius(random), angle(random)));
        }
        designs.push_back(customDocument(zeros, poles));
    }

    const std::size_t total = PLAY_FADE + 2000 + designs.size() * 700 + 6000;
    std::vector<float> file(total + 10000);
    for (std::size_t n = 0; n < file.size(); ++n) {
        const double t = static_cast<double>(n) / RATE;
        file[n] = static_cast<float>(0.2 * std::sin(2 * std::numbers::pi * 220 * t)
                                     + 0.15 * std::sin(2 * std::numbers::pi * 330 * t + 1.0));
    }
    const std::vector<double> input = widened(file);

    AudioEngine engine;
    startWithFile(engine, designs[0], file);
    std::vector<float> out;
    std::vector<std::size_t> changes;
    const auto append = [&](std::size_t count) {
        const std::vector<float> block = render(engine, count, random, 16, 200);
        out.insert(out.end(), block.begin(), block.end());
    };
    append(PLAY_FADE + 2000);
    std::uniform_int_distribution<int> gap(16, 600);
    for (std::size_t k = 1; k < designs.size(); ++k) {
        changes.push_back(out.size());
        engine.setCascade(cascadeCoefficients(designs[k].filter));
        append(static_cast<std::size_t>(gap(random)));
    }
    append(total - out.size());

    std::vector<std::vector<double>> references;
    double largestStep = 0.0;
    double largest = 0.0;
    for (const Document& design : designs) {
        references.push_back(ReferenceCascade(design).filter(input));
        const std::vector<double>& r = references.back();
        for (std::size_t n = PLAY_FADE; n < total; ++n) {
            largestStep = std::max(largestStep, std::fabs(r[n] - r[n - 1]));
            largest = std::max(largest, std::fabs(r[n]));
        }
    }
    ASSERT_LT(largest, 0.8) << "the limiter would act";
    const double allowed = largestStep + 8.0 * largest / FADE;

    const auto latency = static_cast<std::size_t>(engine.latency());
    double worstStep = 0.0;
    for (std::size_t n = PLAY_FADE + latency + 1; n < total; ++n)
        worstStep = std::max(worstStep, std::fabs(static_cast<double>(out[n]) - out[n - 1]));
    EXPECT_LE(worstStep, allowed) << "S " << largestStep << ", M " << largest;

    double worstJump = 0.0;
    for (std::size_t k = 0; k < changes.size(); ++k)
        worstJump = std::max(worstJump, std::fabs(references[k + 1][changes[k]] - references[k][changes[k]]));
    EXPECT_GT(worstJump, allowed) << "a switch without crossfade would pass too";

    // The last design is heard, and nothing else, once its crossfade is over.
    double tail = 0.0;
    for (std::size_t n = total - 3000; n < total; ++n)
        tail = std::max(tail, std::fabs(out[n] - references.back()[n - latency]));
    EXPECT_LE(tail, 1e-6);
}

// A design with a pole on or outside the unit circle is never run: the sound
// fades to exact silence within one crossfade and the engine says it is
// muted; Bypass brings the unfiltered source back, a stable design the sound.
TEST(AudioEngine, UnstableDesignIsMuted)
{
    std::mt19937 random(5);
    const Document stable = designedDocument(0, RATE, 1200, 1000);
    for (const double radius : {1.0, 1.01, 3.0}) {
        SCOPED_TRACE(radius);
        Document unstable = customDocument({{0.5, 0.5}}, {std::polar(radius, 0.3)});
        ASSERT_FALSE(isPlayable(cascadeCoefficients(unstable.filter)));
        AudioEngine engine;
        engine.setCascade(cascadeCoefficients(stable.filter));
        engine.setLevelDb(0.0);
        engine.setPlaying(true);
        engine.prepare(RATE);
        render(engine, PLAY_FADE + 1000, random);
        EXPECT_FALSE(engine.isMuted());

        engine.setCascade(cascadeCoefficients(unstable.filter));
        const std::vector<float> muted = render(engine, 20000, random);
        EXPECT_TRUE(engine.isMuted());
        const std::size_t within = static_cast<std::size_t>(FADE + CHUNK + engine.latency());
        for (std::size_t n = within; n < muted.size(); ++n)
            ASSERT_EQ(muted[n], 0.0f) << n;
        EXPECT_NE(muted[0], 0.0f);

        engine.setBypass(true);
        const std::vector<float> bypassed = render(engine, 5000, random);
        EXPECT_FALSE(engine.isMuted());
        EXPECT_GT(peakOf(widened({bypassed.begin() + static_cast<std::ptrdiff_t>(within), bypassed.end()})), 0.1);

        engine.setBypass(false);
        const std::vector<float> silentAgain = render(engine, 5000, random);
        EXPECT_TRUE(engine.isMuted());
        EXPECT_EQ(silentAgain.back(), 0.0f);

        engine.setCascade(cascadeCoefficients(stable.filter));
        const std::vector<float> back = render(engine, 5000, random);
        EXPECT_FALSE(engine.isMuted());
        EXPECT_GT(peakOf(widened({back.begin() + static_cast<std::ptrdiff_t>(within), back.end()})), 0.05);
    }
}

// The limiter alone: bursts up to 1e9, infinities and NaNs never come out
// above the ceiling; a quiet passage long after them comes out unchanged,
// only delayed.
TEST(AudioEngine, LimiterNeverExceedsItsCeiling)
{
    PeakLimiter limiter(AudioEngine::HIGHEST_SAMPLE_RATE);
    limiter.prepare(RATE);
    const auto latency = static_cast<std::size_t>(limiter.latency());
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> input;
    for (int burst = 0; burst < 200; ++burst) {
        const double amplitude = std::pow(10.0, 9.0 * (uniform(random) + 1.0) / 2.0);
        const std::size_t length = 1 + random() % 3000;
        for (std::size_t i = 0; i < length; ++i)
            input.push_back(amplitude * uniform(random));
        if (burst % 50 == 7)
            input.push_back(burst % 100 == 7 ? HUGE_VAL : std::nan(""));
    }
    const std::size_t quietFrom = input.size();
    for (int i = 0; i < RATE * 4; ++i)
        input.push_back(0.5 * uniform(random));
    double worst = 0.0;
    std::vector<double> output;
    for (const double x : input) {
        output.push_back(limiter.process(x));
        ASSERT_TRUE(std::isfinite(output.back()));
        worst = std::max(worst, std::fabs(output.back()));
    }
    EXPECT_LE(worst, PeakLimiter::CEILING);
    EXPECT_GT(worst, 0.8 * PeakLimiter::CEILING);
    EXPECT_LT(static_cast<float>(PeakLimiter::CEILING), MINUS_ONE_DBFS);
    // 180 dB to recover at 60 dB/s: the last second is untouched.
    for (std::size_t n = input.size() - RATE; n < input.size(); ++n)
        ASSERT_EQ(output[n], input[n - latency]) << n - quietFrom;
}

// Absurd gains, reached at once in the middle of the sound: every output
// sample stays below −1 dBFS, and the sound is still there, limited.
TEST(AudioEngine, OutputStaysBelowMinusOneDecibelWhateverTheGain)
{
    std::mt19937 random(23);
    for (const double gain : {1e3, 1e12, 1e300}) {
        SCOPED_TRACE(gain);
        const Document ordinary = designedDocument(0, RATE, 1000, 2000);
        Document loud = ordinary;
        loud.filter.gain *= gain;
        AudioEngine engine;
        engine.setCascade(cascadeCoefficients(ordinary.filter));
        engine.setLevelDb(0.0);
        engine.setPlaying(true);
        engine.prepare(RATE);
        std::vector<float> out = render(engine, RATE / 2, random);
        engine.setCascade(cascadeCoefficients(loud.filter));
        const std::vector<float> after = render(engine, RATE, random);
        out.insert(out.end(), after.begin(), after.end());
        double worst = 0.0;
        for (const float sample : out) {
            ASSERT_TRUE(std::isfinite(sample));
            worst = std::max(worst, static_cast<double>(std::fabs(sample)));
        }
        EXPECT_LT(worst, MINUS_ONE_DBFS);
        EXPECT_GT(peakOf(widened({after.end() - RATE / 4, after.end()})), 0.3);
    }
}

// Play rises over 50 ms from silence; Stop falls to exact silence within
// 50 ms of the next chunk, after which the engine says it is silent; Play
// again sounds at once.
TEST(AudioEngine, PlayAndStopFade)
{
    std::mt19937 random(29);
    AudioEngine engine;
    engine.setBypass(true);
    engine.setLevelDb(0.0);
    engine.prepare(RATE);
    EXPECT_TRUE(engine.isSilent());
    const std::vector<float> before = render(engine, 1000, random);
    EXPECT_EQ(peakOf(widened(before)), 0.0);

    engine.setPlaying(true);
    const std::vector<float> rising = render(engine, 3 * PLAY_FADE, random);
    EXPECT_FALSE(engine.isSilent());
    const auto latency = static_cast<std::size_t>(engine.latency());
    for (std::size_t n = 0; n < rising.size(); ++n) {
        const double envelope = std::min(1.0, static_cast<double>(n + 1) / PLAY_FADE);
        ASSERT_LE(std::fabs(rising[n]), AudioEngine::SOURCE_LEVEL * envelope + 1e-6) << n;
    }
    // The noise reaches its full level only after the fade.
    EXPECT_LT(peakOf(widened({rising.begin(), rising.begin() + PLAY_FADE / 10})), 0.1 * AudioEngine::SOURCE_LEVEL);
    EXPECT_GT(peakOf(widened({rising.end() - PLAY_FADE, rising.end()})), 0.9 * AudioEngine::SOURCE_LEVEL);
    EXPECT_GT(latency, 0u);

    engine.setPlaying(false);
    const std::vector<float> falling = render(engine, 2 * PLAY_FADE, random);
    EXPECT_TRUE(engine.isSilent());
    for (std::size_t n = PLAY_FADE + CHUNK; n < falling.size(); ++n)
        ASSERT_EQ(falling[n], 0.0f) << n;
    for (std::size_t n = 0; n < static_cast<std::size_t>(PLAY_FADE); ++n) {
        const double envelope = 1.0 - static_cast<double>(n) / (PLAY_FADE + CHUNK);
        ASSERT_LE(std::fabs(falling[n]), AudioEngine::SOURCE_LEVEL * envelope + 1e-6) << n;
    }

    engine.setPlaying(true);
    const std::vector<float> again = render(engine, PLAY_FADE, random);
    EXPECT_GT(peakOf(widened(again)), 0.1);
}

// The level control: −12 dB is a gain of 0.251, and the meter reads the
// output's peak.
TEST(AudioEngine, LevelAndMeter)
{
    std::mt19937 random(31);
    AudioEngine engine;
    engine.setBypass(true);
    engine.setSource(SoundSource::File);
    engine.setFileSamples(std::vector<float>(RATE * 2, 0.5f));
    engine.setLevelDb(AudioEngine::DEFAULT_LEVEL_DB);
    engine.setPlaying(true);
    engine.prepare(RATE);
    const std::vector<float> out = render(engine, RATE, random);
    EXPECT_NEAR(out.back(), 0.5 * std::pow(10.0, -12.0 / 20.0), 1e-6);
    EXPECT_NEAR(engine.meterPeak(), out.back(), 1e-6);
    engine.setLevelDb(-200.0);
    const std::vector<float> quiet = render(engine, RATE / 10, random);
    EXPECT_NEAR(quiet.back(), 0.5 * 1e-3, 1e-9);
    engine.setLevelDb(+30.0);
    const std::vector<float> loud = render(engine, RATE / 10, random);
    EXPECT_NEAR(loud.back(), 0.5, 1e-6);
}

// The sweep against its closed form: the phase of sample n is the sum of the
// frequencies before it, 2π·f0/fs · (rⁿ − 1)/(r − 1), r = (fs/2 / f0)^(1/N);
// after N samples it starts again at f0 from the phase it had reached.
TEST(AudioSources, SineSweepFollowsItsClosedForm)
{
    constexpr int rate = 8000;
    SineSweep sweep;
    sweep.prepare(rate);
    const std::int64_t length = sweep.length();
    ASSERT_EQ(length, 5 * rate);
    const double f0 = SineSweep::LOWEST_FREQUENCY;
    const double r = std::pow(rate / 2.0 / f0, 1.0 / static_cast<double>(length));
    const auto phaseAt = [&](std::int64_t n) {
        return 2 * std::numbers::pi * f0 / rate * (std::pow(r, static_cast<double>(n)) - 1.0) / (r - 1.0);
    };
    const double endPhase = phaseAt(length);
    double worst = 0.0;
    for (std::int64_t n = 0; n < length + 100; ++n) {
        const double phase = n < length ? phaseAt(n) : endPhase + phaseAt(n - length);
        worst = std::max(worst, std::fabs(sweep.next() - std::sin(phase)));
    }
    EXPECT_LE(worst, 1e-6);
    // The last frequency is within one step of the Nyquist frequency.
    EXPECT_NEAR(f0 * std::pow(r, static_cast<double>(length - 1)), rate / 2.0, rate / 2.0 * (r - 1.0) * 1.01);
}

namespace {

// The least-squares slope of the band powers in dB per octave.
double slopePerOctave(const std::vector<double>& signal, double rate)
{
    std::vector<double> x;
    std::vector<double> y;
    for (double f = 100.0; f <= 12800.0; f *= 2.0) {
        x.push_back(std::log2(f));
        y.push_back(10.0 * std::log10(bandPower(signal, 0, signal.size(), BAND_SEGMENT, f, rate)));
    }
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

}  // namespace

// White noise is flat and within [−1, 1); pink noise falls by 3 dB per
// octave from 100 Hz to 12.8 kHz and peaks near ±1.
TEST(AudioSources, NoiseSpectra)
{
    constexpr double rate = 44100.0;
    WhiteNoise white;
    PinkNoise pink;
    std::vector<double> whiteSamples(1 << 18);
    std::vector<double> pinkSamples(1 << 18);
    for (double& sample : whiteSamples) {
        sample = white.next();
        ASSERT_GE(sample, -1.0);
        ASSERT_LT(sample, 1.0);
    }
    for (double& sample : pinkSamples)
        sample = pink.next();
    EXPECT_NEAR(slopePerOctave(whiteSamples, rate), 0.0, 0.3);
    EXPECT_NEAR(slopePerOctave(pinkSamples, rate), -10.0 * std::log10(2.0), 0.3);
    EXPECT_GT(peakOf(pinkSamples), 0.5);
    EXPECT_LT(peakOf(pinkSamples), 1.5);
}

// A looped file fades through zero where its end joins its start, so that a
// recording that does not end in silence loops without a click.
TEST(AudioSources, LoopedFileSeamFadesThroughZero)
{
    std::mt19937 random(37);
    AudioEngine engine;
    engine.setBypass(true);
    engine.setSource(SoundSource::File);
    engine.setFileSamples(std::vector<float>(3000, 0.5f));
    engine.setLevelDb(0.0);
    engine.setPlaying(true);
    engine.prepare(RATE);
    const std::vector<float> out = render(engine, 12000, random);
    const auto latency = static_cast<std::size_t>(engine.latency());
    double worstStep = 0.0;
    for (std::size_t n = PLAY_FADE + latency + 1; n < out.size(); ++n)
        worstStep = std::max(worstStep, std::fabs(static_cast<double>(out[n]) - out[n - 1]));
    EXPECT_LE(worstStep, 0.5 / FADE + 1e-6);
    // The seams at 3000 and 6000 samples (and 9000) reach zero.
    for (const std::size_t seam : {3000u, 6000u, 9000u})
        EXPECT_EQ(out[seam - 1 + latency], 0.0f) << seam;
}

// The exchange under a writer and a reader on two threads: every value the
// reader takes is one the writer published whole (its fields agree), values
// only ever get newer, and the last one arrives.
TEST(TripleBuffer, ConcurrentWriterAndReaderSeeWholeValues)
{
    struct Value {
        std::uint64_t serial = 0;
        std::uint64_t copies[31] = {};
    };
    TripleBuffer<Value> exchange;
    constexpr std::uint64_t last = 2000000;
    std::atomic<bool> torn{false};
    std::atomic<bool> backwards{false};
    std::atomic<bool> started{false};
    std::atomic<std::uint64_t> taken{0};
    std::thread reader([&] {
        started = true;
        std::uint64_t seen = 0;
        while (seen != last) {
            if (!exchange.update())
                continue;
            ++taken;
            const Value& value = exchange.front();
            for (const std::uint64_t copy : value.copies) {
                if (copy != value.serial * 2654435761u)
                    torn = true;
            }
            if (value.serial < seen)
                backwards = true;
            seen = value.serial;
        }
    });
    while (!started)
        std::this_thread::yield();
    for (std::uint64_t serial = 1; serial <= last; ++serial) {
        Value& value = exchange.back();
        value.serial = serial;
        for (std::uint64_t& copy : value.copies)
            copy = serial * 2654435761u;
        exchange.publish();
    }
    reader.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(backwards);
    // The two ran side by side: the reader took more than the last value.
    EXPECT_GT(taken, 1u);
}

// The whole engine with its two sides on two threads: the control side
// changes everything, files included, as fast as it can while the audio side
// renders; the sound stays finite and below the ceiling throughout. (Under
// AddressSanitizer this also checks that no file is freed under the reader.)
TEST(AudioEngine, ControlsChangeWhileTheAudioThreadRenders)
{
    AudioEngine engine;
    engine.setPlaying(true);
    engine.prepare(RATE);
    std::atomic<bool> done{false};
    std::atomic<bool> bad{false};
    std::thread audio([&] {
        std::vector<float> block(480);
        while (!done) {
            engine.render(block.data(), block.size());
            for (const float sample : block) {
                if (!std::isfinite(sample) || std::fabs(sample) > PeakLimiter::CEILING)
                    bad = true;
            }
        }
    });
    std::mt19937 random(41);
    const std::vector<Document> documents = variedDocuments();
    for (int step = 0; step < 20000; ++step) {
        switch (random() % 6) {
        case 0:
        case 1:
            engine.setCascade(cascadeCoefficients(documents[random() % documents.size()].filter));
            break;
        case 2:
            engine.setSource(static_cast<SoundSource>(random() % 4));
            break;
        case 3:
            engine.setFileSamples(noise(1 + random() % 4000, 0.9, random()));
            break;
        case 4:
            engine.setBypass(random() % 2 == 0);
            engine.setLevelDb(-60.0 + static_cast<double>(random() % 61));
            break;
        default:
            engine.setPlaying(random() % 4 != 0);
            break;
        }
    }
    done = true;
    audio.join();
    EXPECT_FALSE(bad);
}
