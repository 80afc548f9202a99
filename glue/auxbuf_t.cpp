#include "glue/auxbuf_t.h"

#include <cstring>

#include "framework/axo_records.h"

namespace {

// Consumed records larger than this give their storage back instead of keeping it, and no
// more than this many are kept: event records are small and few per block.
constexpr size_t spare_capacity_limit = 4096;
constexpr size_t spare_count_limit = 256;

}  // namespace

auxbuf_t::~auxbuf_t() {
    unlink();
}

void auxbuf_t::link(auxbuf_t& a, auxbuf_t& b) {
    a.unlink();
    b.unlink();
    a.partner_ = &b;
    b.partner_ = &a;
}

void auxbuf_t::unlink() {
    if (partner_ != nullptr && partner_->partner_ == this) partner_->partner_ = nullptr;
    partner_ = nullptr;
}

int auxbuf_t::read(int64_t* time_out, void* buffer, int* size_out) {
    if (queue_.empty()) return 0;
    const record_t& front = queue_.front();
    if (buffer != nullptr) std::memcpy(buffer, front.data(), front.size());
    if (size_out != nullptr) *size_out = static_cast<int>(front.size());
    if (time_out != nullptr) *time_out = axo_get_i64(front.data() + AXO_HEADER_TIME);
    return 1;
}

int auxbuf_t::peek_header(void* header_out) {
    if (queue_.empty()) return 0;
    if (header_out != nullptr) std::memcpy(header_out, queue_.front().data(), AXO_HEADER_SIZE);
    return 1;
}

int auxbuf_t::pop() {
    if (queue_.empty()) return 0;
    if (queue_.front().capacity() <= spare_capacity_limit && spare_.size() < spare_count_limit) {
        spare_.splice(spare_.end(), queue_, queue_.begin());
    } else {
        queue_.pop_front();
    }
    return 1;
}

int auxbuf_t::write(const void* record) {
    if (partner_ == nullptr || record == nullptr) return 0;
    const auto* bytes = static_cast<const unsigned char*>(record);
    const int32_t size = axo_get_i32(bytes + AXO_HEADER_SIZE_FIELD);
    if (size < AXO_HEADER_SIZE || size > AUXBUF_MAX_RECORD) return 0;
    partner_->append(bytes, static_cast<size_t>(size));
    return 1;
}

void auxbuf_t::clear() {
    while (pop() != 0) {
    }
}

void auxbuf_t::append(const unsigned char* bytes, size_t size) {
    if (spare_.empty()) {
        queue_.emplace_back(bytes, bytes + size);
        return;
    }
    queue_.splice(queue_.end(), spare_, spare_.begin());
    queue_.back().assign(bytes, bytes + size);
}

int auxbuf_t::flatten(unsigned char* destination, size_t* total_out) const {
    size_t total = 0;
    for (const record_t& rec : queue_) {
        if (destination != nullptr) {
            axo_put_i32(destination + total, static_cast<int32_t>(rec.size()));
            std::memcpy(destination + total + AUXBUF_FRAME_LENGTH, rec.data(), rec.size());
        }
        total += AUXBUF_FRAME_LENGTH + rec.size();
    }
    if (total_out != nullptr) *total_out = total;
    return 1;
}

int auxbuf_t::load(const void* bytes, size_t byte_count) {
    if (bytes == nullptr) return 0;
    const auto* p = static_cast<const unsigned char*>(bytes);
    size_t remaining = byte_count;
    while (remaining > 0) {
        if (remaining < AUXBUF_FRAME_LENGTH) return 0;
        const int32_t length = axo_get_i32(p);
        if (length <= 0) return 1;
        if (length > AUXBUF_MAX_RECORD) return 0;
        const size_t frame = AUXBUF_FRAME_LENGTH + static_cast<size_t>(length);
        if (frame > remaining) return 0;
        if (length >= AXO_HEADER_SIZE) append(p + AUXBUF_FRAME_LENGTH, static_cast<size_t>(length));
        p += frame;
        remaining -= frame;
    }
    return 1;
}
