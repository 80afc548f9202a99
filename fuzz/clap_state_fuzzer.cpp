// A CLAP host's state stream, whatever its bytes, handed to state.load of the built .clap
// module in pieces whose size the input chooses; a state that loads saves back to itself, and
// one that does not changes nothing. Audio is processed afterwards.
#include <cmath>

#include "clap/clap_params.h"
#include "fuzz_input.h"
#include "support/clap_host.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    clap_limiter_factory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in(data, size);
    // The first byte: the piece size, and the lowest bit the channel configuration.
    const auto choice = in.take<uint8_t>();
    const size_t piece = 1 + (choice >> 1);
    const bool mono = (choice & 1) != 0;
    const bytes state = in.take_bytes(in.remaining());

    clap_session s(mono ? clap_mono_id : clap_stereo_id);
    REQUIRE(s.get() != nullptr);
    const bytes before = s.save();
    if (s.load(state, piece)) {
        const bytes saved = s.save(piece);
        clap_session again;
        REQUIRE(again.load(saved, 1 + piece / 2) && again.save() == saved);
        REQUIRE(s.value(clap_bypass_param_id) == again.value(clap_bypass_param_id));
    } else {
        REQUIRE(s.save() == before);
    }

    // Whatever was loaded, audio within full scale stays within it.
    REQUIRE(s.start(44100.0, 512));
    const channels out = s.process(clap_signal(mono ? 1 : 2, 512, 1.0f));
    for (const auto& channel : out) {
        for (float v : channel) REQUIRE(std::isfinite(v) && std::fabs(v) <= 1.0f);
    }
    return 0;
}
