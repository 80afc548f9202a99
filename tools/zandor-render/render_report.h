// The report printed after a render, as text for a person or as JSON for a script.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "audio_file.h"
#include "render_job.h"

struct render_report {
    std::string input_path;
    std::string output_path;
    std::string effect_name;
    std::vector<std::pair<std::string, std::string>> settings;  // parameter name, display
    audio_shape input_shape;
    std::string output_format;
    int block_frames = 0;
    bool keep_latency = false;
    render_figures figures;
};

void print_text_report(std::FILE* out, const render_report& report);
void print_json_report(std::FILE* out, const render_report& report);
