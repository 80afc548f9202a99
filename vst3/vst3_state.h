// Saved settings through a host's stream: the same bytes as the VST 2.4 chunk, with the
// bypass switch in the chunk's bypass record. Loading goes through a fresh instance first,
// so that a damaged, truncated or foreign state changes nothing.
#pragma once

#include <vector>

#include "vst3/vst3_abi.h"

class axo_factory_i;
class axo_plugin_i;

// Most bytes a state may have; a stream that holds more is refused unread.
constexpr size_t vst3_state_limit = 1 << 20;

// Reads from the stream's current position to its end, in bounded pieces; false for a
// null stream, a failing read or more than vst3_state_limit bytes.
bool read_state_stream(vst3::IBStream* stream, std::vector<unsigned char>& bytes);
// Writes all of bytes; false when the stream takes fewer.
bool write_state_stream(vst3::IBStream* stream, const std::vector<unsigned char>& bytes);

// The plug-in's state as chunk bytes, bypass recorded as given.
std::vector<unsigned char> save_vst3_state(axo_plugin_i& plugin, bool bypassed);

// Checks a chunk on a fresh instance of the factory's plug-in and, when it is whole and the
// plug-in's own, hands its values to plugin and its bypass to bypassed; false otherwise,
// with nothing changed.
bool load_vst3_state(axo_factory_i& factory, axo_plugin_i& plugin,
                     const std::vector<unsigned char>& bytes, bool& bypassed);
