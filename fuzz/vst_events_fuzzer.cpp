// Event lists of any content handed to effProcessEvents through the module's VST entry point,
// under any transport the host reports, each followed by a processed block.
#include "fuzz_vst.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    limiter_entry();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in(data, size);
    take_host_state(in);
    vst_effect fx;
    switch_on(fx);
    for (int block = 0; block < 3 && in.remaining() > 0; ++block) {
        fuzz_event_list events(in);
        REQUIRE(fx.dispatch(effProcessEvents, 0, 0, events.get()) == 1);
        process_audio(fx, in, static_cast<VstInt32>(in.take_below(2049)));
        test_host::get().time.samplePos = in.take<double>();
    }
    return 0;
}
