#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <string_view>

#include "audio/audio_file.h"
#include "host/quantity.h"
#include "render_error.h"

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw render_error(exit_status::usage, message);
}

// The three controls have options of their own; each names the plug-in parameter it sets and
// the family of units its value must be given in. Their ranges are the plug-in's, shown by
// --list-params and checked when the value is set.
struct control_option {
    const char* option;
    const char* parameter;
    const char* family;
    const char* example;
};
constexpr control_option control_options[] = {
    {"--threshold", "Threshold", "dB", "-6dB"},
    {"--ceiling", "Ceiling", "dB", "-0.3dB"},
    {"--release", "Release", "s", "200ms"},
};

// A delivery level: a finite number with one of the units the option allows, or none.
double parse_level(const std::string& option, const std::string& value,
                   std::initializer_list<const char*> units, const char* example) {
    const std::optional<quantity> q = parse_quantity(value);
    bool unit_fits = q && q->unit.empty();
    for (const char* u : units) unit_fits = unit_fits || (q && scale_of(q->unit).family == u);
    if (!q || !unit_fits || !std::isfinite(q->value))
        refuse(option + " takes a level such as " + example + " (got '" + value + "')");
    return q->value;
}

// The forms of the command line, in place of the generic "[OPTIONS] [files...]".
class usage_formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return "usage: zandor-render IN OUT [options]\n"
               "       zandor-render [options] --out-dir DIR IN...   (batch: each IN to DIR)\n"
               "       zandor-render --analyze IN... [--json]\n"
               "       zandor-render --demo [--out-dir DIR] [options]\n"
               "       zandor-render --save-preset FILE.fxp [options]\n"
               "       zandor-render --list-params [--json]\n";
    }
    // Each option takes one value per use; repeating it is how several are given.
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_type_name().empty() ? std::string() : " " + opt->get_type_name();
    }
};

// A check declared on an option: refuses a value with the tool's own words, as a usage error.
CLI::Validator refusing(std::function<std::optional<std::string>(const std::string&)> why_not) {
    return CLI::Validator(
        [why_not](std::string& value) {
            if (const std::optional<std::string> message = why_not(value)) refuse(*message);
            return std::string();
        },
        "");
}

// A whole number from `lowest` to `highest`.
CLI::Validator whole_number(const std::string& option, int lowest, int highest, const char* what) {
    return refusing([=](const std::string& value) -> std::optional<std::string> {
        int n = 0;
        const char* end = value.data() + value.size();
        const auto [stop, error] = std::from_chars(value.data(), end, n);
        if (value.empty() || error != std::errc() || stop != end || n < lowest || n > highest)
            return option + " takes " + what + " (got '" + value + "')";
        return std::nullopt;
    });
}

// Builds the declarations that both parse the command line and make --help.
struct command_line {
    CLI::App app{
        "Limits audio files through the Zandor Limiter VST 2.4 module, hosted through\n"
        "its real entry point as a DAW hosts it, and reports the levels before and after.",
        "zandor-render"};
    std::vector<std::string> files;
    std::vector<std::string> controls[3];
    std::vector<std::string> sets;
    CLI::Option* control_opts[3] = {};
    CLI::Option* set_opt = nullptr;

    explicit command_line(render_options& o) {
        // Help is answered as soon as it is read, before any other value is checked.
        app.set_help_flag();
        app.add_flag_callback(
               "-h,--help", [] { throw CLI::CallForHelp(); }, "print this text")
            ->trigger_on_parse();
        app.set_version_flag("--version", render_version(), "print the version");
        app.formatter(std::make_shared<usage_formatter>());
        // A switch given a value ("--json=yes") is a mistake, not a way to set it.
        app.option_defaults()->disable_flag_override();
        app.add_option("files", files,
                       "IN and OUT, or with --out-dir the inputs; - is standard\n"
                       "input as IN and standard output as OUT")
            ->type_name("");
        add_controls(o);
        add_output_options(o);
        add_delivery_options(o);
        add_other_options(o);
        app.footer(footer());
    }

