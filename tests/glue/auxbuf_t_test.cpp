#include "glue/auxbuf_t.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "framework/axo_codes.h"
#include "framework/axo_records.h"

namespace {

using bytes = std::vector<unsigned char>;

// A record of the given total size whose payload bytes count up from seed.
bytes make_record(int32_t size, int32_t type, unsigned char seed, int64_t time = -1) {
    bytes r(static_cast<size_t>(size), 0);
    axo_put_header(r.data(), time, type, size);
    for (size_t i = AXO_PAYLOAD; i < r.size(); ++i) r[i] = static_cast<unsigned char>(seed + i);
    return r;
}

bytes frame(const bytes& record) {
    bytes f(4 + record.size());
    axo_put_i32(f.data(), static_cast<int32_t>(record.size()));
    std::copy(record.begin(), record.end(), f.begin() + 4);
    return f;
}

bytes front(auxbuf_t& q) {
    int size = 0;
    EXPECT_EQ(q.read(nullptr, nullptr, &size), 1);
    bytes r(static_cast<size_t>(size));
    q.read(nullptr, r.data(), nullptr);
    return r;
}

std::vector<bytes> drain(auxbuf_t& q) {
    std::vector<bytes> out;
    while (q.count() > 0) {
        out.push_back(front(q));
        q.pop();
    }
    return out;
}

struct linked_pair {
    auxbuf_t a, b;
    linked_pair() { auxbuf_t::link(a, b); }
};

}  // namespace

TEST(AuxStream, WritingIntoOneEndQueuesACopyAtTheOtherInOrder) {
    linked_pair p;
    bytes r1 = make_record(21, AXO_REC_BEGIN, 0, 77);
    bytes r2 = make_record(33, AXO_REC_PARAM_REAL, 9);
    EXPECT_EQ(p.a.write(r1.data()), 1);
    EXPECT_EQ(p.a.write(r2.data()), 1);
    r1[20] = 0xEE;  // the stream holds its own copy
    EXPECT_EQ(p.a.count(), 0u);
    ASSERT_EQ(p.b.count(), 2u);

    int64_t time = 0;
    int size = 0;
    unsigned char header[AXO_HEADER_SIZE];
    EXPECT_EQ(p.b.read(&time, nullptr, &size), 1);
    EXPECT_EQ(time, 77);
    EXPECT_EQ(size, 21);
    EXPECT_EQ(p.b.peek_header(header), 1);
    EXPECT_EQ(axo_get_i32(header + AXO_HEADER_TYPE), AXO_REC_BEGIN);
    EXPECT_EQ(p.b.count(), 2u);  // reading leaves the record queued
    EXPECT_EQ(drain(p.b), (std::vector<bytes>{make_record(21, AXO_REC_BEGIN, 0, 77), r2}));
}

TEST(AuxStream, RefusesWhatItCannotHoldAndAnswersZeroWhenEmpty) {
    auto lone = std::make_unique<auxbuf_t>();
    const bytes r = make_record(21, AXO_REC_END, 0);
    EXPECT_EQ(lone->write(r.data()), 0);
    EXPECT_EQ(lone->read(nullptr, nullptr, nullptr) + lone->peek_header(nullptr) + lone->pop(), 0);

    linked_pair p;
    EXPECT_EQ(p.a.write(nullptr), 0);
    for (int32_t size : {-1, 0, 19, AUXBUF_MAX_RECORD + 1}) {
        bytes lying(AXO_HEADER_SIZE, 0);
        axo_put_header(lying.data(), 0, AXO_REC_RESET, size);
        EXPECT_EQ(p.a.write(lying.data()), 0) << size;
    }
    EXPECT_EQ(p.b.count(), 0u);
    p.a.write(r.data());
    EXPECT_EQ(p.b.read(nullptr, nullptr, nullptr) + p.b.peek_header(nullptr), 2);

    // An end that goes away leaves its partner unlinked, not dangling.
    auxbuf_t::link(*lone, p.b);
    lone.reset();
    EXPECT_EQ(p.b.write(r.data()), 0);
}

TEST(AuxStream, StorageOfConsumedRecordsIsReusedWithoutMixingContents) {
    linked_pair p;
    for (int round = 0; round < 3; ++round) {
        const bytes big = make_record(49, AXO_REC_MIDI, static_cast<unsigned char>(round));
        const bytes small = make_record(24, AXO_REC_BYPASS, 100);
        p.a.write(big.data());
        p.a.write(small.data());
        EXPECT_EQ(drain(p.b), (std::vector<bytes>{big, small}));
    }
}

