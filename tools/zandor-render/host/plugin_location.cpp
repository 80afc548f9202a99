#include "host/plugin_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "render_error.h"

namespace {

constexpr const char* module_file = "ZandorLimiter.so";

std::string directory_of_executable() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

bool is_file(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::vector<std::string> default_plugin_candidates() {
    std::vector<std::string> candidates;
    const std::string own = directory_of_executable();
    // An installed tool hosts the module installed with it, wherever the prefix is, before
    // any module a build tree or another install left behind.
#ifdef ZANDOR_RENDER_PLUGIN_DIR_FROM_TOOL
    if (!own.empty())
        candidates.push_back(own + "/" + ZANDOR_RENDER_PLUGIN_DIR_FROM_TOOL + "/" + module_file);
#endif
#ifdef ZANDOR_RENDER_BUILT_PLUGIN
    candidates.push_back(ZANDOR_RENDER_BUILT_PLUGIN);
#endif
    if (!own.empty()) candidates.push_back(own + "/" + module_file);
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        candidates.push_back(std::string(home) + "/.vst/" + module_file);
        candidates.push_back(std::string(home) + "/.lxvst/" + module_file);
    }
    for (const char* dir : {"/usr/local/lib/vst", "/usr/lib/vst", "/usr/lib/lxvst"})
        candidates.push_back(std::string(dir) + "/" + module_file);
    return candidates;
}

std::string find_default_plugin() {
    const std::vector<std::string> candidates = default_plugin_candidates();
    for (const std::string& c : candidates) {
        if (is_file(c)) return c;
    }
    throw render_error(exit_status::plugin,
                       std::string("cannot find ") + module_file +
                           " (build it, install it, or give --plugin PATH); looked in " +
                           candidates.front() + " and " + std::to_string(candidates.size() - 1) +
                           " other places");
}
