#include "render_options.h"

#include <cstdlib>
#include <string_view>

#include "quantity.h"
#include "render_error.h"

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw render_error(exit_status::usage, message);
}

// The three controls have options of their own; each names the plug-in parameter it sets and
// the family of units its value must be given in.
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
    const bool unit_fits = q && (q->unit.empty() || scale_of(q->unit).family == c.family);
    if (!unit_fits) {
        const char* kind =
            std::string_view(c.family) == "dB" ? "a level in dB" : "a time in ms or s";
        refuse(std::string(c.option) + " takes " + kind + ", such as " + c.example + " (got '" +
               value + "')");
    }
}

int parse_block_size(const std::string& value) {
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || n < 1 || n > 65536)
        refuse("--block-size takes a whole number of frames from 1 to 65536 (got '" + value + "')");
    return static_cast<int>(n);
}

}  // namespace

render_options parse_render_options(int argc, const char* const* argv) {
    render_options o;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool has_inline_value = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                has_inline_value = true;
            }
        }
        // The value of an option is always the next word, even when it starts with a minus
        // sign as "-6dB" does.
        auto take_value = [&]() -> std::string {
            if (has_inline_value) return value;
            if (i + 1 >= argc) refuse(arg + " needs a value");
            return argv[++i];
        };
        auto no_value = [&]() {
            if (has_inline_value) refuse(arg + " takes no value");
        };

        if (arg == "-h" || arg == "--help") {
            no_value();
            o.help = true;
        } else if (arg == "--demo") {
            no_value();
            o.demo = true;
        } else if (arg == "--json") {
            no_value();
            o.json = true;
        } else if (arg == "--keep-latency") {
            no_value();
            o.keep_latency = true;
        } else if (arg == "--list-params") {
            no_value();
            o.list_parameters = true;
        } else if (arg == "--plugin") {
            o.plugin_path = take_value();
            if (o.plugin_path.empty()) refuse("--plugin needs a path");
        } else if (arg == "--preset") {
            o.preset_in = take_value();
            if (o.preset_in.empty()) refuse("--preset needs a file name");
        } else if (arg == "--save-preset") {
            o.preset_out = take_value();
            if (o.preset_out.empty()) refuse("--save-preset needs a file name");
        } else if (arg == "--format") {
            o.format = take_value();
        } else if (arg == "--bits") {
            o.bits = take_value();
        } else if (arg == "--out-dir") {
            o.out_dir = take_value();
            if (o.out_dir.empty()) refuse("--out-dir needs a directory");
        } else if (arg == "--block-size") {
            o.block_size = parse_block_size(take_value());
        } else if (arg == "--set") {
            const std::string setting = take_value();
            const size_t eq = setting.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == setting.size())
                refuse("--set takes NAME=VALUE, such as --set Release=50ms (got '" + setting +
                       "')");
            o.parameters.push_back({"--set", setting.substr(0, eq), setting.substr(eq + 1)});
        } else {
            bool matched = false;
            for (const control_option& c : control_options) {
                if (arg != c.option) continue;
                const std::string v = take_value();
                check_control_value(c, v);
                o.parameters.push_back({c.option, c.parameter, v});
                matched = true;
            }
            if (matched) continue;
            // A lone "-" or a negative number is not an option; everything else starting with
            // a dash is.
            if (arg.size() > 1 && arg[0] == '-') refuse("unknown option " + arg + " (see --help)");
            positional.push_back(arg);
        }
    }

    if (o.help) return o;
    if (o.demo) {
        if (!positional.empty())
            refuse("--demo makes its own input; give no file names (use --out-dir for where)");
        return o;
    }
    if (!o.out_dir.empty()) refuse("--out-dir is only for --demo");
    if (positional.size() > 2) refuse("too many file names: '" + positional[2] + "'");
    if (positional.size() == 1) refuse("missing output file name (usage: zandor-render IN OUT)");
    if (positional.empty() && o.preset_out.empty() && !o.list_parameters)
        refuse("missing input and output file names (see --help)");
    if (positional.size() == 2) {
        o.input = positional[0];
        o.output = positional[1];
    }
    return o;
}

std::string render_usage() {
    return R"(usage: zandor-render IN OUT [options]
       zandor-render --demo [--out-dir DIR] [options]
       zandor-render --save-preset FILE.fxp [options]

Limits an audio file through the Zandor Limiter VST 2.4 module, hosted through its real
entry point as a DAW would host it, and prints a report of levels before and after.
IN may be any file libsndfile reads (WAV, FLAC, AIFF, OGG, ...), mono or stereo,
4 kHz to 192 kHz. OUT keeps IN's format, channels and rate unless told otherwise.

Controls:
  --threshold LEVEL     input threshold, -30dB to 0dB (default 0dB), e.g. -6dB
  --ceiling LEVEL       output ceiling, -30dB to 0dB (default 0dB), e.g. -0.3dB
  --release TIME        release time, 1ms to 5s (default 200ms), e.g. 200ms or 0.2s
  --set NAME=VALUE      any parameter by the name the plug-in gives it, e.g. Release=50ms
  --preset FILE.fxp     load settings from a VST program file (before the controls above)
  --save-preset FILE.fxp  save the resulting settings as a VST program file

Output:
  --format NAME         wav, w64, rf64, aiff, caf, flac, ogg, opus, mp3, au
                        (default: IN's format, or the one OUT's extension names)
  --bits N              16, 24, 32 (integer), float or double
  --keep-latency        keep the plug-in's delay at the start of OUT (OUT is then longer
                        by the delay); by default OUT is aligned with IN and as long as IN
  --json                print the report as JSON instead of text

Other:
  --demo                render a built-in 10 s programme to demo-input.wav and
                        demo-limited.wav (default settings -9dB, -0.3dB, 100ms)
  --out-dir DIR         where --demo writes its files (default: current directory)
  --plugin PATH         host another VST 2 module instead of ZandorLimiter.so
  --list-params         print the plug-in's parameters and their ranges
  --block-size N        frames per processing call, 1 to 65536 (default 1024)
  -h, --help            print this text

Exit status: 0 success, 1 internal failure, 2 bad option or value, 3 bad input file,
4 plug-in cannot be loaded, 5 output cannot be written, 6 bad or foreign preset.
)";
}
