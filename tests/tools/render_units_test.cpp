// The render tool's parts that need no module: values with units, the command line, preset
// files, the parameter search, the gain reduction meter, the measuring stages, output folders,
// output rates and atomic output.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "audio/atomic_file.h"
#include "audio/audio_file.h"
#include "audio/output_target.h"
#include "audio/sample_quantiser.h"
#include "cli/command_line.h"
#include "cli/json_report.h"
#include "delivery/loudness_search.h"
#include "host/fx_preset.h"
#include "host/parameter_mapper.h"
#include "host/quantity.h"
#include "measure/gain_reduction_meter.h"
#include "measure/measured_stages.h"
#include "meter/level_meter.h"
#include "render_error.h"
#include "vst/base/vst_abi.h"

namespace {

TEST(RenderQuantity, ReadsNumbersWithUnitsAndConvertsWithinAFamily) {
    const auto q = parse_quantity(" -6.5 dB ");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->value, -6.5);
    EXPECT_EQ(q->unit, "dB");
    EXPECT_FALSE(parse_quantity("dB"));
    EXPECT_FALSE(parse_quantity(""));
    EXPECT_TRUE(std::isinf(parse_quantity("-INF")->value));

    EXPECT_NEAR(*convert_quantity(*parse_quantity("0.2s"), "ms"), 200.0, 1e-9);
    EXPECT_NEAR(*convert_quantity(*parse_quantity("200MS"), "s"), 0.2, 1e-12);
    EXPECT_EQ(*convert_quantity(*parse_quantity("-3"), "dB"), -3.0);
    EXPECT_FALSE(convert_quantity(*parse_quantity("200ms"), "dB"));
    EXPECT_FALSE(convert_quantity(*parse_quantity("3 furlongs"), "dB"));

    EXPECT_EQ(format_quantity(-30.0, "dB"), "-30 dB");
    EXPECT_EQ(format_quantity(-0.0, "dB"), "0 dB");
    EXPECT_EQ(format_quantity(5000.0, "ms"), "5 s");
    EXPECT_EQ(format_quantity(1.0, "ms"), "1 ms");
}

render_options parse(std::vector<const char*> args) {
    args.insert(args.begin(), "zandor-render");
    return parse_render_options(static_cast<int>(args.size()), args.data());
}

std::string refusal(std::vector<const char*> args) {
    try {
        parse(args);
    } catch (const render_error& e) {
        EXPECT_EQ(e.code(), exit_status::usage);
        return e.what();
    }
    return "(accepted)";
}

TEST(RenderOptions, ControlValuesMayStartWithAMinusAndKeepTheirOrder) {
    const render_options o = parse({"in.wav", "out.wav", "--threshold", "-6dB", "--release=0.2s",
                                    "--set", "Ceiling=-0.3dB", "--keep-latency"});
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.wav"});
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_TRUE(o.keep_latency);
    ASSERT_EQ(o.parameters.size(), 3u);
    EXPECT_EQ(o.parameters[0].name, "Threshold");
    EXPECT_EQ(o.parameters[0].value, "-6dB");
    EXPECT_EQ(o.parameters[1].name, "Release");
    EXPECT_EQ(o.parameters[2].option, "--set");
    EXPECT_EQ(o.parameters[2].name, "Ceiling");
    EXPECT_EQ(o.parameters[2].value, "-0.3dB");
    EXPECT_TRUE(parse({"--demo", "--out-dir", "x"}).demo);
    EXPECT_EQ(parse({"--save-preset", "p.fxp"}).preset_out, "p.fxp");
    const render_options delivery = parse({"-", "-", "--loudness", "-16LUFS"});
    EXPECT_EQ(delivery.loudness_lufs, -16.0);
    EXPECT_EQ(delivery.true_peak_dbtp, -1.0);  // the default that comes with a loudness target
    EXPECT_EQ(parse({"a", "b", "--true-peak", "-2dBTP"}).true_peak_dbtp, -2.0);
    EXPECT_EQ(parse({"--out-dir", "d", "a", "b", "c"}).inputs.size(), 3u);
}

