// Round-to-nearest for the duration of a scope. A host may call the module with its thread
// in any rounding mode; the plug-in's arithmetic (parameter ranges, coefficients, curve
// conversions) must give the same results whatever that mode is. The guard saves the
// thread's mode, selects round-to-nearest on the x87 and the SSE control, and puts the saved
// mode back when the scope ends, also when it ends by an exception. Only the rounding bits
// change: precision, exception masks and denormal handling stay as the host set them.
#pragma once

#include <cstdint>

class rounding_guard {
public:
    rounding_guard();
    ~rounding_guard();
    rounding_guard(const rounding_guard&) = delete;
    rounding_guard& operator=(const rounding_guard&) = delete;

private:
#if defined(__i386__) || defined(__x86_64__)
    uint16_t saved_x87_;
#if defined(__SSE__)
    uint32_t saved_sse_;
#endif
#else
    int saved_mode_;
#endif
};
