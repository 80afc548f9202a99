// A project's VST3 state, whatever its bytes, handed to setState through the bundle's factory
// as a host does. Refused bytes change nothing; accepted ones leave a state that loads back
// to itself, with every value in range, and audio is processed after either.
#include <cmath>
#include <memory>

#include "fuzz_input.h"
#include "support/vst3_host.h"

using namespace vst3;

namespace {

const vst3_module& module() {
    static const vst3_module* opened = new vst3_module;  // open until the fuzzer ends
    REQUIRE(opened->factory() != nullptr);
    return *opened;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    module();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vst3_instance fx(module());
    REQUIRE(fx.start(2, 44100.0, 512));
    const bytes before = fx.state();
    const tresult result = fx.set_state(bytes(data, data + size));
    REQUIRE(result == kResultOk || result == kResultFalse);
    const bytes saved = fx.state();
    if (result != kResultOk) REQUIRE(saved == before);

    vst3_instance again(module());
    REQUIRE(again.set_state(saved) == kResultOk && again.state() == saved);
    for (ParamID id : {0u, 1u, 2u, 1000u}) {
        const double v = fx.controller->getParamNormalized(id);
        REQUIRE(v >= 0.0 && v <= 1.0);
    }

    fuzz_input audio(data, size);
    std::vector<std::vector<float>> in(2, std::vector<float>(300)), out = in;
    for (auto& channel : in) {
        for (float& s : channel) s = audio.take<float>();
    }
    REQUIRE(fx.process(in, out) == kResultOk);
    return 0;
}
