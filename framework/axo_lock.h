// The recursive lock that guards one parameter's value. Windows builds use a critical
// section so that the module needs no threading runtime beyond the system's own.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <mutex>
#endif

class axo_lock {
public:
    axo_lock();
    ~axo_lock();
    axo_lock(const axo_lock&) = delete;
    axo_lock& operator=(const axo_lock&) = delete;

    void lock();
    void unlock();

private:
#ifdef _WIN32
    CRITICAL_SECTION section_;
#else
    std::recursive_mutex mutex_;
#endif
};

// Holds an axo_lock for the lifetime of the guard.
class axo_lock_guard {
public:
    explicit axo_lock_guard(axo_lock& lock) : lock_(lock) { lock_.lock(); }
    ~axo_lock_guard() { lock_.unlock(); }
    axo_lock_guard(const axo_lock_guard&) = delete;
    axo_lock_guard& operator=(const axo_lock_guard&) = delete;

private:
    axo_lock& lock_;
};
