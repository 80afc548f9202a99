#include "host/preset_io.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/atomic_file.h"
#include "host/fx_preset.h"
#include "render_error.h"

namespace {

// Preset files are small; anything beyond this is not one and is not read into memory.
constexpr std::streamoff max_preset_bytes = 64 << 20;

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw render_error(exit_status::preset,
                           "cannot read preset " + path + ": " + std::strerror(errno));
    }
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || size > max_preset_bytes)
        throw render_error(exit_status::preset,
                           "cannot read preset " + path + ": not a preset file");
    file.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), size))
        throw render_error(exit_status::preset, "cannot read preset " + path);
    return bytes;
}

std::string effect_label(vst_plugin& plugin) {
    const std::string name = plugin.effect_name();
    return (name.empty() ? plugin.module_path() : name) + " " + describe_fx_id(plugin.unique_id());
}

}  // namespace

void load_preset(vst_plugin& plugin, const std::string& path) {
    const std::vector<uint8_t> bytes = read_file(path);
    const fx_preset preset = decode_fx_preset(bytes.data(), bytes.size(), path);
    if (preset.fx_id != plugin.unique_id()) {
        throw render_error(exit_status::preset, path + " is a preset for another effect (" +
                                                    describe_fx_id(preset.fx_id) + "), not for " +
                                                    effect_label(plugin));
    }
    if (preset.what == fx_preset::content::chunk) {
        if (!plugin.uses_chunks()) {
            throw render_error(exit_status::preset, path + " holds a state chunk, but " +
                                                        effect_label(plugin) +
                                                        " does not keep its settings in chunks");
        }
        plugin.set_chunk(preset.chunk, !preset.is_bank);
        // An effect answers effSetChunk with the byte count whatever it made of the bytes;
        // saving again shows whether it took them all. The same effect in the same version
        // gives back the very bytes it was given; anything else would render with settings
        // the user did not choose.
        if (plugin.get_chunk(!preset.is_bank) != preset.chunk) {
            throw render_error(exit_status::preset,
                               effect_label(plugin) + " did not take every setting in " + path);
        }
        return;
    }
    for (float v : preset.parameters) {
        if (!std::isfinite(v) || v < 0.0f || v > 1.0f) {
            throw render_error(exit_status::preset,
                               path +
                                   " is not a usable VST preset: it holds a parameter value "
                                   "outside 0 to 1");
        }
    }
    if (static_cast<int>(preset.parameters.size()) > plugin.parameter_count()) {
        throw render_error(exit_status::preset,
                           path + " holds " + std::to_string(preset.parameters.size()) +
                               " parameter values; " + effect_label(plugin) + " has only " +
                               std::to_string(plugin.parameter_count()));
    }
    if (static_cast<int>(preset.parameters.size()) < plugin.parameter_count()) {
        std::fprintf(stderr,
                     "zandor-render: warning: %s holds %zu parameter values; the effect has %d\n",
                     path.c_str(), preset.parameters.size(), plugin.parameter_count());
    }
    for (size_t i = 0;
         i < preset.parameters.size() && static_cast<int>(i) < plugin.parameter_count(); ++i)
        plugin.set_parameter_position(static_cast<int>(i), preset.parameters[i]);
}

std::vector<uint8_t> preset_bytes(vst_plugin& plugin) {
    fx_preset preset;
    preset.fx_id = plugin.unique_id();
    preset.fx_version = plugin.vendor_version();
    preset.count = plugin.parameter_count();
    preset.program_name = plugin.program_name();
    if (plugin.uses_chunks()) {
        preset.what = fx_preset::content::chunk;
        preset.chunk = plugin.get_chunk(true);
    } else {
        preset.what = fx_preset::content::parameters;
        for (int i = 0; i < plugin.parameter_count(); ++i)
            preset.parameters.push_back(plugin.parameter_position(i));
    }
    return encode_fx_program(preset);
}

void save_preset(vst_plugin& plugin, const std::string& path, bool no_clobber) {
    const std::vector<uint8_t> bytes = preset_bytes(plugin);
    atomic_file file(path, no_clobber);
    file.write_all(bytes.data(), bytes.size());
    file.commit();
}
