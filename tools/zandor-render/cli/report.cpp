#include "cli/report.h"

#include <cmath>
#include <string>

#include "cli/json_report.h"

namespace {

std::string number(double value, int decimals) {
    if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
    // A value that rounds to zero is shown as 0, never as -0.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A level where the JSON has null: a peak or loudness of digital silence, or a loudness (or
// range) of a sound too short or too quiet to gate.
std::string level(double value, int decimals, const level_figures& of) {
    if (std::isfinite(value)) return number(value, decimals);
    return std::isfinite(of.sample_peak_dbfs) ? "n/a" : "silence";
}

// A level with its unit in running text, or its word alone where it is missing.
std::string said(double value, int decimals, const level_figures& of, const char* unit) {
    const std::string text = level(value, decimals, of);
    return std::isfinite(value) ? text + " " + unit : text;
}

// A level and its unit in a column seven characters wide; where the level is missing, its
// word alone, with blanks in place of the unit so that the next column stays in line.
std::string cell(double value, const level_figures& of, const std::string& unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%7s", level(value, 1, of).c_str());
    return text + (std::isfinite(value) ? " " + unit : std::string(unit.size() + 1, ' '));
}

std::string channel_words(int channels) {
    return channels == 1   ? "mono"
           : channels == 2 ? "stereo"
                           : std::to_string(channels) + " channels";
}

double seconds_of(const render_report& r) {
    return r.input_shape.rate_hz > 0
               ? static_cast<double>(r.figures.input_frames) / r.input_shape.rate_hz
               : 0.0;
}

double speed_of(const render_report& r) {
    return r.figures.wall_seconds > 0.0 ? seconds_of(r) / r.figures.wall_seconds : 0.0;
}

}  // namespace

void print_text_report(std::FILE* out, const render_report& r) {
    const render_figures& f = r.figures;
    std::fprintf(out, "%s: %s -> %s\n", r.effect_name.c_str(), r.input_path.c_str(),
                 r.output_path.c_str());
    std::string settings;
    for (const auto& [name, display] : r.settings)
        settings += (settings.empty() ? "" : ", ") + name + " " + display;
    std::fprintf(out, "  settings        %s\n", settings.c_str());
    const std::string converted = r.output_rate_hz > 0 && r.output_rate_hz != r.input_shape.rate_hz
                                      ? " at " + std::to_string(r.output_rate_hz) + " Hz"
                                      : "";
    std::fprintf(out, "  audio           %s, %d Hz, %lld frames (%s s), written as %s%s\n",
                 channel_words(r.input_shape.channels).c_str(), r.input_shape.rate_hz,
                 static_cast<long long>(f.input_frames), number(seconds_of(r), 2).c_str(),
                 r.output_format.c_str(), converted.c_str());
    std::fprintf(
        out, "  latency         %d frames, %s\n", f.latency_frames,
        r.keep_latency ? "kept (output is longer by it)" : "removed (output aligned with input)");
    std::fprintf(out, "                      input       output\n");
    std::fprintf(out, "  sample peak     %s %s\n",
                 cell(f.input.sample_peak_dbfs, f.input, "dBFS").c_str(),
                 cell(f.output.sample_peak_dbfs, f.output, "dBFS").c_str());
    std::fprintf(out, "  true peak       %s %s\n",
                 cell(f.input.true_peak_dbtp, f.input, "dBTP").c_str(),
                 cell(f.output.true_peak_dbtp, f.output, "dBTP").c_str());
    std::fprintf(out, "  loudness        %s %s\n",
                 cell(f.input.loudness_lufs, f.input, "LUFS").c_str(),
                 cell(f.output.loudness_lufs, f.output, "LUFS").c_str());
    std::fprintf(out, "  loudness range  %s   %s\n",
                 cell(f.input.loudness_range_lu, f.input, "LU").c_str(),
                 cell(f.output.loudness_range_lu, f.output, "LU").c_str());
    if (r.targets.true_peak_dbtp) {
        std::fprintf(out, "  true-peak target %s dBTP, measured %s on the written file\n",
                     number(*r.targets.true_peak_dbtp, 1).c_str(),
                     said(f.output.true_peak_dbtp, 2, f.output, "dBTP").c_str());
    }
    if (r.targets.loudness_lufs) {
        std::fprintf(out, "  loudness target %s LUFS, measured %s on the written file\n",
                     number(*r.targets.loudness_lufs, 1).c_str(),
                     said(f.output.loudness_lufs, 2, f.output, "LUFS").c_str());
    }
    if (r.input_gain_db != 0.0 || r.targets.loudness_lufs) {
        std::fprintf(out, "  input gain      %s dB before the plug-in\n",
                     number(r.input_gain_db, 2).c_str());
    }
    std::fprintf(out, "  gain reduction  largest %s dB, average %s dB\n",
                 number(f.largest_reduction_db, 1).c_str(),
                 number(f.average_reduction_db, 1).c_str());
    for (const std::string& note : r.notes)
        std::fprintf(out, "  note            %s\n", note.c_str());
    const std::string passes =
        r.passes > 1 ? ", " + std::to_string(r.passes) + " passes over the input" : "";
    std::fprintf(out, "  speed           %sx realtime (%lld frames in %s s%s)\n",
                 number(speed_of(r), 0).c_str(), static_cast<long long>(f.output_frames),
                 number(f.wall_seconds, 3).c_str(), passes.c_str());
}

void print_batch_line(std::FILE* out, const render_report& r) {
    const level_figures& o = r.figures.output;
    std::fprintf(out, "%s -> %s: %s, %s\n", r.input_path.c_str(), r.output_path.c_str(),
                 said(o.loudness_lufs, 1, o, "LUFS").c_str(),
                 said(o.true_peak_dbtp, 1, o, "dBTP").c_str());
}

void print_text_analysis(std::FILE* out, const std::string& file, const level_figures& l) {
    std::fprintf(out, "%s\n", file.c_str());
    const struct {
        const char* label;
        double value;
        const char* unit;
    } rows[] = {{"sample peak", l.sample_peak_dbfs, "dBFS"},
                {"true peak", l.true_peak_dbtp, "dBTP"},
                {"loudness", l.loudness_lufs, "LUFS"},
                {"loudness range", l.loudness_range_lu, "LU"}};
    for (const auto& row : rows) {
        std::string text = cell(row.value, l, row.unit);
        text.erase(text.find_last_not_of(' ') + 1);  // a single column needs no padding
        std::fprintf(out, "  %-15s %s\n", row.label, text.c_str());
    }
}

void print_report(std::FILE* out, const render_report& report, bool json) {
    if (json)
        std::fprintf(out, "%s\n", report_json(report).c_str());
    else
        print_text_report(out, report);
}

void print_analysis(std::FILE* out, const std::string& file, const level_figures& levels, bool json,
                    bool in_array) {
    if (json)
        std::fprintf(out, "%s%s", analysis_json(file, levels).c_str(), in_array ? "" : "\n");
    else
        print_text_analysis(out, file, levels);
}

void print_analysis_failure(std::FILE* out, const batch_outcome& failure, bool json) {
    if (json)
        std::fputs(batch_failure_json(failure).c_str(), out);
    else
        std::fprintf(out, "%s: %s\n", failure.input.c_str(), failure.error.c_str());
}

void print_parameters(std::FILE* out, vst_plugin& plugin, parameter_mapper& mapper, bool json) {
    if (json) {
        std::fprintf(out, "%s\n", parameters_json(plugin, mapper).c_str());
        return;
    }
    std::fprintf(out, "%s, %d parameters:\n", plugin.effect_name().c_str(),
                 plugin.parameter_count());
    for (int i = 0; i < plugin.parameter_count(); ++i) {
        std::fprintf(out, "  %-12s %-10s (%s)\n", plugin.parameter_name(i).c_str(),
                     plugin.parameter_display(i).c_str(), mapper.range_text(i).c_str());
    }
}

batch_printer::batch_printer(std::FILE* out, bool json) : out_(out), json_(json) {}

void batch_printer::print(const batch_outcome& outcome) {
    if (json_) {
        const std::string text =
            outcome.report ? report_json(*outcome.report) : batch_failure_json(outcome);
        std::fprintf(out_, "%s%s", printed_ == 0 ? "[\n" : ",\n", text.c_str());
    } else if (outcome.report) {
        print_batch_line(out_, *outcome.report);
    } else {
        std::fprintf(out_, "%s: %s\n", outcome.input.c_str(), outcome.error.c_str());
    }
    ++printed_;
    std::fflush(out_);
}

void batch_printer::finish() {
    if (json_) std::fputs(printed_ > 0 ? "\n]\n" : "[]\n", out_);
}
