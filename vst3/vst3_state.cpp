#include "vst3/vst3_state.h"

#include <memory>

#include "framework/axo_codes.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "framework/axo_records.h"
#include "glue/auxbuf_t.h"
#include "glue/param_kind.h"
#include "glue/state_chunk.h"

using namespace vst3;

namespace {

constexpr int32 read_piece = 4096;

// Calls f(record, length) for each framed record; false when a frame runs past the end or
// the chunk holds no record.
template <typename F>
bool for_each_record(unsigned char* chunk, size_t size, F f) {
    size_t at = 0;
    int records = 0;
    while (at < size) {
        if (size - at < AUXBUF_FRAME_LENGTH) return false;
        const int32_t length = axo_get_i32(chunk + at);
        at += AUXBUF_FRAME_LENGTH;
        if (length <= 0 || static_cast<size_t>(length) > size - at) return false;
        if (length >= AXO_HEADER_SIZE) f(chunk + at, length);
        at += static_cast<size_t>(length);
        ++records;
    }
    return records > 0;
}

// A whole chunk: every frame inside the bytes, and the block closed by its end record, so
// a chunk cut at a frame boundary is caught too.
bool is_whole_chunk(const std::vector<unsigned char>& bytes) {
    std::vector<unsigned char> copy(bytes);
    int32_t last_type = 0;
    const bool framed = for_each_record(copy.data(), copy.size(), [&](unsigned char* r, int32_t) {
        last_type = axo_get_i32(r + AXO_HEADER_TYPE);
    });
    return framed && last_type == AXO_REC_END;
}

void copy_values(axo_plugin_i& from, axo_plugin_i& to) {
    for (int i = 0; i < from.get_param_count(); ++i) {
        const int kind = from.get_param_kind(i);
        if (kind == AXO_KIND_INTERNAL) continue;
        if (has_real_value(kind)) to.set_param_value(i, from.get_param_value(i));
        if (has_int_value(kind)) to.set_param_int(i, from.get_param_int(i));
    }
}

}  // namespace

bool read_state_stream(IBStream* stream, std::vector<unsigned char>& bytes) {
    bytes.clear();
    if (stream == nullptr) return false;
    unsigned char piece[read_piece];
    for (;;) {
        int32 got = 0;
        if (stream->read(piece, read_piece, &got) != kResultOk) return false;
        // A stream answering more than was asked for is not believed.
        if (got <= 0 || got > read_piece) return true;
        if (bytes.size() + static_cast<size_t>(got) > vst3_state_limit) return false;
        bytes.insert(bytes.end(), piece, piece + got);
        if (got < read_piece) return true;
    }
}

bool write_state_stream(IBStream* stream, const std::vector<unsigned char>& bytes) {
    if (stream == nullptr) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t left = bytes.size() - done;
        const auto n = static_cast<int32>(left < read_piece ? left : read_piece);
        int32 written = 0;
        auto* from = const_cast<unsigned char*>(bytes.data() + done);
        if (stream->write(from, n, &written) != kResultOk || written <= 0 || written > n) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

std::vector<unsigned char> save_vst3_state(axo_plugin_i& plugin, bool bypassed) {
    std::vector<unsigned char> chunk = save_state_chunk(plugin);
    // The live plug-in never runs bypassed itself (the adapter keeps its delay instead), so
    // its record says 0; the host's switch is written in its place.
    for_each_record(chunk.data(), chunk.size(), [&](unsigned char* record, int32_t length) {
        if (axo_get_i32(record + AXO_HEADER_TYPE) == AXO_REC_BYPASS && length >= AXO_SIZE_BYPASS) {
            axo_put_i32(record + AXO_BYPASS_FLAG, bypassed ? 1 : 0);
        }
    });
    return chunk;
}

bool load_vst3_state(axo_factory_i& factory, axo_plugin_i& plugin,
                     const std::vector<unsigned char>& bytes, bool& bypassed) {
    if (!is_whole_chunk(bytes)) return false;
    std::unique_ptr<axo_plugin_i> probe(factory.create_plugin());
    if (!probe || load_state_chunk(*probe, bytes.data(), bytes.size()) == 0) return false;
    copy_values(*probe, plugin);
    bypassed = probe->get_bypass() != 0;
    return true;
}
