// An in-memory record queue (axo_aux_i) for tests and fuzz targets, with helpers that build
// records byte by byte. It takes records exactly as given: any length, with or without a whole
// header, whatever their size fields claim, so that a test can queue a record whose size field
// disagrees with its real length. The plug-in reads from the front and writes to the back.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "framework/axo_aux_i.h"
#include "framework/axo_codes.h"
#include "framework/axo_records.h"
#include "support/require.h"

using bytes = std::vector<unsigned char>;

class record_queue : public axo_aux_i {
public:
    // What a record the plug-in writes with a size field below a header or above a megabyte
    // meets: refusal (write answers 0), or, for a fuzzer checking the plug-in, a crash.
    enum class bad_writes { refused, broken };
    explicit record_queue(bad_writes on_bad_write = bad_writes::refused) : bad_(on_bad_write) {}

    std::deque<bytes> records;

    void push(bytes record) { records.push_back(std::move(record)); }
    int32_t front_type() const { return axo_get_i32(records.front().data() + AXO_HEADER_TYPE); }

    int read(int64_t* time_out, void* buffer, int* size_out) override {
        if (records.empty()) return 0;
        const bytes& r = records.front();
        if (buffer != nullptr && !r.empty()) std::memcpy(buffer, r.data(), r.size());
        if (size_out != nullptr) *size_out = static_cast<int>(r.size());
        if (time_out != nullptr) {
            unsigned char header[AXO_HEADER_SIZE];
            peek_header(header);
            *time_out = axo_get_i64(header + AXO_HEADER_TIME);
        }
        return 1;
    }
    // A record shorter than a header is padded with zeros.
    int peek_header(void* header_out) override {
        if (records.empty()) return 0;
        if (header_out != nullptr) {
            const bytes& r = records.front();
            std::memset(header_out, 0, AXO_HEADER_SIZE);
            const size_t whole = AXO_HEADER_SIZE;
            if (!r.empty()) std::memcpy(header_out, r.data(), r.size() < whole ? r.size() : whole);
        }
        return 1;
    }
    int pop() override {
        if (records.empty()) return 0;
        records.pop_front();
        return 1;
    }
    int write(const void* record) override {
        const auto* p = static_cast<const unsigned char*>(record);
        const int32_t size = axo_get_i32(p + AXO_HEADER_SIZE_FIELD);
        const bool honest = size >= AXO_HEADER_SIZE && size <= (1 << 20);
        if (bad_ == bad_writes::broken) REQUIRE(honest);
        if (!honest) return 0;
        records.emplace_back(p, p + size);
        return 1;
    }

private:
    bad_writes bad_;
};

// A record of `length` bytes whose header says `size` (the same unless a test lies).
inline bytes make_record(int64_t time, int32_t type, int32_t length, int32_t size) {
    bytes r(static_cast<size_t>(length), 0);
    axo_put_header(r.data(), time, type, size);
    return r;
}
inline bytes make_record(int64_t time, int32_t type, int32_t length) {
    return make_record(time, type, length, length);
}
// A record of the given type with the payload behind its header.
inline bytes payload_record(int64_t time, int32_t type, const bytes& payload) {
    bytes r = make_record(time, type, AXO_HEADER_SIZE + static_cast<int32_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), r.begin() + AXO_PAYLOAD);
    return r;
}
// Records framed as in a VST chunk: each behind its length, a 32-bit number.
inline bytes framed_chunk(const std::vector<bytes>& records) {
    bytes chunk;
    for (const bytes& r : records) {
        chunk.resize(chunk.size() + 4);
        axo_put_i32(&chunk[chunk.size() - 4], static_cast<int32_t>(r.size()));
        chunk.insert(chunk.end(), r.begin(), r.end());
    }
    return chunk;
}
inline bytes real_record(int64_t time, int32_t index, float value, float extra_1 = 0.0f,
                         float extra_2 = 0.0f) {
    bytes r = make_record(time, AXO_REC_PARAM_REAL, AXO_SIZE_PARAM_REAL);
    axo_put_i32(&r[AXO_PARAM_INDEX], index);
    axo_put_f32(&r[AXO_PARAM_VALUE], value);
    axo_put_f32(&r[AXO_PARAM_EXTRA_1], extra_1);
    axo_put_f32(&r[AXO_PARAM_EXTRA_2], extra_2);
    return r;
}
inline bytes bypass_record(int64_t time, int32_t on) {
    bytes r = make_record(time, AXO_REC_BYPASS, AXO_SIZE_BYPASS);
    axo_put_i32(&r[AXO_BYPASS_FLAG], on);
    return r;
}
inline bytes identifier_record(const char* id) {
    const int32_t n = static_cast<int32_t>(std::strlen(id));
    bytes r = make_record(AXO_TIME_NOW, AXO_REC_IDENTIFIER, 21 + n);
    std::memcpy(&r[AXO_IDENTIFIER_TEXT], id, static_cast<size_t>(n));
    return r;
}
