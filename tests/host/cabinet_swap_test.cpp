// SPDX-License-Identifier: GPL-3.0-or-later
// Impulse responses swapped while the amplifier plays, as a host recalling projects does: state
// chunks carrying two different responses set in turn between blocks, and the Cabinet moved. The
// audio thread takes up each new cabinet bank and fades to it; inside processReplacing it
// allocates and frees nothing (counted by the validator's guard), and the fade leaves no click.
#include "alloc_guard.h"
#include "effect/cabinet_choice.h"
#include "effect/parameter_table.h"
#include "effect/plugin_state.h"
#include "loaded_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int kBlock = 256;
constexpr int kSettleBlocks = 40;  // the amplifier's start behind us
constexpr int kMeasuredBlocks = 120;

// Two responses that colour the sound unlike each other, the second of opposite polarity, so
// that a jump from one to the other would be as large as the signal.
quarvine::UserCabinet response(bool second)
{
    std::vector<float> taps(96);
    for (std::size_t i = 0; i < taps.size(); ++i) {
        const double t = static_cast<double>(i);
        taps[i] = static_cast<float>(second ? -std::exp(-0.03 * t) * std::cos(0.2 * t)
                                            : std::exp(-0.05 * t) * std::cos(0.7 * t));
    }
    return {second ? "dark.wav" : "bright.wav", 48000.0, taps};
}

class CabinetSwap : public LoadedModule {
protected:
    std::unique_ptr<vsthost::HostedPlugin> instance()
    {
        auto plugin = std::make_unique<vsthost::HostedPlugin>(*module);
        plugin->start(44100.0, kBlock);
        return plugin;
    }
    // The plug-in's own state at User with the response.
    static Bytes chunkWith(vsthost::HostedPlugin& plugin, bool second)
    {
        void* data = nullptr;
        const VstIntPtr size = plugin.dispatch(effGetChunk, 0, 0, &data);
        quarvine::StateDecode own =
            quarvine::decodePluginState({static_cast<const unsigned char*>(data), static_cast<std::size_t>(size)});
        EXPECT_TRUE(own.state) << own.error;
        own.state->parameters[quarvine::kCabinet] = quarvine::cabinetValue(quarvine::kUserCabinetPosition);
        own.state->userCabinet = response(second);
        return quarvine::encodePluginState(*own.state);
    }
    static void restore(vsthost::HostedPlugin& plugin, Bytes bytes)
    {
        ASSERT_EQ(plugin.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()), bytes.data()), 1);
    }

    // A 220 Hz sine through the plug-in, block by block; `between(b)` runs before block b. Returns
    // the measured blocks' output.
    template <typename Between>
    std::vector<float> play(vsthost::HostedPlugin& plugin, Between between, validate::GuardCounts& counts)
    {
        AEffect* effect = plugin.effect();
        std::vector<float> in(kBlock), out(kBlock), measured;
        long n = 0;
        for (int b = 0; b < kSettleBlocks + kMeasuredBlocks; ++b) {
            between(b - kSettleBlocks);
            for (float& x : in)
                x = static_cast<float>(0.3 * std::sin(2.0 * std::numbers::pi * 220.0 * double(n++) / 44100.0));
            float* inputs[] = {in.data()};
            float* outputs[] = {out.data()};
            {
                validate::AudioSection section(counts);
                effect->processReplacing(effect, inputs, outputs, kBlock);
            }
            if (b >= kSettleBlocks)
                measured.insert(measured.end(), out.begin(), out.end());
        }
        return measured;
    }

    static float largestStep(const std::vector<float>& signal)
    {
        float step = 0.0f;
        for (std::size_t i = 1; i < signal.size(); ++i)
            step = std::max(step, std::fabs(signal[i] - signal[i - 1]));
        return step;
    }
};

TEST_F(CabinetSwap, ResponsesSwappedBetweenBlocksFadeWithoutAllocatingOrClicking)
{
    vsthost::setCallbackObserver(&validate::hostCallbackObserver);
    validate::GuardCounts ignored, counts;
    // Steady: each source the swaps visit, played alone over the same blocks.
    float steady = 0.0f;
    std::vector<float> steadySound[2];
    for (int source : {0, 1, 2}) {
        auto plugin = instance();
        if (source < 2)
            restore(*plugin, chunkWith(*plugin, source == 1));
        else
            plugin->setParameter(quarvine::kCabinet, quarvine::cabinetValue(1));
        const std::vector<float> sound = play(*plugin, [](int) {}, ignored);
        steady = std::max(steady, largestStep(sound));
        if (source < 2)
            steadySound[source] = sound;
    }

    // Every sixth block the other response comes in a chunk (back at User); three blocks later,
    // inside the fade of 882 frames, the Cabinet moves to the first built-in one and waits for
    // the fade's end. The run ends on the second response, given time to settle.
    auto plugin = instance();
    const Bytes chunks[2] = {chunkWith(*plugin, false), chunkWith(*plugin, true)};
    restore(*plugin, chunks[0]);
    const int lastSwap = kMeasuredBlocks - 12;
    const std::vector<float> sound = play(
        *plugin,
        [&](int b) {
            if (b >= 0 && b <= lastSwap && b % 6 == 0)
                restore(*plugin, chunks[(b / 6 + 1) % 2]);
            else if (b > 0 && b < lastSwap && b % 6 == 3)
                plugin->setParameter(quarvine::kCabinet, quarvine::cabinetValue(1));
        },
        counts);
    vsthost::setCallbackObserver(nullptr);

    // The swaps were taken up: the end plays the second response as a steady run does.
    for (std::size_t i = sound.size() - kBlock; i < sound.size(); ++i)
        ASSERT_NEAR(sound[i], steadySound[1][i], 1e-4f) << "frame " << i;
    // A linear fade between two signals, each stepping at most `steady`, steps at most `steady`
    // plus the gain's step (1/882) times their difference (at most twice the peak, some 0.07 of
    // `steady` for a 220 Hz sine); 1.5 leaves room for the new convolver's first taps.
    EXPECT_LE(largestStep(sound), 1.5f * steady) << "steady " << steady;
    if (!validate::allocationGuardAvailable())
        GTEST_SKIP() << "sanitizer build: the sanitizer owns malloc, nothing counted";
    EXPECT_EQ(counts.allocations, 0u);
    EXPECT_EQ(counts.frees, 0u);
    EXPECT_EQ(counts.locks, 0u);
}

} // namespace
