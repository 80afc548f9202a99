// Batch mode: every input rendered to a folder under its own name, several at once.
#pragma once

#include <cstdio>

#include "delivery/render_options.h"

// Renders each of options.inputs to options.out_dir (created when missing) with
// options.jobs renders at once, each exactly as a single render of that file. Prints one
// line per file in input order, or with --json one array of reports, to `out`; a file that
// fails gets its line and does not stop the others. Answers the worst exit status.
int render_batch(const render_options& options, std::FILE* out);

// Creates `dir` and its missing parents; throws render_error(output).
void make_folder(const std::string& dir);

// `dir`/`file`, with one slash between.
std::string join_path(const std::string& dir, const std::string& file);
