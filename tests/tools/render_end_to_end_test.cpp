// zandor-render run as a user runs it, on files the tests write, hosting the built limiter
// module (and a small test effect for host behaviour the limiter does not show).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
// The limiter's gain where it does not limit: the mean of 64 unit gains in single precision.
constexpr float unity = 0.99999988f;

struct run_result {
    int status;
    std::string out;
    std::string err;
};

struct audio {
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<float> samples;  // interleaved
    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
};

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zandor-render-test-XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // `in` and `out` redirect standard input and output to files of the test's folder.
    run_result run(const std::vector<std::string>& args, const std::string& in = {},
                   const std::string& out = "stdout.txt") {
        std::string command = "'" ZANDOR_RENDER_TOOL "'";
        for (const std::string& a : args) command += " '" + a + "'";
        if (!in.empty()) command += " <'" + path(in) + "'";
        command += " >'" + path(out) + "' 2>'" + path("stderr.txt") + "'";
        const int raw = std::system(command.c_str());
        run_result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(path("stdout.txt")),
                     slurp(path("stderr.txt"))};
        unlink(path("stdout.txt").c_str());
        unlink(path("stderr.txt").c_str());
        return r;
    }

    void write(const std::string& name, const audio& a) {
        SF_INFO info{};
        info.channels = a.channels;
        info.samplerate = a.rate;
        info.format = a.format ? a.format : SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open(path(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
        sf_writef_float(f, a.samples.data(), static_cast<sf_count_t>(a.frames()));
        sf_close(f);
    }

    audio read(const std::string& name) {
        SF_INFO info{};
        SNDFILE* f = sf_open(path(name).c_str(), SFM_READ, &info);
        audio a;
        if (f == nullptr) return a;
        a.channels = info.channels;
        a.rate = info.samplerate;
        a.format = info.format;
        a.samples.resize(static_cast<size_t>(info.frames * info.channels));
        sf_readf_float(f, a.samples.data(), info.frames);
        sf_close(f);
        return a;
    }

    // Everything in the test's folder, hidden files included: a temporary file left behind
    // by a failed render starts with a dot.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        DIR* d = opendir(dir_.c_str());
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
        return names;
    }

    std::string dir_;
};

// A sine of `peak_db` with, when `burst_db` is given, a loud burst every quarter second.
audio tone(int channels, int rate, double seconds, double peak_db, double burst_db = -200.0) {
    audio a;
    a.channels = channels;
    a.rate = rate;
    const size_t frames = static_cast<size_t>(seconds * rate);
    const double amplitude = std::pow(10.0, peak_db / 20.0);
    const double burst = std::pow(10.0, burst_db / 20.0);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = amplitude * std::sin(2 * pi * 997.0 * t);
        if (std::fmod(t, 0.25) < 0.01) v += burst * std::sin(2 * pi * 60.0 * t);
        for (int c = 0; c < channels; ++c) a.samples.push_back(static_cast<float>(c ? -v : v));
    }
    return a;
}

audio impulse(int frames, int at, float height) {
    audio a;
    a.channels = 2;
    a.rate = 48000;
    a.samples.assign(static_cast<size_t>(frames) * 2, 0.0f);
    a.samples[static_cast<size_t>(at) * 2] = height;
    a.samples[static_cast<size_t>(at) * 2 + 1] = -height;
    return a;
}