    void add_controls(render_options& o) {
        const std::string group = "Controls (ranges: --list-params)";
        const char* control_help[3] = {"the plug-in's Threshold, e.g. -6dB",
                                       "the plug-in's Ceiling, e.g. -0.3dB",
                                       "the plug-in's Release, e.g. 200ms or 0.2s"};
        const char* control_type[3] = {"LEVEL", "LEVEL", "TIME"};
        for (int i = 0; i < 3; ++i) {
            const control_option& c = control_options[i];
            control_opts[i] = app.add_option(c.option, controls[i], control_help[i])
                                  ->type_name(control_type[i])
                                  ->allow_extra_args(false)
                                  ->check(refusing([&c](const std::string& v) {
                                      return control_value_refusal(c, v);
                                  }))
                                  ->group(group);
        }
        set_opt = app.add_option("--set", sets,
                                 "any parameter by the name the plug-in gives it, e.g. "
                                 "Release=50ms")
                      ->type_name("NAME=VALUE")
                      ->allow_extra_args(false)
                      ->check(refusing(setting_refusal))
                      ->group(group);
        app.add_option("--preset", o.preset_in,
                       "load settings from a VST program file (before the controls above)")
            ->type_name("FILE.fxp")
            ->check(refusing(named("--preset needs a file name")))
            ->group(group);
        app.add_option("--save-preset", o.preset_out,
                       "save the resulting settings as a VST "
                       "program file")
            ->type_name("FILE.fxp")
            ->check(refusing(named("--save-preset needs a file name")))
            ->group(group);
    }

    void add_output_options(render_options& o) {
        const std::string group = "Output";
        app.add_option("--format", o.format,
                       "container: " + output_format_names() +
                           "\n(default: OUT's extension, else IN's format)")
            ->type_name("NAME")
            ->group(group);
        app.add_option("--bits", o.bits,
                       "8, 16, 24, 32 (integer), float or double; integer\n"
                       "samples are rounded to nearest")
            ->type_name("N")
            ->group(group);
        app.add_option_function<std::string>(
               "--dither",
               [&o](const std::string& v) {
                   o.dither = v == "tpdf" ? dither_kind::tpdf : dither_kind::none;
               },
               "none (default) or tpdf: triangular dither before "
               "rounding to integers")
            ->type_name("KIND")
            ->check(refusing([](const std::string& v) -> std::optional<std::string> {
                if (v == "none" || v == "tpdf") return std::nullopt;
                return "--dither takes none or tpdf (got '" + v + "')";
            }))
            ->group(group);
        app.add_option("--quality", o.quality,
                       "0 (smallest) to 1 (best): the lossy encoder's\n"
                       "quality, or FLAC's compression. Default: ogg 0.4,\n"
                       "mp3 0.6, flac 0.4; opus: the encoder's own bitrate")
            ->type_name("Q")
            ->check(refusing(fraction_refusal))
            ->group(group);
        app.add_flag("--no-clobber", o.no_clobber,
                     "refuse an OUT that exists; without it, an existing OUT is replaced\n"
                     "(atomically, keeping its permissions and any symlink to it)")
            ->group(group);
        app.add_flag("--keep-latency", o.keep_latency,
                     "keep the plug-in's delay at the start of OUT (OUT is then longer\n"
                     "by it); by default OUT is aligned with IN and as long as IN")
            ->group(group);
        app.add_flag("--json", o.json, "print the report as JSON (an array in batch mode)")
            ->group(group);
    }

    void add_delivery_options(render_options& o) {
        const std::string group = "Delivery";
        app.add_option_function<std::string>(
               "--true-peak",
               [&o](const std::string& v) {
                   o.true_peak_dbtp = parse_level("--true-peak", v, {"dB"}, "-1dBTP");
               },
               "the written file, decoded, peaks at or below this,\n"
               "e.g. -1dBTP (default -1dBTP with --loudness)")
            ->type_name("LEVEL")
            ->group(group);
        app.add_option_function<std::string>(
               "--loudness",
               [&o](const std::string& v) {
                   o.loudness_lufs = parse_level("--loudness", v, {"LUFS"}, "-14LUFS");
               },
               "integrated loudness of the written file, e.g. -14LUFS;\n"
               "sets Threshold and Ceiling itself")
            ->type_name("LEVEL")
            ->group(group);
        app.add_option_function<std::string>(
               "--gain",
               [&o](const std::string& v) {
                   o.gain_db = parse_level("--gain", v, {"dB"}, "-6dB");
                   if (std::fabs(o.gain_db) > 60.0)
                       refuse("--gain goes from -60 dB to 60 dB (got '" + v + "')");
               },
               "input gain before the plug-in, -60dB to 60dB")
            ->type_name("LEVEL")
            ->group(group);
        app.add_option("--rate", o.rate_hz,
                       "convert to this sample rate before the plug-in, e.g. 44100")
            ->type_name("HZ")
            ->check(whole_number("--rate", 1000, 768000, "a rate in Hz from 1000 to 768000"))
            ->group(group);
        app.add_flag("--analyze", o.analyze,
                     "measure each IN without rendering (JSON: an array for several)")
            ->group(group);
    }

