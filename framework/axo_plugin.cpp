#include "axo_plugin.h"

#include "axo_codes.h"
#include "axo_host_i.h"
#include "axo_param.h"

axo_plugin::axo_plugin() = default;

axo_plugin::~axo_plugin() {
    if (host_ != nullptr) {
        host_->detach(this);
        host_ = nullptr;
    }
    // The parameters belong to the concrete plug-in, which has destroyed them by now; the
    // containers below only drop their pointers.
}

axo_factory_i* axo_plugin::get_factory() {
    return factory_;
}

void axo_plugin::set_host(axo_host_i* host) {
    if (host == host_) return;
    if (host_ != nullptr) host_->detach(this);
    host_ = host;
    if (host_ != nullptr) host_->attach(this);
}

int axo_plugin::get_latency() {
    return 0;
}

int axo_plugin::set_process_mode(int mode) {
    process_mode_ = mode;
    return 1;
}

int axo_plugin::get_process_mode() {
    return process_mode_;
}

int axo_plugin::get_param_count() {
    return static_cast<int>(params_.size());
}

int axo_plugin::add_param(axo_param* param) {
    params_.push_back(param);
    return static_cast<int>(params_.size()) - 1;
}

axo_param* axo_plugin::param_at(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= params_.size()) return nullptr;
    return params_[static_cast<size_t>(index)];
}

int axo_plugin::get_param_kind(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->kind() : 0;
}

int axo_plugin::get_param_group(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->group() : 0;
}

int axo_plugin::get_param_visibility(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->visibility() : 0;
}

const char* axo_plugin::get_param_name(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_name() : nullptr;
}

const char* axo_plugin::get_param_option_text(int index, int option) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_option_text(option) : nullptr;
}

float axo_plugin::get_param_range(int index, int selector) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_range(selector) : 0.0f;
}

float axo_plugin::get_param_step(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_step() : 0.0f;
}

int axo_plugin::get_param_curve(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_curve() : 0;
}

float axo_plugin::get_param_factor(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_factor() : 0.0f;
}

void axo_plugin::set_param_value(int index, float value) {
    if (axo_param* p = param_at(index)) p->set_value(value);
}

float axo_plugin::get_param_value(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_value() : 0.0f;
}

void axo_plugin::set_param_int(int index, int value) {
    if (axo_param* p = param_at(index)) p->set_int(value);
}

int axo_plugin::get_param_int(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_int() : 0;
}

int axo_plugin::get_param_flags(int index) {
    axo_param* p = param_at(index);
    return p != nullptr ? p->get_flags() : 0;
}

void* axo_plugin::get_group(int group) {
    if (group < 0 || static_cast<size_t>(group) >= groups_.size()) return nullptr;
    return groups_[static_cast<size_t>(group)];
}

int axo_plugin::set_group_value(int group, int value) {
    if (group >= 0 && static_cast<size_t>(group) < group_values_.size()) {
        group_values_[static_cast<size_t>(group)] = value;
    }
    return group;
}

int axo_plugin::get_group_value(int group) {
    if (group < 0 || static_cast<size_t>(group) >= group_values_.size()) return -1;
    return group_values_[static_cast<size_t>(group)];
}

int axo_plugin::find_param(const char* key) {
    if (key == nullptr) return -1;
    const auto found = keys_.find(key);
    return found != keys_.end() ? found->second : -1;
}

int axo_plugin::register_group(void* object, int value) {
    groups_.push_back(object);
    group_values_.push_back(value);
    current_group_ = static_cast<int>(groups_.size()) - 1;
    return current_group_;
}

int axo_plugin::add_to_group(axo_param* param) {
    if (param == nullptr) return 0;
    param->set_group(current_group_);
    return 1;
}

int axo_plugin::end_group() {
    const int group = current_group_;
    current_group_ = -1;
    return group;
}

int axo_plugin::register_param_key(axo_param* param, const char* key) {
    if (param == nullptr || key == nullptr) return 0;
    keys_[key] = param->index();
    return 1;
}

int axo_plugin::save_extra_state(axo_aux_i*) {
    return 0;
}

void axo_plugin::on_sample_rate_changed() {}
void axo_plugin::on_tempo_changed() {}
void axo_plugin::on_channel_count_changed(int, int) {}
void axo_plugin::on_block_size_changed(int) {}
int axo_plugin::reserved_4(int, int) {
    return 0;
}

void axo_plugin::add_config(int32_t code, int32_t a, int32_t b, float lo, float hi) {
    configs_.push_back(axo_config_t{code, a, b, lo, hi});
}

