// The module's VST3 entry points. A host calls the module's entry (ModuleEntry on Linux,
// InitDll on Windows) after loading it, GetPluginFactory for the factory, and the exit
// before unloading it. Entries and exits may pair up more than once; the module holds
// nothing between them that needs them, so they only count.
#include <atomic>

#include "vst3/vst3_abi.h"
#include "vst3/vst3_factory.h"
#include "vst3/vst3_guard.h"

// Windows modules export exactly the names of their module-definition file, which gives the
// stdcall factory entry its plain name on 32-bit Windows too.
#if defined(_WIN32)
#define VST3_EXPORT
#else
#define VST3_EXPORT __attribute__((visibility("default")))
#endif

namespace {

std::atomic<int> entries{0};

bool enter() {
    ++entries;
    return true;
}

bool leave() {
    return --entries >= 0;
}

}  // namespace

extern "C" VST3_EXPORT vst3::IPluginFactory* VST3_CALL GetPluginFactory() {
    return vst3_guarded<vst3::IPluginFactory*>(nullptr, [] { return vst3_plugin_factory(); });
}

#if defined(_WIN32)
extern "C" VST3_EXPORT bool InitDll() {
    return enter();
}
extern "C" VST3_EXPORT bool ExitDll() {
    return leave();
}
#else
extern "C" VST3_EXPORT bool ModuleEntry(void*) {
    return enter();
}
extern "C" VST3_EXPORT bool ModuleExit() {
    return leave();
}
#endif
