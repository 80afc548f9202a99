// Opens a plug-in module the way a host does and looks up its exports by name: dlopen and
// dlsym on Linux, LoadLibrary and GetProcAddress on Windows. The module is closed when the
// loader goes out of scope, so every effect made from it must be closed first.
#pragma once

#include <string>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class module_loader {
public:
    explicit module_loader(const std::string& path) {
#if defined(_WIN32)
        // Windows paths separate with backslashes; under wine a path starting at the root
        // resolves on the drive that maps the Linux file system.
        std::string windows_path = path;
        for (char& c : windows_path) {
            if (c == '/') c = '\\';
        }
        handle_ = LoadLibraryA(windows_path.c_str());
        if (!handle_) error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) error_ = dlerror();
#endif
    }

    ~module_loader() {
        if (!handle_) return;
#if defined(_WIN32)
        FreeLibrary(handle_);
#else
        dlclose(handle_);
#endif
    }

    module_loader(const module_loader&) = delete;
    module_loader& operator=(const module_loader&) = delete;

    bool is_open() const {
        return handle_ != nullptr;
    }
    // Why opening failed; empty when it succeeded.
    const std::string& error() const {
        return error_;
    }

    // The export's address, or null when the module has no export of that name.
    void* symbol(const char* name) const {
        if (!handle_) return nullptr;
#if defined(_WIN32)
        return reinterpret_cast<void*>(GetProcAddress(handle_, name));
#else
        return dlsym(handle_, name);
#endif
    }

    // The export as a function pointer of type F, or null.
    template <typename F>
    F function(const char* name) const {
        return reinterpret_cast<F>(symbol(name));
    }

private:
#if defined(_WIN32)
    HMODULE handle_ = nullptr;
#else
    void* handle_ = nullptr;
#endif
    std::string error_;
};
