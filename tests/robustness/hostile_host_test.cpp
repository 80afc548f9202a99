// The module in the hands of a careless or hostile host: every opcode with and without the
// pointers it takes, block sizes beyond the announced one, sample rates at and past the
// edges, garbage audio, every rounding mode, chunks that are not ours, and many instances.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "busy_signal.h"
#include "support/record_queue.h"
#include "support/vst_effect.h"

namespace {

constexpr float clip_level = 0x1.fffffap-1f;
constexpr VstInt32 last_known_opcode = effGetNumMidiOutputChannels;
constexpr VstInt32 param_count = 3;

bool is_subnormal(float x) {
    return std::fpclassify(x) == FP_SUBNORMAL;
}

// Every output sample finite, within the clip level, and a number a following plug-in can
// compute with at full speed.
void expect_clean(const stereo& out, float bound = clip_level) {
    for (const std::vector<float>* channel : {&out.l, &out.r}) {
        for (size_t t = 0; t < channel->size(); ++t) {
            const float y = (*channel)[t];
            ASSERT_TRUE(std::isfinite(y) && std::fabs(y) <= bound && !is_subnormal(y))
                << "frame " << t << ": " << y;
        }
    }
}

// A complete state block of another plug-in built on the same framework: its identifier
// differs, its values would all be valid here.
bytes other_plugins_chunk() {
    std::vector<bytes> records = {make_record(AXO_TIME_NOW, AXO_REC_BEGIN, AXO_SIZE_BEGIN),
                                  identifier_record("tarnwick-otherlimiter-2")};
    for (int32_t index = 0; index < param_count; ++index) {
        records.push_back(real_record(AXO_TIME_NOW, index, 0.5f));
    }
    records.push_back(bypass_record(AXO_TIME_NOW, 1));
    records.push_back(make_record(AXO_TIME_NOW, AXO_REC_END, AXO_SIZE_END));
    return framed_chunk(records);
}

// End offsets of the frames of a well-formed chunk.
std::vector<size_t> frame_ends(const bytes& chunk) {
    std::vector<size_t> ends;
    size_t at = 0;
    while (at + 4 <= chunk.size()) {
        int32_t length;
        std::memcpy(&length, chunk.data() + at, 4);
        at += 4 + static_cast<size_t>(length);
        ends.push_back(at);
    }
    return ends;
}

// Settings that differ from the defaults in every control.
void adjust(vst_effect& fx) {
    fx.set(0, 0.37f);
    fx.set(1, 0.81f);
    fx.set(2, 0.55f);
}

TEST(HostileHost, EveryOpcodeWithNullOrValidPointersLeavesTheEffectAsItWas) {
    vst_effect swept, untouched;
    ASSERT_NE(swept.get(), nullptr);
    swept.start();
    untouched.start();
    adjust(swept);
    adjust(untouched);
    const bytes before = swept.chunk();

    // Pointers of the shape each opcode expects: a zeroed buffer serves as text, record and
    // pointer slot alike; a few opcodes want something particular.
    alignas(16) unsigned char buffer[1024] = {};
    alignas(16) unsigned char second[1024] = {};
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);

    const int host_mode = FE_DOWNWARD;
    std::fesetround(host_mode);
    for (VstInt32 opcode = -10; opcode <= 200; ++opcode) {
        if (opcode == effClose) continue;
        for (VstInt32 index : {0, -1, 2, param_count, INT32_MIN, INT32_MAX}) {
            for (bool valid : {false, true}) {
                std::memset(buffer, 0, sizeof buffer);
                std::memset(second, 0, sizeof second);
                void* ptr = valid ? buffer : nullptr;
                VstIntPtr value = 0;
                bytes own = before;
                if (valid && opcode == effSetChunk) {
                    ptr = own.data();
                    value = static_cast<VstIntPtr>(own.size());
                } else if (valid && opcode == effProcessEvents) {
                    ptr = &events;
                } else if (valid && (opcode == effSetSpeakerArrangement ||
                                     opcode == effGetSpeakerArrangement)) {
                    value = reinterpret_cast<VstIntPtr>(second);
                }
                const VstIntPtr answer = swept.dispatch(opcode, index, value, ptr);
                ASSERT_EQ(std::fegetround(), host_mode) << "opcode " << opcode;
                if (opcode < 0 || opcode > last_known_opcode) {
                    EXPECT_EQ(answer, 0) << "opcode " << opcode;
                }
            }
        }
    }
    std::fesetround(FE_TONEAREST);

