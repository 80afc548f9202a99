#include "cli/json_report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

// Members stay in the order they are added, as a reader of the text expects them.
using json = nlohmann::ordered_json;

// A figure to `decimals` places, as the text report rounds it. JSON has no infinities: a level
// of digital silence, or a loudness too quiet or too short to measure, is null.
json figure(double value, int decimals) {
    if (!std::isfinite(value)) return nullptr;
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    return rounded == 0.0 ? 0.0 : rounded;  // never -0
}

// A range end as the plug-in states it, to nine significant digits: a float's value, not the
// binary noise beyond it.
json range_end(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return std::strtod(text, nullptr);
}

// A string or number as JSON. A name that is not UTF-8 (a file name is any bytes) has its
// stray bytes shown as U+FFFD rather than failing the report.
std::string scalar(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Objects and arrays on one line, with ", " and ": " between items; with `rows`, the items of
// an array of objects one to a line instead.
std::string one_line(const json& j, bool rows = false) {
    if (j.is_object()) {
        std::string text = "{";
        for (const auto& item : j.items()) {
            if (text.size() > 1) text += ", ";
            text += scalar(item.key()) + ": " + one_line(item.value(), rows);
        }
        return text + "}";
    }
    if (j.is_array()) {
        std::string text = "[";
        for (const json& item : j) {
            const bool row = rows && item.is_object();
            text += (text.size() > 1 ? "," : "") + std::string(row ? "\n  " : "") +
                    one_line(item, rows);
        }
        return text + (rows && !j.empty() ? "\n]" : "]");
    }
    return scalar(j);
}

// An object one member per line, each member's value on one line.
std::string member_per_line(const json& j) {
    std::string text = "{";
    for (const auto& item : j.items()) {
        text += (text.size() > 1 ? ",\n  " : "\n  ") + scalar(item.key()) + ": " +
                one_line(item.value());
    }
    return text + "\n}";
}

// Input and output are described with the same keys.
json levels(const std::string& file, const level_figures& l) {
    return {{"file", file},
            {"sample_peak_dbfs", figure(l.sample_peak_dbfs, 2)},
            {"true_peak_dbtp", figure(l.true_peak_dbtp, 2)},
            {"integrated_lufs", figure(l.loudness_lufs, 2)},
            {"loudness_range_lu", figure(l.loudness_range_lu, 2)}};
}

json targets(const render_report& r) {
    json t = json::object();
    const level_figures& written = r.figures.output;
    if (r.targets.true_peak_dbtp) {
        t["true_peak_dbtp"] = {{"asked", figure(*r.targets.true_peak_dbtp, 2)},
                               {"achieved", figure(written.true_peak_dbtp, 2)}};
    }
    if (r.targets.loudness_lufs) {
        t["loudness_lufs"] = {{"asked", figure(*r.targets.loudness_lufs, 2)},
                              {"achieved", figure(written.loudness_lufs, 2)}};
    }
    return t;
}

double seconds_of(const render_report& r) {
    return r.input_shape.rate_hz > 0
               ? static_cast<double>(r.figures.input_frames) / r.input_shape.rate_hz
               : 0.0;
}

}  // namespace

std::string report_json(const render_report& r) {
    const render_figures& f = r.figures;
    json settings = json::object();
    for (const auto& [name, display] : r.settings) settings[name] = display;
    const double seconds = seconds_of(r);
    const double speed = f.wall_seconds > 0.0 ? seconds / f.wall_seconds : 0.0;
    json input = levels(r.input_path, f.input);
    input["nonfinite_samples"] = r.nonfinite_samples;
    const json report = {
        {"effect", r.effect_name},
        {"settings", settings},
        {"input", input},
        {"output", levels(r.output_path, f.output)},
        {"input_truncated", r.input_truncated},
        {"targets", targets(r)},
        {"passes", r.passes},
        {"input_gain_db", figure(r.input_gain_db, 2)},
        {"gain_reduction_db",
         {{"largest", figure(f.largest_reduction_db, 2)},
          {"average", figure(f.average_reduction_db, 2)}}},
        {"channels", r.input_shape.channels},
        {"sample_rate_hz", r.input_shape.rate_hz},
        {"output_format", r.output_format},
        {"output_sample_rate_hz", r.output_rate_hz},
        {"notes", r.notes},
        {"frames", f.input_frames},
        {"output_frames", f.output_frames},
        {"seconds", figure(seconds, 3)},
        {"latency_frames", f.latency_frames},
        {"latency_removed", !r.keep_latency},
        {"block_frames", r.block_frames},
        {"wall_seconds", figure(f.wall_seconds, 3)},
        {"speed_x_realtime", figure(speed, 1)},
    };
    return member_per_line(report);
}

std::string analysis_json(const std::string& file, const level_figures& l) {
    return one_line(json{{"input", levels(file, l)}});
}

std::string parameters_json(vst_plugin& plugin, parameter_mapper& mapper) {
    json parameters = json::array();
    for (int i = 0; i < plugin.parameter_count(); ++i) {
        json p = {{"name", plugin.parameter_name(i)},
                  {"display", plugin.parameter_display(i)},
                  {"range", mapper.range_text(i)}};
        if (const auto range = mapper.range(i)) {
            p["lowest"] = range_end(range->lowest);
            p["highest"] = range_end(range->highest);
            p["unit"] = range->unit;
        }
        parameters.push_back(std::move(p));
    }
    return one_line(json{{"effect", plugin.effect_name()}, {"parameters", parameters}}, true);
}

std::string batch_failure_json(const batch_outcome& outcome) {
    return one_line(
        json{{"file", outcome.input}, {"error", outcome.error}, {"exit_status", outcome.status}});
}
