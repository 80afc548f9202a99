#include "clap/clap_state.h"

#include <cstdint>

#include "clap/clap_params.h"
#include "framework/axo_codes.h"
#include "framework/axo_plugin_i.h"
#include "framework/axo_records.h"
#include "glue/auxbuf_t.h"
#include "glue/state_chunk.h"

namespace {

// One framed record of a chunk: where its bytes start and how many there are.
struct frame {
    size_t at, length;
};

int32_t record_type(const std::vector<unsigned char>& chunk, const frame& f) {
    return axo_get_i32(chunk.data() + f.at + AXO_HEADER_TYPE);
}

// The frames of a whole chunk; false unless every frame lies inside it and holds at least
// a header, and the chunk is one complete block: begin record first, end record last.
bool split_frames(const std::vector<unsigned char>& chunk, std::vector<frame>& frames) {
    size_t at = 0;
    while (at < chunk.size()) {
        if (chunk.size() - at < AUXBUF_FRAME_LENGTH) return false;
        const int32_t length = axo_get_i32(chunk.data() + at);
        at += AUXBUF_FRAME_LENGTH;
        if (length < AXO_HEADER_SIZE || static_cast<size_t>(length) > chunk.size() - at) {
            return false;
        }
        frames.push_back({at, static_cast<size_t>(length)});
        at += static_cast<size_t>(length);
    }
    return !frames.empty() && record_type(chunk, frames.front()) == AXO_REC_BEGIN &&
           record_type(chunk, frames.back()) == AXO_REC_END;
}

// A value record of a chunk: the parameter it sets and the value as the record holds it.
struct value_record {
    int32_t type, index;
    const unsigned char* value;
};

void append_frame(std::vector<unsigned char>& to, const std::vector<unsigned char>& chunk,
                  const frame& f) {
    const size_t start = f.at - AUXBUF_FRAME_LENGTH;
    to.insert(to.end(), chunk.begin() + static_cast<ptrdiff_t>(start),
              chunk.begin() + static_cast<ptrdiff_t>(f.at + f.length));
}

bool write_all(const clap_ostream_t* stream, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const int64_t written = stream->write(stream, bytes, size);
        // Nothing written counts as failure too: a stream that stalls would loop forever.
        if (written <= 0 || static_cast<uint64_t>(written) > size) return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

bool clap_save_state(axo_plugin_i& plugin, const clap_params& params,
                     const clap_ostream_t* stream) {
    if (stream == nullptr || stream->write == nullptr) return false;
    std::vector<unsigned char> chunk = save_state_chunk(plugin);
    std::vector<frame> frames;
    if (!split_frames(chunk, frames)) return false;
    for (const frame& f : frames) {
        if (record_type(chunk, f) == AXO_REC_BYPASS && f.length >= AXO_SIZE_BYPASS) {
            axo_put_i32(chunk.data() + f.at + AXO_BYPASS_FLAG, params.bypassed() ? 1 : 0);
        }
    }
    return write_all(stream, chunk.data(), chunk.size());
}

bool clap_load_state(axo_plugin_i& plugin, clap_params& params, const clap_istream_t* stream) {
    if (stream == nullptr || stream->read == nullptr) return false;
    std::vector<unsigned char> chunk;
    unsigned char piece[4096];
    for (;;) {
        const int64_t got = stream->read(stream, piece, sizeof piece);
        if (got == 0) break;
        if (got < 0 || static_cast<uint64_t>(got) > sizeof piece) return false;
        if (chunk.size() + static_cast<size_t>(got) > clap_state_max_bytes) return false;
        chunk.insert(chunk.end(), piece, piece + got);
    }
    return clap_apply_chunk(plugin, params, chunk);
}

bool clap_apply_chunk(axo_plugin_i& plugin, clap_params& params,
                      const std::vector<unsigned char>& chunk) {
    std::vector<frame> frames;
    if (!split_frames(chunk, frames)) return false;
    // The identifier must come first: a block without one could belong to any plug-in.
    if (frames.size() < 2 || record_type(chunk, frames[1]) != AXO_REC_IDENTIFIER) return false;
    std::vector<unsigned char> identity;
    for (size_t k : {size_t{0}, size_t{1}, frames.size() - 1})
        append_frame(identity, chunk, frames[k]);
    if (load_state_chunk(plugin, identity.data(), identity.size()) != 1) return false;

    std::vector<value_record> values;
    bool bypass = false;
    for (const frame& f : frames) {
        const int32_t type = record_type(chunk, f);
        const unsigned char* record = chunk.data() + f.at;
        const bool is_value = type == AXO_REC_PARAM_REAL || type == AXO_REC_PARAM_INT;
        const size_t needed = type == AXO_REC_PARAM_REAL ? AXO_SIZE_PARAM_REAL : AXO_SIZE_PARAM_INT;
        if (type == AXO_REC_BYPASS || is_value) {
            if (f.length < (is_value ? needed : size_t{AXO_SIZE_BYPASS})) return false;
        }
        if (type == AXO_REC_BYPASS) bypass = axo_get_i32(record + AXO_BYPASS_FLAG) != 0;
        if (is_value) {
            values.push_back(
                {type, axo_get_i32(record + AXO_PARAM_INDEX), record + AXO_PARAM_VALUE});
        }
    }
    // Values are set one by one under each parameter's lock, as the audio thread may be
    // processing. Other records (reset, tempo, extensions) would reach the running signal
    // path from this thread, so a state never carries them in.
    for (const value_record& v : values) {
        if (v.type == AXO_REC_PARAM_REAL) {
            plugin.set_param_value(v.index, axo_get_f32(v.value));
        } else {
            plugin.set_param_int(v.index, axo_get_i32(v.value));
        }
    }
    params.set_bypassed(bypass);
    return true;
}
