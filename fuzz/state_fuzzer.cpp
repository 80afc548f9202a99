// The limiter's load_state fed stream records of any length and content, as another host's
// stream implementation or a damaged project could hand them over; then its state is saved
// and loaded into a fresh instance, and audio is processed.
#include <cmath>
#include <memory>

#include "framework/axo_codes.h"
#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "fuzz_input.h"
#include "support/record_queue.h"

namespace {

struct instance {
    std::unique_ptr<axo_factory_i> factory{get_axoi(0)};
    std::unique_ptr<axo_plugin_i> plugin{factory ? factory->create_plugin() : nullptr};
    instance() { REQUIRE(plugin != nullptr); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The records framed as in a VST chunk, but taken as they come: any length, header or not.
    record_queue stream(record_queue::bad_writes::broken);
    fuzz_input in(data, size);
    while (in.remaining() > 0) stream.push(in.take_bytes(in.take<uint32_t>()));

    instance first;
    first.plugin->load_state(&stream);
    // What follows the first block reaches the plug-in as further blocks would.
    for (int blocks = 0; !stream.records.empty() && blocks < 1000; ++blocks) {
        first.plugin->load_state(&stream);
    }

    for (int i = 0; i < first.plugin->get_param_count(); ++i) {
        const float v = first.plugin->get_param_value(i);
        REQUIRE(v >= first.plugin->get_param_range(i, AXO_RANGE_MIN) &&
                v <= first.plugin->get_param_range(i, AXO_RANGE_MAX));
    }
    const float tempo = first.plugin->get_tempo();
    REQUIRE(tempo >= 10.0f);

    // Saved, loaded into a fresh instance and saved again, the state comes out the same.
    record_queue saved(record_queue::bad_writes::broken);
    REQUIRE(first.plugin->save_state(&saved) == 1);
    record_queue copy = saved;
    instance second;
    REQUIRE(second.plugin->load_state(&copy) == 1 && copy.records.empty());
    record_queue resaved(record_queue::bad_writes::broken);
    second.plugin->save_state(&resaved);
    REQUIRE(resaved.records == saved.records);

    // Whatever was loaded, audio within full scale stays within it.
    std::vector<float> left(256), right(256);
    fuzz_input audio(data, size);
    take_audio(audio, left);
    take_audio(audio, right);
    float* channels[] = {left.data(), right.data()};
    first.plugin->process(0, channels, 1, channels, 1, nullptr, 256);
    for (size_t i = 0; i < left.size(); ++i) {
        REQUIRE(std::isfinite(left[i]) && std::fabs(left[i]) <= 1.0f);
        REQUIRE(std::isfinite(right[i]) && std::fabs(right[i]) <= 1.0f);
    }
    return 0;
}
