// The limiter's process fed timed event records of any content, at any positions, over
// consecutive blocks of any length, in mono or stereo, in place or not.
#include <cfloat>
#include <cmath>
#include <memory>

#include "framework/axo_codes.h"
#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "fuzz_input.h"
#include "support/record_queue.h"

namespace {

constexpr float rates[] = {4000.0f, 44100.0f, 96000.0f, 192000.0f};

// A record that can switch bypass on: a bypass record, or a state block that may hold one.
bool may_bypass(const bytes& record) {
    if (record.size() < AXO_HEADER_TYPE + 4) return false;
    const int32_t type = axo_get_i32(record.data() + AXO_HEADER_TYPE);
    return type == AXO_REC_BYPASS || type == AXO_REC_BEGIN;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in(data, size);
    const uint8_t flags = in.take<uint8_t>();
    const int channels = (flags & 1) ? 1 : 2;
    const bool in_place = (flags & 2) != 0;
    const bool wild_audio = (flags & 4) != 0;  // raw float bits: NaN, infinities, anything
    const int calls = 1 + ((flags >> 3) & 3);
    int64_t position = in.take<int64_t>();

    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
    REQUIRE(plugin->set_channel_count(AXO_DIR_AUDIO_IN, channels) != 0);
    REQUIRE(plugin->set_channel_count(AXO_DIR_AUDIO_OUT, channels) != 0);
    plugin->set_sample_rate(rates[(flags >> 5) & 3]);

    record_queue events(record_queue::bad_writes::broken);
    bool bypass_possible = false;
    const uint32_t count = in.take_below(64);
    for (uint32_t i = 0; i < count; ++i) {
        bytes record = in.take_sized();
        bypass_possible |= may_bypass(record);
        events.push(std::move(record));
    }

    for (int call = 0; call < calls; ++call) {
        const int frames = static_cast<int>(in.take_below(4097));
        const size_t n = static_cast<size_t>(frames);
        // Each channel in a buffer of its own, exactly as long as the block.
        std::vector<float> input[2] = {std::vector<float>(n), std::vector<float>(n)};
        std::vector<float> output[2] = {std::vector<float>(n), std::vector<float>(n)};
        bool within_full_scale = true;
        for (std::vector<float>& channel : input) {
            if (wild_audio) {
                for (float& s : channel) s = in.take<float>();
            } else {
                take_audio(in, channel);
            }
            for (float s : channel) within_full_scale &= std::fabs(s) <= 1.0f;
        }
        float* ins[] = {input[0].data(), input[1].data()};
        float* outs[] = {output[0].data(), output[1].data()};
        float** out_table = in_place ? ins : outs;
        plugin->process(position, ins, 1, out_table, 1, &events, frames);
        REQUIRE(ins[0] == input[0].data() && ins[1] == input[1].data());

        // Limited audio is always finite and within full scale; audio passed through in
        // bypass is as the host sent it.
        if (!bypass_possible || within_full_scale) {
            const std::vector<float>* result = in_place ? input : output;
            for (int c = 0; c < channels; ++c) {
                for (float y : result[c]) REQUIRE(std::isfinite(y) && std::fabs(y) <= 1.0f);
            }
        }
        position = static_cast<int64_t>(static_cast<uint64_t>(position) + n);
    }
    return 0;
}