TEST(AuxChunk, FlattenFramesEveryRecordWithItsLittleEndianLength) {
    linked_pair p;
    const bytes r1 = make_record(21, AXO_REC_BEGIN, 0);
    const bytes r2 = make_record(33, AXO_REC_PARAM_REAL, 50);
    const bytes r3 = make_record(21, AXO_REC_END, 0);
    for (const bytes* r : {&r1, &r2, &r3}) p.a.write(r->data());

    size_t total = 999;
    EXPECT_EQ(p.b.flatten(nullptr, &total), 1);
    ASSERT_EQ(total, 87u);
    bytes chunk(total);
    p.b.flatten(chunk.data(), nullptr);
    bytes expected;
    for (const bytes* r : {&r1, &r2, &r3}) {
        bytes f = frame(*r);
        expected.insert(expected.end(), f.begin(), f.end());
    }
    EXPECT_EQ(chunk, expected);
    EXPECT_EQ(chunk[0], 21);
    EXPECT_EQ(chunk[25], 33);
    EXPECT_EQ(chunk[26], 0);

    auxbuf_t loaded;
    EXPECT_EQ(loaded.load(chunk.data(), chunk.size()), 1);
    EXPECT_EQ(drain(loaded), (std::vector<bytes>{r1, r2, r3}));

    auxbuf_t empty;
    empty.flatten(nullptr, &total);
    EXPECT_EQ(total, 0u);
}

TEST(AuxChunk, LoadStopsAtAZeroOrNegativeLengthWithoutError) {
    const bytes r1 = make_record(21, AXO_REC_BEGIN, 0);
    for (int32_t stop : {0, -5}) {
        bytes chunk = frame(r1);
        bytes tail(4);
        axo_put_i32(tail.data(), stop);
        chunk.insert(chunk.end(), tail.begin(), tail.end());
        bytes more = frame(make_record(21, AXO_REC_END, 0));
        chunk.insert(chunk.end(), more.begin(), more.end());
        auxbuf_t q;
        EXPECT_EQ(q.load(chunk.data(), chunk.size()), 1);
        EXPECT_EQ(drain(q), (std::vector<bytes>{r1}));
    }
    auxbuf_t q;
    EXPECT_EQ(q.load(r1.data(), 0), 1);
    EXPECT_EQ(q.count(), 0u);
    EXPECT_EQ(q.load(nullptr, 10), 0);
}

TEST(AuxChunk, LoadNeverReadsPastTheGivenBytes) {
    const bytes r1 = make_record(21, AXO_REC_BEGIN, 0);
    const bytes r2 = make_record(36, AXO_REC_PARAM_REAL, 3);
    bytes good = frame(r1);
    bytes second = frame(r2);
    good.insert(good.end(), second.begin(), second.end());

    // Every truncation of a valid chunk keeps the whole frames before the cut and fails.
    for (size_t cut = 1; cut < good.size(); ++cut) {
        std::vector<unsigned char> exact(good.begin(), good.begin() + cut);  // sized exactly
        auxbuf_t q;
        EXPECT_EQ(q.load(exact.data(), exact.size()), cut == 25 ? 1 : 0) << cut;
        EXPECT_EQ(q.count(), cut >= 25 ? 1u : 0u) << cut;
    }

    // A length above the limit fails and keeps what came before.
    bytes huge = frame(r1);
    bytes len(4);
    axo_put_i32(len.data(), AUXBUF_MAX_RECORD + 1);
    huge.insert(huge.end(), len.begin(), len.end());
    auxbuf_t q;
    EXPECT_EQ(q.load(huge.data(), huge.size()), 0);
    EXPECT_EQ(q.count(), 1u);

    // A frame too short to hold a record header is skipped; parsing goes on after it.
    bytes short_frame(4 + 8, 0xAB);
    axo_put_i32(short_frame.data(), 8);
    short_frame.insert(short_frame.end(), good.begin(), good.begin() + 25);
    auxbuf_t skipped;
    EXPECT_EQ(skipped.load(short_frame.data(), short_frame.size()), 1);
    EXPECT_EQ(drain(skipped), (std::vector<bytes>{r1}));
}