TEST(RenderOptions, BadCommandLinesAreRefusedWithTheirOwnWords) {
    EXPECT_NE(refusal({"in.wav", "out.wav", "--threshold", "200ms"}).find("takes a level in dB"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--release", "-6dB"}).find("a time in ms or s"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--ceiling", "loud"}).find("(got 'loud')"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--threshold"}).find("a value is needed"),
              std::string::npos);
    // Infinite and NaN values would set a control to one end of its range.
    EXPECT_NE(refusal({"in.wav", "out.wav", "--ceiling", "inf"}).find("(got 'inf')"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--threshold", "1e400"}).find("(got '1e400')"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--true-peak", "nan"}).find("(got 'nan')"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--loudness", "-14LUFS", "--ceiling", "-1dB"})
                  .find("cannot be given with --loudness"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--dither", "rpdf"}).find("none or tpdf"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--set", "Release"}).find("NAME=VALUE"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--block-size", "0"}).find("1 to 65536"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--louder"}).find("unknown option --louder"),
              std::string::npos);
    EXPECT_NE(refusal({"in.wav"}).find("missing output"), std::string::npos);
    EXPECT_NE(refusal({}).find("missing input"), std::string::npos);
    EXPECT_NE(refusal({"a", "b", "c"}).find("too many"), std::string::npos);
    EXPECT_NE(refusal({"--demo", "in.wav"}).find("--demo makes its own input"), std::string::npos);
    EXPECT_NE(refusal({"in.wav", "out.wav", "--json=yes"}).find("takes no value"),
              std::string::npos);
}

fx_preset sample_chunk_preset() {
    fx_preset p;
    p.fx_id = vstFourCharCode('Z', 'n', 'L', 'm');
    p.fx_version = 1;
    p.count = 3;
    p.program_name = "Default";
    p.chunk = {1, 2, 3, 4, 5, 250};
    return p;
}

std::string preset_refusal(const std::vector<uint8_t>& bytes) {
    try {
        decode_fx_preset(bytes.data(), bytes.size(), "p.fxp");
    } catch (const render_error& e) {
        EXPECT_EQ(e.code(), exit_status::preset);
        return e.what();
    }
    return "(accepted)";
}

TEST(RenderPresetFile, ProgramsRoundTripInTheStandardLayout) {
    const fx_preset p = sample_chunk_preset();
    const std::vector<uint8_t> bytes = encode_fx_program(p);
    ASSERT_EQ(bytes.size(), 60u + p.chunk.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
    EXPECT_EQ(bytes[7], bytes.size() - 8);  // big-endian byte size of what follows
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FPCh");
    EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 20), "ZnLm");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28])), "Default");
    EXPECT_EQ(bytes[59], p.chunk.size());

    const fx_preset back = decode_fx_preset(bytes.data(), bytes.size(), "p.fxp");
    EXPECT_EQ(back.what, fx_preset::content::chunk);
    EXPECT_EQ(back.fx_id, p.fx_id);
    EXPECT_EQ(back.program_name, "Default");
    EXPECT_EQ(back.chunk, p.chunk);

    fx_preset values = p;
    values.what = fx_preset::content::parameters;
    values.parameters = {0.0f, 0.25f, 1.0f};
    const std::vector<uint8_t> value_bytes = encode_fx_program(values);
    EXPECT_EQ(std::string(value_bytes.begin() + 8, value_bytes.begin() + 12), "FxCk");
    EXPECT_EQ(decode_fx_preset(value_bytes.data(), value_bytes.size(), "p.fxp").parameters,
              values.parameters);
}

TEST(RenderPresetFile, LengthFieldsThatOverreachTheFileAreRefused) {
    const std::vector<uint8_t> good = encode_fx_program(sample_chunk_preset());
    std::vector<uint8_t> cut(good.begin(), good.end() - 1);
    EXPECT_NE(preset_refusal(cut).find("shorter than its header says"), std::string::npos);

    std::vector<uint8_t> lying = good;
    lying[59] = 200;  // chunk size beyond the file
    lying[7] = static_cast<uint8_t>(lying.size() - 8);
    EXPECT_NE(preset_refusal(lying).find("chunk is shorter"), std::string::npos);

    fx_preset values = sample_chunk_preset();
    values.what = fx_preset::content::parameters;
    values.parameters = {0.5f};
    std::vector<uint8_t> many = encode_fx_program(values);
    many[24] = 0x7f;  // parameter count far beyond the values present
    EXPECT_NE(preset_refusal(many).find("fewer parameter values"), std::string::npos);

    std::vector<uint8_t> bank = good;
    std::memcpy(&bank[8], "FxBk", 4);
    EXPECT_NE(preset_refusal(bank).find("bank of separate programs"), std::string::npos);
    EXPECT_NE(preset_refusal({'R', 'I', 'F', 'F'}).find("does not start like a preset"),
              std::string::npos);
}

