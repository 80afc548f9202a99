// A delivery's true peak, checked by meters other than the tool's: the written file, decoded,
// stays at or under --true-peak by the ideal reconstruction (tests/meter's reference) and by
// libebur128's true-peak mode, on the kinds of programme where the ceiling is hardest to keep.
#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "meter/true_peak_reference.h"

namespace {

constexpr double pi = 3.14159265358979323846;

struct clip {
    int channels;
    int rate;
    std::vector<float> samples;  // interleaved
};

bool write_wav(const std::string& path, const clip& c) {
    SF_INFO info{};
    info.channels = c.channels;
    info.samplerate = c.rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return false;
    sf_writef_float(f, c.samples.data(), static_cast<sf_count_t>(c.samples.size()) / c.channels);
    sf_close(f);
    return true;
}

clip read_file(const std::string& path, double seconds = 1e9) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) return {0, 0, {}};
    const auto frames = std::min<sf_count_t>(info.frames, std::llround(seconds * info.samplerate));
    clip c{info.channels, info.samplerate,
           std::vector<float>(static_cast<size_t>(frames * info.channels))};
    sf_readf_float(f, c.samples.data(), frames);
    sf_close(f);
    return c;
}

std::string read_text(const std::string& path) {
    std::ifstream f(path);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

double db(double gain) {
    return 20.0 * std::log10(gain);
}

double reference_dbtp(const clip& c) {
    double peak = 0.0;
    for (int ch = 0; ch < c.channels; ++ch) {
        std::vector<double> lane;
        for (size_t i = static_cast<size_t>(ch); i < c.samples.size();
             i += static_cast<size_t>(c.channels))
            lane.push_back(c.samples[i]);
        peak = std::max(peak, reference_true_peak(lane));
    }
    return db(peak);
}

double libebur128_dbtp(const clip& c) {
    ebur128_state* st = ebur128_init(static_cast<unsigned>(c.channels),
                                     static_cast<unsigned long>(c.rate), EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(st, c.samples.data(),
                             c.samples.size() / static_cast<size_t>(c.channels));
    double peak = 0.0;
    for (int ch = 0; ch < c.channels; ++ch) {
        double p = 0.0;
        ebur128_true_peak(st, static_cast<unsigned>(ch), &p);
        peak = std::max(peak, p);
    }
    ebur128_destroy(&st);
    return db(peak);
}

// Noise shaped by one-pole filters: `bright` near 1 keeps the hiss, near 0 only rumble.
struct noise_source {
    std::mt19937 random;
    std::normal_distribution<double> normal{0.0, 1.0};
    double low = 0.0;
    explicit noise_source(unsigned seed) : random(seed) {}
    double next(double bright) {
        const double w = normal(random);
        low = 0.95 * low + 0.05 * w;
        return bright * w + (1.0 - bright) * 4.0 * low;
    }
};

// Chords, a bass line, hiss and drums: what a mix holds.
clip programme(int channels, int rate, double seconds, bool with_bursts) {
    clip c{channels, rate, {}};
    noise_source n(7);
    const auto frames = static_cast<size_t>(seconds * rate);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double beat = std::fmod(t, 0.5);
        double v = 0.15 * (std::sin(2 * pi * 220.0 * t) + std::sin(2 * pi * 277.2 * t) +
                           std::sin(2 * pi * 329.6 * t)) +
                   0.3 * std::sin(2 * pi * 55.0 * t) + 0.02 * n.next(1.0) +
                   0.8 * std::exp(-beat * 30.0) * std::sin(2 * pi * 60.0 * beat);
        if (with_bursts && std::fmod(t, 0.7) < 0.05) v += 0.6 * n.next(1.0);
        for (int ch = 0; ch < channels; ++ch)
            c.samples.push_back(static_cast<float>(ch ? 0.8 * v + 0.01 * n.next(1.0) : v));
    }
    return c;
}

// Kick, snare and hi-hat only: sharp attacks and bright noise.
clip drums(int rate, double seconds) {
    clip c{1, rate, {}};
    noise_source n(11);
    for (size_t i = 0; i < static_cast<size_t>(seconds * rate); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double kick = std::fmod(t, 0.5), snare = std::fmod(t + 0.25, 0.5),
                     hat = std::fmod(t, 0.125);
        c.samples.push_back(static_cast<float>(
            0.9 * std::exp(-kick * 25.0) *
                std::sin(2 * pi * 55.0 * kick * (1.0 + 2.0 * std::exp(-kick * 40.0))) +
            0.5 * std::exp(-snare * 30.0) * n.next(0.7) +
            0.2 * std::exp(-hat * 80.0) * n.next(1.0)));
    }
    return c;
}

// A mix with tones just under half the rate, as synthesisers and some test beds leave them.
clip tones_near_half_rate(int rate, double seconds) {
    clip c = programme(2, rate, seconds, false);
    for (size_t i = 0; i < c.samples.size(); ++i) {
        const double t = static_cast<double>(i / 2) / rate;
        c.samples[i] += static_cast<float>(0.3 * std::sin(2 * pi * 0.46 * rate * t) +
                                           0.2 * std::sin(2 * pi * 0.455 * rate * t + (i % 2)));
    }
    return c;
}

class DeliveredTruePeak : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zandor-delivered-XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    int render(const std::vector<std::string>& args) const {
        std::string command = "'" ZANDOR_RENDER_TOOL "'";
        for (const std::string& a : args) command += " '" + a + "'";
        command += " >/dev/null 2>'" + path("stderr.txt") + "'";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    // Delivers `in` at `lufs` under `dbtp` and checks the written file by both meters.
    void expect_delivered_under(const clip& in, double lufs, double dbtp, const std::string& what) {
        ASSERT_TRUE(write_wav(path("in.wav"), in));
        ASSERT_EQ(render({path("in.wav"), path("out.wav"), "--loudness", std::to_string(lufs),
                          "--true-peak", std::to_string(dbtp)}),
                  0)
            << what << ": " << read_text(path("stderr.txt"));
        const clip out = read_file(path("out.wav"));
        ASSERT_EQ(out.channels, in.channels) << what;
        EXPECT_LE(reference_dbtp(out), dbtp) << what << ", by the ideal reconstruction";
        EXPECT_LE(libebur128_dbtp(out), dbtp) << what << ", by libebur128";
    }

    std::string dir_;
};

TEST_F(DeliveredTruePeak, StaysUnderTheCeilingByOtherMetersOnProgrammesWhereItIsHardestToKeep) {
    expect_delivered_under(programme(2, 44100, 2.0, false), -14.0, -1.0, "stereo programme");
    expect_delivered_under(programme(1, 44100, 2.0, true), -14.0, -1.0,
                           "mono programme with noise bursts");
    expect_delivered_under(drums(96000, 1.5), -23.0, -2.0, "drums at 96 kHz");
    expect_delivered_under(tones_near_half_rate(48000, 2.0), -16.0, -2.0,
                           "music with tones near 0.46 fs");
    // The demo's own programme, its first seconds.
    ASSERT_EQ(render({"--demo", "--out-dir", dir_}), 0);
    expect_delivered_under(read_file(path("demo-input.wav"), 2.0), -14.0, -1.0,
                           "the demo programme");
}

}  // namespace