    EXPECT_EQ(swept.chunk(), before);
    const stereo in = busy_signal(6000, 1);
    EXPECT_EQ(swept.run(in, {512, 512, 4976}), untouched.run(in, {512, 512, 4976}));
}

TEST(HostileHost, BlocksOfAnySizeGiveTheOutputOfOneBlock) {
    // The host announces 512 frames and then sends empty, tiny, odd and far larger blocks,
    // and a negative count, which must change nothing.
    const std::vector<VstInt32> blocks = {0, 1, 7, -5, 4096, 0, 100000, 3};
    const stereo in = busy_signal(frames_in(blocks), 2);

    vst_effect whole, split, accumulating;
    whole.start(44100.0f, static_cast<VstIntPtr>(in.frames()));
    split.start(44100.0f, 512);
    accumulating.start(44100.0f, 512);
    const stereo reference = whole.run(in, {static_cast<VstInt32>(in.frames())});
    expect_clean(reference);

    EXPECT_EQ(split.run(in, blocks), reference);

    const float prefill = 0.25f;
    const stereo added = accumulating.run(in, blocks, true, prefill);
    for (size_t t = 0; t < in.frames(); ++t) {
        ASSERT_EQ(added.l[t], reference.l[t] + prefill) << t;
        ASSERT_EQ(added.r[t], reference.r[t] + prefill) << t;
    }
}

TEST(HostileHost, MissingBuffersAreSkippedWithoutTouchingTheOthers) {
    vst_effect fx;
    fx.start();
    std::vector<float> a(64, 0.5f), b(64, 0.5f);
    float* one_null[] = {a.data(), nullptr};
    float* both[] = {a.data(), b.data()};
    fx.get()->processReplacing(fx.get(), nullptr, both, 64);
    fx.get()->processReplacing(fx.get(), one_null, both, 64);
    fx.get()->processReplacing(fx.get(), both, nullptr, 64);
    fx.get()->processReplacing(fx.get(), both, one_null, 64);
    fx.get()->process(fx.get(), both, one_null, 64);
    fx.get()->processDoubleReplacing(fx.get(), nullptr, nullptr, 64);
    EXPECT_EQ(a, std::vector<float>(64, 0.5f));
    EXPECT_EQ(b, std::vector<float>(64, 0.5f));
}

TEST(HostileHost, SampleRatesOutsideTheLimiterRangeAreRefused) {
    const stereo in = busy_signal(20000, 3);
    auto render_at = [&](std::vector<float> rates) {
        vst_effect fx;
        fx.start(rates.front());
        for (size_t i = 1; i < rates.size(); ++i)
            fx.dispatch(effSetSampleRate, 0, 0, nullptr, rates[i]);
        return fx.run(in, {512, 19488});
    };
    const stereo at_48k = render_at({48000.0f});
    for (float rate : {4000.0f, 192000.0f}) {
        const stereo edge = render_at({48000.0f, rate});
        expect_clean(edge);
        EXPECT_FALSE(edge == at_48k) << rate << " Hz was not taken";
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float rate : {1000.0f, 3990.0f, 192010.0f, 0.0f, -44100.0f, nan, inf}) {
        EXPECT_EQ(render_at({48000.0f, rate}), at_48k) << rate << " Hz was taken";
    }
}

