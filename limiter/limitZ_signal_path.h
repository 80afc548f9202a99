// Which code path runs the limiter's signal path. All paths give the same bits; by default
// the fastest one the processor runs is taken. Tests and benchmarks force a path to check or
// time each one. The choice is process-wide and read at every call.
#pragma once

#include "limitZ_signal.h"

enum class limitZ_path {
    automatic,
    scalar,  // portable C++, any processor
    sse2,    // x86 with SSE2: every x86-64 and the 32-bit x86 build
    avx2,    // x86-64 processors with AVX2
};

// Whether this build has the path and this processor runs it (automatic always).
bool limitZ_path_available(limitZ_path path);
// Forces a path for every instance from the next call on; an unavailable path is refused
// (false) and the choice is left as it was.
bool limitZ_select_path(limitZ_path path);
// The path the next call runs (never automatic).
limitZ_path limitZ_current_path();
// The entry of the path the next call runs.
limitZ_signal_run limitZ_current_run();
