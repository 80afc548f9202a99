// A small CLAP host for the tests and fuzz targets: opens the built .clap file as a host does,
// reads its clap_entry record and drives plug-ins through the whole life cycle. Streams
// hand state over in pieces of a chosen size, as hosts with partial reads and writes do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clap/clap_abi.h"

using bytes = std::vector<unsigned char>;
using channels = std::vector<std::vector<float>>;

// The entry record of the module this tree builds, opened and initialised on the first call
// and kept until the program ends. Aborts when the module has none.
const clap_plugin_entry_t* clap_limiter_entry();
const clap_plugin_factory_t* clap_limiter_factory();

constexpr const char* clap_stereo_id = "example.tarnwick.zandor-limiter.stereo";
constexpr const char* clap_mono_id = "example.tarnwick.zandor-limiter.mono";

// A host record that offers no extension and ignores every request.
const clap_host_t* clap_test_host();

clap_event_param_value_t clap_param_value(clap_id id, double value, uint32_t time = 0);

// An input event list over events the caller keeps alive.
struct clap_event_list {
    std::vector<clap_event_param_value_t> events;
    clap_input_events_t list;
    explicit clap_event_list(std::vector<clap_event_param_value_t> e = {});
};

// One plug-in instance, destroyed (stopped and deactivated first) when it goes out of scope.
class clap_session {
public:
    explicit clap_session(const char* id = clap_stereo_id,
                          const clap_plugin_factory_t* factory = clap_limiter_factory());
    ~clap_session();
    clap_session(const clap_session&) = delete;
    clap_session& operator=(const clap_session&) = delete;

    const clap_plugin_t* get() const { return plugin_; }
    template <typename T>
    const T* extension(const char* id) const {
        return static_cast<const T*>(plugin_->get_extension(plugin_, id));
    }
    // activate, then start_processing; false when either refuses.
    bool start(double rate = 44100.0, uint32_t max_frames = 4096);
    // stop_processing, then deactivate, where they are due.
    void stop();

    // One block: the outputs, prefilled with NaN so that a frame left unwritten shows.
    channels process(const channels& in, const std::vector<clap_event_param_value_t>& events = {});
    // The same signal in blocks of the given sizes, the outputs joined.
    channels run(const channels& in, const std::vector<uint32_t>& blocks);

    double value(clap_id id) const;
    void flush(const std::vector<clap_event_param_value_t>& events);
    // The state, written in pieces of at most piece bytes; empty when save failed.
    bytes save(size_t piece = 1 << 20) const;
    bool load(const bytes& state, size_t piece = 1 << 20) const;

private:
    const clap_plugin_t* plugin_ = nullptr;
    bool active_ = false;
    bool processing_ = false;
    int64_t steady_time_ = 0;
};

// A test signal: a sine of the given amplitude per channel, starting at frame offset.
channels clap_signal(int channel_count, size_t frames, float amplitude, size_t offset = 0);