// The number after "key": in the JSON section that starts at `section`.
double json_value(const std::string& json, const std::string& section, const std::string& key) {
    size_t at = json.find("\"" + section + "\"");
    at = json.find("\"" + key + "\":", at);
    if (at == std::string::npos) return NAN;
    return std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

float largest_magnitude(const audio& a) {
    float m = 0.0f;
    for (float v : a.samples) m = std::max(m, std::fabs(v));
    return m;
}

TEST_F(RenderTool, EveryRateAndLayoutKeepsItsShapeAndStaysUnderTheCeiling) {
    const float ceiling = static_cast<float>(std::pow(10.0, -1.0 / 20.0));
    for (int rate : {44100, 48000, 96000}) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channel(s)");
            audio in = tone(channels, rate, 1.5, -12.0, -1.0);
            in.format = SF_FORMAT_WAV | (channels == 1 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
            write("in.wav", in);
            const run_result r =
                run({path("in.wav"), path("out.wav"), "--threshold", "-6dB", "--ceiling", "-1dB"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");
            const audio out = read("out.wav");
            EXPECT_EQ(out.channels, channels);
            EXPECT_EQ(out.rate, rate);
            EXPECT_EQ(out.format, in.format);
            EXPECT_EQ(out.frames(), in.frames());
            EXPECT_LE(largest_magnitude(out), ceiling * 0.99999982f + 1.0f / 32768);
            EXPECT_GT(largest_magnitude(out), ceiling * 0.9f);
        }
    }
}

TEST_F(RenderTool, AMonoFileIsLimitedAsACentredStereoOneWouldBe) {
    audio mono = tone(1, 48000, 1.0, -10.0, 0.0);
    audio stereo = mono;
    stereo.channels = 2;
    stereo.samples.clear();
    for (float v : mono.samples) stereo.samples.insert(stereo.samples.end(), {v, v});
    write("mono.wav", mono);
    write("stereo.wav", stereo);
    ASSERT_EQ(run({path("mono.wav"), path("mono-out.wav"), "--threshold", "-9dB"}).status, 0);
    ASSERT_EQ(run({path("stereo.wav"), path("stereo-out.wav"), "--threshold", "-9dB"}).status, 0);
    const audio m = read("mono-out.wav");
    const audio s = read("stereo-out.wav");
    ASSERT_EQ(m.frames(), s.frames());
    for (size_t i = 0; i < m.frames(); ++i) ASSERT_EQ(m.samples[i], s.samples[2 * i]) << i;
}

TEST_F(RenderTool, AnImpulseComesOutAtTheFrameItWentIn) {
    write("in.wav", impulse(4000, 1000, 0.5f));
    ASSERT_EQ(run({path("in.wav"), path("out.wav")}).status, 0);
    const audio out = read("out.wav");
    ASSERT_EQ(out.frames(), 4000u);
    EXPECT_FLOAT_EQ(out.samples[2000], 0.5f * unity);
    EXPECT_FLOAT_EQ(out.samples[2001], -0.5f * unity);
    for (size_t i = 0; i < out.samples.size(); ++i) {
        if (i != 2000 && i != 2001) {
            ASSERT_LT(std::fabs(out.samples[i]), 1e-6f) << i;
        }
    }

    // Any block size gives the same file.
    for (const char* block : {"1", "7", "64", "4096"}) {
        ASSERT_EQ(run({path("in.wav"), path("blocks.wav"), "--block-size", block}).status, 0);
        EXPECT_EQ(read("blocks.wav").samples, out.samples) << block;
    }

    ASSERT_EQ(run({path("in.wav"), path("kept.wav"), "--keep-latency"}).status, 0);
    const audio kept = read("kept.wav");
    ASSERT_EQ(kept.frames(), 4064u);
    EXPECT_FLOAT_EQ(kept.samples[2 * 1064], 0.5f * unity);
}

TEST_F(RenderTool, FilesShorterThanTheDelayAndEmptyFilesComeOutWhole) {
    audio tiny;
    tiny.channels = 2;
    tiny.rate = 44100;
    for (int i = 0; i < 10; ++i) tiny.samples.insert(tiny.samples.end(), {0.01f * i, -0.02f * i});
    write("tiny.wav", tiny);
    ASSERT_EQ(run({path("tiny.wav"), path("tiny-out.wav")}).status, 0);
    const audio out = read("tiny-out.wav");
    ASSERT_EQ(out.frames(), 10u);
    for (size_t i = 0; i < out.samples.size(); ++i)
        EXPECT_NEAR(out.samples[i], tiny.samples[i] * unity, 1e-7) << i;

    audio empty;
    empty.channels = 1;
    empty.rate = 44100;
    write("empty.wav", empty);
    const run_result r = run({path("empty.wav"), path("empty-out.wav"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("empty-out.wav").frames(), 0u);
    EXPECT_NE(r.out.find("\"integrated_lufs\": null"), std::string::npos);
}

TEST_F(RenderTool, ALongFileIsAlignedToItsLastFrameWithoutAProgressBarInAPipe) {
    const audio in = tone(2, 48000, 40.0, -12.0);
    write("long.wav", in);
    const run_result r = run({path("long.wav"), path("long-out.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const audio out = read("long-out.wav");
    ASSERT_EQ(out.frames(), in.frames());
    for (size_t i : {size_t{1000}, in.samples.size() / 2, in.samples.size() - 1})
        EXPECT_NEAR(out.samples[i], in.samples[i] * unity, 1e-6) << i;

    // On a terminal, one bar runs over every pass of a delivery, naming each, never backwards.
    const std::string command =
        "script -qc \"'" ZANDOR_RENDER_TOOL "' '" + path("long.wav") + "' '" + path("loud.wav") +
        "' --loudness -9 >/dev/null\" /dev/null >'" + path("terminal.txt") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::istringstream drawn(slurp(path("terminal.txt")));
    int last_percent = 0;
    std::string line, names;
    while (std::getline(drawn, line, '\r')) {
        const size_t percent = line.rfind('%');
        if (percent == std::string::npos || percent < 3) continue;
        const int p = std::atoi(line.substr(percent - 3, 3).c_str());
        EXPECT_GE(p, last_percent) << line;
        last_percent = p;
        names += line.substr(0, line.find(" ")) + " ";
    }
    EXPECT_NE(names.find("writing"), std::string::npos) << names;
    EXPECT_EQ(names.find("limiting"), std::string::npos) << names;
}

TEST_F(RenderTool, ASavedPresetRendersExactlyAsTheOptionsDid) {
    write("in.wav", tone(2, 44100, 2.0, -8.0, -1.0));
    ASSERT_EQ(run({path("in.wav"), path("options.wav"), "--threshold", "-7.5dB", "--ceiling",
                   "-0.5dB", "--release", "50ms", "--save-preset", path("p.fxp")})
                  .status,
              0);
    const std::string preset = slurp(path("p.fxp"));
    ASSERT_GT(preset.size(), 60u);
    EXPECT_EQ(preset.substr(0, 4), "CcnK");
    EXPECT_EQ(preset.substr(8, 4), "FPCh");

    const run_result r = run({path("in.wav"), path("preset.wav"), "--preset", path("p.fxp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Threshold -7.5dB, Ceiling -0.5dB, Release 50ms"), std::string::npos);
    // The files themselves differ in the time stamp of their peak chunk: compare the audio.
    const audio with_options = read("options.wav");
    ASSERT_GT(with_options.frames(), 0u);
    EXPECT_EQ(read("preset.wav").samples, with_options.samples);

    // With --loudness, the settings the search found; --no-clobber keeps an existing preset
    // and refuses before anything is written.
    const run_result found = run(
        {path("in.wav"), path("loud.wav"), "--loudness", "-12", "--save-preset", path("l.fxp")});
    ASSERT_EQ(found.status, 0) << found.err;
    const size_t at = found.out.find("Ceiling ") + 8;
    const std::string ceiling = found.out.substr(at, found.out.find(',', at) - at);
    EXPECT_NE(ceiling, "0.0dB");
    const run_result listed = run({"--preset", path("l.fxp"), "--list-params"});
    EXPECT_NE(listed.out.find("Ceiling      " + ceiling), std::string::npos) << listed.out;
    EXPECT_EQ(
        run({path("in.wav"), path("never.wav"), "--save-preset", path("l.fxp"), "--no-clobber"})
            .status,
        5);
    EXPECT_EQ(read("never.wav").channels, 0);
    EXPECT_EQ(run({"--save-preset", path("l.fxp"), "--no-clobber"}).status, 5);

    // Settings given after a preset win over it.
    ASSERT_EQ(
        run({path("in.wav"), path("over.wav"), "--preset", path("p.fxp"), "--release", "50ms"})
            .status,
        0);
    EXPECT_EQ(read("over.wav").samples, with_options.samples);
}

TEST_F(RenderTool, APresetOfAnotherEffectIsRefused) {
    ASSERT_EQ(run({"--save-preset", path("limiter.fxp")}).status, 0);
    ASSERT_EQ(run({"--plugin", RENDER_TEST_EFFECT, "--set", "Gain=-3dB", "--save-preset",
                   path("other.fxp")})
                  .status,
              0);
    write("in.wav", tone(2, 44100, 0.5, -20.0));
    run_result r = run({path("in.wav"), path("out.wav"), "--preset", path("other.fxp")});
    EXPECT_EQ(r.status, 6);
    EXPECT_NE(r.err.find("is a preset for another effect ('ZtFx'"), std::string::npos) << r.err;
    r = run({path("in.wav"), path("out.wav"), "--plugin", RENDER_TEST_EFFECT, "--preset",
             path("limiter.fxp")});
    EXPECT_EQ(r.status, 6);
    EXPECT_NE(r.err.find("another effect"), std::string::npos) << r.err;
    EXPECT_EQ(read("out.wav").channels, 0);
}

TEST_F(RenderTool, ADelayReportedOnlyAfterTheFirstBlockIsStillRemoved) {
    write("in.wav", impulse(1000, 100, 0.5f));
    const float expected = -0.5f * static_cast<float>(std::pow(10.0, -6.0 / 20.0));
    const run_result r =
        run({path("in.wav"), path("out.wav"), "--plugin", RENDER_TEST_EFFECT, "--set", "Gain=-6dB",
             "--set", "Polarity=inverted", "--save-preset", path("values.fxp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("latency         32 frames"), std::string::npos) << r.out;
    const audio out = read("out.wav");
    ASSERT_EQ(out.frames(), 1000u);
    EXPECT_NEAR(out.samples[200], expected, 2e-5f);

    EXPECT_EQ(slurp(path("values.fxp")).substr(8, 4), "FxCk");
    ASSERT_EQ(run({path("in.wav"), path("preset.wav"), "--plugin", RENDER_TEST_EFFECT, "--preset",
                   path("values.fxp"), "--keep-latency"})
                  .status,
              0);
    const audio kept = read("preset.wav");
    ASSERT_EQ(kept.frames(), 1032u);
    EXPECT_EQ(kept.samples[2 * 132], out.samples[200]);
}

TEST_F(RenderTool, BadInputGetsOneLineAnExitStatusAndNoOutputFile) {
    write("ok.wav", tone(2, 44100, 0.5, -20.0));
    write("three.wav", tone(3, 44100, 0.1, -20.0));
    write("slow.wav", tone(1, 2000, 0.5, -20.0));
    write("fast.wav", tone(1, 200000, 0.1, -20.0));
    std::ofstream(path("text.txt")) << "not audio\n";
    std::ofstream(path("bad.fxp")) << "CcnK";
    mkdir(path("a-directory").c_str(), 0755);

    struct bad_case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::string ok = path("ok.wav");
    const std::string out = path("out.wav");
    const std::vector<bad_case> cases = {
        {{path("missing.wav"), out}, 3, "cannot read " + path("missing.wav")},
        {{path("text.txt"), out}, 3, "cannot read"},
        {{path("three.wav"), out}, 3, "has 3 channels; only mono and stereo"},
        {{path("slow.wav"), out},
         3,
         "2000 Hz; Zandor Limiter does not accept it (it accepts 4 kHz to 192 kHz)"},
        {{path("fast.wav"), out}, 3, "200000 Hz"},
        {{ok, out, "--plugin", path("text.txt")}, 4, "cannot load plug-in"},
        {{ok, out, "--plugin", path("none.so")}, 4, "cannot load plug-in"},
        {{ok, out, "--plugin", RENDER_NO_ENTRY}, 4, "is not a VST 2 plug-in"},
        {{ok, path("no/such/dir/out.wav")}, 5, "cannot write"},
        {{ok, path("a-directory")}, 5, "it is a directory"},
        {{ok, out, "--threshold", "-40dB"}, 2, "out of range: Threshold goes from -30 dB to 0 dB"},
        {{ok, out, "--ceiling", "1dB"}, 2, "Ceiling goes from -30 dB to 0 dB"},
        {{ok, out, "--release", "6s"}, 2, "Release goes from 1 ms to 5 s"},
        {{ok, out, "--release", "loud"}, 2, "--release takes a time in ms or s"},
        {{ok, out, "--set", "Drive=3dB"}, 2, "no parameter 'Drive'"},
        {{ok, out, "--format", "xyz"}, 2, "--format takes"},
        {{ok, out, "--preset", path("bad.fxp")}, 6, "is not a usable VST preset"},
        {{ok, out, "--preset", path("missing.fxp")}, 6, "cannot read preset"},
        {{ok, out, "--dither", "tpdf", "--bits", "float"}, 2, "--dither applies to integer"},
        {{ok, path("out.ogg"), "--dither", "tpdf"}, 2, "not to OGG Vorbis"},
        {{"--analyze", ok, "--ceiling", "-1dB"}, 2, "--ceiling does not apply to --analyze"},
        {{ok, out, "--loudness", "5"}, 2, "--loudness 5 LUFS cannot be reached"},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + (c.args.size() > 2 ? " " + c.args[2] : ""));
        const run_result r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("zandor-render: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // Nothing was written, not even a temporary file.
    std::vector<std::string> left = files();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a-directory", "bad.fxp", "fast.wav", "ok.wav",
                                              "slow.wav", "text.txt", "three.wav"}));
}

TEST_F(RenderTool, ReportFiguresMatchSignalsOfKnownLevel) {
    // A stereo sine at -20 dBFS reads -20 LUFS. Driven 6 dB under the threshold it passes
    // untouched and comes out 6 dB louder.
    write("quiet.wav", tone(2, 48000, 10.0, -20.0));
    run_result r = run({path("quiet.wav"), path("out.wav"), "--threshold", "-6dB", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(json_value(r.out, "input", "sample_peak_dbfs"), -20.0, 0.01);
    // The meter reads the true peak up to 0.09 dB high on purpose (meter/src/true_peak_meter.h).
    EXPECT_NEAR(json_value(r.out, "input", "true_peak_dbtp"), -20.0 + 0.07, 0.02);
    EXPECT_NEAR(json_value(r.out, "input", "integrated_lufs"), -20.0, 0.1);
    EXPECT_NEAR(json_value(r.out, "output", "sample_peak_dbfs"), -14.0, 0.01);
    EXPECT_NEAR(json_value(r.out, "output", "integrated_lufs"), -14.0, 0.1);
    EXPECT_NEAR(json_value(r.out, "gain_reduction_db", "largest"), 0.0, 0.01);
    EXPECT_EQ(json_value(r.out, "frames", "frames"), 480000.0);
    EXPECT_GT(json_value(r.out, "speed_x_realtime", "speed_x_realtime"), 1.0);

    // 6 dB over the threshold: the limiter takes the sine down to full scale by 6 dB.
    write("loud.wav", tone(2, 48000, 10.0, -6.0));
    r = run({path("loud.wav"), path("out.wav"), "--threshold", "-12dB", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(json_value(r.out, "output", "sample_peak_dbfs"), 0.0, 0.05);
    EXPECT_NEAR(json_value(r.out, "gain_reduction_db", "largest"), 6.0, 0.1);
    EXPECT_NEAR(json_value(r.out, "gain_reduction_db", "average"), 6.0, 0.1);

    r = run({path("loud.wav"), path("out.wav"), "--threshold", "-12dB"});
    EXPECT_NE(r.out.find("sample peak"), std::string::npos);
    EXPECT_NE(r.out.find("gain reduction  largest 6.0 dB, average 6.0 dB"), std::string::npos)
        << r.out;
}

TEST_F(RenderTool, OutputFormatFollowsTheInputUnlessToldOtherwise) {
    audio in = tone(2, 44100, 0.5, -12.0);
    in.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    write("in.flac", in);
    ASSERT_EQ(run({path("in.flac"), path("same.flac")}).status, 0);
    EXPECT_EQ(read("same.flac").format, in.format);
    ASSERT_EQ(run({path("in.flac"), path("by-name.wav")}).status, 0);
    EXPECT_EQ(read("by-name.wav").format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(run({path("in.flac"), path("told.out"), "--format", "aiff", "--bits", "24"}).status,
              0);
    EXPECT_EQ(read("told.out").format, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
}

// Tags libsndfile reads, as a direct write to a container keeps them.
std::vector<std::pair<int, std::string>> tags_of(const std::string& file) {
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    std::vector<std::pair<int, std::string>> tags;
    if (f == nullptr) return tags;
    for (int kind : {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_ALBUM, SF_STR_DATE, SF_STR_COMMENT,
                     SF_STR_TRACKNUMBER, SF_STR_GENRE, SF_STR_COPYRIGHT, SF_STR_SOFTWARE}) {
        if (const char* text = sf_get_string(f, kind)) tags.emplace_back(kind, text);
    }
    sf_close(f);
    return tags;
}

class RenderToolTags : public RenderTool, public ::testing::WithParamInterface<const char*> {};

// Each container keeps every tag of the input that it can hold: as many as libsndfile keeps
// when it writes that container itself, and the title wherever the container has room for
// tags at all (W64 and AU have none).
TEST_P(RenderToolTags, TheInputsTagsReachTheOutputWhereItsContainerHoldsThem) {
    const std::string extension = GetParam();
    const std::vector<std::pair<int, std::string>> given = {
        {SF_STR_TITLE, "Night Drive"}, {SF_STR_ARTIST, "The Testers"}, {SF_STR_ALBUM, "Lanes"},
        {SF_STR_DATE, "2024"},         {SF_STR_COMMENT, "take 3"},     {SF_STR_TRACKNUMBER, "7"},
        {SF_STR_GENRE, "Ambient"},     {SF_STR_COPYRIGHT, "(c) us"},   {SF_STR_SOFTWARE, "mixer"}};
    auto write_tagged = [&](const std::string& name, int format) {
        SF_INFO info{};
        info.channels = 2;
        info.samplerate = 48000;
        info.format = format;
        SNDFILE* f = sf_open(path(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
        for (const auto& [kind, text] : given) sf_set_string(f, kind, text.c_str());
        const audio a = tone(2, 48000, 0.5, -12.0);
        sf_writef_float(f, a.samples.data(), static_cast<sf_count_t>(a.frames()));
        sf_close(f);
    };
    write_tagged("in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    const run_result r = run({path("in.flac"), path("out." + extension)});
    ASSERT_EQ(r.status, 0) << r.err;

    write_tagged("direct." + extension, read("out." + extension).format);
    const auto kept = tags_of(path("out." + extension));
    EXPECT_EQ(kept, tags_of(path("direct." + extension)));
    if (extension != "w64" && extension != "au") {
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(kept.front(), given.front());
    }
}

INSTANTIATE_TEST_SUITE_P(EveryContainer, RenderToolTags,
                         ::testing::Values("wav", "w64", "rf64", "aiff", "caf", "au", "flac", "ogg",
                                           "opus", "mp3"));

TEST_F(RenderTool, TheDemoWritesBothFilesAndReports) {
    const run_result r = run({"--demo", "--out-dir", dir_});
    ASSERT_EQ(r.status, 0) << r.err;
    const audio in = read("demo-input.wav");
    const audio out = read("demo-limited.wav");
    EXPECT_EQ(in.channels, 2);
    EXPECT_NEAR(static_cast<double>(in.frames()) / in.rate, 10.0, 0.5);
    EXPECT_EQ(out.frames(), in.frames());
    // A delivery: both targets reported as asked and as reached on the written file.
    EXPECT_GT(largest_magnitude(in), std::pow(10.0, -3.0 / 20.0));
    EXPECT_LE(largest_magnitude(out), std::pow(10.0, -1.0 / 20.0));
    EXPECT_NE(r.out.find("true-peak target -1.0 dBTP, measured -1."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("loudness target -14.0 LUFS, measured -14.0"), std::string::npos) << r.out;
    // Controls given with it limit as they say instead.
    const run_result limited = run({"--demo", "--out-dir", path("l"), "--ceiling", "-0.3dB"});
    ASSERT_EQ(limited.status, 0) << limited.err;
    EXPECT_NE(limited.out.find("Threshold -9.0dB, Ceiling -0.3dB"), std::string::npos)
        << limited.out;
    EXPECT_EQ(limited.out.find("loudness target"), std::string::npos);

    // Named by their format, into a folder made for them.
    ASSERT_EQ(run({"--demo", "--out-dir", path("made"), "--format", "flac"}).status, 0);
    EXPECT_EQ(read("made/demo-limited.flac").format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    const run_result list = run({"--list-params", "--json"});
    EXPECT_NE(list.out.find("{\"name\": \"Ceiling\""), std::string::npos) << list.out;
}

// Measuring takes any channel count and several files; what JSON leaves null the text says
// in words.
TEST_F(RenderTool, AnalyzeMeasuresEveryFileGivenWhateverItsChannels) {
    audio six;
    six.channels = 6;
    six.rate = 48000;
    const audio front = tone(1, 48000, 4.0, -20.0);
    for (float v : front.samples)
        for (int c = 0; c < 6; ++c) six.samples.push_back(c == 0 || c == 3 ? v : 0.0f);
    write("six.wav", six);
    write("front.wav", front);
    write("short.wav", tone(1, 48000, 1.0, -20.0));
    audio silent = front;
    std::fill(silent.samples.begin(), silent.samples.end(), 0.0f);
    write("silent.wav", silent);

    const run_result r =
        run({"--analyze", path("six.wav"), path("front.wav"), path("missing.wav"), "--json"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out.front(), '[');
    // The LFE channel counts for nothing: the 5.1 file is as loud as its left channel alone.
    EXPECT_NEAR(json_value(r.out, path("six.wav"), "integrated_lufs"),
                json_value(r.out, path("front.wav"), "integrated_lufs"), 0.01)
        << r.out;
    EXPECT_NE(r.out.find("\"exit_status\": 3"), std::string::npos) << r.out;

    const run_result text = run({"--analyze", path("short.wav"), path("silent.wav")});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("loudness range      n/a"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("loudness        silence"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("inf"), std::string::npos) << text.out;
}

// Asking for more renders at once than the open-file limit allows still renders every file.
TEST_F(RenderTool, ABatchFitsItsJobsToTheOpenFileLimit) {
    std::vector<std::string> inputs;
    for (int i = 0; i < 12; ++i) {
        inputs.push_back(path("in" + std::to_string(i) + ".wav"));
        write("in" + std::to_string(i) + ".wav", tone(2, 44100, 0.3, -12.0));
    }
    std::string command =
        "ulimit -n 24; '" ZANDOR_RENDER_TOOL "' --jobs 1024 --out-dir '" + path("out") + "'";
    for (const std::string& in : inputs) command += " '" + in + "'";
    command += " >'" + path("report.txt") + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string report = slurp(path("report.txt"));
    EXPECT_EQ(WEXITSTATUS(status), 0) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 12) << report;
    EXPECT_EQ(report.find("No Error"), std::string::npos) << report;
}

// The defaults --help states for --quality are the ones a render without it uses.
TEST_F(RenderTool, LossyFilesWithoutQualityAreEncodedAtTheStatedDefault) {
    write("in.wav", tone(2, 48000, 2.0, -12.0, -3.0));
    for (const auto& [format, quality] :
         {std::pair<std::string, std::string>{"ogg", "0.4"}, {"mp3", "0.6"}, {"flac", "0.4"}}) {
        ASSERT_EQ(run({path("in.wav"), path("default." + format)}).status, 0);
        ASSERT_EQ(run({path("in.wav"), path("stated." + format), "--quality", quality}).status, 0);
        EXPECT_EQ(slurp(path("default." + format)).size(), slurp(path("stated." + format)).size())
            << format;
    }
}

TEST_F(RenderTool, OutputsThatAreNotRegularFilesAreWrittenInPlace) {
    write("in.wav", tone(2, 44100, 0.5, -12.0));
    // Standard input in, standard output out: the report moves to standard error.
    run_result r = run({"-", "-", "--format", "flac"}, "in.wav", "piped.flac");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("standard input -> standard output"), std::string::npos) << r.err;
    EXPECT_EQ(read("piped.flac").frames(), 22050u);
    EXPECT_EQ(read("piped.flac").format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);

    // /dev/stdout is standard output even when that is a regular file.
    r = run({path("in.wav"), "/dev/stdout"}, "", "via-name.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("-> /dev/stdout"), std::string::npos) << r.err;
    EXPECT_EQ(read("via-name.wav").frames(), 22050u);

    // A FIFO stays a FIFO and its reader gets the whole file.
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);
    const std::string copy = "cat '" + path("fifo") + "' > '" + path("from-fifo.wav") + "' &";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    ASSERT_EQ(run({path("in.wav"), path("fifo")}).status, 0);
    struct stat st {};
    ASSERT_EQ(lstat(path("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    for (int i = 0; i < 100 && read("from-fifo.wav").frames() < 22050u; ++i) usleep(20000);
    EXPECT_EQ(read("from-fifo.wav").frames(), 22050u);

    // A character device is written, not replaced (a root user could otherwise replace it).
    ASSERT_EQ(run({path("in.wav"), "/dev/null"}).status, 0);
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(RenderTool, ARegularOutputKeepsItsLinkAndPermissionsAndNoClobberRefusesIt) {
    write("in.wav", tone(2, 44100, 0.5, -12.0));
    std::ofstream(path("target.wav")) << "old";
    ASSERT_EQ(chmod(path("target.wav").c_str(), 0640), 0);
    ASSERT_EQ(symlink("target.wav", path("link.wav").c_str()), 0);
    ASSERT_EQ(run({path("in.wav"), path("link.wav")}).status, 0);
    struct stat st {};
    ASSERT_EQ(lstat(path("link.wav").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(path("target.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(read("target.wav").frames(), 22050u);

    const std::string before = slurp(path("target.wav"));
    const run_result r = run({path("in.wav"), path("link.wav"), "--no-clobber", "--ceiling", "-3"});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("exists (--no-clobber)"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(path("target.wav")), before);
    EXPECT_EQ(files().size(), 3u);  // in, link and target: no temporary file is left
}

TEST_F(RenderTool, SixteenBitFilesRoundToNearestAndStayUnderTheCeiling) {
    audio in = tone(2, 44100, 1.0, -10.0);
    in.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    write("in.wav", in);
    ASSERT_EQ(run({path("in.wav"), path("same.wav")}).status, 0);
    EXPECT_EQ(slurp(path("same.wav")), slurp(path("in.wav")));

    for (const char* dither : {"none", "tpdf"}) {
        ASSERT_EQ(run({path("in.wav"), path("low.wav"), "--ceiling", "-12.3dB", "--dither", dither})
                      .status,
                  0);
        EXPECT_LE(largest_magnitude(read("low.wav")), std::pow(10.0, -12.3 / 20.0)) << dither;
    }
}

TEST_F(RenderTool, BadInputIsRefusedOrReportedWithoutWritingAnything) {
    audio in = tone(2, 44100, 1.0, -10.0);
    in.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    write("in.wav", in);
    const std::string whole = slurp(path("in.wav"));
    std::ofstream(path("cut.wav"), std::ios::binary) << whole.substr(0, whole.size() / 2);
    run_result r = run({path("cut.wav"), path("cut-out.wav"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("truncated: 22044 frames read of 44100 stated"), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("\"input_truncated\": true"), std::string::npos);

    // A preset whose chunk holds a byte more than the effect keeps: not taken in full.
    ASSERT_EQ(run({"--save-preset", path("p.fxp"), "--ceiling", "-3dB"}).status, 0);
    std::string preset = slurp(path("p.fxp")) + '\x01';
    auto grow = [&](size_t at) {  // big-endian length fields
        for (size_t i = at + 3;; --i) {
            if (++preset[i] != 0) break;
        }
    };
    grow(4);
    grow(56);
    std::ofstream(path("long.fxp"), std::ios::binary) << preset;
    r = run({path("in.wav"), "/dev/stdout", "--preset", path("long.fxp")}, "", "device.out");
    EXPECT_EQ(r.status, 6);
    EXPECT_NE(r.err.find("did not take every setting"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(path("device.out")), "");

    r = run({path("in.wav"), path("out.wav"), "--set", "Ceiling=nan"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(read("out.wav").channels, 0);
}

TEST_F(RenderTool, DeliveryTargetsHoldOnTheWrittenFileOrAreRefusedWithTheirRange) {
    write("in.wav", tone(2, 48000, 6.0, -18.0, -4.0));
    auto measured = [&](const std::string& file, const std::string& key) {
        const run_result a = run({"--analyze", path(file), "--json"});
        EXPECT_EQ(a.status, 0) << a.err;
        return json_value(a.out, "input", key);
    };
    for (const char* file : {"loud.wav", "loud.ogg"}) {
        const run_result r = run({path("in.wav"), path(file), "--loudness", "-14LUFS", "--json"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NEAR(measured(file, "integrated_lufs"), -14.0, 0.1) << file;
        EXPECT_LE(measured(file, "true_peak_dbtp"), -1.0) << file;
        EXPECT_NEAR(json_value(r.out, "loudness_lufs", "achieved"), -14.0, 0.1) << r.out;
    }
    run_result r =
        run({path("in.wav"), path("quiet.wav"), "--loudness", "-23", "--true-peak", "-3dBTP"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(measured("quiet.wav", "integrated_lufs"), -23.0, 0.1);

    r = run({path("in.wav"), path("peak.mp3"), "--true-peak", "-1dBTP"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_LE(measured("peak.mp3", "true_peak_dbtp"), -1.0);

    r = run({path("in.wav"), path("never.wav"), "--loudness", "0LUFS"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("this input can go from"), std::string::npos) << r.err;
    EXPECT_EQ(read("never.wav").channels, 0);

    // Silence has no level: null, not a number.
    write("silent.wav", tone(1, 44100, 0.5, -400.0));
    EXPECT_NE(
        run({"--analyze", path("silent.wav"), "--json"}).out.find("\"integrated_lufs\": null"),
        std::string::npos);
}

TEST_F(RenderTool, ABatchRendersEachFileAsASingleRenderWouldAndReportsTheWorst) {
    write("a.wav", tone(2, 44100, 0.5, -12.0, -2.0));
    write("b.wav", tone(1, 48000, 0.5, -20.0));
    std::ofstream(path("bad.wav")) << "not audio";
    const run_result r = run({"--true-peak", "-2", "--format", "flac", "--jobs", "2", "--out-dir",
                              path("new/dir"), path("a.wav"), path("bad.wav"), path("b.wav")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
    EXPECT_NE(r.out.find("bad.wav: cannot read"), std::string::npos) << r.out;
    const run_result single = run({path("a.wav"), path("single.flac"), "--true-peak", "-2"});
    ASSERT_EQ(single.status, 0) << single.err;
    EXPECT_EQ(slurp(path("new/dir/a.flac")), slurp(path("single.flac")));
    EXPECT_EQ(read("new/dir/b.flac").frames(), 24000u);

    const run_result json = run({"--json", "--out-dir", path("j"), path("a.wav"), path("b.wav")});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.front(), '[');
    EXPECT_NE(json.out.find("\"targets\": {}"), std::string::npos);
}

TEST_F(RenderTool, InputThatOnceFailedIsRenderedAndItsOddityReported) {
    write("in.wav", tone(2, 44100, 2.0, -12.0));
    ASSERT_EQ(run({path("in.wav"), path("in.mp3")}).status, 0);
    // A lossy input goes into a PCM container as 24-bit PCM, by name, by --format and by pipe.
    run_result r = run({path("in.mp3"), path("out.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("note            the input's MP3 Layer III decodes to samples written "
                         "as WAV 24-bit"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read("out.wav").format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    ASSERT_EQ(run({"--format", "wav", "--out-dir", path("d"), path("in.mp3")}).status, 0);
    EXPECT_EQ(read("d/in.wav").format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    ASSERT_EQ(run({"-", "-", "--format", "wav"}, "in.mp3", "piped.wav").status, 0);
    EXPECT_EQ(read("piped.wav").format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);

    // NaN and infinity: counted once, measured as silence, every figure a number.
    audio odd = tone(2, 44100, 4.0, -12.0);
    odd.samples[2000] = NAN;
    odd.samples[40001] = INFINITY;
    odd.samples[60000] = -INFINITY;
    write("odd.wav", odd);
    r = run({path("odd.wav"), path("odd-out.wav"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("has 3 NaN or infinite samples"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.out.find("\"nonfinite_samples\": 3"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("null"), std::string::npos) << r.out;
    EXPECT_NEAR(json_value(r.out, "input", "integrated_lufs"), -12.0, 0.5);
    EXPECT_LE(json_value(r.out, "gain_reduction_db", "largest"), 120.0);
    for (float v : read("odd-out.wav").samples) ASSERT_TRUE(std::isfinite(v));

    // A cut-off FLAC renders what decodes; a WAV from a pipe, whose header cannot state its
    // length, is not truncated.
    audio pcm = tone(2, 44100, 2.0, -12.0);
    pcm.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    write("whole.flac", pcm);
    const std::string flac = slurp(path("whole.flac"));
    std::ofstream(path("cut.flac"), std::ios::binary) << flac.substr(0, flac.size() / 2);
    r = run({path("cut.flac"), path("cut.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("cut.flac is truncated"), std::string::npos) << r.err;
    EXPECT_GT(read("cut.wav").frames(), 20000u);
    // A cut-off Ogg stream, of which libsndfile decodes nothing: refused, not an empty render.
    ASSERT_EQ(run({path("whole.flac"), path("whole.ogg")}).status, 0);
    const std::string ogg = slurp(path("whole.ogg"));
    std::ofstream(path("cut.ogg"), std::ios::binary) << ogg.substr(0, ogg.size() / 2);
    EXPECT_EQ(run({path("cut.ogg"), path("cut-ogg.wav")}).status, 3);
    EXPECT_EQ(read("cut-ogg.wav").channels, 0);
    pcm.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    write("whole.wav", pcm);
    for (const char* size : {"\xff\xff\xff\xff", "\xff\xff\xff\x7f"}) {
        std::string streamed = slurp(path("whole.wav"));
        const size_t data = streamed.find("data");
        streamed.replace(data + 4, 4, size);
        std::ofstream(path("streamed.wav"), std::ios::binary) << streamed;
        r = run({"-", path("streamed-out.wav")}, "streamed.wav");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read("streamed-out.wav").frames(), pcm.frames());
    }
}

TEST_F(RenderTool, InputGainIsExactAndTheSearchTurnsHotInputDownOrQuietInputUp) {
    write("in.wav", impulse(4000, 1000, 0.5f));
    ASSERT_EQ(run({path("in.wav"), path("out.wav"), "--gain", "-7.5dB"}).status, 0);
    const float gain = static_cast<float>(std::pow(10.0, -7.5 / 20.0));
    EXPECT_FLOAT_EQ(read("out.wav").samples[2000], 0.5f * gain * unity);
    run_result r = run({path("in.wav"), path("out.wav"), "--gain", "61dB"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--gain goes from -60 dB to 60 dB"), std::string::npos) << r.err;

    // The same programme 12 dB over full scale and at a sane level: the same delivery, with
    // no more limiting for the hot one.
    auto deliver = [&](const std::string& name, double peak_db) {
        write(name, tone(2, 48000, 6.0, peak_db - 14.0, peak_db));
        const run_result d = run({path(name), path("d-" + name), "--loudness", "-14", "--json"});
        EXPECT_EQ(d.status, 0) << d.err;
        EXPECT_NEAR(json_value(d.out, "loudness_lufs", "achieved"), -14.0, 0.1) << d.out;
        EXPECT_LE(json_value(d.out, "true_peak_dbtp", "achieved"), -1.0) << d.out;
        return d.out;
    };
    const std::string hot = deliver("hot.wav", 12.0);
    const std::string sane = deliver("sane.wav", 0.0);
    EXPECT_LT(json_value(hot, "input_gain_db", "input_gain_db"), -10.0) << hot;
    EXPECT_NEAR(json_value(hot, "gain_reduction_db", "largest"),
                json_value(sane, "gain_reduction_db", "largest"), 0.5)
        << hot << sane;
    // 40 dB below: past the plug-in's 30 dB of drive.
    const std::string quiet = deliver("quiet.wav", -40.0);
    EXPECT_GT(json_value(quiet, "input_gain_db", "input_gain_db"), 5.0) << quiet;
}

TEST_F(RenderTool, AHighRateMasterIsDeliveredAtTheRateAskedOrTheNearestTheCodecTakes) {
    write("master.wav", tone(2, 96000, 6.0, -18.0, -4.0));
    auto analysed = [&](const std::string& file, const std::string& key) {
        const run_result a = run({"--analyze", path(file), "--json"});
        EXPECT_EQ(a.status, 0) << a.err;
        return json_value(a.out, "input", key);
    };
    run_result r = run({path("master.wav"), path("cd.flac"), "--rate", "44100", "--loudness", "-14",
                        "--true-peak", "-1", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("cd.flac").rate, 44100);
    // The input is reported as the file is, at its own rate.
    EXPECT_EQ(json_value(r.out, "input", "true_peak_dbtp"),
              analysed("master.wav", "true_peak_dbtp"));
    r = run({path("master.wav"), path("web.opus"), "--loudness", "-16", "--true-peak", "-2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("converted from 96000 Hz to 48000 Hz before the effect, the nearest"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read("web.opus").rate, 48000);
    EXPECT_NEAR(analysed("cd.flac", "integrated_lufs"), -14.0, 0.1);
    EXPECT_LE(analysed("cd.flac", "true_peak_dbtp"), -1.0);
    EXPECT_NEAR(analysed("web.opus", "integrated_lufs"), -16.0, 0.1);
    EXPECT_LE(analysed("web.opus", "true_peak_dbtp"), -2.0);
    // Length stays the same in time.
    EXPECT_NEAR(static_cast<double>(read("cd.flac").frames()), 6.0 * 44100, 1.0);

    r = run({path("master.wav"), path("no.opus"), "--rate", "44100"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("nearest rate it takes is 48000 Hz"), std::string::npos) << r.err;
    EXPECT_EQ(read("no.opus").channels, 0);
    r = run({path("master.wav"), path("no.wav"), "--rate", "2000"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--rate asks for 2000 Hz; Zandor Limiter does not accept it"),
              std::string::npos)
        << r.err;
}

TEST_F(RenderTool, ATargetThatCannotBeMetWritesNothingAndSaysWhatWasReached) {
    write("in.wav", tone(2, 44100, 1.0, -12.0));
    const run_result r = run({path("in.wav"), path("out.wav"), "--true-peak", "-45"});
    EXPECT_EQ(r.status, 7);
    EXPECT_NE(r.err.find("--true-peak cannot be met"), std::string::npos) << r.err;
    // What the one render reached, about where the tone stands: its Ceiling was already taken
    // a little under 0 dB to keep clear of --true-peak.
    EXPECT_TRUE(
        std::regex_search(r.err, std::regex("it reached -12(\\.\\d+)? LUFS at -1[12]\\.\\d+ dBTP")))
        << r.err;
    EXPECT_EQ(files(), std::vector<std::string>{"in.wav"});
}

}  // namespace
