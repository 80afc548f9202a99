// Saved settings through a host's streams: the bytes of the VST chunk, so that a setting
// means the same in every format. The bypass parameter travels in the chunk's bypass record.
#pragma once

#include <cstddef>
#include <vector>

#include "clap/clap_abi.h"

class axo_plugin_i;
class clap_params;

// Longest state read from a host, in bytes: far beyond any real state, so a stream that
// goes on and on is refused instead of filling memory.
constexpr size_t clap_state_max_bytes = 1 << 20;

// Writes the chunk, looping over partial writes; false when the stream fails or stalls.
bool clap_save_state(axo_plugin_i& plugin, const clap_params& params, const clap_ostream_t* stream);

// Reads a whole stream and applies it; false, with nothing changed, for an empty, damaged,
// truncated or foreign state.
bool clap_load_state(axo_plugin_i& plugin, clap_params& params, const clap_istream_t* stream);

// The same for chunk bytes already read.
bool clap_apply_chunk(axo_plugin_i& plugin, clap_params& params,
                      const std::vector<unsigned char>& chunk);
