// A record stream that takes records exactly as given: any length, with or without a whole
// header, whatever their size fields claim. The plug-in reads from the front and writes to
// the back, the way a host's own stream implementation would serve it.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>

#include "framework/axo_aux_i.h"
#include "framework/axo_records.h"
#include "fuzz_input.h"

class record_queue : public axo_aux_i {
public:
    void push(bytes record) { records_.push_back(std::move(record)); }
    size_t size() const { return records_.size(); }
    const std::deque<bytes>& records() const { return records_; }

    int read(int64_t* time_out, void* buffer, int* size_out) override {
        if (records_.empty()) return 0;
        const bytes& front = records_.front();
        if (buffer != nullptr && !front.empty()) std::memcpy(buffer, front.data(), front.size());
        if (size_out != nullptr) *size_out = static_cast<int>(front.size());
        if (time_out != nullptr) {
            unsigned char header[AXO_HEADER_SIZE];
            peek_header(header);
            *time_out = axo_get_i64(header + AXO_HEADER_TIME);
        }
        return 1;
    }

    // A record shorter than a header is padded with zeros.
    int peek_header(void* header_out) override {
        if (records_.empty()) return 0;
        if (header_out != nullptr) {
            const bytes& front = records_.front();
            auto* out = static_cast<unsigned char*>(header_out);
            std::memset(out, 0, AXO_HEADER_SIZE);
            if (!front.empty()) {
                std::memcpy(out, front.data(),
                            std::min(front.size(), static_cast<size_t>(AXO_HEADER_SIZE)));
            }
        }
        return 1;
    }

    int pop() override {
        if (records_.empty()) return 0;
        records_.pop_front();
        return 1;
    }

    // Records the plug-in writes must carry an honest size.
    int write(const void* record) override {
        const auto* p = static_cast<const unsigned char*>(record);
        const int32_t size = axo_get_i32(p + AXO_HEADER_SIZE_FIELD);
        FUZZ_REQUIRE(size >= AXO_HEADER_SIZE && size <= (1 << 20));
        records_.emplace_back(p, p + size);
        return 1;
    }

private:
    std::deque<bytes> records_;
};