TEST(RenderPresetFile, OpaqueBanksAreReadForTheirChunk) {
    std::vector<uint8_t> bank(160, 0);
    std::memcpy(&bank[0], "CcnK", 4);
    std::memcpy(&bank[8], "FBCh", 4);
    std::memcpy(&bank[16], "ZnLm", 4);
    bank[159] = 2;
    bank.push_back(7);
    bank.push_back(9);
    bank[7] = static_cast<uint8_t>(bank.size() - 8);
    const fx_preset p = decode_fx_preset(bank.data(), bank.size(), "b.fxb");
    EXPECT_TRUE(p.is_bank);
    EXPECT_EQ(p.chunk, (std::vector<uint8_t>{7, 9}));
}

// Parameters shaped like the limiter's: a gain on a square curve shown in tenths of a dB, a
// time on an exponential curve shown in whole milliseconds above 5 ms, and a switch.
class curve_parameters : public parameter_access {
public:
    float position[3] = {1.0f, 0.6221f, 0.0f};

    double threshold_db() const {
        const double low = 0.031622779;
        const float v = static_cast<float>(low + (1.0 - low) * position[0] * position[0]);
        return 20.0 * std::log10(static_cast<double>(v));
    }
    double release_ms() const { return 1000.0 * 0.001 * std::pow(5000.0, position[1]); }

    int parameter_count() override { return 3; }
    std::string parameter_name(int i) override {
        return i == 0 ? "Threshold" : i == 1 ? "Release" : "Mode";
    }
    std::string parameter_display(int i) override {
        char text[32];
        if (i == 0) std::snprintf(text, sizeof text, "%.1fdB", threshold_db());
        if (i == 1) {
            const double ms = release_ms();
            std::snprintf(text, sizeof text, ms > 5.0 ? "%.0fms" : "%.1fms", ms);
        }
        if (i == 2) std::snprintf(text, sizeof text, "%s", position[2] >= 0.5f ? "On" : "Off");
        return text;
    }
    float parameter_position(int i) override { return position[i]; }
    void set_parameter_position(int i, float p) override { position[i] = p; }
    std::vector<uint8_t> save_settings() override {
        const auto* b = reinterpret_cast<const uint8_t*>(position);
        return std::vector<uint8_t>(b, b + sizeof position);
    }
    void restore_settings(const std::vector<uint8_t>& s) override {
        std::memcpy(position, s.data(), sizeof position);
    }
};

TEST(RenderParameterSearch, ValuesLandFarCloserThanTheDisplayRounds) {
    curve_parameters p;
    parameter_mapper mapper(p);
    mapper.set("--threshold -6dB", "threshold", "-6dB");
    EXPECT_NEAR(p.threshold_db(), -6.0, 0.0005);
    mapper.set("--threshold -6.03dB", "Threshold", "-6.03dB");  // between two displayed values
    EXPECT_NEAR(p.threshold_db(), -6.03, 0.0005);
    mapper.set("--threshold -29.99dB", "Threshold", "-29.99dB");  // where the curve is flat
    EXPECT_NEAR(p.threshold_db(), -29.99, 0.0005);
    mapper.set("--threshold -30dB", "Threshold", "-30dB");
    EXPECT_EQ(p.position[0], 0.0f);

    mapper.set("--release 200ms", "Release", "200ms");
    EXPECT_NEAR(p.release_ms(), 200.0, 0.01);
    mapper.set("--release 0.0123s", "Release", "0.0123s");
    EXPECT_NEAR(p.release_ms(), 12.3, 0.005);
    mapper.set("--release 5s", "Release", "5s");
    EXPECT_EQ(p.position[1], 1.0f);
    mapper.set("--release 2.5ms", "Release", "2.5ms");
    EXPECT_NEAR(p.release_ms(), 2.5, 0.001);
}

