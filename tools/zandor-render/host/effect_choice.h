// What the user asks of the effect: which module, and the settings in the order they apply.
#pragma once

#include <string>
#include <vector>

// One parameter setting as the user asked for it. `option` is how the user spelled it
// ("--threshold" or "--set"), so that a refusal can quote the user's own words.
struct parameter_request {
    std::string option;
    std::string name;
    std::string value;
};

struct effect_choice {
    std::string plugin_path;                  // empty: the built or installed module
    int block_frames = 1024;                  // the most frames one process call takes
    std::vector<parameter_request> defaults;  // applied first, where the effect has them
    std::string preset_path;                  // then this preset, when not empty
    std::vector<parameter_request> parameters;
};