TEST(HostileHost, GarbageAudioNeverReachesTheOutputAndThePathRecovers) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    stereo in(3 * 44100);
    for (size_t t = 0; t < in.frames(); ++t) {
        in.l[t] = 0.5f * static_cast<float>(std::sin(0.031 * static_cast<double>(t)));
        in.r[t] = 0.25f * static_cast<float>(std::cos(0.017 * static_cast<double>(t)));
    }
    // Garbage in the first half second, alone and in runs, in one channel or both.
    const float garbage[] = {nan, inf, -inf, 1e30f, -1e30f, 1e-40f, tiny, -tiny};
    size_t t = 1000;
    for (float bad : garbage) {
        in.l[t] = bad;
        in.r[t + 300] = bad;
        for (size_t k = 0; k < 100; ++k) in.l[t + 600 + k] = in.r[t + 600 + k] = bad;
        t += 2000;
    }

    vst_effect fx;
    fx.start();
    const stereo out = fx.run(in, {256, 1000, 63, static_cast<VstInt32>(in.frames()) - 1319});
    for (size_t i = 0; i < out.frames(); ++i) {
        ASSERT_TRUE(std::isfinite(out.l[i]) && std::fabs(out.l[i]) <= clip_level) << i;
        ASSERT_TRUE(std::isfinite(out.r[i]) && std::fabs(out.r[i]) <= clip_level) << i;
    }
    // Two seconds later the signal passes 64 frames late at (within 0.01 dB) unity gain, as
    // after any loud peak: the garbage has left nothing behind in the signal path.
    for (size_t i = out.frames() - 1000; i < out.frames(); ++i) {
        ASSERT_NEAR(out.l[i], in.l[i - 64], 1e-3f * std::fabs(in.l[i - 64])) << i;
        ASSERT_NEAR(out.r[i], in.r[i - 64], 1e-3f * std::fabs(in.r[i - 64])) << i;
    }

    // Silence made of subnormal numbers comes out as plain numbers.
    vst_effect quiet;
    quiet.start();
    stereo dust(4096, 1e-40f);
    for (size_t i = 0; i < dust.frames(); i += 2) dust.r[i] = -tiny;
    expect_clean(quiet.run(dust, {4096}));
}

TEST(HostileHost, EveryRoundingModeOfTheHostGivesTheSameResults) {
    struct session {
        stereo out;
        bytes chunk;
        std::vector<float> values;
        std::vector<std::string> displays;
    };
    const stereo in = busy_signal(8000, 4);
    auto session_in = [&](int mode) {
        session s;
        std::fesetround(mode);
        bool mode_kept = true;
        {
            vst_effect fx;
            mode_kept &= std::fegetround() == mode;
            fx.start(48000.0f, 256);
            adjust(fx);
            mode_kept &= std::fegetround() == mode;
            s.out = fx.run(in, {256, 256, 7488});
            mode_kept &= std::fegetround() == mode;
            for (VstInt32 i = 0; i < param_count; ++i) {
                s.values.push_back(fx.get(i));
                s.displays.push_back(fx.display(i));
            }
            s.chunk = fx.chunk();
            mode_kept &= std::fegetround() == mode;
            fx.close();
            mode_kept &= std::fegetround() == mode;
        }
        std::fesetround(FE_TONEAREST);
        EXPECT_TRUE(mode_kept) << "mode " << mode;
        return s;
    };
    const session nearest = session_in(FE_TONEAREST);
    for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        const session other = session_in(mode);
        EXPECT_EQ(other.out, nearest.out) << "mode " << mode;
        EXPECT_EQ(other.chunk, nearest.chunk) << "mode " << mode;
        EXPECT_EQ(other.values, nearest.values) << "mode " << mode;
        EXPECT_EQ(other.displays, nearest.displays) << "mode " << mode;
    }
}

