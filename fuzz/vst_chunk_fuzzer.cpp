// A project file's chunk, whatever its bytes, handed to effSetChunk through the module's VST
// entry point; then the state is saved, loaded into a second effect and saved again, and
// audio is processed.
#include "fuzz_vst.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    limiter_entry();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test_host::reset();
    vst_effect fx;
    switch_on(fx);
    bytes chunk(data, data + size);
    REQUIRE(fx.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(size), chunk.data()) ==
            static_cast<VstIntPtr>(size));

    // Whatever was loaded, the effect saves a state that loads back to itself.
    bytes saved = checked_chunk(fx);
    vst_effect again;
    switch_on(again);
    REQUIRE(again.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(saved.size()), saved.data()) ==
            static_cast<VstIntPtr>(saved.size()));
    REQUIRE(checked_chunk(again) == saved);
    for (VstInt32 i = 0; i < fx.get()->numParams; ++i) {
        const float value = fx.get(i);
        REQUIRE(value >= 0.0f && value <= 1.0f);
    }

    fuzz_input audio(data, size);
    process_audio(fx, audio, 300);
    process_audio(fx, audio, 700, true);
    REQUIRE(fx.close() == 1 && again.close() == 1);
    return 0;
}