TEST(RenderParameterSearch, ProbingLeavesOnlyTheChosenPositionBehind) {
    curve_parameters p;
    p.position[1] = 0.123456f;
    parameter_mapper mapper(p);
    mapper.set("--threshold -12dB", "Threshold", "-12dB");
    EXPECT_EQ(p.position[1], 0.123456f);
    EXPECT_EQ(p.position[2], 0.0f);

    p.position[0] = 0.4321f;
    const float before = p.position[0];
    const auto read = mapper.read(0);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->unit, "dB");
    EXPECT_NEAR(read->value, p.threshold_db(), 0.0005);
    EXPECT_EQ(p.position[0], before);
}

TEST(RenderParameterSearch, RefusalsNameTheRangeOrTheChoices) {
    curve_parameters p;
    parameter_mapper mapper(p);
    auto refusal = [&](const std::string& name, const std::string& value) -> std::string {
        try {
            mapper.set("--set " + name + "=" + value, name, value);
        } catch (const render_error& e) {
            EXPECT_EQ(e.code(), exit_status::usage);
            return e.what();
        }
        return "(accepted)";
    };
    EXPECT_NE(
        refusal("Threshold", "-31dB").find("out of range: Threshold goes from -30 dB to 0 dB"),
        std::string::npos);
    EXPECT_NE(refusal("Threshold", "+1dB").find("out of range"), std::string::npos);
    EXPECT_NE(refusal("Release", "6s").find("Release goes from 1 ms to 5 s"), std::string::npos);
    EXPECT_NE(refusal("Release", "-3dB").find("takes a value in ms"), std::string::npos);
    EXPECT_NE(refusal("Mode", "maybe").find("(it shows: Off, On)"), std::string::npos);
    EXPECT_NE(refusal("Drive", "3dB").find("has no parameter 'Drive'"), std::string::npos);

    mapper.set("--set mode=ON", "mode", "ON");
    EXPECT_GE(p.position[2], 0.5f);
}

TEST(RenderGainReduction, MeasuresAgainstTheMakeUpGainOnTheLouderChannel) {
    gain_reduction_meter meter(6.0);  // threshold -6 dB, ceiling 0 dB
    const float in_a[2] = {0.25f, -0.5f};
    const float untouched[2] = {0.5f, -0.99763f};  // 0.5 × 10^(6/20)
    meter.add(in_a, untouched, 2);
    EXPECT_NEAR(meter.largest_db(), 0.0, 1e-3);
    const float halved[2] = {0.25f, -0.49881f};
    meter.add(in_a, halved, 2);
    EXPECT_NEAR(meter.largest_db(), 6.02, 0.01);
    EXPECT_NEAR(meter.average_db(), 3.01, 0.01);
    const float quiet[2] = {1e-6f, 0.0f};
    const float zero[2] = {0.0f, 0.0f};
    meter.add(quiet, zero, 2);  // too quiet to measure: the average stays
    EXPECT_NEAR(meter.average_db(), 3.01, 0.01);
}

TEST(RenderQuantiser, RoundsToNearestAndKeepsEverySampleWithinTheBound) {
    // Rounding: 16-bit values read back exactly; halfway and just-off values go to the nearest.
    sample_quantiser plain(16, dither_kind::none, 1.0);
    const float in[6] = {
        1000.0f / 32768, -1000.0f / 32768, 1000.4f / 32768, -1000.6f / 32768, -1.0f, 1.0f};
    int32_t words[6];
    float decoded[6];
    plain.quantise(in, words, decoded, 6);
    const int32_t expected[6] = {1000, -1000, 1000, -1001, -32768, 32767};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(words[i], expected[i] * 65536) << i;
        EXPECT_EQ(decoded[i], static_cast<float>(expected[i]) / 32768) << i;
    }
    // At a bound of -1 dB neither rounding nor dither may carry a sample past it, on either
    // side; dither stays within a step of the plain rounding.
    const double bound = std::pow(10.0, -1.0 / 20.0);
    sample_quantiser dithered(16, dither_kind::tpdf, bound);
    std::vector<float> loud(4096);
    for (size_t i = 0; i < loud.size(); ++i)
        loud[i] = static_cast<float>(bound * std::sin(0.37 * static_cast<double>(i)));
    std::vector<int32_t> w(loud.size());
    std::vector<float> d(loud.size());
    dithered.quantise(loud.data(), w.data(), d.data(), static_cast<int64_t>(loud.size()));
    bool differs = false;
    for (size_t i = 0; i < loud.size(); ++i) {
        EXPECT_LE(std::fabs(d[i]), bound) << i;
        EXPECT_LE(std::fabs(d[i] - loud[i]), 2.0 / 32768) << i;
        differs = differs || d[i] != std::nearbyint(loud[i] * 32768.0) / 32768;
    }
    EXPECT_TRUE(differs);
}

