// Saved settings: the plug-in's state block as one chunk of framed records.
#include <algorithm>
#include <limits>
#include <new>

#include "glue/rounding_guard.h"
#include "glue/state_chunk.h"
#include "vst/bridge/vstdsp.h"

VstInt32 vstdsp::getChunk(void** data, bool) {
    rounding_guard guard;
    const std::vector<unsigned char> bytes = save_state_chunk(*plugin_);
    size_t total = bytes.size();
    if (total > static_cast<size_t>(std::numeric_limits<VstInt32>::max())) total = 0;
    // Allocated even when empty, so that the host always gets a valid address.
    chunk_.reset();
    chunk_.reset(new (std::nothrow) unsigned char[total]);
    if (!chunk_) total = 0;
    std::copy_n(bytes.data(), total, chunk_.get());
    // The buffer stays valid until the next getChunk or until the effect is closed.
    if (data != nullptr) *data = chunk_.get();
    refresh_editor();
    return static_cast<VstInt32>(total);
}

VstInt32 vstdsp::setChunk(void* data, VstInt32 byteSize, bool) {
    rounding_guard guard;
    // The plug-in sees every record parsed before a damaged frame, whatever load answers.
    load_state_chunk(*plugin_, data, byteSize > 0 ? static_cast<size_t>(byteSize) : 0);
    refresh_editor();
    return byteSize;
}
