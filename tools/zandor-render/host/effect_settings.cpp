#include "host/effect_settings.h"

#include <cstdio>

#include "host/plugin_location.h"
#include "host/preset_io.h"
#include "render_error.h"

namespace {

std::string words_of(const parameter_request& p) {
    return p.option == "--set" ? "--set " + p.name + "=" + p.value : p.option + " " + p.value;
}

std::string db_text(double db) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9gdB", db);
    return text;
}

}  // namespace

void set_parameter_db(vst_plugin& plugin, const std::string& option, const std::string& name,
                      double db) {
    parameter_mapper mapper(plugin);
    mapper.set(option, name, db_text(db));
}

effect_settings::effect_settings(const effect_choice& choice, double rate_hz, int channels)
    : plugin_path_(choice.plugin_path.empty() ? find_default_plugin() : choice.plugin_path),
      rate_hz_(rate_hz),
      block_frames_(choice.block_frames),
      plugin_(std::make_unique<vst_plugin>(plugin_path_, rate_hz, choice.block_frames)),
      mapper_(*plugin_) {
    if (channels > 0 &&
        (plugin_->outputs() < channels || (channels == 2 && plugin_->inputs() < 2))) {
        throw render_error(exit_status::plugin,
                           plugin_path_ + " has " + std::to_string(plugin_->inputs()) +
                               " input(s) and " + std::to_string(plugin_->outputs()) +
                               " output(s); the input needs " + std::to_string(channels));
    }
    for (const parameter_request& p : choice.defaults) {
        if (mapper_.find(p.name) >= 0) mapper_.set(words_of(p), p.name, p.value);
    }
    if (!choice.preset_path.empty()) load_preset(*plugin_, choice.preset_path);
    for (const parameter_request& p : choice.parameters) mapper_.set(words_of(p), p.name, p.value);
}

void effect_settings::set_db(const std::string& option, const std::string& name, double db) {
    mapper_.set(option, name, db_text(db));
}

std::optional<double> effect_settings::read_db(const std::string& name) {
    const int index = mapper_.find(name);
    if (index < 0) return std::nullopt;
    const std::optional<quantity> q = mapper_.read(index);
    if (!q || scale_of(q->unit).family != "dB") return std::nullopt;
    return q->value;
}

std::unique_ptr<vst_plugin> effect_settings::fresh() {
    auto copy = std::make_unique<vst_plugin>(plugin_path_, rate_hz_, block_frames_);
    copy->restore_settings(plugin_->save_settings());
    return copy;
}
