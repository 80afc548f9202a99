#include "delivery/file_render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <utility>

#include "audio/atomic_file.h"
#include "audio/audio_file.h"
#include "audio/input_source.h"
#include "audio/output_target.h"
#include "delivery/loudness_search.h"
#include "delivery/render_job.h"
#include "host/effect_settings.h"
#include "host/module_rates.h"
#include "host/preset_io.h"
#include "host/quantity.h"
#include "measure/measured_stages.h"
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

// A small difference in a message, as a person writes it: "0.03 dB", not "0.031250 dB".
std::string hundredths(double value, const char* unit) {
    return format_quantity(std::round(value * 100.0) / 100.0, unit);
}

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

// The input's shape and tags, from a first look at the file.
std::pair<audio_shape, std::vector<text_tag>> probe_input(const input_source& source) {
    const audio_reader probe(source.path(), source.name());
    if (probe.shape().channels > most_channels) {
        throw render_error(exit_status::input,
                           source.name() + " has " + std::to_string(probe.shape().channels) +
                               " channels; only mono and stereo files can be limited");
    }
    return {probe.shape(), probe.text_tags()};
}

// The part of a job's progress that the `k`th of a run of like passes (k from 1) takes within
// [from, to): each a share `ratio` of what the ones before it left, so that however many
// there turn out to be, the bar never runs past `to` nor back.
std::pair<double, double> pass_share(double from, double to, double ratio, int k) {
    const double before = 1.0 - std::pow(1.0 - ratio, k - 1);
    const double after = 1.0 - std::pow(1.0 - ratio, k);
    return {from + (to - from) * before, from + (to - from) * after};
}

// The output's format as the options and OUT's name choose it; --quality checked against it.
int output_format_for(const render_options& o, const audio_shape& shape,
                      const std::string& output) {
    const int format =
        choose_output_format(shape.format, shape.channels, shape.rate_hz,
                             output == "-" ? std::string() : output, o.format, o.bits);
    if (o.quality && !is_lossy_format(format) && format_extension(format) != "flac") {
        throw render_error(
            exit_status::usage,
            "--quality applies to ogg, opus, mp3 and flac, not to " + describe_format(format));
    }
    if (o.dither != dither_kind::none && !is_integer_format(format)) {
        throw render_error(exit_status::usage,
                           "--dither applies to integer samples (--bits 8, 16, 24 or 32), not to " +
                               describe_format(format));
    }
    return format;
}

// Refuses an input whose rate the module does not accept, saying which rates it does.
void check_module_rate(effect_settings& fx, const input_source& source, const audio_shape& shape) {
    const std::optional<rate_answer> rate = ask_module_rate(fx.plugin_path(), shape.rate_hz);
    if (!rate || rate->accepted) return;
    std::string message = source.name() + " has a sample rate of " + std::to_string(shape.rate_hz) +
                          " Hz; " + fx.plugin().effect_name() + " does not accept it";
    if (rate->range) {
        char range[96];
        // Modules count rates within a hertz as the same; three digits show the range.
        std::snprintf(range, sizeof range, " (it accepts %.3g kHz to %.3g kHz)",
                      rate->range->lowest_hz / 1000, rate->range->highest_hz / 1000);
        message += range;
    }
    throw render_error(exit_status::input, message);
}

// The ranges of Threshold and Ceiling that the loudness search moves in; nothing without
// --loudness. Refuses targets that the effect has no controls for.
std::optional<control_ranges> delivery_ranges(const render_options& o, effect_settings& fx,
                                              bool has_ceiling) {
    if ((o.true_peak_dbtp || o.loudness_lufs) && !has_ceiling) {
        throw render_error(exit_status::usage, fx.plugin_path() +
                                                   " has no Ceiling in dB for --true-peak or "
                                                   "--loudness to set");
    }
    if (!o.loudness_lufs) return std::nullopt;
    const int t = fx.mapper().find("Threshold");
    const auto tr = t >= 0 ? fx.mapper().range(t) : std::nullopt;
    const auto cr = fx.mapper().range(fx.mapper().find("Ceiling"));
    if (!tr || !cr) {
        throw render_error(exit_status::usage,
                           fx.plugin_path() + " has no Threshold in dB for --loudness to set");
    }
    return control_ranges{tr->lowest, tr->highest, cr->lowest, cr->highest};
}

