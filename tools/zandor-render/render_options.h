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

enum class dither_kind { none, tpdf };

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

// Reads argv. Throws render_error (usage) with one line naming the offending option and value.
render_options parse_render_options(int argc, const char* const* argv);

// The text that --help prints, made from the option declarations.
std::string render_usage();

// The line that --version prints: the tool's name and the product's version.
std::string render_version();
