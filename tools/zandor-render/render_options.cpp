#include "render_options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <map>
#include <string_view>

#include "audio_file.h"
#include "quantity.h"
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

void check_control_value(const control_option& c, const std::string& value) {
    const std::optional<quantity> q = parse_quantity(value);
    const bool unit_fits =
        q && std::isfinite(q->value) && (q->unit.empty() || scale_of(q->unit).family == c.family);
    if (!unit_fits) {
        const char* kind =
            std::string_view(c.family) == "dB" ? "a level in dB" : "a time in ms or s";
        refuse(std::string(c.option) + " takes " + kind + ", such as " + c.example + " (got '" +
               value + "')");
    }
}

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
               "       zandor-render --analyze IN [--json]\n"
               "       zandor-render --demo [--out-dir DIR] [options]\n"
               "       zandor-render --save-preset FILE.fxp [options]\n"
               "       zandor-render --list-params [--json]\n";
    }
    // Each option takes one value per use; repeating it is how several are given.
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_type_name().empty() ? std::string() : " " + opt->get_type_name();
    }
};

// Builds the declarations that both parse the command line and make --help.
struct command_line {
    CLI::App app{
        "Limits audio files through the Zandor Limiter VST 2.4 module, hosted through\n"
        "its real entry point as a DAW hosts it, and reports the levels before and after.",
        "zandor-render"};
    std::vector<std::string> files;
    std::vector<std::string> controls[3];
    std::vector<std::string> sets;
    std::string true_peak, loudness, dither, block_size_text, jobs_text;
    CLI::Option* control_opts[3] = {};
    CLI::Option* set_opt = nullptr;

