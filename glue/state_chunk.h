// Saved settings as the bytes a host stores: the plug-in's state records, oldest first, each
// preceded by its 32-bit little-endian length. Every format stores these same bytes, so a
// setting saved through one format means the same when loaded through another.
#pragma once

#include <cstddef>
#include <vector>

class axo_plugin_i;

// The plug-in's state block as chunk bytes; empty when the plug-in wrote nothing.
std::vector<unsigned char> save_state_chunk(axo_plugin_i& plugin);

// Hands the records of a chunk to the plug-in's load_state, those parsed before a damaged
// frame included; load_state's answer (0 for a foreign or empty block). Never reads past
// byte_count; null bytes give the plug-in an empty stream.
int load_state_chunk(axo_plugin_i& plugin, const void* bytes, size_t byte_count);
