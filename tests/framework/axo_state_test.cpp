// Saving and loading state blocks, and records that lie about their size.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <string>

#include "framework/axo_entry.h"
#include "test_plugin.h"

namespace {

std::unique_ptr<test_plugin> make(const axo_plugin_info& info = test_plugin_info) {
    static axo_factory<test_plugin> ours(test_plugin_info);
    static axo_factory<test_plugin> other(other_plugin_info);
    axo_factory_i& f = &info == &test_plugin_info ? static_cast<axo_factory_i&>(ours) : other;
    return std::unique_ptr<test_plugin>(static_cast<test_plugin*>(f.create_plugin()));
}

std::string hex(const bytes& r) {
    std::string s;
    char two[3];
    for (unsigned char c : r) {
        std::snprintf(two, sizeof two, "%02x", c);
        s += two;
    }
    return s;
}

std::vector<std::string> saved(test_plugin& p) {
    record_queue q;
    EXPECT_EQ(p.save_state(&q), 1);
    std::vector<std::string> out;
    for (const bytes& r : q.records) out.push_back(hex(r));
    return out;
}

constexpr const char* now = "ffffffffffffffff";

}  // namespace

TEST(State, SavedBlockHoldsExactlyTheseBytes) {
    auto p = make();
    const std::string h = now;
    EXPECT_EQ(saved(*p), (std::vector<std::string>{
                             h + "02000000"
                                 "15000000"
                                 "00000000"
                                 "00",
                             h + "0c000000"
                                 "22000000"
                                 "00000000"
                                 "746573742d706c7567696e2d3100",
                             h + "06000000"
                                 "24000000"
                                 "00000000"
                                 "00000000"
                                 "0000803f"
                                 "00000000"
                                 "00000000",
                             h + "06000000"
                                 "24000000"
                                 "00000000"
                                 "01000000"
                                 "cdcccc3d"
                                 "00000000"
                                 "00000000",
                             h + "06000000"
                                 "24000000"
                                 "00000000"
                                 "02000000"
                                 "0000003f"
                                 "00000000"
                                 "00000000",
                             h + "05000000"
                                 "1c000000"
                                 "00000000"
                                 "04000000"
                                 "00000000",
                             h + "0a000000"
                                 "18000000"
                                 "00000000"
                                 "00000000",
                             h + "03000000"
                                 "15000000"
                                 "00000000"
                                 "00",
                         }));
}

TEST(State, LoadingASavedBlockRestoresEverythingAndSavesTheSameBytes) {
    auto a = make();
    a->set_param_value(0, 0.5f);
    a->set_param_value(1, 2.0f);
    a->set_param_value(2, 0.25f);
    a->set_param_int(4, 1);
    a->set_bypass(1);
    record_queue q;
    a->save_state(&q);
    auto b = make();
    EXPECT_EQ(b->load_state(&q), 1);
    EXPECT_TRUE(q.records.empty());
    EXPECT_EQ(b->get_param_value(1), 2.0f);
    EXPECT_EQ(b->get_bypass(), 1);
    EXPECT_EQ(saved(*b), saved(*a));
}

TEST(State, ForeignBlockIsRefusedAndDiscardedThroughItsEnd) {
    auto other = make(other_plugin_info);
    other->set_param_value(0, 0.5f);
    other->set_bypass(1);
    record_queue q;
    other->save_state(&q);
    q.push(bypass_record(AXO_TIME_NOW, 1));
    auto p = make();
    EXPECT_EQ(p->load_state(&q), 0);
    EXPECT_EQ(p->get_param_value(0), 1.0f);
    EXPECT_EQ(p->get_bypass(), 0);
    ASSERT_EQ(q.records.size(), 1u);  // what follows the block is not part of it
}

TEST(State, OneLoadAppliesOneBlockAndEmptyOrUntaggedStreamsAreAccepted) {
    auto a = make();
    record_queue q;
    a->set_param_value(2, 0.75f);
    a->save_state(&q);
    a->set_param_value(2, 0.125f);
    a->save_state(&q);
    auto p = make();
    EXPECT_EQ(p->load_state(&q), 1);
    EXPECT_EQ(p->get_param_value(2), 0.75f);
    EXPECT_EQ(q.records.size(), 8u);

    record_queue empty;
    EXPECT_EQ(p->load_state(&empty), 1);
    EXPECT_EQ(p->load_state(nullptr), 1);
    EXPECT_EQ(p->save_state(nullptr), 0);

    q.records.erase(q.records.begin() + 1);  // drop the identifier
    EXPECT_EQ(p->load_state(&q), 1);
    EXPECT_EQ(p->get_param_value(2), 0.125f);
}

TEST(State, HandleEventAnswersByRecordType) {
    auto p = make();
    record_queue q;
    EXPECT_EQ(p->handle_event(&q), 0);
    q.push(make_record(0, AXO_REC_TEMPO, AXO_SIZE_TEMPO));
    axo_put_f32(&q.records.back()[AXO_TEMPO_BPM], 140.0f);
    q.push(bypass_record(0, 7));
    q.push(make_record(0, AXO_REC_RESET, 20));
    q.push(make_record(0, AXO_REC_END, 21));
    q.push(make_record(0, AXO_REC_MIDI, AXO_SIZE_MIDI));
    q.push(make_record(0, 7, 24));
    q.push(make_record(0, AXO_REC_IDENTIFIER, 21));
    std::vector<int> answers;
    while (!q.records.empty()) {
        answers.push_back(p->handle_event(&q));
        q.pop();
    }
    EXPECT_EQ(answers, (std::vector<int>{1, 1, 2, 2, 0, 0, 0}));
    EXPECT_EQ(p->get_tempo(), 140.0f);
    EXPECT_EQ(p->get_bypass(), 1);
    EXPECT_EQ(p->resets, 1);
}