    explicit command_line(render_options& o) {
        app.set_help_flag("-h,--help", "print this text");
        app.set_version_flag("--version", render_version(), "print the version");
        app.formatter(std::make_shared<usage_formatter>());
        app.add_option("files", files,
                       "IN and OUT, or with --out-dir the inputs; - is standard\n"
                       "input as IN and standard output as OUT")
            ->type_name("");

        const char* control_help[3] = {"the plug-in's Threshold, e.g. -6dB",
                                       "the plug-in's Ceiling, e.g. -0.3dB",
                                       "the plug-in's Release, e.g. 200ms or 0.2s"};
        const char* control_type[3] = {"LEVEL", "LEVEL", "TIME"};
        for (int i = 0; i < 3; ++i) {
            control_opts[i] =
                app.add_option(control_options[i].option, controls[i], control_help[i])
                    ->type_name(control_type[i])
                    ->allow_extra_args(false)
                    ->group("Controls (ranges: --list-params)");
        }
        set_opt = app.add_option("--set", sets,
                                 "any parameter by the name the plug-in gives it, e.g. "
                                 "Release=50ms")
                      ->type_name("NAME=VALUE")
                      ->allow_extra_args(false)
                      ->group("Controls (ranges: --list-params)");
        app.add_option("--preset", o.preset_in,
                       "load settings from a VST program file (before the controls above)")
            ->type_name("FILE.fxp")
            ->group("Controls (ranges: --list-params)");
        app.add_option("--save-preset", o.preset_out,
                       "save the resulting settings as a VST "
                       "program file")
            ->type_name("FILE.fxp")
            ->group("Controls (ranges: --list-params)");

        const std::string output = "Output";
        app.add_option("--format", o.format,
                       "container: " + output_format_names() +
                           "\n(default: OUT's extension, else IN's format)")
            ->type_name("NAME")
            ->group(output);
        app.add_option("--bits", o.bits,
                       "16, 24, 32 (integer), float or double; integer\n"
                       "samples are rounded to nearest")
            ->type_name("N")
            ->group(output);
        app.add_option("--dither", dither,
                       "none (default) or tpdf: triangular dither before "
                       "rounding to integers")
            ->type_name("KIND")
            ->group(output);
        app.add_option("--quality", o.quality,
                       "0 (smallest) to 1 (best): the lossy encoder's\n"
                       "quality, or FLAC's compression")
            ->type_name("Q")
            ->group(output);
        app.add_flag("--no-clobber", o.no_clobber,
                     "refuse an OUT that exists; without it, an existing OUT is replaced\n"
                     "(atomically, keeping its permissions and any symlink to it)")
            ->group(output);
        app.add_flag("--keep-latency", o.keep_latency,
                     "keep the plug-in's delay at the start of OUT (OUT is then longer\n"
                     "by it); by default OUT is aligned with IN and as long as IN")
            ->group(output);
        app.add_flag("--json", o.json, "print the report as JSON (an array in batch mode)")
            ->group(output);

        const std::string delivery = "Delivery";
        app.add_option("--true-peak", true_peak,
                       "the written file, decoded, peaks at or below this,\n"
                       "e.g. -1dBTP (default -1dBTP with --loudness)")
            ->type_name("LEVEL")
            ->group(delivery);
        app.add_option("--loudness", loudness,
                       "integrated loudness of the written file, e.g. -14LUFS;\n"
                       "sets Threshold and Ceiling itself")
            ->type_name("LEVEL")
            ->group(delivery);
        app.add_flag("--analyze", o.analyze, "measure IN without rendering")->group(delivery);

        const std::string other = "Other";
        app.add_flag("--demo", o.demo,
                     "render a built-in programme to demo-input.wav and demo-limited.EXT")
            ->group(other);
        app.add_option("--out-dir", o.out_dir,
                       "where --demo and batch renders write (created when missing)")
            ->type_name("DIR")
            ->group(other);
        app.add_option("--jobs", jobs_text,
                       "files rendered at once in batch mode (default: "
                       "one per core)")
            ->type_name("N")
            ->group(other);
        app.add_option("--plugin", o.plugin_path,
                       "host another VST 2 module instead of ZandorLimiter.so")
            ->type_name("PATH")
            ->group(other);
        app.add_flag("--list-params", o.list_parameters,
                     "print the plug-in's parameters and their ranges")
            ->group(other);
        app.add_option("--block-size", block_size_text,
                       "frames per processing call, 1 to 65536 (default 1024)")
            ->type_name("N")
            ->group(other);

        std::string footer =
            "OUT keeps IN's format, channels and rate unless told otherwise. A regular OUT is\n"
            "written to a temporary file beside it and renamed into place when complete; any\n"
            "format can go to a pipe or device (OUT may be -, /dev/stdout or a FIFO), since it\n"
            "is finished in a temporary file first. When the audio goes to standard output,\n"
            "the report goes to standard error.\n\nExit status:";
        for (const exit_status_meaning& m : exit_status_meanings)
            footer += "\n  " + std::to_string(static_cast<int>(m.status)) + "  " + m.meaning;
        app.footer(footer);
    }
};

int parse_whole(const std::string& option, const std::string& value, long lowest, long highest,
                const char* what) {
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || n < lowest || n > highest)
        refuse(option + " takes " + what + " (got '" + value + "')");
    return static_cast<int>(n);
}

}  // namespace

