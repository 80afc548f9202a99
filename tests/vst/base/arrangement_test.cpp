// Speaker-arrangement records made, copied and freed by the effect base.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "vst/base/test_effect.h"

namespace {

// Entry i of a record that really holds numChannels entries, past the declared eight.
VstSpeakerProperties& speaker(VstSpeakerArrangement* a, int i) {
    return reinterpret_cast<VstSpeakerProperties*>(reinterpret_cast<char*>(a) + 8)[i];
}

class Arrangements : public ::testing::Test {
protected:
    BareEffect effect{nullptr};
};

TEST_F(Arrangements, AnAllocatedRecordIsZeroedAndSizedForItsChannels) {
    VstSpeakerArrangement* a = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&a, 2));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->numChannels, 2);
    const auto* bytes = reinterpret_cast<const unsigned char*>(a);
    for (size_t i = 0; i < 232; ++i) {
        if (i < 4 || i >= 8) {
            EXPECT_EQ(bytes[i], 0) << i;
        }
    }
    // Allocating again frees the old block and gives a fresh one.
    speaker(a, 1).type = 3;
    ASSERT_TRUE(effect.allocateArrangement(&a, 10));
    EXPECT_EQ(a->numChannels, 10);
    EXPECT_EQ(speaker(a, 9).type, 0);
    EXPECT_TRUE(effect.deleteArrangement(&a));
    EXPECT_EQ(a, nullptr);
    EXPECT_TRUE(effect.deleteArrangement(&a));
    EXPECT_TRUE(effect.deleteArrangement(nullptr));
}

TEST_F(Arrangements, AFailedAllocationLeavesNoDanglingRecord) {
    VstSpeakerArrangement* a = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&a, 1));
    EXPECT_FALSE(effect.allocateArrangement(&a, -1));
    EXPECT_EQ(a, nullptr);
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
}

TEST_F(Arrangements, ASpeakerCopyTakesEveryFieldAndCutsTheNameToSixtyThreeCharacters) {
    VstSpeakerProperties from{};
    VstSpeakerProperties to{};
    std::memset(&to, 0x55, sizeof to);
    from.azimuth = 0.5f;
    from.elevation = -0.25f;
    from.radius = 2.0f;
    from.reserved = 7.0f;
    from.type = 4;
    std::memset(from.name, 'n', sizeof from.name);  // no terminating zero at all
    std::memset(from.future, 0x11, sizeof from.future);

    ASSERT_TRUE(effect.copySpeaker(&to, &from));
    EXPECT_EQ(std::string(to.name), std::string(63, 'n'));
    EXPECT_EQ(to.azimuth, 0.5f);
    EXPECT_EQ(to.elevation, -0.25f);
    EXPECT_EQ(to.radius, 2.0f);
    EXPECT_EQ(to.reserved, 7.0f);
    EXPECT_EQ(to.type, 4);
    EXPECT_EQ(std::memcmp(to.future, from.future, sizeof to.future), 0);
    EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
}

TEST_F(Arrangements, MatchingReplacesTheTargetWithACopyOfEverySpeaker) {
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 10));
    from->type = 9;
    for (int i = 0; i < 10; ++i) {
        speaker(from, i).type = i + 1;
        speaker(from, i).azimuth = 0.1f * i;
        std::snprintf(speaker(from, i).name, 64, "speaker %d", i);
    }
    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&to, 1));

    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->type, 9);
    ASSERT_EQ(to->numChannels, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(speaker(to, i).type, i + 1);
        EXPECT_EQ(speaker(to, i).azimuth, 0.1f * i);
        EXPECT_EQ(std::string(speaker(to, i).name), "speaker " + std::to_string(i));
    }
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    EXPECT_FALSE(effect.matchArrangement(nullptr, from));
    effect.deleteArrangement(&to);
    effect.deleteArrangement(&from);
}

}  // namespace
