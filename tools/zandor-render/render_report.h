// The report printed after a render, as text for a person or as JSON for a script.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio_file.h"
#include "render_job.h"

// What --true-peak and --loudness asked for; the report shows each beside what was measured.
struct delivery_targets {
    std::optional<double> true_peak_dbtp;
    std::optional<double> loudness_lufs;
};

struct render_report {
    std::string input_path;
    std::string output_path;
    std::string effect_name;
    std::vector<std::pair<std::string, std::string>> settings;  // parameter name, display
    audio_shape input_shape;
    std::string output_format;
    int block_frames = 0;
    bool keep_latency = false;
    bool input_truncated = false;
    bool output_to_stdout = false;  // the audio went to standard output, the report may not
    delivery_targets targets;
    int passes = 1;          // renders of the input, measuring passes included
    render_figures figures;  // output levels as measured on the written file
};

// `s` as a quoted JSON string, with quotes, backslashes and control characters escaped.
std::string json_string(const std::string& s);

void print_text_report(std::FILE* out, const render_report& report);
void print_json_report(std::FILE* out, const render_report& report);
// One line for a file of a batch.
void print_batch_line(std::FILE* out, const render_report& report);

// The input half of the report, for --analyze.
void print_text_analysis(std::FILE* out, const std::string& file, const level_figures& levels);
void print_json_analysis(std::FILE* out, const std::string& file, const level_figures& levels);
