#include "delivery/file_render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>

#include "audio/audio_file.h"
#include "audio/input_source.h"
#include "audio/output_target.h"
#include "delivery/loudness_search.h"
#include "delivery/render_job.h"
#include "host/effect_settings.h"
#include "host/module_rates.h"
#include "render_error.h"

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
// What a re-render takes off beyond the measured excess, so that rounding after the gain
// change cannot leave the file a hair over again.
constexpr double retry_margin_db = 0.01;
constexpr int most_renders = 5;
// A written file within this of the loudness target is taken; the promise is 0.1 LU.
constexpr double loudness_aim_lu = 0.05;
constexpr double loudness_tolerance_lu = 0.1;

double from_db(double db) {
    return std::pow(10.0, db / 20.0);
}

// The effect's gain where it does not limit: for the limiter, from threshold to ceiling.
// Another effect without those two parameters is measured against unity gain.
double reference_gain_db(effect_settings& fx) {
    const std::optional<double> t = fx.read_db("Threshold");
    const std::optional<double> c = fx.read_db("Ceiling");
    return t && c ? *c - *t : 0.0;
}

}  // namespace

level_figures measure_file(const std::string& path, const std::string& shown_name) {
    audio_reader reader(path, shown_name);
    const audio_shape& shape = reader.shape();
    level_meter meter(shape.channels, shape.rate_hz);
    std::vector<float> block(static_cast<size_t>(4096 * shape.channels));
    for (;;) {
        const int64_t n = reader.read(block.data(), 4096);
        if (n <= 0) break;
        meter.add(block.data(), n);
    }
    return meter.figures();
}

