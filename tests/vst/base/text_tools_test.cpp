// Display texts of the effect base: their formats, limits and bounded writes.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "vst/base/test_effect.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Writes through tool into a buffer of guard bytes; nothing past text[maxLen] may change
// and text[maxLen] must be the terminating zero.
template <typename Tool>
std::string written(Tool tool, VstInt32 maxLen = 15) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    tool(buffer, maxLen);
    EXPECT_EQ(buffer[maxLen], 0);
    for (size_t i = static_cast<size_t>(maxLen) + 1; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], '#') << "guard byte " << i;
    }
    return buffer;
}

class TextTools : public ::testing::Test {
protected:
    BareEffect effect{nullptr};
};

TEST_F(TextTools, FloatsFillEightCharactersWithTruncatedFractionDigits) {
    const std::pair<float, const char*> cases[] = {
        {1.5f, "1.500000"},         {-2.25f, "-2.25000"},       {1234567.0f, "1234567."},
        {12345678.0f, "12345678."}, {99999992.0f, "99999992."}, {-9999999.0f, "-9999999."},
        {0.0f, "0.000000"},         {-0.5f, "-0.50000"},        {0.125f, "0.125000"},
        {0.7f, "0.699999"},         {123.456f, "123.4560"},
    };
    for (const auto& [value_in_case, text] : cases) {
        // A lambda may not capture a structured binding before C++20.
        const auto value = value_in_case;
        EXPECT_EQ(written([&](char* t, VstInt32 n) { effect.float2string(value, t, n); }), text)
            << value;
    }
}

TEST_F(TextTools, FloatsBeyondEightDigitsOrWithoutAValueAreHuge) {
    for (const float value : {100000000.0f, -10000000.0f, 1e30f, kInf, -kInf, kNaN}) {
        EXPECT_EQ(written([&](char* t, VstInt32 n) { effect.float2string(value, t, n); }), "Huge!")
            << value;
    }
}

TEST_F(TextTools, IntegersAreWrittenWithoutLeadingZerosUpToNineDigits) {
    const std::pair<VstInt32, const char*> cases[] = {
        {-5, "-5"},
        {0, "0"},
        {1000, "1000"},
        {99999999, "99999999"},
        {-999999999, "-999999999"},
        {100000000, "Huge!"},
        {INT32_MAX, "Huge!"},
        {-1000000000, "Huge!"},
        {INT32_MIN, "Huge!"},
    };
    for (const auto& [value_in_case, text] : cases) {
        // A lambda may not capture a structured binding before C++20.
        const auto value = value_in_case;
        EXPECT_EQ(written([&](char* t, VstInt32 n) { effect.int2string(value, t, n); }), text)
            << value;
    }
}

TEST_F(TextTools, DecibelsOfSilenceAreMinusInfinity) {
    const std::pair<float, const char*> cases[] = {
        {0.0f, "-oo"},      {-1.0f, "-oo"},      {kNaN, "-oo"},
        {1.0f, "0.000000"}, {10.0f, "20.00000"}, {0.1f, "-20.0000"},
    };
    for (const auto& [value_in_case, text] : cases) {
        // A lambda may not capture a structured binding before C++20.
        const auto value = value_in_case;
        EXPECT_EQ(written([&](char* t, VstInt32 n) { effect.dB2string(value, t, n); }), text)
            << value;
    }
}

TEST_F(TextTools, PeriodsInSamplesBecomeHertzAndMillisecondsAtTheEffectsRate) {
    auto hz = [&](float samples) {
        return written([&](char* t, VstInt32 n) { effect.Hz2string(samples, t, n); });
    };
    auto ms = [&](float samples) {
        return written([&](char* t, VstInt32 n) { effect.ms2string(samples, t, n); });
    };
    EXPECT_EQ(hz(0.0f), "0.000000");
    EXPECT_EQ(hz(441.0f), "100.0000");
    EXPECT_EQ(ms(44100.0f), "1000.000");
    EXPECT_EQ(ms(441.0f), "10.00000");
    effect.setSampleRate(48000.0f);
    EXPECT_EQ(hz(480.0f), "100.0000");
    EXPECT_EQ(ms(48.0f), "1.000000");
}

TEST_F(TextTools, WritesStayWithinMaxLenPlusTheTerminatingZero) {
    EXPECT_EQ(written([&](char* t, VstInt32 n) { effect.float2string(1.5f, t, n); }, 3), "1.5");
    EXPECT_EQ(written([&](char* t, VstInt32 n) { effect.int2string(-123456, t, n); }, 4), "-123");
    EXPECT_EQ(written([&](char* t, VstInt32 n) { effect.dB2string(0.0f, t, n); }, 0), "");

    char untouched[4] = {'#', '#', '#', '#'};
    effect.float2string(1.5f, untouched, -1);
    effect.int2string(7, untouched, -5);
    EXPECT_EQ(std::string(untouched, 4), "####");
    effect.float2string(1.5f, nullptr, 8);
    effect.int2string(1, nullptr, 8);
}

}  // namespace