    void add_other_options(render_options& o) {
        const std::string group = "Other";
        CLI::Option* demo =
            app.add_flag("--demo", o.demo,
                         "render a built-in programme to demo-input.wav and demo-limited.EXT:\n"
                         "a delivery at -14 LUFS under -1 dBTP, unless targets or\n"
                         "controls are given")
                ->group(group);
        demo->excludes("--analyze");
        app.add_option("--out-dir", o.out_dir,
                       "where --demo and batch renders write (created when missing)")
            ->type_name("DIR")
            ->check(refusing(named("--out-dir needs a directory")))
            ->group(group);
        app.add_option("--jobs", o.jobs,
                       "files rendered at once in batch mode (default and most:\n"
                       "one per core, fewer where the open-file limit is low)")
            ->type_name("N")
            ->check(whole_number("--jobs", 1, 1024, "a whole number from 1 to 1024"))
            ->group(group);
        app.add_option("--plugin", o.plugin_path,
                       "host another VST 2 module instead of ZandorLimiter.so")
            ->type_name("PATH")
            ->check(refusing(named("--plugin needs a path")))
            ->group(group);
        app.add_flag("--list-params", o.list_parameters,
                     "print the plug-in's parameters and their ranges")
            ->group(group);
        app.add_option("--block-size", o.block_size,
                       "frames per processing call, 1 to 65536 (default 1024)")
            ->type_name("N")
            ->check(
                whole_number("--block-size", 1, 65536, "a whole number of frames from 1 to 65536"))
            ->group(group);
    }

    static std::string footer() {
        std::string text =
            "OUT keeps IN's format, channels and rate unless told otherwise. A regular OUT is\n"
            "written to a temporary file beside it and renamed into place when complete; any\n"
            "format can go to a pipe or device (OUT may be -, /dev/stdout or a FIFO), since it\n"
            "is finished in a temporary file first. When the audio goes to standard output,\n"
            "the report goes to standard error.\n\nExit status:";
        for (const exit_status_meaning& m : exit_status_meanings)
            text += "\n  " + std::to_string(static_cast<int>(m.status)) + "  " + m.meaning;
        return text;
    }

    // Reads argv into the declarations; CLI11's own refusals said in the tool's words.
    void parse(int argc, const char* const* argv, render_options& o) {
        try {
            app.parse(argc, argv);
        } catch (const CLI::CallForHelp&) {
            o.help = true;
        } catch (const CLI::CallForVersion&) {
            o.version = true;
        } catch (const CLI::ExtrasError&) {
            refuse_extras();
        } catch (const CLI::ExcludesError& e) {
            std::string words = e.what();
            words.replace(words.find(" excludes "), 10, " and ");
            refuse(words + " cannot be given together");
        } catch (const CLI::ArgumentMismatch& e) {
            const std::string words = e.what();
            const size_t override = words.find(" was given a disallowed flag override");
            if (override != std::string::npos) {
                const std::string name = words.substr(0, override);
                refuse((name.rfind('-', 0) == 0 ? name : "--" + name) + " takes no value");
            }
            refuse(words + " (a value is needed)");
        } catch (const CLI::ParseError& e) {
            refuse(std::string(e.what()) + " (see --help)");
        }
    }

    // Arguments left over: an option the tool does not have, or a value too many.
    [[noreturn]] void refuse_extras() {
        for (const std::string& arg : app.remaining()) {
            if (arg.size() > 1 && arg[0] == '-' &&
                app.get_option_no_throw(arg.substr(0, arg.find('='))) == nullptr)
                refuse("unknown option " + arg + " (see --help)");
        }
        refuse("unexpected arguments (see --help)");
    }

    static std::optional<std::string> control_value_refusal(const control_option& c,
                                                            const std::string& value) {
        const std::optional<quantity> q = parse_quantity(value);
        const bool unit_fits = q && std::isfinite(q->value) &&
                               (q->unit.empty() || scale_of(q->unit).family == c.family);
        if (unit_fits) return std::nullopt;
        const char* kind =
            std::string_view(c.family) == "dB" ? "a level in dB" : "a time in ms or s";
        return std::string(c.option) + " takes " + kind + ", such as " + c.example + " (got '" +
               value + "')";
    }

