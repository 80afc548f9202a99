// The report printed after a render, as text for a person or as JSON for a script; the
// --analyze figures, the plug-in's parameters and a batch's lines the same two ways.
#pragma once

#include <cstdio>
#include <string>

#include "delivery/batch_render.h"
#include "delivery/render_report.h"
#include "host/parameter_mapper.h"
#include "host/vst_plugin.h"

void print_report(std::FILE* out, const render_report& report, bool json);
void print_text_report(std::FILE* out, const render_report& report);
// One line for a file of a batch.
void print_batch_line(std::FILE* out, const render_report& report);

// The input half of the report, for --analyze; `in_array`: JSON without its line end, for
// the caller to join into an array.
void print_analysis(std::FILE* out, const std::string& file, const level_figures& levels, bool json,
                    bool in_array = false);
// A file --analyze could not measure, among several: as a batch reports one.
void print_analysis_failure(std::FILE* out, const batch_outcome& failure, bool json);
void print_text_analysis(std::FILE* out, const std::string& file, const level_figures& levels);

// The plug-in's parameters with their current values and ranges, for --list-params.
void print_parameters(std::FILE* out, vst_plugin& plugin, parameter_mapper& mapper, bool json);

// Prints a batch's outcomes in the order they are given: a line each, or with JSON one
// array of reports (and of failures, each with its exit status).
class batch_printer {
public:
    batch_printer(std::FILE* out, bool json);
    void print(const batch_outcome& outcome);
    // Closes the array.
    void finish();

private:
    std::FILE* out_;
    bool json_;
    size_t printed_ = 0;
};
