#include "host/module_rates.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"

namespace {

using entry_point = axo_factory_i* (*)(int);

// Closes the module on every way out; the objects it made must be gone before.
struct module_handle {
    void* handle;
    ~module_handle() {
        if (handle != nullptr) dlclose(handle);
    }
};

// The accepted rate furthest from `from` towards `to`, given that `from` is accepted and the
// accepted rates are one interval.
double edge(axo_plugin_i& plugin, double from, double to) {
    double in = from;
    double out = to;
    if (plugin.is_sample_rate_supported(static_cast<float>(to)) != 0) return to;
    while (std::abs(out - in) > 0.5) {
        const double middle = std::round((in + out) / 2);
        if (middle == in || middle == out) break;
        (plugin.is_sample_rate_supported(static_cast<float>(middle)) != 0 ? in : out) = middle;
    }
    return in;
}

}  // namespace

std::optional<rate_answer> ask_module_rate(const std::string& module_path, double rate_hz) {
    // A bare file name would make dlopen search the library path.
    char* resolved = realpath(module_path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    module_handle module{dlopen(resolved, RTLD_NOW | RTLD_LOCAL)};
    std::free(resolved);
    if (module.handle == nullptr) return std::nullopt;
    const auto entry = reinterpret_cast<entry_point>(dlsym(module.handle, "get_axoi"));
    if (entry == nullptr) return std::nullopt;
    std::unique_ptr<axo_factory_i> factory(entry(0));
    if (factory == nullptr) return std::nullopt;
    std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
    if (plugin == nullptr) return std::nullopt;

    rate_answer answer;
    answer.accepted = plugin->is_sample_rate_supported(static_cast<float>(rate_hz)) != 0;
    const double inside = answer.accepted ? rate_hz : 44100.0;
    if (plugin->is_sample_rate_supported(static_cast<float>(inside)) != 0)
        answer.range = rate_range{edge(*plugin, inside, 1.0), edge(*plugin, inside, 1e7)};
    return answer;
}