render_options parse_render_options(int argc, const char* const* argv) {
    render_options o;
    command_line cl(o);
    // A switch given a value ("--json=yes") is a mistake, not a way to set it.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) != 0 || eq == std::string::npos) continue;
        const CLI::Option* opt = cl.app.get_option_no_throw(arg.substr(0, eq));
        if (opt != nullptr && opt->get_items_expected_max() == 0)
            refuse(arg.substr(0, eq) + " takes no value");
    }
    try {
        cl.app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        o.help = true;
        return o;
    } catch (const CLI::CallForVersion&) {
        o.version = true;
        return o;
    } catch (const CLI::ExtrasError&) {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg.size() > 1 && arg[0] == '-' &&
                cl.app.get_option_no_throw(arg.substr(0, arg.find('='))) == nullptr)
                refuse("unknown option " + arg + " (see --help)");
        }
        refuse("unexpected arguments (see --help)");
    } catch (const CLI::ArgumentMismatch& e) {
        refuse(std::string(e.what()) + " (a value is needed)");
    } catch (const CLI::ParseError& e) {
        refuse(std::string(e.what()) + " (see --help)");
    }

    // Controls and --set apply in the order the user gave them.
    std::map<const CLI::Option*, size_t> taken;
    for (const CLI::Option* opt : cl.app.parse_order()) {
        const size_t k = taken[opt]++;
        if (opt == cl.set_opt) {
            const std::string& setting = cl.sets.at(k);
            const size_t eq = setting.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == setting.size())
                refuse("--set takes NAME=VALUE, such as --set Release=50ms (got '" + setting +
                       "')");
            o.parameters.push_back({"--set", setting.substr(0, eq), setting.substr(eq + 1)});
            continue;
        }
        for (int i = 0; i < 3; ++i) {
            if (opt != cl.control_opts[i]) continue;
            const std::string& v = cl.controls[i].at(k);
            check_control_value(control_options[i], v);
            o.parameters.push_back({control_options[i].option, control_options[i].parameter, v});
        }
    }

    if (!cl.block_size_text.empty())
        o.block_size = parse_whole("--block-size", cl.block_size_text, 1, 65536,
                                   "a whole number of frames from 1 to 65536");
    if (!cl.jobs_text.empty())
        o.jobs = parse_whole("--jobs", cl.jobs_text, 1, 1024, "a whole number from 1 to 1024");
    if (o.plugin_path.empty() && cl.app.count("--plugin")) refuse("--plugin needs a path");
    if (cl.app.count("--preset") && o.preset_in.empty()) refuse("--preset needs a file name");
    if (cl.app.count("--save-preset") && o.preset_out.empty())
        refuse("--save-preset needs a file name");
    if (cl.app.count("--out-dir") && o.out_dir.empty()) refuse("--out-dir needs a directory");
    if (!cl.dither.empty()) {
        if (cl.dither == "tpdf")
            o.dither = dither_kind::tpdf;
        else if (cl.dither != "none")
            refuse("--dither takes none or tpdf (got '" + cl.dither + "')");
    }
    if (o.quality && !(*o.quality >= 0.0 && *o.quality <= 1.0))
        refuse("--quality takes a number from 0 to 1");
    if (cl.app.count("--true-peak"))
        o.true_peak_dbtp = parse_level("--true-peak", cl.true_peak, {"dB"}, "-1dBTP");
    if (cl.app.count("--loudness")) {
        o.loudness_lufs = parse_level("--loudness", cl.loudness, {"LUFS"}, "-14LUFS");
        // The loudness search owns Threshold and Ceiling.
        for (const parameter_request& p : o.parameters) {
            std::string name = p.name;
            for (char& ch : name)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (name == "threshold" || name == "ceiling")
                refuse(p.option + (p.option == "--set" ? " " + p.name : std::string()) +
                       " cannot be given with --loudness, which sets Threshold and Ceiling itself");
        }
        if (!o.true_peak_dbtp) o.true_peak_dbtp = -1.0;
    }

    if (o.help) return o;
    const std::vector<std::string>& files = cl.files;
    if (o.demo) {
        if (!files.empty())
            refuse("--demo makes its own input; give no file names (use --out-dir for where)");
        if (o.analyze) refuse("--analyze and --demo cannot be given together");
        return o;
    }
    if (o.analyze) {
        if (files.size() != 1) refuse("--analyze takes one input file");
        o.inputs = files;
        return o;
    }
    if (!o.out_dir.empty()) {
        if (files.empty()) refuse("--out-dir renders the input files given after it; none given");
        o.inputs = files;
        return o;
    }
    if (files.size() > 2) refuse("too many file names: '" + files[2] + "'");
    if (files.size() == 1) refuse("missing output file name (usage: zandor-render IN OUT)");
    if (files.empty() && o.preset_out.empty() && !o.list_parameters)
        refuse("missing input and output file names (see --help)");
    if (files.size() == 2) {
        o.inputs = {files[0]};
        o.output = files[1];
    }
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
