// Preset files in and out of a hosted effect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/vst_plugin.h"

// Loads a .fxp (or an opaque .fxb) into the effect: a chunk through effSetChunk, a list of
// values through setParameter. Refuses, with render_error(preset), a file that is missing,
// damaged or made for an effect with another identifier.
void load_preset(vst_plugin& plugin, const std::string& path);

// The effect's current settings as the bytes of a .fxp: 'FPCh' with its chunk when it keeps
// its state in chunks, else 'FxCk' with its parameter positions.
std::vector<uint8_t> preset_bytes(vst_plugin& plugin);

// Saves preset_bytes(plugin) atomically; with `no_clobber`, refuses a file that exists.
void save_preset(vst_plugin& plugin, const std::string& path, bool no_clobber);
