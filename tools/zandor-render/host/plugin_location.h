// Where the tool finds the limiter module when --plugin does not say.
#pragma once

#include <string>
#include <vector>

// The places searched, in order: where `cmake --install` puts the module relative to where
// it puts this tool (<bindir>/../lib/vst), the module this tool was built with, the tool's own
// directory, then the folders where Linux VST hosts look (~/.vst, ~/.lxvst,
// /usr/local/lib/vst, /usr/lib/vst, /usr/lib/lxvst).
std::vector<std::string> default_plugin_candidates();

// The first candidate that exists. Throws render_error(plugin) listing what was searched.
std::string find_default_plugin();
