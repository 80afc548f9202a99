// zandor-render: limits audio files from the shell by hosting the limiter's VST 2.4 module.
#include <sndfile.h>

#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "audio_file.h"
#include "batch_render.h"
#include "demo_programme.h"
#include "effect_settings.h"
#include "file_render.h"
#include "input_source.h"
#include "plugin_location.h"
#include "preset_io.h"
#include "render_error.h"
#include "render_options.h"
#include "render_report.h"

namespace {

// --demo shows the limiter at work: its defaults (a threshold of 0 dB) would leave the
// programme almost untouched. Options and a preset given with --demo override these.
const std::vector<parameter_request> demo_settings = {
    {"--threshold", "Threshold", "-9dB"},
    {"--ceiling", "Ceiling", "-0.3dB"},
    {"--release", "Release", "100ms"},
};

void list_parameters(std::FILE* out, vst_plugin& plugin, parameter_mapper& mapper, bool json) {
    if (json) {
        std::fprintf(out, "{\"effect\": %s, \"parameters\": [",
                     json_string(plugin.effect_name()).c_str());
        for (int i = 0; i < plugin.parameter_count(); ++i) {
            const auto range = mapper.range(i);
            std::fprintf(out, "%s\n  {\"name\": %s, \"display\": %s, \"range\": %s",
                         i == 0 ? "" : ",", json_string(plugin.parameter_name(i)).c_str(),
                         json_string(plugin.parameter_display(i)).c_str(),
                         json_string(mapper.range_text(i)).c_str());
            if (range) {
                std::fprintf(out, ", \"lowest\": %.9g, \"highest\": %.9g, \"unit\": %s",
                             range->lowest, range->highest, json_string(range->unit).c_str());
            }
            std::fputs("}", out);
        }
        std::fputs("\n]}\n", out);
        return;
    }
    std::fprintf(out, "%s, %d parameters:\n", plugin.effect_name().c_str(),
                 plugin.parameter_count());
    for (int i = 0; i < plugin.parameter_count(); ++i) {
        std::fprintf(out, "  %-12s %-10s (%s)\n", plugin.parameter_name(i).c_str(),
                     plugin.parameter_display(i).c_str(), mapper.range_text(i).c_str());
    }
}

void print_help(const render_options& options) {
    std::fputs(render_usage().c_str(), stdout);
    // Names, ranges and units are the plug-in's; they are asked of the module.
    try {
        render_options plain;
        plain.plugin_path = options.plugin_path;
        effect_settings fx(plain, {}, 44100.0, 0);
        std::fputs("\nThe plug-in's parameters (as --list-params shows them):\n", stdout);
        list_parameters(stdout, fx.plugin(), fx.mapper(), false);
    } catch (const render_error& e) {
        std::printf("\nThe plug-in's parameters cannot be listed: %s\n", e.what());
    }
}

int analyze(const render_options& o) {
    const input_source input(o.inputs.front());
    const level_figures levels = measure_file(input.path(), input.name());
    if (o.json)
        print_json_analysis(stdout, input.name(), levels);
    else
        print_text_analysis(stdout, input.name(), levels);
    return 0;
}

int run(const render_options& o) {
    if (o.analyze) return analyze(o);
    if (o.batch()) return render_batch(o, stdout);

    std::string input = o.inputs.empty() ? std::string() : o.inputs.front();
    std::string output = o.output;
    if (o.demo) {
        if (!o.out_dir.empty()) make_folder(o.out_dir);
        input = join_path(o.out_dir, "demo-input.wav");
        const std::string extension =
            o.format ? format_extension(choose_output_format(SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2,
                                                             demo_rate_hz, "", o.format, o.bits))
                     : "wav";
        output = join_path(o.out_dir, "demo-limited." + extension);
        write_demo_programme(input);
    }
    const std::vector<parameter_request> defaults =
        o.demo ? demo_settings : std::vector<parameter_request>{};

    if (o.list_parameters || !o.preset_out.empty()) {
        effect_settings fx(o, defaults, 44100.0, 0);
        if (o.list_parameters) list_parameters(stdout, fx.plugin(), fx.mapper(), o.json);
        if (!o.preset_out.empty()) save_preset(fx.plugin(), o.preset_out);
    }
    if (input.empty()) return 0;

    const render_report report = render_file(o, defaults, input, output, true);
    // Audio on standard output leaves the report to standard error.
    std::FILE* out = report.output_to_stdout ? stderr : stdout;
    if (o.json)
        print_json_report(out, report);
    else
        print_text_report(out, report);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const render_options options = parse_render_options(argc, argv);
        if (options.help) {
            print_help(options);
            return 0;
        }
        if (options.version) {
            std::printf("%s\n", render_version().c_str());
            return 0;
        }
        return run(options);
    } catch (const render_error& e) {
        std::fprintf(stderr, "zandor-render: %s\n", e.what());
        return static_cast<int>(e.code());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zandor-render: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zandor-render: %s\n", e.what());
    }
    return static_cast<int>(exit_status::failure);
}
