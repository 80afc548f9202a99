// The boundary of every host call: the plug-in's arithmetic runs in round-to-nearest, and an
// exception (only running out of memory can raise one) becomes a result instead of crossing
// into the host.
#pragma once

#include "glue/rounding_guard.h"

template <typename Result, typename F>
Result vst3_guarded(Result on_exception, F&& body) {
    rounding_guard guard;
    try {
        return body();
    } catch (...) {
        return on_exception;
    }
}
