#include "glue/state_chunk.h"

#include "framework/axo_plugin_i.h"
#include "glue/auxbuf_t.h"

std::vector<unsigned char> save_state_chunk(axo_plugin_i& plugin) {
    auxbuf_t written;   // the plug-in writes its state here ...
    auxbuf_t received;  // ... and the records queue here
    auxbuf_t::link(written, received);
    plugin.save_state(&written);

    size_t total = 0;
    received.flatten(nullptr, &total);
    std::vector<unsigned char> chunk(total);
    if (total > 0) received.flatten(chunk.data(), nullptr);
    return chunk;
}

int load_state_chunk(axo_plugin_i& plugin, const void* bytes, size_t byte_count) {
    auxbuf_t source;  // the plug-in reads the chunk's records from here
    auxbuf_t sink;    // and anything it might write lands here
    auxbuf_t::link(source, sink);
    source.load(bytes, byte_count);
    return plugin.load_state(&source);
}
