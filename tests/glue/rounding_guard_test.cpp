#include "glue/rounding_guard.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <stdexcept>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

// 1/3 rounded by the current mode: to nearest and upward give different bits.
float one_third() {
    volatile float one = 1.0f;
    volatile float three = 3.0f;
    return one / three;
}

long double one_third_x87() {
    volatile long double one = 1.0L;
    volatile long double three = 3.0L;
    return one / three;
}

}  // namespace

TEST(RoundingGuard, SelectsNearestInsideAndRestoresTheHostModeOnEveryWayOut) {
    const float nearest = one_third();
    const long double nearest_x87 = one_third_x87();
    for (int mode : {FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO, FE_TONEAREST}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        {
            rounding_guard guard;
            EXPECT_EQ(std::fegetround(), FE_TONEAREST);
            EXPECT_EQ(one_third(), nearest);
            EXPECT_EQ(one_third_x87(), nearest_x87);
            { rounding_guard nested; }
            EXPECT_EQ(std::fegetround(), FE_TONEAREST);
        }
        EXPECT_EQ(std::fegetround(), mode);
        EXPECT_THROW(
            {
                rounding_guard guard;
                throw std::runtime_error("leaves the scope");
            },
            std::runtime_error);
        EXPECT_EQ(std::fegetround(), mode);
    }
    std::fesetround(FE_TONEAREST);
}

#if defined(__i386__) || defined(__x86_64__)
TEST(RoundingGuard, LeavesEveryControlBitButRoundingAsTheHostSetIt) {
    const unsigned host_csr = _mm_getcsr();
    // Flush-to-zero, denormals-are-zero, downward rounding, divide-by-zero unmasked.
    const unsigned custom = (host_csr | 0x8040u | 0x2000u) & ~0x0200u;
    _mm_setcsr(custom);
    unsigned inside = 0;
    {
        rounding_guard guard;
        inside = _mm_getcsr();
    }
    EXPECT_EQ(inside, custom & ~0x6000u);
    EXPECT_EQ(_mm_getcsr(), custom);
    _mm_setcsr(host_csr);
}
#endif
