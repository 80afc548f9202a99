// process: timed records applied at their positions, and the pass-through block.
#include <gtest/gtest.h>

#include <array>

#include "test_plugin.h"

namespace {

using block = test_plugin::block;

// Runs 64 frames from position 1000 over stereo buffers with the given events.
std::vector<block> run(test_plugin& p, record_queue* events, int frames = 64) {
    std::vector<float> in(2 * 64, 0.0f), out(2 * 64, 0.0f);
    float* ins[] = {in.data(), in.data() + 64};
    float* outs[] = {out.data(), out.data() + 64};
    EXPECT_EQ(p.process(1000, ins, 1, outs, 1, events, frames), 1);
    EXPECT_EQ(ins[0], in.data());  // the caller's tables are left alone
    return p.blocks;
}

}  // namespace

TEST(Process, RecordInsideTheBlockSplitsItAtItsPosition) {
    test_plugin p;
    record_queue q;
    q.push(real_record(1016, 0, 0.5f));
    EXPECT_EQ(run(p, &q), (std::vector<block>{{1000, 16, 1.0f}, {1016, 48, 0.5f}}));
    EXPECT_TRUE(q.records.empty());
}

TEST(Process, RecordAtTheBlockEndAppliesAfterTheLastSample) {
    test_plugin p;
    record_queue q;
    q.push(real_record(1064, 0, 0.5f));
    EXPECT_EQ(run(p, &q), (std::vector<block>{{1000, 64, 1.0f}}));
    EXPECT_EQ(p.gain.get_value(), 0.5f);
    EXPECT_TRUE(q.records.empty());
}

TEST(Process, RecordBeyondTheBlockStaysQueued) {
    test_plugin p;
    record_queue q;
    q.push(real_record(1100, 0, 0.5f));
    EXPECT_EQ(run(p, &q), (std::vector<block>{{1000, 64, 1.0f}}));
    EXPECT_EQ(p.gain.get_value(), 1.0f);
    EXPECT_EQ(q.records.size(), 1u);
}

TEST(Process, ImmediateAndPastRecordsApplyBeforeTheFirstSample) {
    test_plugin p;
    record_queue q;
    q.push(real_record(AXO_TIME_NOW, 0, 0.5f, 0.25f, 0.75f));
    q.push(real_record(3, 1, 2.0f));
    EXPECT_EQ(run(p, &q), (std::vector<block>{{1000, 64, 0.5f}}));
    EXPECT_EQ(p.time.get_value(), 2.0f);
    EXPECT_EQ(p.gain.event_extra_1(), 0.25f);
    EXPECT_EQ(p.gain.event_extra_2(), 0.75f);
    p.blocks.clear();
    run(p, nullptr);  // extras belong to one processing call
    EXPECT_EQ(p.gain.event_extra_1(), 0.0f);
}

TEST(Process, UnknownRecordsArePoppedWithoutEffect) {
    test_plugin p;
    record_queue q;
    q.push(make_record(1010, AXO_REC_MIDI, AXO_SIZE_MIDI));
    q.push(make_record(1010, 7, 24));
    q.push(make_record(1020, 11, 20));
    EXPECT_EQ(run(p, &q),
              (std::vector<block>{{1000, 10, 1.0f}, {1010, 10, 1.0f}, {1020, 44, 1.0f}}));
    EXPECT_TRUE(q.records.empty());
}

TEST(Process, StateBlockAmongEventsLosesNoFollowingRecord) {
    test_plugin p;
    record_queue q;
    q.push(make_record(1008, AXO_REC_BEGIN, 21));
    q.push(real_record(1008, 0, 0.5f));
    q.push(make_record(1008, AXO_REC_END, 21));
    q.push(bypass_record(1008, 1));
    q.push(real_record(1030, 0, 0.25f));
    EXPECT_EQ(run(p, &q),
              (std::vector<block>{{1000, 8, 1.0f}, {1008, 22, 0.5f}, {1030, 34, 0.25f}}));
    EXPECT_EQ(p.get_bypass(), 1);
    EXPECT_TRUE(q.records.empty());
}

TEST(Process, WithoutEventsOrFramesTheBlockRunsOnce) {
    test_plugin p;
    EXPECT_EQ(run(p, nullptr), (std::vector<block>{{1000, 64, 1.0f}}));
    p.blocks.clear();
    record_queue q;
    q.push(real_record(1000, 0, 0.5f));
    EXPECT_TRUE(run(p, &q, -5).empty());
    EXPECT_EQ(p.gain.get_value(), 0.5f);
}

namespace {

constexpr float guard = -99.0f;

// Passes 3 frames through the default block with nin inputs and nout outputs; outputs are
// interleaved with stride 2 so the gaps between frames must stay untouched.
std::array<std::array<float, 7>, 2> pass_through(int nin, int nout) {
    test_plugin p;
    EXPECT_NE(p.set_channel_count(AXO_DIR_AUDIO_IN, nin), 0);
    EXPECT_NE(p.set_channel_count(AXO_DIR_AUDIO_OUT, nout), 0);
    float in[2][3] = {{1, 2, 3}, {11, 12, 13}};
    std::array<std::array<float, 7>, 2> out;
    for (auto& channel : out) channel.fill(guard);
    float* ins[] = {in[0], in[1]};
    float* outs[] = {out[0].data(), out[1].data()};
    p.process(0, ins, 1, outs, 2, nullptr, 3);
    return out;
}

}  // namespace

TEST(Process, PassThroughMapsChannelsByWrappingBothSides) {
    using row = std::array<float, 7>;
    const float g = guard;
    auto two_two = pass_through(2, 2);
    EXPECT_EQ(two_two[0], (row{1, g, 2, g, 3, g, g}));
    EXPECT_EQ(two_two[1], (row{11, g, 12, g, 13, g, g}));
    auto one_two = pass_through(1, 2);
    EXPECT_EQ(one_two[0], (row{1, g, 2, g, 3, g, g}));
    EXPECT_EQ(one_two[1], (row{1, g, 2, g, 3, g, g}));
    auto two_one = pass_through(2, 1);
    EXPECT_EQ(two_one[0], (row{11, g, 12, g, 13, g, g}));
    EXPECT_EQ(two_one[1], (row{g, g, g, g, g, g, g}));
}

TEST(Process, PassThroughWithoutInputsSilencesAndWithoutOutputsWritesNothing) {
    using row = std::array<float, 7>;
    const float g = guard;
    auto none_in = pass_through(0, 2);
    EXPECT_EQ(none_in[0], (row{0, g, 0, g, 0, g, g}));
    EXPECT_EQ(none_in[1], (row{0, g, 0, g, 0, g, g}));
    auto none_out = pass_through(2, 0);
    EXPECT_EQ(none_out[0], (row{g, g, g, g, g, g, g}));
}