    static std::optional<std::string> setting_refusal(const std::string& setting) {
        const size_t eq = setting.find('=');
        if (eq != std::string::npos && eq != 0 && eq + 1 != setting.size()) return std::nullopt;
        return "--set takes NAME=VALUE, such as --set Release=50ms (got '" + setting + "')";
    }

    static std::optional<std::string> fraction_refusal(const std::string& value) {
        double q = 0.0;
        if (CLI::detail::lexical_cast(value, q) && !(q >= 0.0 && q <= 1.0))
            return std::string("--quality takes a number from 0 to 1");
        return std::nullopt;
    }

    // A check that refuses an empty value with `message`.
    static std::function<std::optional<std::string>(const std::string&)> named(
        std::string message) {
        return [message](const std::string& value) -> std::optional<std::string> {
            if (value.empty()) return message;
            return std::nullopt;
        };
    }

    // Controls and --set, in the order the user gave them.
    std::vector<parameter_request> parameters_in_order() {
        std::vector<parameter_request> parameters;
        std::map<const CLI::Option*, size_t> taken;
        for (const CLI::Option* opt : app.parse_order()) {
            const size_t k = taken[opt]++;
            if (opt == set_opt) {
                const std::string& setting = sets.at(k);
                const size_t eq = setting.find('=');
                parameters.push_back({"--set", setting.substr(0, eq), setting.substr(eq + 1)});
            }
            for (int i = 0; i < 3; ++i) {
                if (opt != control_opts[i]) continue;
                parameters.push_back(
                    {control_options[i].option, control_options[i].parameter, controls[i].at(k)});
            }
        }
        return parameters;
    }
};

// The loudness search owns Threshold and Ceiling: they may not be set by hand beside it.
void check_loudness_owns_its_controls(render_options& o) {
    if (!o.loudness_lufs) return;
    for (const parameter_request& p : o.parameters) {
        std::string name = p.name;
        for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (name == "threshold" || name == "ceiling")
            refuse(p.option + (p.option == "--set" ? " " + p.name : std::string()) +
                   " cannot be given with --loudness, which sets Threshold and Ceiling itself");
    }
    if (!o.true_peak_dbtp) o.true_peak_dbtp = -1.0;
}

// --analyze measures and renders nothing: an option that only a render uses would be ignored,
// so it is refused rather than passed over without a word.
void check_analyze_alone(const CLI::App& app, const render_options& o) {
    if (!o.analyze) return;
    for (const CLI::Option* opt : app.get_options()) {
        const std::string name = opt->get_name();
        if (opt->count() == 0 || name == "--analyze" || name == "--json" || name == "files")
            continue;
        refuse(name + " does not apply to --analyze, which measures the files and renders nothing");
    }
}

// Which files the mode takes: none for --demo, one or more for --analyze, any number for a
// batch, IN and OUT otherwise.
void take_files(const std::vector<std::string>& files, render_options& o) {
    if (o.demo) {
        if (!files.empty())
            refuse("--demo makes its own input; give no file names (use --out-dir for where)");
        return;
    }
    if (o.analyze) {
        if (files.empty()) refuse("--analyze takes one or more input files");
        o.inputs = files;
        return;
    }
    if (!o.out_dir.empty()) {
        if (files.empty()) refuse("--out-dir renders the input files given after it; none given");
        if (o.loudness_lufs && !o.preset_out.empty())
            refuse(
                "--save-preset cannot be given with --loudness in a batch, where each file "
                "gets settings of its own");
        o.inputs = files;
        return;
    }
    if (files.size() > 2) refuse("too many file names: '" + files[2] + "'");
    if (files.size() == 1) refuse("missing output file name (usage: zandor-render IN OUT)");
    if (files.empty() && o.loudness_lufs && !o.preset_out.empty())
        refuse("--save-preset with --loudness saves the settings a render finds; give IN and OUT");
    if (files.empty() && o.preset_out.empty() && !o.list_parameters)
        refuse("missing input and output file names (see --help)");
    if (files.size() == 2) {
        o.inputs = {files[0]};
        o.output = files[1];
    }
}

}  // namespace

render_options parse_render_options(int argc, const char* const* argv) {
    render_options o;
    command_line cl(o);
    cl.parse(argc, argv, o);
    if (o.help || o.version) return o;
    o.parameters = cl.parameters_in_order();
    check_analyze_alone(cl.app, o);
    check_loudness_owns_its_controls(o);
    take_files(cl.files, o);
    return o;
}

std::string render_usage() {
    render_options o;
    command_line cl(o);
    return cl.app.help();
}

std::string render_version() {
    return "zandor-render " ZANDOR_RENDER_VERSION;
}
