#include "glue/rounding_guard.h"

#if defined(__i386__) || defined(__x86_64__)

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

// Rounding-control fields; the value 0 in each selects round-to-nearest.
constexpr uint16_t x87_rounding_bits = 0x0C00;
constexpr uint32_t sse_rounding_bits = 0x6000;

uint16_t read_x87_control() {
    uint16_t word;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

void write_x87_control(uint16_t word) {
    __asm__ __volatile__("fldcw %0" : : "m"(word));
}

}  // namespace

rounding_guard::rounding_guard() {
    saved_x87_ = read_x87_control();
    write_x87_control(static_cast<uint16_t>(saved_x87_ & ~x87_rounding_bits));
#if defined(__SSE__)
    saved_sse_ = _mm_getcsr();
    _mm_setcsr(saved_sse_ & ~sse_rounding_bits);
#endif
}

rounding_guard::~rounding_guard() {
    const uint16_t x87 = read_x87_control();
    write_x87_control(
        static_cast<uint16_t>((x87 & ~x87_rounding_bits) | (saved_x87_ & x87_rounding_bits)));
#if defined(__SSE__)
    const uint32_t sse = _mm_getcsr();
    _mm_setcsr((sse & ~sse_rounding_bits) | (saved_sse_ & sse_rounding_bits));
#endif
}

#else

#include <cfenv>

rounding_guard::rounding_guard() : saved_mode_(std::fegetround()) {
    std::fesetround(FE_TONEAREST);
}

rounding_guard::~rounding_guard() {
    std::fesetround(saved_mode_);
}

#endif