// The vector paths (several samples or frames per register) against the same code taking one
// at a time, over values that test their edges: NaN, infinities, silence, ties.
std::vector<float> awkward_samples(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.2f, 1.2f);
    std::vector<float> x(count);
    for (size_t i = 0; i < count; ++i) {
        switch (random() % 8) {
            case 0: x[i] = NAN; break;
            case 1: x[i] = (random() % 2 ? 1 : -1) * INFINITY; break;
            case 2: x[i] = 0.0f; break;
            case 3: x[i] = uniform(random) * 1e-5f; break;  // below the gain meter's floor
            case 4: x[i] = (static_cast<float>(random() % 2001) - 1000.5f) / 32768; break;  // tie
            case 5: x[i] = i > 0 ? -x[i - 1] : 0.5f; break;  // a channel as loud as the other
            default: x[i] = uniform(random);
        }
    }
    return x;
}

TEST(RenderQuantiser, ManyAtOnceGiveTheSameBitsAsOneAtATimeAtEveryDepth) {
    const std::vector<float> in = awkward_samples(4099, 1);
    for (int bits : {8, 16, 24, 32}) {
        for (double bound : {1.0, 0.7}) {
            sample_quantiser q(bits, dither_kind::none, bound);
            std::vector<int32_t> words(in.size()), word(1);
            std::vector<float> decoded(in.size()), one(1);
            q.quantise(in.data(), words.data(), decoded.data(), static_cast<int64_t>(in.size()));
            for (size_t i = 0; i < in.size(); ++i) {
                q.quantise(&in[i], word.data(), one.data(), 1);
                EXPECT_EQ(words[i], word[0]) << bits << " bits, sample " << i;
                EXPECT_EQ(std::memcmp(&decoded[i], one.data(), sizeof(float)), 0) << bits;
            }
        }
    }
}

TEST(RenderGainReduction, StereoFramesTakenTogetherReadAsTakenOneByOne) {
    for (double gain_db : {0.0, 6.0}) {
        std::vector<float> in = awkward_samples(2 * 4099, 2);
        // An infinite input would make every average infinite, hiding any other difference.
        for (float& v : in) v = std::isinf(v) ? 0.9f : v;
        std::vector<float> out = awkward_samples(2 * 4099, 3);
        for (size_t i = 0; i < out.size(); i += 3) out[i] = in[i] * 0.5f;  // limited frames
        gain_reduction_meter together(gain_db), one_by_one(gain_db);
        together.add_frames(in.data(), out.data(), 4099, 2);
        for (size_t f = 0; f < 4099; ++f) one_by_one.add(&in[2 * f], &out[2 * f], 2);
        EXPECT_EQ(together.largest_db(), one_by_one.largest_db());
        EXPECT_EQ(together.average_db(), one_by_one.average_db());
    }
}

// Measuring as a stage: frames read through a measured source, and frames written to a
// measured sink (in the room it offers, or from the writer's own memory), reach their stream
// unchanged and read as a meter given them directly.
TEST(RenderMeasuredStages, FramesPassThroughUnchangedAndReadAsTheMeterAlone) {
    constexpr int rate = 48000;
    constexpr int channels = 2;
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, 0.2f);
    const int64_t frames = 3 * rate + 77;  // past the ring's end, so a block straddles it
    std::vector<float> x(static_cast<size_t>(frames * channels));
    for (float& v : x) v = noise(random);

    // A source that answers from memory of its own, as a decoder may.
    struct memory_source : frame_source {
        const std::vector<float>& samples;
        int64_t at = 0;
        explicit memory_source(const std::vector<float>& s) : samples(s) {}
        const float* next(float*, int64_t frames_wanted, int64_t& got) override {
            got = std::min(frames_wanted, static_cast<int64_t>(samples.size()) / channels - at);
            const float* start = samples.data() + at * channels;
            at += got;
            return start;
        }
    } file(x);
    level_meter staged(channels, rate, true, 2), alone(channels, rate);
    measured_source in(file, staged, 1);
    measured_sink out(staged, 0);
    std::vector<float> passed, buffer(1000 * channels);
    for (int64_t got = 1; got > 0;) {
        const float* block = in.next(buffer.data(), 1000, got);
        passed.insert(passed.end(), block, block + got * channels);
        if (got == 0) break;
        // The writer's side: in the sink's room where it has one, else from its own memory.
        if (float* room = out.room(got)) {
            std::copy_n(block, got * channels, room);
            out.write(room, got);
        } else {
            out.write(block, got);
        }
    }
    EXPECT_EQ(passed, x);
    alone.add(x.data(), frames);
    const level_figures expected = alone.figures();
    for (const level_figures& l : {staged.figures(1), staged.figures(0)}) {
        EXPECT_EQ(l.sample_peak_dbfs, expected.sample_peak_dbfs);
        EXPECT_EQ(l.true_peak_dbtp, expected.true_peak_dbtp);
        EXPECT_NEAR(l.loudness_lufs, expected.loudness_lufs, 1e-9);
        EXPECT_NEAR(l.loudness_range_lu, expected.loudness_range_lu, 1e-9);
    }
}

