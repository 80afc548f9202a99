// A first-in-first-out stream of whole stream records: timed events for process() and the
// records of a saved state block.
#pragma once

#include <cstdint>

class axo_aux_i {
public:
    virtual ~axo_aux_i() = default;
    // Copies the front record into buffer, its size into size_out and its header time into
    // time_out (each only when not null); 0 when the stream is empty. The record stays queued.
    virtual int read(int64_t* time_out, void* buffer, int* size_out) = 0;
    // Copies the front record's 20-byte header into header_out (when not null); 0 when empty.
    virtual int peek_header(void* header_out) = 0;
    // Removes the front record; 0 when empty.
    virtual int pop() = 0;
    // Appends a copy of a record whose length is its header size field; 1 on success.
    virtual int write(const void* record) = 0;
};
