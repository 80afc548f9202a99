// What zandor-render is asked to do, in one record that is complete before anything is opened:
// the command line reads it (cli/command_line.h), the renders and the search follow it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audio/sample_quantiser.h"
#include "host/effect_choice.h"

struct render_options {
    std::vector<std::string> inputs;  // one for a single render or --analyze, several in batch
    std::string output;               // empty in batch mode: outputs go to out_dir
    std::string plugin_path;          // empty: the built or installed ZandorLimiter.so
    std::vector<parameter_request> parameters;  // applied in command-line order
    std::string preset_in;                      // applied before the parameters
    std::string preset_out;
    std::optional<std::string> format;  // output container, such as "flac"
    std::optional<std::string> bits;    // output sample type, such as "24" or "float"
    std::optional<double> quality;      // 0 to 1, for lossy and compressing encoders
    dither_kind dither = dither_kind::none;
    std::optional<double> true_peak_dbtp;  // the written file's true peak stays at or below
    std::optional<double> loudness_lufs;   // the written file's integrated loudness
    double gain_db = 0.0;                  // applied to the input before the effect
    std::optional<int> rate_hz;            // the delivered rate; the input is converted to it
    std::string out_dir;                   // where --demo and batch renders write
    int block_size = 1024;                 // frames per processReplacing call
    int jobs = 0;                          // files rendered at once in batch; 0: one per core
    bool keep_latency = false;
    bool no_clobber = false;
    bool json = false;
    bool demo = false;
    bool analyze = false;
    bool list_parameters = false;
    bool help = false;
    bool version = false;

    bool batch() const { return !demo && !analyze && !out_dir.empty(); }
};

// The effect these options choose, with `defaults` applied before the preset and parameters.
inline effect_choice chosen_effect(const render_options& o,
                                   const std::vector<parameter_request>& defaults = {}) {
    return {o.plugin_path, o.block_size, defaults, o.preset_in, o.parameters};
}
