// Sound files: `--apply` against the coefficient text's cascade, its
// refusals, rate conversion, and the reading the Listen dock does.

#include "model/designs.h"
#include "model/document.h"
#include "sound/apply_design.h"
#include "sound/sound_file.h"
#include "sound/stream_resampler.h"
#include "tests/reference_cascade.h"

#include <sndfile.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Sound {
    int rate = 0;
    int channels = 0;
    int format = 0;
    std::vector<double> samples;  // interleaved

    std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
    std::vector<double> channel(int c) const
    {
        std::vector<double> out;
        for (std::size_t i = static_cast<std::size_t>(c); i < samples.size(); i += static_cast<std::size_t>(channels))
            out.push_back(samples[i]);
        return out;
    }
};

void writeSound(const fs::path& path, int rate, int channels, const std::vector<double>& samples,
                int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const auto frames = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(channels));
    EXPECT_EQ(sf_writef_double(file, samples.data(), frames), frames);
    EXPECT_EQ(sf_close(file), 0);
}

Sound readSound(const fs::path& path)
{
    Sound sound;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr)
        return sound;
    sound.rate = info.samplerate;
    sound.channels = info.channels;
    sound.format = info.format;
    std::vector<double> block(4096 * static_cast<std::size_t>(info.channels));
    sf_count_t got = 0;
    while ((got = sf_readf_double(file, block.data(), 4096)) > 0)
        sound.samples.insert(sound.samples.end(), block.begin(),
                             block.begin() + static_cast<std::ptrdiff_t>(got * info.channels));
    sf_close(file);
    return sound;
}

std::string fileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Document custom(const std::vector<Complex>& zeroPairs, const std::vector<Complex>& polePairs, int rate)
{
    Document document = designedDocument(0, rate, 1000, 0);
    document.filter.modelIndex = MODEL_CUSTOM;
    document.filter.zeros.count = 0;
    for (const Complex z : zeroPairs) {
        document.filter.zeros.positions[document.filter.zeros.count] = z;
        document.filter.zeros.pairFlags[document.filter.zeros.count++] = true;
    }
    document.filter.poles.count = 0;
    for (const Complex p : polePairs) {
        document.filter.poles.positions[document.filter.poles.count] = p;
        document.filter.poles.pairFlags[document.filter.poles.count++] = true;
    }
    normalizeGain(document.filter);
    return document;
}

// Two channels of different noise, or one, at the given rate.
std::vector<double> noiseFrames(std::size_t frames, int channels, double amplitude, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
    std::vector<double> samples(frames * static_cast<std::size_t>(channels));
    for (double& sample : samples)
        sample = uniform(random);
    return samples;
}

std::vector<double> sine(std::size_t frames, double frequency, double rate, double amplitude)
{
    std::vector<double> samples(frames);
    for (std::size_t n = 0; n < frames; ++n)
        samples[n] = amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(n) / rate);
    return samples;
}

int signChanges(const std::vector<double>& samples, std::size_t from, std::size_t to)
{
    int changes = 0;
    for (std::size_t n = from + 1; n < to; ++n)
        changes += (samples[n - 1] < 0.0) != (samples[n] < 0.0) ? 1 : 0;
    return changes;
}

class SoundFiles : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("vorbel-sound-test-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path at(const std::string& name) const { return folder_ / name; }

    // Nothing but the named files lies in the folder: no part file is left.
    void expectOnly(std::vector<std::string> names) const
    {
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(found, names);
    }

    fs::path folder_;
};

}  // namespace

