// The report printed after a render, as text for a person or as JSON for a script.
#pragma once

#include <cstdio>
#include <string>

#include "delivery/render_report.h"

// `s` as a quoted JSON string, with quotes, backslashes and control characters escaped.
std::string json_string(const std::string& s);

void print_text_report(std::FILE* out, const render_report& report);
void print_json_report(std::FILE* out, const render_report& report);
// One line for a file of a batch.
void print_batch_line(std::FILE* out, const render_report& report);

// The input half of the report, for --analyze.
void print_text_analysis(std::FILE* out, const std::string& file, const level_figures& levels);
void print_json_analysis(std::FILE* out, const std::string& file, const level_figures& levels);
