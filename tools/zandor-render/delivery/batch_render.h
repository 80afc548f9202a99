// Batch mode: every input rendered to a folder under its own name, several at once.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "delivery/render_options.h"
#include "delivery/render_report.h"

// What became of one file of a batch: its report, or why it failed.
struct batch_outcome {
    std::string input;
    int status = 0;  // an exit_status
    std::optional<render_report> report;
    std::string error;
};

// Renders each of options.inputs to options.out_dir (created when missing) with
// options.jobs renders at once, each exactly as a single render of that file. Hands each
// outcome to `ready` in input order, as soon as it and every one before it are known, one at
// a time; a file that fails does not stop the others. Answers the worst exit status.
int render_batch(const render_options& options,
                 const std::function<void(const batch_outcome&)>& ready);