// One file's render: the settings found, the output written through a meter, judged against
// the targets and made again while it misses them.
class file_job {
public:
    file_job(const render_options& o, const std::vector<parameter_request>& defaults,
             const std::string& input, const std::string& output, render_progress* progress);
    render_report run();

private:
    void start_report();
    render_figures pass(vst_plugin& plugin, frame_sink& sink, level_meter& meter);
    void note_truncation(const audio_reader& reader);
    pass_levels measure_at(double threshold_db);
    void settle_controls();
    void announce(const std::string& name, std::pair<double, double> share);
    void write_output();
    bool written_meets_targets(int attempt);

    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    const render_options& o_;
    const input_source source_;
    const std::pair<audio_shape, std::vector<text_tag>> probed_;
    const audio_shape& shape_ = probed_.first;
    const int format_;
    // The settings are complete (a preset that was not taken in full is refused here) before
    // the output is claimed, so that a refused render writes nothing anywhere.
    effect_settings fx_;
    std::optional<output_target> target_;
    // --save-preset, claimed with the output so that a file --no-clobber keeps is refused
    // before anything is rendered; written with the settings the output was made with.
    std::optional<atomic_file> preset_;
    bool has_ceiling_ = false;
    double ceiling_asked_ = 0.0;
    std::optional<control_ranges> ranges_;
    render_report report_;
    render_setup setup_;
    std::optional<level_figures> input_levels_;  // measured on the first pass
    bool warned_ = false;
    // Corrections after a written file missed a target (rounding, dither, a lossy codec's
    // overshoot or its filtering): taken off the true-peak target, added to the loudness.
    double peak_margin_db_ = 0.0;
    double loudness_shift_lu_ = 0.0;
    // Measuring passes depend on Threshold only, so a second search reuses them.
    std::map<double, pass_levels> measured_;
};

file_job::file_job(const render_options& o, const std::vector<parameter_request>& defaults,
                   const std::string& input, const std::string& output, render_progress* progress)
    : o_(o),
      source_(input),
      probed_(probe_input(source_)),
      format_(output_format_for(o, shape_, output)),
      fx_(chosen_effect(o, defaults), shape_.rate_hz, shape_.channels) {
    check_module_rate(fx_, source_, shape_);
    target_.emplace(output, o.no_clobber);
    if (!o.preset_out.empty()) preset_.emplace(o.preset_out, o.no_clobber);
    has_ceiling_ = fx_.read_db("Ceiling").has_value();
    ceiling_asked_ = has_ceiling_ ? *fx_.read_db("Ceiling") : 0.0;
    ranges_ = delivery_ranges(o, fx_, has_ceiling_);
    start_report();
    setup_.block_frames = o.block_size;
    setup_.keep_latency = o.keep_latency;
    setup_.progress = progress;
}

void file_job::start_report() {
    report_.input_path = source_.name();
    report_.output_path = target_->name();
    report_.output_to_stdout = target_->is_stdout();
    report_.effect_name =
        fx_.plugin().effect_name().empty() ? fx_.plugin_path() : fx_.plugin().effect_name();
    report_.input_shape = shape_;
    report_.output_format = describe_format(format_);
    report_.block_frames = o_.block_size;
    report_.keep_latency = o_.keep_latency;
    report_.targets = {o_.true_peak_dbtp, o_.loudness_lufs};
    report_.passes = 0;
}

// One render of the whole input through a fresh instance with the current settings, into
// `sink`. The first pass also measures the input, on stream 1 of `meter`.
render_figures file_job::pass(vst_plugin& plugin, frame_sink& sink, level_meter& meter) {
    audio_reader reader(source_.path(), source_.name());
    measured_source measured(reader, meter, 1);
    frame_source& in = input_levels_ ? static_cast<frame_source&>(reader) : measured;
    plugin.start();
    render_figures figures = render_stream(plugin, reader.shape(), in, sink, setup_);
    plugin.stop();
    ++report_.passes;
    if (!input_levels_) input_levels_ = meter.figures(1);
    note_truncation(reader);
    figures.input = *input_levels_;
    return figures;
}

void file_job::note_truncation(const audio_reader& reader) {
    if (!reader.truncated()) return;
    report_.input_truncated = true;
    if (warned_) return;
    std::fprintf(stderr,
                 "zandor-render: warning: %s is truncated: %lld frames read of %lld stated\n",
                 source_.name().c_str(), static_cast<long long>(reader.frames_read()),
                 static_cast<long long>(reader.stated_frames()));
    warned_ = true;
}

// The output's levels at a Threshold with Ceiling at its highest, measured without a file.
pass_levels file_job::measure_at(double threshold_db) {
    auto found = measured_.find(threshold_db);
    if (found != measured_.end()) return found->second;
    // A --loudness job spends about a third of its time measuring and searching.
    const int k = static_cast<int>(measured_.size());
    announce(k == 0 ? "measuring" : "searching " + std::to_string(k),
             k == 0 ? std::pair<double, double>{0.0, 0.1} : pass_share(0.1, 0.35, 0.4, k));
    std::unique_ptr<vst_plugin> p = fx_.fresh();
    set_parameter_db(*p, "--loudness", "Threshold", threshold_db);
    set_parameter_db(*p, "--loudness", "Ceiling", ranges_->ceiling_highest_db);
    level_meter meter(shape_.channels, shape_.rate_hz, true, 2);
    measured_sink sink(meter, 0);
    pass(*p, sink, meter);
    const level_figures l = meter.figures();
    return measured_[threshold_db] = pass_levels{l.loudness_lufs, l.true_peak_dbtp};
}

