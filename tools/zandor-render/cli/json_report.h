// The JSON that scripts read: the report, the --analyze figures, the plug-in's parameters and
// a batch's failures. Each is made as a document and laid out as the tool always has: the
// report one member per line, everything else on one line.
#pragma once

#include <string>

#include "delivery/batch_render.h"
#include "delivery/render_report.h"
#include "host/parameter_mapper.h"
#include "host/vst_plugin.h"

std::string report_json(const render_report& report);
std::string analysis_json(const std::string& file, const level_figures& levels);
// The parameters one to a line inside the document.
std::string parameters_json(vst_plugin& plugin, parameter_mapper& mapper);
std::string batch_failure_json(const batch_outcome& outcome);
