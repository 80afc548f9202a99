// Saved settings: the plug-in's state block as one chunk of framed records.
#include <limits>
#include <new>

#include "framework/axo_plugin_i.h"
#include "glue/rounding_guard.h"
#include "vst/bridge/auxbuf_t.h"
#include "vst/bridge/vstdsp.h"

VstInt32 vstdsp::getChunk(void** data, bool) {
    rounding_guard guard;
    auxbuf_t written;   // the plug-in writes its state here ...
    auxbuf_t received;  // ... and the records queue here
    auxbuf_t::link(written, received);
    plugin_->save_state(&written);

    size_t total = 0;
    received.flatten(nullptr, &total);
    if (total > static_cast<size_t>(std::numeric_limits<VstInt32>::max())) total = 0;
    // Allocated even when empty, so that the host always gets a valid address.
    chunk_.reset();
    chunk_.reset(new (std::nothrow) unsigned char[total]);
    if (!chunk_) total = 0;
    if (total > 0) received.flatten(chunk_.get(), nullptr);
    // The buffer stays valid until the next getChunk or until the effect is closed.
    if (data != nullptr) *data = chunk_.get();
    refresh_editor();
    return static_cast<VstInt32>(total);
}

VstInt32 vstdsp::setChunk(void* data, VstInt32 byteSize, bool) {
    rounding_guard guard;
    auxbuf_t source;  // the plug-in reads the chunk's records from here
    auxbuf_t sink;    // and anything it might write lands here
    auxbuf_t::link(source, sink);
    // The plug-in sees every record parsed before a damaged frame, whatever load answers.
    source.load(data, byteSize > 0 ? static_cast<size_t>(byteSize) : 0);
    plugin_->load_state(&source);
    refresh_editor();
    return byteSize;
}
