// Any bytes as a preset file (.fxp or .fxb) for the render tool's reader: it either refuses
// them with its own error or reads a preset whose every length agreed with the bytes, and a
// program it read is written back to bytes that read to the same preset.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "host/fx_preset.h"
#include "render_error.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader is handed exactly the file's bytes, as the tool reads them into memory.
    const std::vector<uint8_t> file(data, data + size);
    fx_preset preset;
    try {
        preset = decode_fx_preset(file.data(), file.size(), "fuzz.fxp");
    } catch (const render_error& e) {
        require(e.code() == exit_status::preset);
        return 0;
    }
    require(preset.what != fx_preset::content::parameters ||
            preset.parameters.size() == static_cast<size_t>(preset.count));
    require(preset.chunk.size() <= size);
    describe_fx_id(preset.fx_id);
    if (preset.is_bank) return 0;
    const std::vector<uint8_t> written = encode_fx_program(preset);
    const fx_preset again = decode_fx_preset(written.data(), written.size(), "again.fxp");
    require(encode_fx_program(again) == written);
    return 0;
}
