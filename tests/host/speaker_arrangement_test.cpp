// SPDX-License-Identifier: GPL-3.0-or-later
// Speaker arrangements: allocation, release, copy and matching.
#include "host/audioeffectx.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
// The failed-allocation test asks for more memory than exists: the answer must be null, not an abort.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif

namespace {

class PlainEffect : public AudioEffectX {
public:
    PlainEffect() : AudioEffectX(nullptr, 0, 0) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

TEST(SpeakerArrangement, AllocateZeroFillsAndCounts)
{
    PlainEffect effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 3));
    ASSERT_NE(arrangement, nullptr);
    EXPECT_EQ(arrangement->numChannels, 3);
    EXPECT_EQ(arrangement->type, 0);
    EXPECT_EQ(arrangement->speakers[2].name[0], 0);
    // Reallocating releases the old one (sanitizers would report a leak otherwise).
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 1));
    EXPECT_EQ(arrangement->numChannels, 1);
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
}

TEST(SpeakerArrangement, FailedAllocationLeavesThePlaceNull)
{
    PlainEffect effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 2));
    // More channels than any address space holds: the request fails.
    EXPECT_FALSE(effect.allocateArrangement(&arrangement, INT_MAX));
    EXPECT_EQ(arrangement, nullptr);
}

TEST(SpeakerArrangement, CopySpeakerTerminatesTheName)
{
    PlainEffect effect;
    VstSpeakerProperties from{};
    VstSpeakerProperties to{};
    std::memset(from.name, 'n', sizeof from.name);
    from.azimuth = 0.5f;
    from.elevation = -0.25f;
    from.radius = 2.0f;
    from.reserved = 3.0f;
    from.type = 7;
    from.future[27] = 9;
    EXPECT_TRUE(effect.copySpeaker(&to, &from));
    EXPECT_EQ(std::strlen(to.name), 63u);
    EXPECT_EQ(to.azimuth, 0.5f);
    EXPECT_EQ(to.elevation, -0.25f);
    EXPECT_EQ(to.radius, 2.0f);
    EXPECT_EQ(to.reserved, 3.0f);
    EXPECT_EQ(to.type, 7);
    EXPECT_EQ(to.future[27], 9);
    EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
}

TEST(SpeakerArrangement, MatchCopiesTypeAndEverySpeaker)
{
    PlainEffect effect;
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 2));
    from->type = 5;
    std::strcpy(from->speakers[1].name, "Right");
    from->speakers[1].azimuth = 0.7f;
    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&to, 6));
    EXPECT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->numChannels, 2);
    EXPECT_EQ(to->type, 5);
    EXPECT_STREQ(to->speakers[1].name, "Right");
    EXPECT_EQ(to->speakers[1].azimuth, 0.7f);
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    effect.deallocateArrangement(&to);
    effect.deallocateArrangement(&from);
}

} // namespace
