// One file rendered as the options say: the settings found for the delivery targets, the
// output written, read back and measured, and made again while it misses the true-peak
// target, before it is put in place.
#pragma once

#include <string>
#include <vector>

#include "delivery/render_job.h"
#include "delivery/render_options.h"
#include "delivery/render_report.h"
#include "meter/level_meter.h"

// Renders `input` to `output` ("-" for either: standard input or output). `defaults` are
// settings applied before the preset and the options (the demo's); `progress` (optional) is
// told how each pass advances. Throws render_error; on a
// throw nothing is left at `output`. Warnings go to standard error, each as one line.
render_report render_file(const render_options& options,
                          const std::vector<parameter_request>& defaults, const std::string& input,
                          const std::string& output, render_progress* progress);

// The levels of a file, read and decoded as a player reads it.
level_figures measure_file(const std::string& path, const std::string& shown_name);
