#include "cli/report.h"

#include <cmath>
#include <string>

namespace {

std::string number(double value, int decimals) {
    if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
    // A value that rounds to zero is shown as 0, never as -0.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// JSON has no infinities: a level of digital silence, or a loudness too quiet or too short
// to measure, is null.
std::string json_number(double value, int decimals) {
    return std::isfinite(value) ? number(value, decimals) : "null";
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

// Input and output are described with the same keys.
std::string levels_json(const std::string& file, const level_figures& l) {
    return "{\"file\": " + json_string(file) +
           ", \"sample_peak_dbfs\": " + json_number(l.sample_peak_dbfs, 2) +
           ", \"true_peak_dbtp\": " + json_number(l.true_peak_dbtp, 2) +
           ", \"integrated_lufs\": " + json_number(l.loudness_lufs, 2) +
           ", \"loudness_range_lu\": " + json_number(l.loudness_range_lu, 2) + "}";
}

std::string target_json(const char* name, const std::optional<double>& asked, double achieved) {
    if (!asked) return "";
    return std::string("\"") + name + "\": {\"asked\": " + json_number(*asked, 2) +
           ", \"achieved\": " + json_number(achieved, 2) + "}";
}

std::string targets_json(const render_report& r) {
    std::string items =
        target_json("true_peak_dbtp", r.targets.true_peak_dbtp, r.figures.output.true_peak_dbtp);
    const std::string loudness =
        target_json("loudness_lufs", r.targets.loudness_lufs, r.figures.output.loudness_lufs);
    if (!loudness.empty()) items += (items.empty() ? "" : ", ") + loudness;
    return "{" + items + "}";
}

}  // namespace

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

void print_text_report(std::FILE* out, const render_report& r) {
    const render_figures& f = r.figures;
    std::fprintf(out, "%s: %s -> %s\n", r.effect_name.c_str(), r.input_path.c_str(),
                 r.output_path.c_str());
    std::string settings;
    for (const auto& [name, display] : r.settings)
        settings += (settings.empty() ? "" : ", ") + name + " " + display;
    std::fprintf(out, "  settings        %s\n", settings.c_str());
    std::fprintf(out, "  audio           %s, %d Hz, %lld frames (%s s), written as %s\n",
                 channel_words(r.input_shape.channels).c_str(), r.input_shape.rate_hz,
                 static_cast<long long>(f.input_frames), number(seconds_of(r), 2).c_str(),
                 r.output_format.c_str());
    std::fprintf(
        out, "  latency         %d frames, %s\n", f.latency_frames,
        r.keep_latency ? "kept (output is longer by it)" : "removed (output aligned with input)");
    std::fprintf(out, "                      input       output\n");
    std::fprintf(out, "  sample peak     %7s dBFS %7s dBFS\n",
                 number(f.input.sample_peak_dbfs, 1).c_str(),
                 number(f.output.sample_peak_dbfs, 1).c_str());
    std::fprintf(out, "  true peak       %7s dBTP %7s dBTP\n",
                 number(f.input.true_peak_dbtp, 1).c_str(),
                 number(f.output.true_peak_dbtp, 1).c_str());
    std::fprintf(out, "  loudness        %7s LUFS %7s LUFS\n",
                 number(f.input.loudness_lufs, 1).c_str(),
                 number(f.output.loudness_lufs, 1).c_str());
    std::fprintf(out, "  loudness range  %7s LU   %7s LU\n",
                 number(f.input.loudness_range_lu, 1).c_str(),
                 number(f.output.loudness_range_lu, 1).c_str());
    if (r.targets.true_peak_dbtp) {
        std::fprintf(out, "  true-peak target %s dBTP, measured %s dBTP on the written file\n",
                     number(*r.targets.true_peak_dbtp, 1).c_str(),
                     number(f.output.true_peak_dbtp, 2).c_str());
    }
    if (r.targets.loudness_lufs) {
        std::fprintf(out, "  loudness target %s LUFS, measured %s LUFS on the written file\n",
                     number(*r.targets.loudness_lufs, 1).c_str(),
                     number(f.output.loudness_lufs, 2).c_str());
    }
    std::fprintf(out, "  gain reduction  largest %s dB, average %s dB\n",
                 number(f.largest_reduction_db, 1).c_str(),
                 number(f.average_reduction_db, 1).c_str());
    const std::string passes =
        r.passes > 1 ? ", " + std::to_string(r.passes) + " passes over the input" : "";
    std::fprintf(out, "  speed           %sx realtime (%lld frames in %s s%s)\n",
                 number(speed_of(r), 0).c_str(), static_cast<long long>(f.output_frames),
                 number(f.wall_seconds, 3).c_str(), passes.c_str());
}

void print_json_report(std::FILE* out, const render_report& r) {
    const render_figures& f = r.figures;
    std::fprintf(out, "{\n  \"effect\": %s,\n", json_string(r.effect_name).c_str());
    std::fprintf(out, "  \"settings\": {");
    bool first = true;
    for (const auto& [name, display] : r.settings) {
        std::fprintf(out, "%s%s: %s", first ? "" : ", ", json_string(name).c_str(),
                     json_string(display).c_str());
        first = false;
    }
    std::fprintf(out, "},\n");
    std::fprintf(out, "  \"input\": %s,\n", levels_json(r.input_path, f.input).c_str());
    std::fprintf(out, "  \"output\": %s,\n", levels_json(r.output_path, f.output).c_str());
    std::fprintf(out, "  \"input_truncated\": %s,\n", r.input_truncated ? "true" : "false");
    std::fprintf(out, "  \"targets\": %s,\n  \"passes\": %d,\n", targets_json(r).c_str(), r.passes);
    std::fprintf(out, "  \"gain_reduction_db\": {\"largest\": %s, \"average\": %s},\n",
                 json_number(f.largest_reduction_db, 2).c_str(),
                 json_number(f.average_reduction_db, 2).c_str());
    std::fprintf(out, "  \"channels\": %d,\n  \"sample_rate_hz\": %d,\n", r.input_shape.channels,
                 r.input_shape.rate_hz);
    std::fprintf(out, "  \"output_format\": %s,\n", json_string(r.output_format).c_str());
    std::fprintf(out, "  \"frames\": %lld,\n  \"output_frames\": %lld,\n",
                 static_cast<long long>(f.input_frames), static_cast<long long>(f.output_frames));
    std::fprintf(out, "  \"seconds\": %s,\n", json_number(seconds_of(r), 3).c_str());
    std::fprintf(out, "  \"latency_frames\": %d,\n  \"latency_removed\": %s,\n", f.latency_frames,
                 r.keep_latency ? "false" : "true");
    std::fprintf(out, "  \"block_frames\": %d,\n", r.block_frames);
    std::fprintf(out, "  \"wall_seconds\": %s,\n  \"speed_x_realtime\": %s\n}\n",
                 json_number(f.wall_seconds, 3).c_str(), json_number(speed_of(r), 1).c_str());
}

void print_batch_line(std::FILE* out, const render_report& r) {
    const level_figures& o = r.figures.output;
    std::fprintf(out, "%s -> %s: %s LUFS, %s dBTP\n", r.input_path.c_str(), r.output_path.c_str(),
                 number(o.loudness_lufs, 1).c_str(), number(o.true_peak_dbtp, 1).c_str());
}

void print_text_analysis(std::FILE* out, const std::string& file, const level_figures& l) {
    std::fprintf(out, "%s\n", file.c_str());
    std::fprintf(out, "  sample peak     %7s dBFS\n", number(l.sample_peak_dbfs, 1).c_str());
    std::fprintf(out, "  true peak       %7s dBTP\n", number(l.true_peak_dbtp, 1).c_str());
    std::fprintf(out, "  loudness        %7s LUFS\n", number(l.loudness_lufs, 1).c_str());
    std::fprintf(out, "  loudness range  %7s LU\n", number(l.loudness_range_lu, 1).c_str());
}

void print_json_analysis(std::FILE* out, const std::string& file, const level_figures& l) {
    std::fprintf(out, "{\"input\": %s}\n", levels_json(file, l).c_str());
}