TEST(State, FixedSizeRecordsAreReadOnlyWithinTheirOwnBytes) {
    auto p = make();
    auto apply = [&](bytes r) {
        record_queue q;
        q.push(std::move(r));
        return p->handle_event(&q);
    };
    // A size field shorter than the record: the value lies beyond it and reads as 0.
    bytes shorter = real_record(0, 2, 0.75f);
    axo_put_i32(&shorter[AXO_HEADER_SIZE_FIELD], 24);
    EXPECT_EQ(apply(shorter), 2);
    EXPECT_EQ(p->get_param_value(2), 0.0f);
    // A size field longer than the record: only the bytes really there count.
    p->set_param_value(2, 1.0f);
    bytes cut = real_record(0, 2, 0.75f);
    cut.resize(24);
    EXPECT_EQ(apply(cut), 2);
    EXPECT_EQ(p->get_param_value(2), 0.0f);
    // Sizes that cannot even cover a header are not applied.
    p->set_param_value(2, 1.0f);
    for (int32_t size : {19, 0, -36, INT_MIN}) {
        bytes r = real_record(0, 2, 0.5f);
        axo_put_i32(&r[AXO_HEADER_SIZE_FIELD], size);
        EXPECT_EQ(apply(r), 0) << size;
    }
    EXPECT_EQ(p->get_param_value(2), 1.0f);
    // A longer record keeps its first 36 bytes; an outsized one is not applied.
    bytes longer = real_record(0, 2, 0.5f);
    longer.resize(100);
    axo_put_i32(&longer[AXO_HEADER_SIZE_FIELD], 100);
    EXPECT_EQ(apply(longer), 2);
    EXPECT_EQ(p->get_param_value(2), 0.5f);
    bytes huge = real_record(0, 2, 0.25f);
    huge.resize(4096);
    axo_put_i32(&huge[AXO_HEADER_SIZE_FIELD], 4096);
    EXPECT_EQ(apply(huge), 0);
    EXPECT_EQ(p->get_param_value(2), 0.5f);
}

TEST(State, IdentifierIsComparedOnlyWithinItsRecord) {
    auto p = make();
    auto accepts = [&](bytes id) {
        record_queue q;
        q.push(make_record(AXO_TIME_NOW, AXO_REC_BEGIN, 21));
        q.push(std::move(id));
        q.push(bypass_record(AXO_TIME_NOW, 1));
        q.push(make_record(AXO_TIME_NOW, AXO_REC_END, 21));
        return p->load_state(&q);
    };
    EXPECT_EQ(accepts(identifier_record("test-plugin-1")), 1);
    bytes unterminated = identifier_record("test-plugin-1");
    unterminated.pop_back();
    axo_put_i32(&unterminated[AXO_HEADER_SIZE_FIELD], 5000);
    EXPECT_EQ(accepts(unterminated), 1);
    bytes longer = identifier_record("test-plugin-12");
    longer.pop_back();
    EXPECT_EQ(accepts(longer), 0);
    bytes truncated = identifier_record("test-plugin-1");
    axo_put_i32(&truncated[AXO_HEADER_SIZE_FIELD], 30);
    EXPECT_EQ(accepts(truncated), 0);
    EXPECT_EQ(accepts(identifier_record("test-plugin-")), 0);
    EXPECT_EQ(accepts(make_record(AXO_TIME_NOW, AXO_REC_IDENTIFIER, 21, -1)), 0);
}

TEST(State, ExtensionKeyAndDataStayWithinTheRecord) {
    auto p = make();
    auto apply = [&](const std::string& key, int32_t declared_size, int32_t held) {
        bytes r =
            make_record(0, AXO_REC_EXTENSION, static_cast<int32_t>(AXO_EXTENSION_DATA) + held);
        std::copy(key.begin(), key.end(), r.begin() + AXO_EXTENSION_KEY);
        axo_put_i32(&r[AXO_EXTENSION_DATA_SIZE], declared_size);
        for (int32_t i = 0; i < held; ++i)
            r[AXO_EXTENSION_DATA + i] = static_cast<unsigned char>(i + 1);
        record_queue q;
        q.push(r);
        return p->handle_event(&q);
    };
    EXPECT_EQ(apply("colour", 3, 8), 2);
    EXPECT_EQ(p->extension_key, "colour");
    EXPECT_EQ(p->extension_data, (std::vector<unsigned char>{1, 2, 3}));
    const std::string full(64, 'k');
    EXPECT_EQ(apply(full, 1000, 4), 2);
    EXPECT_EQ(p->extension_key, full);
    EXPECT_EQ(p->extension_data.size(), 4u);
    EXPECT_EQ(apply("neg", -8, 4), 2);
    EXPECT_TRUE(p->extension_data.empty());

    bytes short_record = make_record(0, AXO_REC_EXTENSION, 26);
    std::memcpy(&short_record[AXO_EXTENSION_KEY], "abcdef", 6);
    record_queue q;
    q.push(short_record);
    EXPECT_EQ(p->handle_event(&q), 2);
    EXPECT_EQ(p->extension_key, "abcdef");
    EXPECT_TRUE(p->extension_data.empty());
}
