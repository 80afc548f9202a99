// The in-memory record stream. Two auxbuf_t objects are linked into a pipe: each reads its
// own queue, and what is written into one is appended to the queue of the other. The VST
// adapter uses a pair for the events of a block, and every adapter a pair for each state
// chunk; this class also converts a queue to and from the chunk bytes that hosts store in
// their projects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

#include "framework/axo_aux_i.h"

// Longest record a chunk or a writer may hand over, in bytes.
constexpr int32_t AUXBUF_MAX_RECORD = 268435456;

// Size of the length field that precedes every record in a chunk.
constexpr size_t AUXBUF_FRAME_LENGTH = 4;

class auxbuf_t : public axo_aux_i {
public:
    auxbuf_t() = default;
    ~auxbuf_t() override;
    auxbuf_t(const auxbuf_t&) = delete;
    auxbuf_t& operator=(const auxbuf_t&) = delete;

    int read(int64_t* time_out, void* buffer, int* size_out) override;
    int peek_header(void* header_out) override;
    int pop() override;
    // Appends a copy to the partner's queue. Refused (0) without a partner, for a null
    // record and for a header size below the header itself or above AUXBUF_MAX_RECORD.
    int write(const void* record) override;

    // Makes a and b each other's partner; an earlier partner of either is let go.
    static void link(auxbuf_t& a, auxbuf_t& b);

    // Drops every queued record.
    void clear();
    // Number of queued records.
    size_t count() const { return queue_.size(); }

    // Chunk layout: every record, oldest first, as a 32-bit little-endian length followed by
    // the record's bytes. Stores the chunk's length in total_out and, when destination is
    // not null, writes the chunk there (the caller sized it from an earlier call); 1.
    int flatten(unsigned char* destination, size_t* total_out) const;

    // Appends the records of a chunk to the queue. 1 when the bytes were used up or a length
    // of 0 or less ended them; 0 for null bytes, a length above AUXBUF_MAX_RECORD or a frame
    // running past the end, which ends parsing there. Records parsed before stay queued; a
    // record too short to hold a header is skipped.
    int load(const void* bytes, size_t byte_count);

private:
    using record_t = std::vector<unsigned char>;

    // Leaves the pipe: neither end refers to the other afterwards.
    void unlink();
    // Queues a copy of size bytes, reusing the storage of a consumed record when one is kept.
    void append(const unsigned char* bytes, size_t size);

    std::list<record_t> queue_;
    // Storage of consumed records, kept so that a warmed-up event pipe allocates nothing.
    std::list<record_t> spare_;
    auxbuf_t* partner_ = nullptr;
};