render_report render_file(const render_options& o, const std::vector<parameter_request>& defaults,
                          const std::string& input, const std::string& output,
                          render_progress* progress) {
    const auto started = std::chrono::steady_clock::now();
    const input_source source(input);
    audio_shape shape;
    {
        const audio_reader probe(source.path(), source.name());
        shape = probe.shape();
    }
    const int format =
        choose_output_format(shape.format, shape.channels, shape.rate_hz,
                             output == "-" ? std::string() : output, o.format, o.bits);

    if (o.quality && !is_lossy_format(format) && format_extension(format) != "flac") {
        throw render_error(
            exit_status::usage,
            "--quality applies to ogg, opus, mp3 and flac, not to " + describe_format(format));
    }

    // The settings are complete (a preset that was not taken in full is refused here) before
    // the output is claimed, so that a refused render writes nothing anywhere.
    effect_settings fx(chosen_effect(o, defaults), shape.rate_hz, shape.channels);
    if (const std::optional<rate_answer> rate = ask_module_rate(fx.plugin_path(), shape.rate_hz);
        rate && !rate->accepted) {
        std::string message = source.name() + " has a sample rate of " +
                              std::to_string(shape.rate_hz) + " Hz; " + fx.plugin().effect_name() +
                              " does not accept it";
        if (rate->range) {
            char range[96];
            // Modules count rates within a hertz as the same; three digits show the range.
            std::snprintf(range, sizeof range, " (it accepts %.3g kHz to %.3g kHz)",
                          rate->range->lowest_hz / 1000, rate->range->highest_hz / 1000);
            message += range;
        }
        throw render_error(exit_status::input, message);
    }
    output_target target(output, o.no_clobber);

    const bool has_ceiling = fx.read_db("Ceiling").has_value();
    if ((o.true_peak_dbtp || o.loudness_lufs) && !has_ceiling) {
        throw render_error(exit_status::usage, fx.plugin_path() +
                                                   " has no Ceiling in dB for --true-peak or "
                                                   "--loudness to set");
    }
    std::optional<control_ranges> ranges;
    if (o.loudness_lufs) {
        const int t = fx.mapper().find("Threshold");
        const auto tr = t >= 0 ? fx.mapper().range(t) : std::nullopt;
        const auto cr = fx.mapper().range(fx.mapper().find("Ceiling"));
        if (!tr || !cr) {
            throw render_error(exit_status::usage,
                               fx.plugin_path() + " has no Threshold in dB for --loudness to set");
        }
        ranges = control_ranges{tr->lowest, tr->highest, cr->lowest, cr->highest};
    }

    render_report report;
    report.input_path = source.name();
    report.output_path = target.name();
    report.output_to_stdout = target.is_stdout();
    report.effect_name =
        fx.plugin().effect_name().empty() ? fx.plugin_path() : fx.plugin().effect_name();
    report.input_shape = shape;
    report.output_format = describe_format(format);
    report.block_frames = o.block_size;
    report.keep_latency = o.keep_latency;
    report.targets = {o.true_peak_dbtp, o.loudness_lufs};
    report.passes = 0;

    render_setup setup;
    setup.block_frames = o.block_size;
    setup.keep_latency = o.keep_latency;
    setup.progress = progress;

    std::optional<level_figures> input_levels;
    bool warned = false;
    // One render of the whole input through a fresh instance with the current settings.
    auto render_into = [&](vst_plugin& plugin, frame_sink& sink) {
        audio_reader reader(source.path(), source.name());
        render_setup s = setup;
        s.measure_input = !input_levels;
        plugin.start();
        render_figures figures = render_stream(plugin, reader, sink, s);
        plugin.stop();
        ++report.passes;
        if (!input_levels) input_levels = figures.input;
        if (reader.truncated()) {
            report.input_truncated = true;
            if (!warned) {
                std::fprintf(stderr,
                             "zandor-render: warning: %s is truncated: %lld frames read of %lld "
                             "stated\n",
                             source.name().c_str(), static_cast<long long>(reader.frames_read()),
                             static_cast<long long>(reader.stated_frames()));
                warned = true;
            }
        }
        figures.input = *input_levels;
        return figures;
    };

    const double ceiling_asked = has_ceiling ? *fx.read_db("Ceiling") : 0.0;
    // Corrections after a written file missed a target (rounding, dither, a lossy codec's
    // overshoot or its filtering): taken off the true-peak target, added to the loudness.
    double peak_margin_db = 0.0;
    double loudness_shift_lu = 0.0;
    // Measuring passes depend on Threshold only, so a second search reuses them.
    std::map<double, pass_levels> measured;
    auto measure = [&](double threshold_db) {
        auto found = measured.find(threshold_db);
        if (found != measured.end()) return found->second;
        std::unique_ptr<vst_plugin> p = fx.fresh();
        set_parameter_db(*p, "--loudness", "Threshold", threshold_db);
        set_parameter_db(*p, "--loudness", "Ceiling", ranges->ceiling_highest_db);
        level_meter meter(shape.channels, shape.rate_hz, true, 2);
        metering_sink sink(meter);
        setup.input_meter = &meter;
        render_into(*p, sink);
        setup.input_meter = nullptr;
        const level_figures l = meter.figures();
        return measured[threshold_db] = pass_levels{l.loudness_lufs, l.true_peak_dbtp};
    };
    for (int attempt = 1;; ++attempt) {
        if (o.loudness_lufs) {
            const loudness_plan plan =
                plan_loudness(*o.loudness_lufs + loudness_shift_lu,
                              *o.true_peak_dbtp - peak_margin_db, *ranges, measure);
            fx.set_db("--loudness", "Threshold", plan.threshold_db);
            fx.set_db("--loudness", "Ceiling", plan.ceiling_db);
        } else if (peak_margin_db > 0.0) {
            const auto cr = fx.mapper().range(fx.mapper().find("Ceiling"));
            const double c = ceiling_asked - peak_margin_db;
            if (cr && c < cr->lowest) {
                throw render_error(exit_status::usage,
                                   "--true-peak cannot be held: Ceiling would have to go below " +
                                       std::to_string(cr->lowest) + " dB");
            }
            fx.set_db("--true-peak", "Ceiling", c);
        }

        output_encoding encoding;
        encoding.format = format;
        encoding.quality = o.quality;
        encoding.dither = o.dither;
        if (has_ceiling) encoding.bound = from_db(*fx.read_db("Ceiling"));
        // Rounding may not carry a sample past the ceiling. The true-peak target is not a
        // bound here: clamping samples to it would clip, and clipping raises the true peak;
        // the written file is measured against it instead.

        // The output on stream 0, the input (on the first pass) on stream 1.
        level_meter written(shape.channels, shape.rate_hz, true, 2);
        {
            std::unique_ptr<vst_plugin> plugin = fx.fresh();
            audio_writer writer(target.fd(), target.name(), encoding, shape.channels, shape.rate_hz,
                                &written);
            setup.reference_gain_db = reference_gain_db(fx);
            setup.input_meter = &written;
            report.figures = render_into(*plugin, writer);
            setup.input_meter = nullptr;
            writer.close();
        }
        report.figures.output = is_lossy_format(format)
                                    ? measure_file(target.temp_path(), target.name())
                                    : written.figures();

        const level_figures& written_levels = report.figures.output;
        const double over =
            o.true_peak_dbtp ? written_levels.true_peak_dbtp - *o.true_peak_dbtp : -infinity;
        const double miss = o.loudness_lufs ? *o.loudness_lufs - written_levels.loudness_lufs : 0.0;
        const bool loudness_missed = std::fabs(miss) > loudness_aim_lu;
        if (!(over > 0.0) && !loudness_missed) break;
        if (attempt == most_renders) {
            if (over > 0.0) {
                throw render_error(exit_status::failure, "the written file still peaks " +
                                                             std::to_string(over) +
                                                             " dB over --true-peak after " +
                                                             std::to_string(attempt) + " renders");
            }
            if (std::fabs(miss) > loudness_tolerance_lu) {
                throw render_error(exit_status::failure,
                                   "the written file still misses --loudness by " +
                                       std::to_string(miss) + " LU after " +
                                       std::to_string(attempt) + " renders");
            }
            break;
        }
        if (over > 0.0) peak_margin_db += over + retry_margin_db;
        if (loudness_missed) loudness_shift_lu += miss;
        target.restart();
    }

    for (int i = 0; i < fx.plugin().parameter_count(); ++i)
        report.settings.emplace_back(fx.plugin().parameter_name(i),
                                     fx.plugin().parameter_display(i));
    target.commit();
    report.figures.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report;
}
