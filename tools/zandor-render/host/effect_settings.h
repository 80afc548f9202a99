// The hosted effect with the user's settings: the module loaded once, the preset and the
// controls applied, and fresh instances made with exactly those settings for every pass of a
// render, so that each pass (and each file of a batch) starts from the same state.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/effect_choice.h"
#include "host/parameter_mapper.h"
#include "host/vst_plugin.h"

class effect_settings {
public:
    // Loads the chosen module at `rate_hz`, checks that it has room for `channels` (0: no
    // audio to check), then applies the defaults, the preset and the parameters in that
    // order. Throws render_error.
    effect_settings(const effect_choice& choice, double rate_hz, int channels);

    vst_plugin& plugin() { return *plugin_; }
    parameter_mapper& mapper() { return mapper_; }
    const std::string& plugin_path() const { return plugin_path_; }

    // Sets a parameter by name to a value in dB (Threshold, Ceiling) and keeps it for fresh().
    void set_db(const std::string& option, const std::string& name, double db);
    // A parameter's value in dB, or nothing when the effect has no such parameter in dB.
    std::optional<double> read_db(const std::string& name);

    // A new instance of the effect with the current settings.
    std::unique_ptr<vst_plugin> fresh();

private:
    std::string plugin_path_;
    double rate_hz_;
    int block_frames_;
    std::unique_ptr<vst_plugin> plugin_;
    parameter_mapper mapper_;
};

// Sets a parameter of any instance to a value in dB, as effect_settings::set_db does.
void set_parameter_db(vst_plugin& plugin, const std::string& option, const std::string& name,
                      double db);
