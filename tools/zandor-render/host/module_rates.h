// The sample rates a module accepts. VST 2.4 has no question for them (an effect silently keeps
// its old rate), so they are asked through the module's native entry point, get_axoi, when it
// has one.
#pragma once

#include <optional>
#include <string>

struct rate_range {
    double lowest_hz;
    double highest_hz;
};

// Whether the module at `module_path` accepts `rate_hz`, with the range of rates around it (or
// around 44.1 kHz when it refuses) for messages. Nothing when the module cannot be asked.
struct rate_answer {
    bool accepted;
    std::optional<rate_range> range;
};
std::optional<rate_answer> ask_module_rate(const std::string& module_path, double rate_hz);
