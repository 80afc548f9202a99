// zandor-render: limits audio files from the shell by hosting the limiter's VST 2.4 module.
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "audio_file.h"
#include "demo_programme.h"
#include "parameter_mapper.h"
#include "plugin_location.h"
#include "preset_io.h"
#include "render_error.h"
#include "render_job.h"
#include "render_options.h"
#include "render_report.h"
#include "vst_plugin.h"

namespace {

// --demo shows the limiter at work: its defaults (a threshold of 0 dB) would leave the
// programme almost untouched. Options and a preset given with --demo override these.
const parameter_request demo_settings[] = {
    {"--threshold", "Threshold", "-9dB"},
    {"--ceiling", "Ceiling", "-0.3dB"},
    {"--release", "Release", "100ms"},
};

std::string words_of(const parameter_request& p) {
    return p.option == "--set" ? "--set " + p.name + "=" + p.value : p.option + " " + p.value;
}

std::string join_path(const std::string& dir, const std::string& file) {
    if (dir.empty()) return file;
    return dir.back() == '/' ? dir + file : dir + "/" + file;
}

void list_parameters(vst_plugin& plugin, parameter_mapper& mapper) {
    std::printf("%s, %d parameters:\n", plugin.effect_name().c_str(), plugin.parameter_count());
    for (int i = 0; i < plugin.parameter_count(); ++i) {
        const std::string name = plugin.parameter_name(i);
        const std::string display = plugin.parameter_display(i);
        std::printf("  %-12s %-10s (%s)\n", name.c_str(), display.c_str(),
                    mapper.range_text(i).c_str());
    }
}

// The effect's gain where it does not limit: for the limiter, from threshold to ceiling.
// Another effect without those two parameters is measured against unity gain.
double reference_gain_db(parameter_mapper& mapper) {
    const int threshold = mapper.find("Threshold");
    const int ceiling = mapper.find("Ceiling");
    if (threshold < 0 || ceiling < 0) return 0.0;
    const std::optional<quantity> t = mapper.read(threshold);
    const std::optional<quantity> c = mapper.read(ceiling);
    if (!t || !c || scale_of(t->unit).family != "dB" || scale_of(c->unit).family != "dB")
        return 0.0;
    return c->value - t->value;
}

int run(const render_options& options) {
    std::string input = options.input;
    std::string output = options.output;
    if (options.demo) {
        input = join_path(options.out_dir, "demo-input.wav");
        output = join_path(options.out_dir, "demo-limited.wav");
        write_demo_programme(input);
    }
    const bool rendering = !input.empty();

    // Everything that can be refused without the plug-in is checked first, and the output
    // file is claimed before the render, so that no work is done for a result that cannot
    // be written.
    std::optional<audio_reader> reader;
    std::optional<audio_writer> writer;
    int output_format = 0;
    if (rendering) {
        reader.emplace(input);
        const audio_shape& shape = reader->shape();
        output_format = choose_output_format(shape.format, shape.channels, shape.rate_hz, output,
                                             options.format, options.bits);
        writer.emplace(output, output_format, shape.channels, shape.rate_hz);
    }

    const std::string plugin_path =
        options.plugin_path.empty() ? find_default_plugin() : options.plugin_path;
    const double rate_hz = rendering ? reader->shape().rate_hz : 44100.0;
    vst_plugin plugin(plugin_path, rate_hz, options.block_size);
    if (rendering) {
        const int channels = reader->shape().channels;
        if (plugin.outputs() < channels || (channels == 2 && plugin.inputs() < 2)) {
            throw render_error(exit_status::plugin,
                               plugin_path + " has " + std::to_string(plugin.inputs()) +
                                   " input(s) and " + std::to_string(plugin.outputs()) +
                                   " output(s); " + input + " needs " + std::to_string(channels));
        }
    }

    parameter_mapper mapper(plugin);
    if (options.demo) {
        for (const parameter_request& p : demo_settings) {
            if (mapper.find(p.name) >= 0) mapper.set(words_of(p), p.name, p.value);
        }
    }
    if (!options.preset_in.empty()) load_preset(plugin, options.preset_in);
    for (const parameter_request& p : options.parameters) mapper.set(words_of(p), p.name, p.value);

    if (options.list_parameters) list_parameters(plugin, mapper);
    if (!options.preset_out.empty()) save_preset(plugin, options.preset_out);
    if (!rendering) return 0;

    render_setup setup;
    setup.block_frames = options.block_size;
    setup.keep_latency = options.keep_latency;
    setup.reference_gain_db = reference_gain_db(mapper);

    render_report report;
    report.input_path = input;
    report.output_path = output;
    report.effect_name = plugin.effect_name().empty() ? plugin_path : plugin.effect_name();
    for (int i = 0; i < plugin.parameter_count(); ++i)
        report.settings.emplace_back(plugin.parameter_name(i), plugin.parameter_display(i));
    report.input_shape = reader->shape();
    report.output_format = describe_format(output_format);
    report.block_frames = options.block_size;
    report.keep_latency = options.keep_latency;

    plugin.start();
    report.figures = render_stream(plugin, *reader, *writer, setup);
    plugin.stop();
    writer->commit();

    if (options.json)
        print_json_report(stdout, report);
    else
        print_text_report(stdout, report);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const render_options options = parse_render_options(argc, argv);
        if (options.help) {
            std::fputs(render_usage().c_str(), stdout);
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
