// zandor-render: limits audio files from the shell by hosting the limiter's VST 2.4 module.
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "audio/audio_file.h"
#include "audio/demo_programme.h"
#include "audio/input_source.h"
#include "audio/output_target.h"
#include "cli/command_line.h"
#include "cli/progress_bar.h"
#include "cli/report.h"
#include "delivery/batch_render.h"
#include "delivery/file_render.h"
#include "delivery/render_options.h"
#include "host/effect_settings.h"
#include "host/plugin_location.h"
#include "host/preset_io.h"
#include "render_error.h"

namespace {

// --demo shows the tool's main job, a delivery: the built-in programme brought to a
// loudness under a true-peak ceiling, both reported as asked and as measured on the written
// file. Targets, Threshold or Ceiling, or a preset, given with --demo take the place of
// these; the programme is then limited as they say, from a threshold that lets the limiter
// be heard at work (its default of 0 dB would leave the programme almost untouched).
constexpr double demo_loudness_lufs = -14.0;
constexpr double demo_true_peak_dbtp = -1.0;
const std::vector<parameter_request> demo_settings = {
    {"--threshold", "Threshold", "-9dB"},
    {"--ceiling", "Ceiling", "-0.3dB"},
    {"--release", "Release", "100ms"},
};

render_options with_demo_targets(render_options o) {
    bool own = o.loudness_lufs || o.true_peak_dbtp || !o.preset_in.empty();
    for (const parameter_request& p : o.parameters) {
        std::string name = p.name;
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        own = own || name == "threshold" || name == "ceiling";
    }
    if (!own) {
        o.loudness_lufs = demo_loudness_lufs;
        o.true_peak_dbtp = demo_true_peak_dbtp;
    }
    return o;
}

void print_help(const render_options& options) {
    std::fputs(render_usage().c_str(), stdout);
    // Names, ranges and units are the plug-in's; they are asked of the module.
    try {
        render_options plain;
        plain.plugin_path = options.plugin_path;
        effect_settings fx(chosen_effect(plain), 44100.0, 0);
        std::fputs("\nThe plug-in's parameters (as --list-params shows them):\n", stdout);
        print_parameters(stdout, fx.plugin(), fx.mapper(), false);
    } catch (const render_error& e) {
        std::printf("\nThe plug-in's parameters cannot be listed: %s\n", e.what());
    }
}

// Each file measured in turn. A file that cannot be read is reported in its place (in the
// JSON array, as a batch reports it) and the others are still measured; the exit status is
// the worst. One file keeps its report a single object.
int analyze(const render_options& o) {
    const bool several = o.inputs.size() > 1;
    if (o.json && several) std::fputs("[\n", stdout);
    int worst = 0;
    for (size_t i = 0; i < o.inputs.size(); ++i) {
        if (o.json && i > 0) std::fputs(",\n", stdout);
        try {
            const input_source input(o.inputs[i]);
            const level_figures levels = measure_file(input.path(), input.name());
            print_analysis(stdout, input.name(), levels, o.json, several);
        } catch (const render_error& e) {
            if (!several) throw;
            worst = std::max(worst, static_cast<int>(e.code()));
            print_analysis_failure(stdout, {o.inputs[i], static_cast<int>(e.code()), {}, e.what()},
                                   o.json);
        }
    }
    if (o.json && several) std::fputs("\n]\n", stdout);
    return worst;
}

// A batch saves the settings it was given once, before its files; each file renders with
// them and saves nothing.
int batch(const render_options& o) {
    if (!o.preset_out.empty()) {
        effect_settings fx(chosen_effect(o), 44100.0, 0);
        save_preset(fx.plugin(), o.preset_out, o.no_clobber);
    }
    render_options each = o;
    each.preset_out.clear();
    batch_printer printer(stdout, o.json);
    const int worst = render_batch(each, [&printer](const batch_outcome& r) { printer.print(r); });
    printer.finish();
    return worst;
}

// --demo: the built-in programme written to the output folder, and the names of the input
// and output there.
std::pair<std::string, std::string> demo_files(const render_options& o) {
    if (!o.out_dir.empty()) ensure_folder(o.out_dir);
    const std::filesystem::path dir = o.out_dir;
    const std::string extension =
        o.format ? format_extension(choose_output_format(SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2,
                                                         demo_rate_hz, "", o.format, o.bits))
                 : "wav";
    const std::string input = (dir / "demo-input.wav").string();
    write_demo_programme(input);
    return {input, (dir / ("demo-limited." + extension)).string()};
}

int run(const render_options& given) {
    if (given.analyze) return analyze(given);
    if (given.batch()) return batch(given);
    const render_options o = given.demo ? with_demo_targets(given) : given;

    std::string input = o.inputs.empty() ? std::string() : o.inputs.front();
    std::string output = o.output;
    if (o.demo) std::tie(input, output) = demo_files(o);
    const std::vector<parameter_request> defaults =
        o.demo ? demo_settings : std::vector<parameter_request>{};

    // With a render, the preset is saved by it, with the settings the output was made with.
    const bool saves_alone = !o.preset_out.empty() && input.empty();
    if (o.list_parameters || saves_alone) {
        effect_settings fx(chosen_effect(o, defaults), 44100.0, 0);
        if (o.list_parameters) print_parameters(stdout, fx.plugin(), fx.mapper(), o.json);
        if (saves_alone) save_preset(fx.plugin(), o.preset_out, o.no_clobber);
    }
    if (input.empty()) return 0;

    progress_bar bar;
    const render_report report = render_file(o, defaults, input, output, &bar);
    bar.clear();
    // Audio on standard output leaves the report to standard error.
    print_report(report.output_to_stdout ? stderr : stdout, report, o.json);
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