TEST(HostileHost, ChunksThatAreNotOursChangeNothing) {
    vst_effect fx;
    fx.start();
    adjust(fx);
    const bytes before = fx.chunk();

    std::vector<bytes> strangers = {other_plugins_chunk()};
    const std::string xml = "<?xml version=\"1.0\"?><preset threshold=\"0.5\"/>";
    strangers.emplace_back(xml.begin(), xml.end());
    bytes noise(4096);
    uint32_t state = 7;
    for (unsigned char& c : noise)
        c = static_cast<unsigned char>((state = state * 1664525u + 1013904223u) >> 24);
    strangers.push_back(noise);
    for (int32_t length : {INT32_MAX, -1, (1 << 28) + 1, 8}) {
        strangers.push_back(before);
        axo_put_i32(strangers.back().data(), length);
    }
    strangers.emplace_back();  // nothing at all

    for (const bytes& chunk : strangers) {
        EXPECT_EQ(fx.set_chunk(chunk), static_cast<VstIntPtr>(chunk.size()));
        EXPECT_EQ(fx.chunk(), before)
            << "a chunk of " << chunk.size() << " bytes changed the state";
    }
}

TEST(HostileHost, AChunkCutShortAnywhereRestoresTheRecordsItHoldsWhole) {
    vst_effect saver;
    adjust(saver);
    const bytes saved = saver.chunk();
    const std::vector<size_t> ends = frame_ends(saved);
    ASSERT_EQ(ends.size(), 7u);  // begin, identifier, three controls, bypass, end
    ASSERT_EQ(ends.back(), saved.size());
    vst_effect defaults;

    for (size_t cut = 0; cut <= saved.size(); ++cut) {
        vst_effect fx;
        EXPECT_EQ(
            fx.set_chunk(bytes(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(cut))),
            static_cast<VstIntPtr>(cut));
        for (VstInt32 i = 0; i < param_count; ++i) {
            const bool whole = cut >= ends[2 + static_cast<size_t>(i)];
            EXPECT_EQ(fx.get(i), whole ? saver.get(i) : defaults.get(i))
                << "control " << i << ", chunk cut at " << cut;
        }
        EXPECT_EQ(fx.chunk().size(), saved.size());
    }
}

TEST(HostileHost, AChunkSavedByThisVersionLoadsAndSavesBackUnchanged) {
    // Written by the limiter with Threshold, Ceiling and Release moved from their defaults;
    // hosts keep such chunks in their projects.
    std::ifstream file(ZANDOR_SAVED_CHUNK, std::ios::binary);
    const bytes stored((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(stored.size(), 247u);
    vst_effect fx, adjusted;
    adjust(adjusted);
    EXPECT_EQ(fx.set_chunk(stored), 247);
    for (VstInt32 i = 0; i < param_count; ++i) EXPECT_EQ(fx.get(i), adjusted.get(i)) << i;
    EXPECT_EQ(fx.chunk(), stored);
}

TEST(HostileHost, AThousandInstancesLiveSideBySideAndCloseCleanly) {
    // Closed at once after the entry point, before any other call.
    for (int i = 0; i < 1000; ++i) {
        vst_effect e;
        ASSERT_NE(e.get(), nullptr);
        EXPECT_EQ(e.close(), 1);
    }
    std::vector<std::unique_ptr<vst_effect>> alive;
    for (int i = 0; i < 1000; ++i) {
        alive.push_back(std::make_unique<vst_effect>());
        ASSERT_NE(alive.back()->get(), nullptr);
        alive.back()->set(0, static_cast<float>(i) / 1000.0f);
    }
    vst_effect probe;
    for (int i = 0; i < 1000; ++i) {
        probe.set(0, static_cast<float>(i) / 1000.0f);
        ASSERT_EQ(alive[static_cast<size_t>(i)]->get(0), probe.get(0)) << "instance " << i;
    }
    // Closed in an order other than that of their making.
    for (size_t i = 0; i < alive.size(); i += 2) alive[i].reset();
    alive.clear();
}

}  // namespace
