// SPDX-License-Identifier: GPL-3.0-or-later
// The cabinet stage's fades between positions and banks, its untouched signal with no cabinet, and
// that nothing it does on the audio thread allocates.
#include "dsp/cabinet_stage.h"
#include "allocation_count.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quarvine {
namespace {

// One-tap cabinets at 1 kHz, where the 20 ms fade is 20 frames.
std::unique_ptr<CabinetBank> gains(std::vector<float> taps, double rate = 1000.0)
{
    auto bank = std::make_unique<CabinetBank>();
    bank->sampleRate = rate;
    for (const float& tap : taps) {
        bank->convolvers.push_back(std::make_unique<PartitionedConvolver>());
        bank->convolvers.back()->prepare(&tap, 1);
    }
    bank->convolvers.push_back(nullptr); // nothing loaded at the last position
    return bank;
}

std::vector<float> ones(int n)
{
    return std::vector<float>(n, 1.0f);
}

TEST(CabinetStage, FadesLinearlyAndTakesTheNextChangeOnlyAfterTheFade)
{
    CabinetStage stage(gains({1.0f, 0.5f}));
    std::vector<float> y = ones(100);
    stage.process(y.data(), 100, 1); // the first block: no fade
    EXPECT_EQ(y, ones(100));

    y = ones(100);
    stage.process(y.data(), 7, 2);
    stage.process(y.data() + 7, 93, 0); // waits for the fade to 0.5 to end
    for (int n = 0; n < 100; ++n)
        ASSERT_NEAR(y[n], n < 20 ? 1.0 - 0.5 * (n + 1) / 20.0 : 0.5, 1e-6) << n;

    y = ones(40);
    stage.process(y.data(), 40, 0); // now to no cabinet
    for (int n = 0; n < 40; ++n)
        ASSERT_NEAR(y[n], n < 20 ? 0.5 + 0.5 * (n + 1) / 20.0 : 1.0, 1e-6) << n;
}

TEST(CabinetStage, NoCabinetLeavesEverySampleAsItWasAcrossABankChange)
{
    CabinetStage stage(gains({0.25f}));
    std::vector<float> x(300), y;
    for (int n = 0; n < 300; ++n)
        x[n] = 1e-3f * static_cast<float>((n * 7919) % 1013) - 0.5f;
    y = x;
    stage.process(y.data(), 100, 0);
    stage.handover().offer(gains({0.75f}, 2000.0));
    stage.process(y.data() + 100, 100, 0);
    stage.process(y.data() + 200, 100, 2); // the empty user position plays as no cabinet too
    EXPECT_EQ(std::memcmp(x.data(), y.data(), sizeof(float) * 300), 0);
    EXPECT_EQ(stage.sampleRate(), 2000.0); // the bank was taken up
    EXPECT_TRUE(stage.passesThrough(2));
    EXPECT_FALSE(stage.passesThrough(1));
}

// A new bank (a new response or rate) fades in from the one playing; the old one goes back to the
// loading side, which frees it; the audio thread allocates and frees nothing meanwhile.
TEST(CabinetStage, ABankChangeFadesWithoutAllocatingAndTheOldBankGoesBack)
{
    CabinetStage stage(gains({1.0f}));
    std::vector<float> y = ones(64);
    stage.process(y.data(), 64, 1);
    stage.handover().offer(gains({0.0f}));
    auto newest = gains({3.0f});
    y = ones(64);
    const long before = allocationCount();
    stage.process(y.data(), 10, 1);
    stage.handover().offer(std::move(newest)); // waits: the fade under way must end first
    stage.process(y.data() + 10, 54, 1);
    EXPECT_EQ(allocationCount(), before);
    for (int n = 0; n < 64; ++n)
        ASSERT_NEAR(y[n], n < 20 ? 1.0 - (n + 1) / 20.0 : 0.0, 1e-6) << n;
    // The first bank is back but not yet collected: the third waits for the slot.
    y = ones(64);
    stage.process(y.data(), 64, 1);
    EXPECT_EQ(y, std::vector<float>(64, 0.0f));
    stage.handover().collect();
    y = ones(64);
    stage.process(y.data(), 64, 1);
    EXPECT_NEAR(y[63], 3.0f, 1e-6);
}

} // namespace
} // namespace quarvine
