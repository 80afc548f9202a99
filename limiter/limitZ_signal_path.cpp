#include "limitZ_signal_path.h"

#include <atomic>

namespace {

// The forced path, or automatic; relaxed is enough: a change needs only to be seen by later
// calls, and every path gives the same output.
std::atomic<int> forced{static_cast<int>(limitZ_path::automatic)};

bool processor_has_avx2() {
#if defined(ZANDOR_LIMITER_AVX2)
    // Also false where the operating system does not save the wide registers. The init call
    // makes the answer right even when a plug-in is built before the runtime has asked.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

// The fastest path this processor runs, found once. An atomic rather than a guarded static:
// the first call may come from the audio thread, which must not wait on a lock; two threads
// finding it at once store the same answer.
std::atomic<int> fastest{-1};

limitZ_path fastest_path() {
    int path = fastest.load(std::memory_order_relaxed);
    if (path < 0) {
#if defined(__SSE2__)
        path = static_cast<int>(processor_has_avx2() ? limitZ_path::avx2 : limitZ_path::sse2);
#else
        path = static_cast<int>(limitZ_path::scalar);
#endif
        fastest.store(path, std::memory_order_relaxed);
    }
    return static_cast<limitZ_path>(path);
}

}  // namespace

bool limitZ_path_available(limitZ_path path) {
    switch (path) {
        case limitZ_path::automatic:
        case limitZ_path::scalar: return true;
        case limitZ_path::sse2:
#if defined(__SSE2__)
            return true;
#else
            return false;
#endif
        case limitZ_path::avx2: return processor_has_avx2();
    }
    return false;
}

bool limitZ_select_path(limitZ_path path) {
    if (!limitZ_path_available(path)) return false;
    forced.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

limitZ_path limitZ_current_path() {
    const auto path = static_cast<limitZ_path>(forced.load(std::memory_order_relaxed));
    return path == limitZ_path::automatic ? fastest_path() : path;
}

limitZ_signal_run limitZ_current_run() {
    switch (limitZ_current_path()) {
#if defined(ZANDOR_LIMITER_AVX2)
        case limitZ_path::avx2: return limitZ_run_avx2;
#endif
#if defined(__SSE2__)
        case limitZ_path::sse2: return limitZ_run_sse2;
#endif
        default: return limitZ_run_scalar;
    }
}
