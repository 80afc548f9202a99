#include "support/clap_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "module_loader.h"
#include "support/require.h"

namespace {

const void* CLAP_ABI host_extension(const clap_host_t*, const char*) {
    return nullptr;
}
void CLAP_ABI host_request(const clap_host_t*) {}

const clap_host_t host = {CLAP_VERSION,   nullptr,      "zandor test host", "Tarnwick",  "", "1.0",
                          host_extension, host_request, host_request,       host_request};

uint32_t CLAP_ABI list_size(const clap_input_events_t* list) {
    return static_cast<uint32_t>(static_cast<clap_event_list*>(list->ctx)->events.size());
}

const clap_event_header_t* CLAP_ABI list_get(const clap_input_events_t* list, uint32_t index) {
    auto& events = static_cast<clap_event_list*>(list->ctx)->events;
    return index < events.size() ? &events[index].header : nullptr;
}

bool CLAP_ABI push_nothing(const clap_output_events_t*, const clap_event_header_t*) {
    return false;
}
const clap_output_events_t no_output = {nullptr, push_nothing};

// A stream over bytes that moves at most piece bytes per call.
struct piecewise {
    bytes* data;
    size_t piece;
    size_t at = 0;
};

int64_t CLAP_ABI write_piece(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
    auto* s = static_cast<piecewise*>(stream->ctx);
    const size_t n = static_cast<size_t>((std::min<uint64_t>)(size, s->piece));
    const auto* from = static_cast<const unsigned char*>(buffer);
    s->data->insert(s->data->end(), from, from + n);
    return static_cast<int64_t>(n);
}

int64_t CLAP_ABI read_piece(const clap_istream_t* stream, void* buffer, uint64_t size) {
    auto* s = static_cast<piecewise*>(stream->ctx);
    const size_t n =
        static_cast<size_t>((std::min<uint64_t>)({size, s->piece, s->data->size() - s->at}));
    if (n > 0) std::memcpy(buffer, s->data->data() + s->at, n);
    s->at += n;
    return static_cast<int64_t>(n);
}

}  // namespace

const clap_plugin_entry_t* clap_limiter_entry() {
    // As a host does: deinit before the module is closed, when the program ends.
    struct opened {
        module_loader module{ZANDOR_CLAP_MODULE_PATH};
        const clap_plugin_entry_t* entry =
            static_cast<const clap_plugin_entry_t*>(module.symbol("clap_entry"));
        bool initialised = entry != nullptr && entry->init(ZANDOR_CLAP_MODULE_PATH);
        ~opened() {
            if (initialised) entry->deinit();
        }
    };
    static const opened o;
    REQUIRE(o.initialised);
    return o.entry;
}

const clap_plugin_factory_t* clap_limiter_factory() {
    static const auto* factory = static_cast<const clap_plugin_factory_t*>(
        clap_limiter_entry()->get_factory(CLAP_PLUGIN_FACTORY_ID));
    REQUIRE(factory != nullptr);
    return factory;
}

const clap_host_t* clap_test_host() {
    return &host;
}

clap_event_param_value_t clap_param_value(clap_id id, double value, uint32_t time) {
    clap_event_param_value_t e{};
    e.header = {sizeof e, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    e.param_id = id;
    e.note_id = -1;
    e.port_index = e.channel = e.key = -1;
    e.value = value;
    return e;
}

clap_event_list::clap_event_list(std::vector<clap_event_param_value_t> e)
    : events(std::move(e)), list{this, list_size, list_get} {}

clap_session::clap_session(const char* id, const clap_plugin_factory_t* factory) {
    plugin_ = factory->create_plugin(factory, &host, id);
    if (plugin_ != nullptr && !plugin_->init(plugin_)) {
        plugin_->destroy(plugin_);
        plugin_ = nullptr;
    }
}

clap_session::~clap_session() {
    if (plugin_ == nullptr) return;
    stop();
    plugin_->destroy(plugin_);
}

bool clap_session::start(double rate, uint32_t max_frames) {
    active_ = plugin_->activate(plugin_, rate, 1, max_frames);
    processing_ = active_ && plugin_->start_processing(plugin_);
    return processing_;
}

void clap_session::stop() {
    if (processing_) plugin_->stop_processing(plugin_);
    if (active_) plugin_->deactivate(plugin_);
    processing_ = active_ = false;
}

channels clap_session::process(const channels& in,
                               const std::vector<clap_event_param_value_t>& events) {
    const size_t frames = in.empty() ? 0 : in[0].size();
    channels inputs = in;
    channels out(in.size(), std::vector<float>(frames, std::numeric_limits<float>::quiet_NaN()));
    std::vector<float*> in_ptrs, out_ptrs;
    for (size_t c = 0; c < in.size(); ++c) {
        in_ptrs.push_back(inputs[c].data());
        out_ptrs.push_back(out[c].data());
    }
    const auto count = static_cast<uint32_t>(in.size());
    const clap_audio_buffer_t in_buffer = {in_ptrs.data(), nullptr, count, 0, 0};
    clap_audio_buffer_t out_buffer = {out_ptrs.data(), nullptr, count, 0, ~0ull};
    clap_event_list list(events);
    const clap_process_t p = {steady_time_,
                              static_cast<uint32_t>(frames),
                              nullptr,
                              &in_buffer,
                              &out_buffer,
                              1,
                              1,
                              &list.list,
                              &no_output};
    REQUIRE(plugin_->process(plugin_, &p) == CLAP_PROCESS_CONTINUE);
    steady_time_ += static_cast<int64_t>(frames);
    return out;
}

channels clap_session::run(const channels& in, const std::vector<uint32_t>& blocks) {
    channels out(in.size());
    size_t at = 0;
    for (uint32_t n : blocks) {
        channels part(in.size());
        for (size_t c = 0; c < in.size(); ++c) {
            part[c].assign(in[c].begin() + static_cast<ptrdiff_t>(at),
                           in[c].begin() + static_cast<ptrdiff_t>(at + n));
        }
        const channels got = process(part);
        for (size_t c = 0; c < in.size(); ++c)
            out[c].insert(out[c].end(), got[c].begin(), got[c].end());
        at += n;
    }
    return out;
}

double clap_session::value(clap_id id) const {
    double v = std::nan("");
    extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->get_value(plugin_, id, &v);
    return v;
}

void clap_session::flush(const std::vector<clap_event_param_value_t>& events) {
    clap_event_list list(events);
    extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->flush(plugin_, &list.list, &no_output);
}

bytes clap_session::save(size_t piece) const {
    bytes data;
    piecewise s{&data, piece};
    const clap_ostream_t stream = {&s, write_piece};
    if (!extension<clap_plugin_state_t>(CLAP_EXT_STATE)->save(plugin_, &stream)) data.clear();
    return data;
}

bool clap_session::load(const bytes& state, size_t piece) const {
    bytes data = state;
    piecewise s{&data, piece};
    const clap_istream_t stream = {&s, read_piece};
    return extension<clap_plugin_state_t>(CLAP_EXT_STATE)->load(plugin_, &stream);
}

channels clap_signal(int channel_count, size_t frames, float amplitude, size_t offset) {
    channels out(static_cast<size_t>(channel_count), std::vector<float>(frames));
    for (int c = 0; c < channel_count; ++c) {
        for (size_t t = 0; t < frames; ++t) {
            const double phase = 0.0731 * static_cast<double>(t + offset) + 1.3 * c;
            out[static_cast<size_t>(c)][t] = amplitude * static_cast<float>(std::sin(phase));
        }
    }
    return out;
}