// Every channel of OUT is IN's channel through the coefficient text's
// cascade, rounded once to the output's format: to the float's last bit or
// so for WAV, to the 24-bit step for FLAC. Ogg Vorbis is lossy: its length,
// rate and channels are checked, and its level.
TEST_F(SoundFiles, ApplyEqualsTheCascadeOnEveryChannel)
{
    const std::vector<Document> designs = {
        designedDocument(7, 48000, 900, 1000),   // 6th order Butterworth low-pass
        designedDocument(4, 48000, 1300, 1500),  // notch
        custom({{0.3, 0.9}, {-0.6, 0.5}, {0.95, 0.2}}, {{0.8, 0.3}}, 48000),  // more zeros: a delay
    };
    for (const int channels : {1, 2, 3}) {
        const std::vector<double> input = noiseFrames(12000, channels, 0.1, static_cast<unsigned>(channels));
        writeSound(at("in.wav"), 48000, channels, input);
        const Sound decoded = readSound(at("in.wav"));
        for (const Document& design : designs) {
            SCOPED_TRACE(testing::Message() << channels << " channels\n" << coefficientText(design));
            for (const std::string name : {"out.wav", "out.flac", "out.ogg"}) {
                SCOPED_TRACE(name);
                ASSERT_EQ(applyDesign(design, at("in.wav").string(), at(name).string(), false), "");
                const Sound out = readSound(at(name));
                ASSERT_EQ(out.channels, channels);
                EXPECT_EQ(out.rate, 48000);
                ASSERT_EQ(out.frames(), decoded.frames());
                for (int c = 0; c < channels; ++c) {
                    const std::vector<double> expected = ReferenceCascade(design).filter(decoded.channel(c));
                    const std::vector<double> got = out.channel(c);
                    double peak = 0.0;
                    double worst = 0.0;
                    double expectedPower = 0.0;
                    double gotPower = 0.0;
                    for (std::size_t n = 0; n < got.size(); ++n) {
                        peak = std::max(peak, std::fabs(expected[n]));
                        worst = std::max(worst, std::fabs(got[n] - expected[n]));
                        expectedPower += expected[n] * expected[n];
                        gotPower += got[n] * got[n];
                    }
                    ASSERT_LT(peak, 1.0);
                    if (name == "out.wav") {
                        EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
                        EXPECT_LE(worst, 1.2e-7 * peak);
                    } else if (name == "out.flac") {
                        EXPECT_EQ(out.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
                        EXPECT_LE(worst, 0.51 / (1 << 23) + 1e-9 * peak);
                    } else {
                        EXPECT_EQ(out.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
                        // Vorbis drops the top of the band, where this noise is loud.
                        EXPECT_NEAR(10 * std::log10(gotPower / expectedPower), 0.0, 2.0);
                    }
                }
            }
        }
    }
    expectOnly({"in.wav", "out.wav", "out.flac", "out.ogg"});
}

// Each refusal is one line naming the file and the problem, and leaves OUT
// exactly as it was, with no part file beside it.
TEST_F(SoundFiles, ApplyRefusals)
{
    const Document design = designedDocument(0, 48000, 1000, 0);
    writeSound(at("in.wav"), 48000, 1, noiseFrames(4800, 1, 0.1, 1));
    writeSound(at("at44100.wav"), 44100, 1, noiseFrames(4410, 1, 0.1, 2));
    std::ofstream(at("text.wav")) << "RIFF, but not really a sound\n";
    std::ofstream(at("old.wav")) << "the earlier OUT";
    fs::create_directory(at("folder.wav"));
    const Document unstable = custom({{0.0, 0.0}}, {{1.5, 0.2}}, 48000);

    struct Case {
        const char* what;
        Document design;
        std::string in;
        std::string out;
        std::vector<std::string> words;
    };
    const std::string in = at("in.wav").string();
    const std::string old = at("old.wav").string();
    const std::vector<Case> cases = {
        {"missing file", design, at("none.wav").string(), old, {at("none.wav").string() + ": no such file"}},
        {"unreadable audio", design, at("text.wav").string(), old,
         {at("text.wav").string() + ": not a sound file libsndfile reads: "}},
        {"a folder", design, at("folder.wav").string(), old, {at("folder.wav").string() + ": is a folder"}},
        {"other rate", design, at("at44100.wav").string(), old,
         {at("at44100.wav").string() + ": ", "44100 Hz", "48000 Hz", "--resample"}},
        {"unknown extension", design, in, at("old.mp3").string(), {at("old.mp3").string() + ": unknown extension \".mp3\""}},
        {"no extension", design, in, at("old").string(), {at("old").string() + ": no extension"}},
        {"write failure", design, in, at("no/such/folder/out.wav").string(),
         {at("no/such/folder/out.wav").string() + ": cannot write: "}},
        {"not finite", unstable, in, old, {old + ": the filtered sound is not finite"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string message = applyDesign(c.design, c.in, c.out, false);
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        for (const std::string& word : c.words)
            EXPECT_NE(message.find(word), std::string::npos) << message << "\nlacks: " << word;
        EXPECT_EQ(fileText(at("old.wav")), "the earlier OUT");
        expectOnly({"in.wav", "at44100.wav", "text.wav", "old.wav", "folder.wav"});
    }
}

// With --resample a file at another rate is converted to the design's rate:
// the length scales with the rates, a 1 kHz tone stays at 1 kHz and keeps its
// level. The same file replaced in place (IN = OUT) works too.
TEST_F(SoundFiles, ApplyResamplesWhenAsked)
{
    const Document passThrough = custom({}, {}, 48000);
    ASSERT_EQ(passThrough.filter.gain, 1.0);
    writeSound(at("tone.wav"), 44100, 1, sine(22050, 1000.0, 44100.0, 0.5));
    ASSERT_EQ(applyDesign(passThrough, at("tone.wav").string(), at("tone48.wav").string(), true), "");
    const Sound out = readSound(at("tone48.wav"));
    EXPECT_EQ(out.rate, 48000);
    EXPECT_NEAR(static_cast<double>(out.frames()), 24000.0, 2.0);
    const std::vector<double> samples = out.channel(0);
    // 0.4 s in the middle: 400 periods, 800 sign changes.
    EXPECT_NEAR(signChanges(samples, 2400, 2400 + 19200), 800, 2);
    double peak = 0.0;
    for (std::size_t n = 2400; n < 21600; ++n)
        peak = std::max(peak, std::fabs(samples[n]));
    EXPECT_NEAR(peak, 0.5, 0.005);

    ASSERT_EQ(applyDesign(designedDocument(0, 44100, 1000, 0), at("tone.wav").string(), at("tone.wav").string(), false),
              "");
    EXPECT_EQ(readSound(at("tone.wav")).frames(), 22050u);
    expectOnly({"tone.wav", "tone48.wav"});
}

// The Listen dock's reading: any channel count mixed to one, converted to
// the design's rate; refusals name the file; a long file is cut at the limit.
TEST_F(SoundFiles, ReadForListening)
{
    std::vector<double> stereo;
    for (const double v : sine(11025, 500.0, 44100.0, 0.8)) {
        stereo.push_back(v);
        stereo.push_back(-0.5 * v);
    }
    writeSound(at("stereo.wav"), 44100, 2, stereo, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    const SoundClipRead read = readSoundClip(at("stereo.wav").string());
    ASSERT_TRUE(read.clip) << read.error;
    EXPECT_EQ(read.clip->sampleRate, 44100);
    EXPECT_EQ(read.clip->channels, 2);
    EXPECT_EQ(read.clip->frames(), 11025u);
    EXPECT_FALSE(read.clip->truncated);

    const MonoResult same = monoAtRate(*read.clip, 44100);
    ASSERT_EQ(same.samples.size(), 11025u);
    for (std::size_t n = 0; n < same.samples.size(); ++n)
        ASSERT_NEAR(same.samples[n], 0.25 * 0.8 * std::sin(2 * std::numbers::pi * 500.0 * static_cast<double>(n) / 44100.0),
                    1e-6);
    const MonoResult converted = monoAtRate(*read.clip, 96000);
    EXPECT_TRUE(converted.error.empty());
    EXPECT_NEAR(static_cast<double>(converted.samples.size()), 11025.0 * 96000.0 / 44100.0, 2.0);
    const std::vector<double> wide(converted.samples.begin(), converted.samples.end());
    EXPECT_NEAR(signChanges(wide, 2000, 2000 + 19200), 200, 2);

    const SoundClipRead cut = readSoundClip(at("stereo.wav").string(), 0.1);
    ASSERT_TRUE(cut.clip);
    EXPECT_TRUE(cut.clip->truncated);
    EXPECT_EQ(cut.clip->frames(), 4410u);

    std::ofstream(at("text.flac")) << "fLaC and nothing more";
    const SoundClipRead text = readSoundClip(at("text.flac").string());
    EXPECT_FALSE(text.clip);
    EXPECT_EQ(text.error.rfind(at("text.flac").string() + ": not a sound file libsndfile reads: ", 0), 0u) << text.error;
    const SoundClipRead missing = readSoundClip(at("none.ogg").string());
    EXPECT_EQ(missing.error, at("none.ogg").string() + ": no such file");
}

// The stream converter the output uses when the device runs at another
// rate: a 1 kHz tone made at 44.1 kHz and pulled at 48 kHz in blocks of any
// size comes out as a continuous 1 kHz tone of the same level.
TEST(StreamResampler, ConvertsAContinuousStream)
{
    struct Tone {
        double phase = 0.0;
        static void make(void* self, float* samples, std::size_t count)
        {
            auto* tone = static_cast<Tone*>(self);
            for (std::size_t i = 0; i < count; ++i) {
                samples[i] = static_cast<float>(0.5 * std::sin(tone->phase));
                tone->phase += 2 * std::numbers::pi * 1000.0 / 44100.0;
            }
        }
    } tone;
    StreamResampler resampler(44100.0, 48000.0, 441 + 64, &Tone::make, &tone);
    ASSERT_EQ(resampler.error(), "");
    std::mt19937 random(3);
    std::vector<double> out;
    std::vector<float> block(480);
    while (out.size() < 48000) {
        const std::size_t count = 1 + random() % 480;
        resampler.pull(block.data(), count);
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count));
    }
    // After the converter's own delay: 0.5 s of tone, 1000 sign changes.
    EXPECT_NEAR(signChanges(out, 4800, 4800 + 24000), 1000, 2);
    double peak = 0.0;
    double largestStep = 0.0;
    for (std::size_t n = 4800; n < 4800 + 24000; ++n) {
        peak = std::max(peak, std::fabs(out[n]));
        largestStep = std::max(largestStep, std::fabs(out[n] - out[n - 1]));
    }
    EXPECT_NEAR(peak, 0.5, 0.005);
    EXPECT_LE(largestStep, 0.5 * 2 * std::numbers::pi * 1000.0 / 48000.0 * 1.01);
}