// A folder made with its parents; a file in the way is refused as an output error, and a
// report naming a file that is not UTF-8 is still JSON.
TEST(RenderOutputFolders, FoldersAreMadeAndFilesInTheWayRefused) {
    char dir[] = "/tmp/zandor-folders-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string base = dir;
    ensure_folder(base + "/a/b/c");
    ensure_folder(base + "/a/b/c");  // again: nothing to do
    EXPECT_TRUE(std::filesystem::is_directory(base + "/a/b/c"));
    std::fclose(std::fopen((base + "/file").c_str(), "w"));
    try {
        ensure_folder(base + "/file");
        ADD_FAILURE() << "a file was taken for a folder";
    } catch (const render_error& e) {
        EXPECT_EQ(e.code(), exit_status::output);
        EXPECT_NE(std::string(e.what()).find("not a folder"), std::string::npos) << e.what();
    }
    std::filesystem::remove_all(base);

    render_report r;
    r.input_path = "take\xff\xfe.wav";
    r.settings = {{"Threshold", "-6.0dB"}};
    const nlohmann::json parsed = nlohmann::json::parse(report_json(r));
    EXPECT_EQ(parsed["input"]["file"], "take\xEF\xBF\xBD\xEF\xBF\xBD.wav");
    EXPECT_TRUE(parsed["input"]["integrated_lufs"].is_number());
    EXPECT_EQ(parsed["settings"]["Threshold"], "-6.0dB");
}

// A stand-in for the limiter: loudness rises by 0.6 LU per dB of drive and its true peak sits
// 2 dB above the highest Ceiling once it limits.
pass_levels model_limiter(double threshold_db) {
    const double drive = -threshold_db;
    return {-20.0 + 0.6 * drive, drive > 1.0 ? 2.0 : 1.0 + drive};
}

TEST(RenderLoudnessSearch, FindsTheLeastDriveAndLandsTheTargetWithCeiling) {
    const control_ranges range{-30.0, 0.0, -30.0, 0.0};
    int passes = 0;
    auto measure = [&](double t) {
        ++passes;
        return model_limiter(t);
    };
    // Louder: drive until the loudness left under -1 dBTP reaches -14.
    const loudness_plan loud = plan_loudness(-14.0, -1.0, range, measure);
    const pass_levels at = model_limiter(loud.threshold_db);
    EXPECT_NEAR(at.loudness_lufs + loud.ceiling_db, -14.0, 1e-9);
    EXPECT_LE(at.true_peak_dbtp + loud.ceiling_db, -1.0 + 1e-9);
    EXPECT_NEAR(at.loudness_lufs + std::min(0.0, -1.0 - at.true_peak_dbtp), -14.0, 0.25);
    EXPECT_LE(passes, 6);
    // Quieter: no drive, Ceiling alone.
    const loudness_plan quiet = plan_loudness(-30.0, -1.0, range, model_limiter);
    EXPECT_EQ(quiet.threshold_db, 0.0);
    EXPECT_NEAR(quiet.ceiling_db, -10.0, 1e-9);
    // Out of reach either way: refused with the range that can be reached.
    for (const double target : {-2.0, -60.0}) {
        try {
            plan_loudness(target, -1.0, range, model_limiter);
            ADD_FAILURE() << target;
        } catch (const render_error& e) {
            EXPECT_EQ(e.code(), exit_status::usage);
            EXPECT_NE(std::string(e.what()).find("from -50.0 LUFS to -5.0 LUFS"), std::string::npos)
                << e.what();
        }
    }
    // A target just out of reach is not shown inside the range, however the ends round.
    try {
        plan_loudness(-5.0, -1.0, range, [](double t) {
            pass_levels p = model_limiter(t);
            p.loudness_lufs -= 0.04;
            return p;
        });
        ADD_FAILURE();
    } catch (const render_error& e) {
        EXPECT_NE(std::string(e.what()).find("--loudness -5 LUFS cannot be reached"),
                  std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("to -5.1 LUFS"), std::string::npos) << e.what();
    }
}

