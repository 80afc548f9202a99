// A project file's chunk, whatever its bytes, handed to effSetChunk through the module's VST
// entry point; then the state is saved, loaded into a second effect and saved again, and
// audio is processed.
#include "fuzz_vst_host.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_module_entry();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_host() = fuzz_host_state{};
    fuzz_effect fx;
    bytes chunk(data, data + size);
    FUZZ_REQUIRE(fx.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(size), chunk.data()) ==
                 static_cast<VstIntPtr>(size));

    // Whatever was loaded, the effect saves a state that loads back to itself.
    bytes saved = fx.chunk();
    fuzz_effect again;
    FUZZ_REQUIRE(again.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(saved.size()),
                                saved.data()) == static_cast<VstIntPtr>(saved.size()));
    FUZZ_REQUIRE(again.chunk() == saved);
    for (VstInt32 i = 0; i < fx.get()->numParams; ++i) {
        const float value = fx.get()->getParameter(fx.get(), i);
        FUZZ_REQUIRE(value >= 0.0f && value <= 1.0f);
    }

    fuzz_input audio(data, size);
    fx.process(audio, 300);
    fx.process(audio, 700, true);
    return 0;
}
