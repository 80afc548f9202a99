// Event lists of any content handed to effProcessEvents through the module's VST entry point,
// under any transport the host reports, each followed by a processed block.
#include "fuzz_vst_host.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_module_entry();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in(data, size);
    take_host_state(in);
    fuzz_effect fx;
    for (int block = 0; block < 3 && in.remaining() > 0; ++block) {
        fuzz_event_list events(in);
        FUZZ_REQUIRE(fx.dispatch(effProcessEvents, 0, 0, events.get()) == 1);
        fx.process(in, static_cast<VstInt32>(in.take_below(2049)));
        fuzz_host().time.samplePos = in.take<double>();
    }
    return 0;
}