// Threshold and Ceiling for the next render: found by the search for --loudness, or the
// Ceiling lowered by what the last written file peaked over --true-peak.
void file_job::settle_controls() {
    if (o_.loudness_lufs) {
        const loudness_plan plan = plan_loudness(
            *o_.loudness_lufs + loudness_shift_lu_, *o_.true_peak_dbtp - peak_margin_db_, *ranges_,
            [this](double threshold_db) { return measure_at(threshold_db); });
        fx_.set_db("--loudness", "Threshold", plan.threshold_db);
        fx_.set_db("--loudness", "Ceiling", plan.ceiling_db);
    } else if (peak_margin_db_ > 0.0) {
        const auto cr = fx_.mapper().range(fx_.mapper().find("Ceiling"));
        const double c = ceiling_asked_ - peak_margin_db_;
        if (cr && c < cr->lowest) {
            throw render_error(exit_status::usage,
                               "--true-peak cannot be held: Ceiling would have to go below " +
                                   format_quantity(cr->lowest, "dB"));
        }
        fx_.set_db("--true-peak", "Ceiling", c);
    }
}

// The output written: effect, then the file, then a meter on what a reader gets back (the
// output on the meter's stream 0, the input, on the first pass, on stream 1).
void file_job::write_output() {
    output_encoding encoding;
    encoding.format = format_;
    encoding.quality = o_.quality;
    encoding.dither = o_.dither;
    encoding.tags = probed_.second;
    // Rounding may not carry a sample past the ceiling. The true-peak target is not a bound
    // here: clamping samples to it would clip, and clipping raises the true peak; the written
    // file is measured against it instead.
    if (has_ceiling_) encoding.bound = from_db(*fx_.read_db("Ceiling"));
    level_meter written(shape_.channels, shape_.rate_hz, true, 2);
    {
        std::unique_ptr<vst_plugin> plugin = fx_.fresh();
        measured_sink measured(written, 0);
        audio_writer writer(target_->fd(), target_->name(), encoding, shape_.channels,
                            shape_.rate_hz, &measured);
        setup_.reference_gain_db = reference_gain_db(fx_);
        report_.figures = pass(*plugin, writer, written);
        writer.close();
    }
    report_.figures.output = is_lossy_format(format_)
                                 ? measure_file(target_->temp_path(), target_->name())
                                 : written.figures();
}

// True when the written file meets the targets, or misses the loudness by less than the
// promise on the last attempt; else keeps the corrections for the next attempt. Throws when
// the last attempt still misses.
bool file_job::written_meets_targets(int attempt) {
    const level_figures& written = report_.figures.output;
    const double over = o_.true_peak_dbtp ? written.true_peak_dbtp - *o_.true_peak_dbtp : -infinity;
    const double miss = o_.loudness_lufs ? *o_.loudness_lufs - written.loudness_lufs : 0.0;
    const bool loudness_missed = std::fabs(miss) > loudness_aim_lu;
    if (!(over > 0.0) && !loudness_missed) return true;
    if (attempt == most_renders) {
        if (over > 0.0) {
            throw render_error(exit_status::failure, "the written file still peaks " +
                                                         hundredths(over, "dB") +
                                                         " over --true-peak after " +
                                                         std::to_string(attempt) + " renders");
        }
        if (std::fabs(miss) > loudness_tolerance_lu) {
            throw render_error(exit_status::failure,
                               "the written file still misses --loudness by " +
                                   hundredths(miss, "LU") + " after " + std::to_string(attempt) +
                                   " renders");
        }
        return true;
    }
    if (over > 0.0) peak_margin_db_ += over + retry_margin_db;
    if (loudness_missed) loudness_shift_lu_ += miss;
    return false;
}

void file_job::announce(const std::string& name, std::pair<double, double> share) {
    if (setup_.progress != nullptr) setup_.progress->stage(name, share.first, share.second);
}

render_report file_job::run() {
    for (int attempt = 1;; ++attempt) {
        settle_controls();
        announce(attempt == 1 ? "writing" : "writing " + std::to_string(attempt),
                 pass_share(o_.loudness_lufs ? 0.35 : 0.0, 1.0, 0.95, attempt));
        write_output();
        if (written_meets_targets(attempt)) break;
        target_->restart();
    }
    for (int i = 0; i < fx_.plugin().parameter_count(); ++i)
        report_.settings.emplace_back(fx_.plugin().parameter_name(i),
                                      fx_.plugin().parameter_display(i));
    target_->commit();
    if (preset_) {
        const std::vector<uint8_t> bytes = preset_bytes(fx_.plugin());
        preset_->write_all(bytes.data(), bytes.size());
        preset_->commit();
    }
    report_.figures.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    return report_;
}

}  // namespace

level_figures measure_file(const std::string& path, const std::string& shown_name) {
    audio_reader reader(path, shown_name);
    const audio_shape& shape = reader.shape();
    level_meter meter(shape.channels, shape.rate_hz);
    measured_source measured(reader, meter, 0);
    std::vector<float> block(static_cast<size_t>(4096 * shape.channels));
    for (int64_t n = 1; n > 0;) measured.next(block.data(), 4096, n);
    return meter.figures();
}

render_report render_file(const render_options& o, const std::vector<parameter_request>& defaults,
                          const std::string& input, const std::string& output,
                          render_progress* progress) {
    return file_job(o, defaults, input, output, progress).run();
}
