// The command line of zandor-render, read into one record before anything is opened.
#pragma once

#include <optional>
#include <string>
#include <vector>

// One parameter setting as the user asked for it. `option` is how the user spelled it
// ("--threshold" or "--set"), so that a refusal can quote the user's own words.
struct parameter_request {
    std::string option;
    std::string name;
    std::string value;
};

struct render_options {
    std::string input;
    std::string output;
    std::string plugin_path;                    // empty: the built or installed ZandorLimiter.so
    std::vector<parameter_request> parameters;  // applied in command-line order
    std::string preset_in;                      // applied before the parameters
    std::string preset_out;
    std::optional<std::string> format;  // output container, such as "flac"
    std::optional<std::string> bits;    // output sample type, such as "24" or "float"
    std::string out_dir;                // where --demo writes its two files
    int block_size = 1024;              // frames per processReplacing call
    bool keep_latency = false;
    bool json = false;
    bool demo = false;
    bool list_parameters = false;
    bool help = false;
};

// Reads argv. Throws render_error (usage) with one line naming the offending option and value.
render_options parse_render_options(int argc, const char* const* argv);

// The text that --help prints.
std::string render_usage();
