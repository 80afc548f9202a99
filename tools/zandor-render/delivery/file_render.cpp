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
#include "audio/gain_stage.h"
#include "audio/input_source.h"
#include "audio/output_target.h"
#include "audio/rate_converter.h"
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
// The written file is held this far under --true-peak by the tool's meter. Meters that
// interpolate at four points per sample overshoot the ideal reconstruction on limited
// programme by up to about a tenth of a dB; the meter's own figure covers 0.07 dB of that.
constexpr double other_meters_margin_db = 0.05;
constexpr int most_renders = 5;
// A written file within this of the loudness target is taken; the promise is 0.1 LU.
constexpr double loudness_aim_lu = 0.05;
constexpr double loudness_tolerance_lu = 0.1;
// How far the loudness search may turn the input down, or drive it past the effect's range.
constexpr double input_gain_reach_db = 60.0;

// A level for messages as a person writes it: to two places at most, "-30", "0.25".
std::string level_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string db_text(double db) {
    return level_text(db) + " dB";
}

// What the last written file reached, for a refusal that leaves nothing written.
std::string reached(const level_figures& written) {
    return "it reached " + level_text(written.loudness_lufs) + " LUFS at " +
           level_text(written.true_peak_dbtp) + " dBTP";
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
        choose_output_format(shape.format, shape.channels, o.rate_hz.value_or(shape.rate_hz),
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

// The rate the file is delivered at: --rate, else the input's, moved to the nearest rate the
// output's codec carries; a --rate it cannot carry is refused.
int delivered_rate(const render_options& o, int format, int input_rate_hz) {
    const int asked = o.rate_hz.value_or(input_rate_hz);
    const int rate = container_rate(format, asked);
    if (o.rate_hz && rate != asked) {
        throw render_error(exit_status::usage, describe_format(format) + " cannot carry --rate " +
                                                   std::to_string(asked) +
                                                   " (the nearest rate it takes is " +
                                                   std::to_string(rate) + " Hz)");
    }
    return rate;
}

// Refuses an input whose rate (or the --rate it is converted to) the module does not accept,
// saying which rates it does.
void check_module_rate(effect_settings& fx, const input_source& source, int shape_rate_hz,
                       int rate_hz) {
    const std::optional<rate_answer> rate = ask_module_rate(fx.plugin_path(), rate_hz);
    if (!rate || rate->accepted) return;
    const std::string what = rate_hz == shape_rate_hz ? source.name() + " has a sample rate of "
                                                      : std::string("--rate asks for ");
    std::string message = what + std::to_string(rate_hz) + " Hz; " + fx.plugin().effect_name() +
                          " does not accept it";
    if (rate->range) {
        char range[96];
        // Modules count rates within a hertz as the same; three digits show the range.
        std::snprintf(range, sizeof range, " (it accepts %.3g kHz to %.3g kHz)",
                      rate->range->lowest_hz / 1000, rate->range->highest_hz / 1000);
        message += range;
    }
    throw render_error(rate_hz == shape_rate_hz ? exit_status::input : exit_status::usage, message);
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
    // An input gain of up to input_gain_reach_db either way carries the search past the
    // effect's own Threshold.
    return control_ranges{tr->lowest - input_gain_reach_db, tr->highest + input_gain_reach_db,
                          cr->lowest, cr->highest, tr->highest};
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
    render_figures pass(vst_plugin& plugin, frame_sink& sink, level_meter& meter, double gain_db);
    void note_input(const audio_reader& reader);
    void set_threshold(vst_plugin* plugin, double threshold_db);
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
    const int rate_hz_;  // the rate the effect runs at and the file is written at
    // The settings are complete (a preset that was not taken in full is refused here) before
    // the output is claimed, so that a refused render writes nothing anywhere.
    effect_settings fx_;
    std::optional<output_target> target_;
    // --save-preset, claimed with the output so that a file --no-clobber keeps is refused
    // before anything is rendered; written with the settings the output was made with.
    std::optional<atomic_file> preset_;
    bool has_ceiling_ = false;
    double ceiling_asked_ = 0.0;
    double gain_db_ = 0.0;  // before the effect: --gain, and what the loudness search adds
    std::optional<control_ranges> ranges_;
    render_report report_;
    render_setup setup_;
    std::optional<level_figures> input_levels_;  // measured on the first pass
    bool warned_ = false;
    bool counted_nonfinite_ = false;
    // Corrections after a written file missed a target (rounding, dither, a lossy codec's
    // overshoot or its filtering): taken off the true-peak target, added to the loudness.
    double peak_margin_db_ = other_meters_margin_db;
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
      rate_hz_(delivered_rate(o, format_, shape_.rate_hz)),
      fx_(chosen_effect(o, defaults), rate_hz_, shape_.channels),
      gain_db_(o.gain_db) {
    check_module_rate(fx_, source_, shape_.rate_hz, rate_hz_);
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
    report_.output_rate_hz = rate_hz_;
    if (is_lossy_format(shape_.format) && !is_lossy_format(format_) && !o_.bits) {
        report_.notes.push_back("the input's " + describe_format(shape_.format) +
                                " decodes to samples written as " + describe_format(format_));
    }
    if (rate_hz_ != shape_.rate_hz) {
        std::string note = "converted from " + std::to_string(shape_.rate_hz) + " Hz to " +
                           std::to_string(rate_hz_) + " Hz before the effect";
        if (!o_.rate_hz) note += ", the nearest rate " + describe_format(format_) + " takes";
        report_.notes.push_back(note);
    }
}

// One render of the whole input through a fresh instance with the current settings, into
// `sink`: read, converted to the delivered rate, turned by `gain_db`, through the effect. The
// first pass also measures the input as the file holds it: on stream 1 of `meter`, or on a
// meter of its own at the file's rate when the rate is converted.
render_figures file_job::pass(vst_plugin& plugin, frame_sink& sink, level_meter& meter,
                              double gain_db) {
    const bool converted = rate_hz_ != shape_.rate_hz;
    audio_reader reader(source_.path(), source_.name());
    std::optional<level_meter> own_meter;
    level_meter* input_meter = &meter;
    if (converted && !input_levels_)
        input_meter = &own_meter.emplace(shape_.channels, shape_.rate_hz);
    const int input_stream = converted ? 0 : 1;
    measured_source measured(reader, *input_meter, input_stream);
    frame_source* in = input_levels_ ? static_cast<frame_source*>(&reader) : &measured;
    std::optional<rate_converter> converter;
    if (converted) in = &converter.emplace(*in, shape_.channels, shape_.rate_hz, rate_hz_);
    gain_stage gained(*in, shape_.channels, gain_db);
    if (gain_db != 0.0) in = &gained;
    audio_shape shape = shape_;
    shape.rate_hz = rate_hz_;
    shape.frames = rate_converter::converted_frames(shape_.frames, shape_.rate_hz, rate_hz_);
    plugin.start();
    render_figures figures = render_stream(plugin, shape, *in, sink, setup_);
    plugin.stop();
    ++report_.passes;
    if (!input_levels_) input_levels_ = input_meter->figures(input_stream);
    note_input(reader);
    figures.input = *input_levels_;
    figures.input_frames = reader.frames_read();
    return figures;
}

// Warns once of NaN or infinite samples in the input, and once of a truncated input.
void file_job::note_input(const audio_reader& reader) {
    if (!counted_nonfinite_) {
        counted_nonfinite_ = true;
        report_.nonfinite_samples = reader.nonfinite_samples();
        if (reader.nonfinite_samples() > 0) {
            std::fprintf(stderr,
                         "zandor-render: warning: %s has %lld NaN or infinite samples; they are "
                         "measured as silence\n",
                         source_.name().c_str(),
                         static_cast<long long>(reader.nonfinite_samples()));
        }
    }
    if (!reader.truncated()) return;
    // A cut-off file of which nothing decodes (a truncated Ogg stream, whose length libsndfile
    // cannot tell) would be an empty output passed off as a render.
    if (reader.frames_read() == 0) {
        throw render_error(exit_status::input, "cannot read " + source_.name() +
                                                   ": it is truncated and nothing of it "
                                                   "decodes");
    }
    report_.input_truncated = true;
    if (warned_) return;
    if (reader.stated_frames() == std::numeric_limits<int64_t>::max()) {
        std::fprintf(stderr,
                     "zandor-render: warning: %s is truncated: %lld frames read, its length "
                     "unknown\n",
                     source_.name().c_str(), static_cast<long long>(reader.frames_read()));
    } else {
        std::fprintf(stderr,
                     "zandor-render: warning: %s is truncated: %lld frames read of %lld stated\n",
                     source_.name().c_str(), static_cast<long long>(reader.frames_read()),
                     static_cast<long long>(reader.stated_frames()));
    }
    warned_ = true;
}

// Sets Threshold for a search's Threshold, which may lie past the effect's range: the input
// gain before the effect makes up the rest. On `plugin`, or on the settings when null.
void file_job::set_threshold(vst_plugin* plugin, double threshold_db) {
    const auto tr = fx_.mapper().range(fx_.mapper().find("Threshold"));
    const double t = std::clamp(threshold_db, tr->lowest, tr->highest);
    gain_db_ = o_.gain_db + t - threshold_db;
    if (plugin != nullptr)
        set_parameter_db(*plugin, "--loudness", "Threshold", t);
    else
        fx_.set_db("--loudness", "Threshold", t);
    setup_.reference_gain_db = ranges_->ceiling_highest_db - t;
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
    set_threshold(p.get(), threshold_db);
    set_parameter_db(*p, "--loudness", "Ceiling", ranges_->ceiling_highest_db);
    level_meter meter(shape_.channels, rate_hz_, true, 2);
    measured_sink sink(meter, 0);
    const render_figures figures = pass(*p, sink, meter, gain_db_);
    const level_figures l = meter.figures();
    // A hair of reduction is rounding, not limiting.
    const bool limited = figures.largest_reduction_db > 0.01;
    return measured_[threshold_db] = pass_levels{l.loudness_lufs, l.true_peak_dbtp, limited,
                                                 input_levels_->loudness_lufs + o_.gain_db};
}

// Threshold and Ceiling for the next render: found by the search for --loudness, or the
// Ceiling lowered by what the last written file peaked over --true-peak.
void file_job::settle_controls() {
    if (o_.loudness_lufs) {
        const loudness_plan plan = plan_loudness(
            *o_.loudness_lufs + loudness_shift_lu_, *o_.true_peak_dbtp - peak_margin_db_, *ranges_,
            [this](double threshold_db) { return measure_at(threshold_db); });
        set_threshold(nullptr, plan.threshold_db);
        fx_.set_db("--loudness", "Ceiling", plan.ceiling_db);
    } else if (o_.true_peak_dbtp && peak_margin_db_ > 0.0) {
        const auto cr = fx_.mapper().range(fx_.mapper().find("Ceiling"));
        const double c = ceiling_asked_ - peak_margin_db_;
        if (cr && c < cr->lowest) {
            throw render_error(exit_status::unmet,
                               "--true-peak cannot be met: Ceiling would have to go below " +
                                   db_text(cr->lowest) + "; " + reached(report_.figures.output));
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
    level_meter written(shape_.channels, rate_hz_, true, 2);
    {
        std::unique_ptr<vst_plugin> plugin = fx_.fresh();
        measured_sink measured(written, 0);
        audio_writer writer(target_->fd(), target_->name(), encoding, shape_.channels, rate_hz_,
                            &measured);
        setup_.reference_gain_db = reference_gain_db(fx_);
        report_.figures = pass(*plugin, writer, written, gain_db_);
        report_.input_gain_db = gain_db_;
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
    const double over = o_.true_peak_dbtp
                            ? written.true_peak_dbtp + other_meters_margin_db - *o_.true_peak_dbtp
                            : -infinity;
    const double miss = o_.loudness_lufs ? *o_.loudness_lufs - written.loudness_lufs : 0.0;
    const bool loudness_missed = std::fabs(miss) > loudness_aim_lu;
    if (!(over > 0.0) && !loudness_missed) return true;
    if (attempt == most_renders) {
        const std::string after = " after " + std::to_string(attempt) + " renders; ";
        if (over > 0.0) {
            throw render_error(exit_status::unmet,
                               "--true-peak cannot be met: the written file "
                               "still peaks " +
                                   db_text(over) + " over it" + after + reached(written));
        }
        if (std::fabs(miss) > loudness_tolerance_lu) {
            throw render_error(exit_status::unmet,
                               "--loudness cannot be met: the written file still misses it by " +
                                   level_text(std::fabs(miss)) + " LU" + after + reached(written));
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
