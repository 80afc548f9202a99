// What a render reports: the files, the effect's settings, the targets and the figures
// measured. cli/report.h prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_file.h"
#include "delivery/render_job.h"

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
    int passes = 1;                  // renders of the input, measuring passes included
    int output_rate_hz = 0;          // the rate the effect ran at and the file was written at
    double input_gain_db = 0.0;      // applied before the effect: --gain and the loudness search
    int64_t nonfinite_samples = 0;   // NaN and infinite samples in the input
    std::vector<std::string> notes;  // how the file differs from what was asked, one line each
    render_figures figures;          // output levels as measured on the written file
};