void axo_plugin::ensure_config_list() {
    if (!configs_.empty()) return;
    // Queries come straight from a host: a list that cannot be built for want of memory
    // answers as far as it got rather than throwing into the host.
    try {
        build_config_list();
    } catch (...) {
    }
}

namespace {

bool valid_direction(int direction) {
    return direction >= 0 && direction < AXO_DIR_COUNT;
}

int32_t kind_for_direction(int direction) {
    return direction < AXO_DIR_EVENT_IN ? AXO_CFG_AUDIO : AXO_CFG_EVENTS;
}

}  // namespace

int axo_plugin::set_channel_count(int direction, int count) {
    if (!valid_direction(direction)) return 0;
    if (get_matching_config(direction, count) == 0) return 0;
    if (count == channels_[direction]) return count;
    channels_[direction] = count;
    on_channel_count_changed(direction, count);
    return 1;
}

int axo_plugin::get_channel_count(int direction) {
    return valid_direction(direction) ? channels_[direction] : 0;
}

int axo_plugin::get_matching_config(int direction, int count) {
    if (!valid_direction(direction)) return 0;
    ensure_config_list();
    const int32_t kind = kind_for_direction(direction);
    const bool by_input = direction == AXO_DIR_AUDIO_IN || direction == AXO_DIR_EVENT_IN;
    const int32_t prefer = by_input ? AXO_CFG_PREFER_BY_INPUT : AXO_CFG_PREFER_BY_OUTPUT;
    int answer = 0;
    for (const axo_config_t& c : configs_) {
        if ((c.code & AXO_CFG_KIND_MASK) != kind) continue;
        if ((by_input ? c.a : c.b) != count) continue;
        answer = by_input ? c.b : c.a;
        if ((c.code & prefer) != 0) return answer;
    }
    return answer;
}

int axo_plugin::is_config_supported(int direction, int inputs, int outputs) {
    if (!valid_direction(direction)) return 0;
    ensure_config_list();
    const int32_t kind = kind_for_direction(direction);
    for (const axo_config_t& c : configs_) {
        if ((c.code & AXO_CFG_KIND_MASK) == kind && c.a == inputs && c.b == outputs) return 1;
    }
    return 0;
}

int axo_plugin::get_stereo_partner(int direction, int pin) {
    if (direction != AXO_DIR_AUDIO_IN && direction != AXO_DIR_AUDIO_OUT) return -1;
    return get_channel_count(direction) == 2 && pin == 0 ? 1 : -1;
}

int axo_plugin::is_sample_rate_supported(float rate) {
    ensure_config_list();
    for (const axo_config_t& c : configs_) {
        const int32_t kind = c.code & AXO_CFG_KIND_MASK;
        if (kind == AXO_CFG_RATE && rates_match(rate, c.lo)) return 1;
        if (kind == AXO_CFG_RATE_RANGE && (rates_match(rate, c.lo) || rates_match(rate, c.hi) ||
                                           (c.lo <= rate && rate <= c.hi))) {
            return 1;
        }
    }
    return 0;
}

int axo_plugin::rates_match(float a, float b) {
    // Hosts report rates such as 44099.998; anything within 1 Hz counts as the same rate.
    const double d = static_cast<double>(a) - static_cast<double>(b);
    return d >= -1.0 && d <= 1.0 ? 1 : 0;
}

int axo_plugin::reserved_2() {
    return 0;
}

int axo_plugin::set_sample_rate(float rate) {
    if (is_sample_rate_supported(rate) == 0) return 0;
    sample_rate_ = rate;
    on_sample_rate_changed();
    return 1;
}

float axo_plugin::get_sample_rate() {
    return sample_rate_;
}

int axo_plugin::set_tempo(float bpm) {
    // Written so that a NaN tempo from a host or a project also becomes the floor.
    tempo_ = bpm >= 10.0f ? bpm : 10.0f;
    on_tempo_changed();
    return 1;
}

float axo_plugin::get_tempo() {
    return tempo_;
}

int axo_plugin::get_block_size() {
    return block_size_;
}

int axo_plugin::set_block_size(int frames) {
    on_block_size_changed(frames);
    block_size_ = frames;
    return 1;
}

int axo_plugin::get_bypass() {
    return bypass_;
}

int axo_plugin::set_bypass(int on) {
    bypass_ = on != 0 ? 1 : 0;
    return bypass_;
}

int axo_plugin::extension(const char*, void*, int) {
    return 0;
}

int axo_plugin::reserved_3(int, int) {
    reset();
    return 0;
}

int axo_plugin::get_tag() {
    return tag_;
}
void axo_plugin::set_tag(int tag) {
    tag_ = tag;
}