// An input peaking at +6 dBTP, or one at -50 dBTP, through a model limiter that holds sample
// peaks at full scale (its true peak then 1 dB over) and loses 0.4 LU per dB it limits.
pass_levels model_input(double loudness, double peak, double threshold_db) {
    const double over = peak - threshold_db;
    if (over <= 0.0) return {loudness - threshold_db, over, false, loudness};
    return {loudness - threshold_db - 0.4 * over, 1.0, true, loudness};
}

TEST(RenderLoudnessSearch, TurnsAHotInputDownAndAQuietOnePastTheDrive) {
    const control_ranges range{-90.0, 60.0, -30.0, 0.0, 0.0};
    int passes = 0;
    const loudness_plan hot = plan_loudness(-14.0, -1.0, range, [&](double t) {
        ++passes;
        return model_input(-6.0, 6.0, t);
    });
    EXPECT_GE(hot.threshold_db, 7.0);  // turned down until nothing is limited
    EXPECT_FALSE(model_input(-6.0, 6.0, hot.threshold_db).limited);
    EXPECT_NEAR(model_input(-6.0, 6.0, hot.threshold_db).loudness_lufs + hot.ceiling_db, -14.0,
                1e-9);
    EXPECT_LE(passes, 2);

    const loudness_plan quiet =
        plan_loudness(-14.0, -1.0, range, [](double t) { return model_input(-60.0, -50.0, t); });
    EXPECT_LT(quiet.threshold_db, -40.0);
    // Quieter than the lowest Ceiling takes an input: turned down, Ceiling within its range.
    const loudness_plan soft =
        plan_loudness(-60.0, -1.0, range, [](double t) { return model_input(-20.0, -10.0, t); });
    EXPECT_GE(soft.ceiling_db, -30.0);
    EXPECT_NEAR(model_input(-20.0, -10.0, soft.threshold_db).loudness_lufs + soft.ceiling_db, -60.0,
                1e-9);
    EXPECT_NEAR(model_input(-60.0, -50.0, quiet.threshold_db).loudness_lufs + quiet.ceiling_db,
                -14.0, 1e-9);
}

TEST(RenderOutputRate, LossyCodecsTakeTheNearestRateTheyCarry) {
    EXPECT_EQ(container_rate(SF_FORMAT_OGG | SF_FORMAT_OPUS, 44100), 48000);
    EXPECT_EQ(container_rate(SF_FORMAT_OGG | SF_FORMAT_OPUS, 22050), 24000);
    EXPECT_EQ(container_rate(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 96000), 48000);
    EXPECT_EQ(container_rate(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050), 22050);
    EXPECT_EQ(container_rate(SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000), 96000);
    // A WAV cannot carry MP3 frames that libsndfile would write: a lossy input goes in as PCM.
    EXPECT_EQ(choose_output_format(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 44100, "o.wav",
                                   std::nullopt, std::nullopt),
              SF_FORMAT_WAV | SF_FORMAT_PCM_24);
}

std::vector<std::string> entries_of(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        }
        closedir(d);
    }
    return names;
}

TEST(RenderAtomicFile, OnlyACommittedFileAppearsAndNothingElseRemains) {
    char pattern[] = "/tmp/zandor-atomic-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string target = dir + "/out.bin";
    {
        atomic_file f(target);
        f.write_all("abc", 3);
    }
    EXPECT_TRUE(entries_of(dir).empty());
    {
        atomic_file f(target);
        f.write_all("abc", 3);
        f.commit();
    }
    EXPECT_EQ(entries_of(dir), std::vector<std::string>{"out.bin"});
    unlink(target.c_str());
    rmdir(dir.c_str());
}

}  // namespace
