// SPDX-License-Identifier: GPL-3.0-or-later
// The state chunk through the real module, as a host saves a project and opens it again; and a
// response file dropped on the editor, on the class itself.
#include "effect/cabinet_choice.h"
#include "effect/plugin_state.h"
#include "effect/quarvine.h"
#include "loaded_module.h"
#include "plugin_chunk.h"
#include "tests/cabinet/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
constexpr float kSettings[quarvine::kNumParameters] = {0.3f, 0.7f, 0.2f, 0.9f, 0.4f, 0.8f, 0.5f, 1.0f};

class StateChunk : public LoadedModule {
protected:
    std::unique_ptr<vsthost::HostedPlugin> instance()
    {
        auto plugin = std::make_unique<vsthost::HostedPlugin>(*module);
        plugin->start(44100.0, 256);
        return plugin;
    }
    static Bytes save(vsthost::HostedPlugin& plugin) { return chunkOf(plugin); }
    static VstIntPtr restore(vsthost::HostedPlugin& plugin, Bytes bytes)
    {
        return plugin.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()), bytes.data());
    }
    // A plucked note: 4096 frames of a decaying 220 Hz sine, through the amplifier and cabinet.
    static std::vector<float> play(vsthost::HostedPlugin& plugin)
    {
        std::vector<float> in(4096), out(in.size());
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<float>(0.4 * std::exp(-0.001 * double(i)) * std::sin(0.0313 * double(i)));
        plugin.processMono(in.data(), out.data(), in.size(), 256);
        return out;
    }
    // The settings and a response at another rate than the host's, handed over as the renderer does.
    std::unique_ptr<vsthost::HostedPlugin> configured()
    {
        auto plugin = instance();
        for (int i = 0; i < quarvine::kNumParameters; ++i)
            plugin->setParameter(i, kSettings[i]);
        quarvine::StateDecode own = quarvine::decodePluginState(save(*plugin));
        EXPECT_TRUE(own.state) << own.error;
        std::vector<float> taps(96);
        for (std::size_t i = 0; i < taps.size(); ++i)
            taps[i] = static_cast<float>(std::exp(-0.05 * double(i)) * std::cos(0.7 * double(i)));
        own.state->userCabinet = quarvine::UserCabinet{"room.wav", 48000.0, taps};
        EXPECT_EQ(restore(*plugin, quarvine::encodePluginState(*own.state)), 1);
        return plugin;
    }
};

TEST_F(StateChunk, AFreshInstanceRestoredFromTheChunkHasTheParametersResponseAndSound)
{
    auto saved = configured();
    const Bytes chunk = save(*saved);
    EXPECT_TRUE(saved->effect()->flags & effFlagsProgramChunks);

    auto opened = instance();
    ASSERT_EQ(restore(*opened, chunk), 1);
    for (int i = 0; i < quarvine::kNumParameters; ++i)
        EXPECT_EQ(opened->getParameter(i), kSettings[i]) << i;
    EXPECT_EQ(save(*opened), chunk);
    const std::vector<float> sound = play(*saved);
    EXPECT_EQ(play(*opened), sound);

    // The same settings without the response sound otherwise: the response did travel.
    auto plain = instance();
    for (int i = 0; i < quarvine::kNumParameters; ++i)
        plain->setParameter(i, kSettings[i]);
    EXPECT_NE(play(*plain), sound);
}

TEST_F(StateChunk, AnOlderStateLoadsWithTheDefaultsOfWhatItLacksAndNoResponse)
{
    auto plugin = configured();
    const std::vector<float> six = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    ASSERT_EQ(restore(*plugin, quarvine::encodePluginState({six, std::nullopt})), 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(plugin->getParameter(i), six[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(plugin->getParameter(quarvine::kOversampling), 0.0f);
    EXPECT_EQ(plugin->getParameter(quarvine::kCabinet), 0.0f);
    EXPECT_FALSE(quarvine::decodePluginState(save(*plugin)).state->userCabinet);
}

TEST_F(StateChunk, ARefusedChunkLeavesParametersResponseAndSoundAsTheyWere)
{
    auto reference = configured();
    auto plugin = configured();
    const Bytes good = save(*plugin);

    std::vector<Bytes> refused;
    for (std::size_t size : {std::size_t(0), std::size_t(7), std::size_t(20), good.size() / 2, good.size() - 1})
        refused.emplace_back(good.begin(), good.begin() + static_cast<long>(size));
    Bytes newer = good;
    newer[4] = 2; // major version
    refused.push_back(newer);
    const quarvine::PluginState state = *quarvine::decodePluginState(good).state;
    quarvine::UserCabinet cabinet = state.userCabinet.value();
    std::vector<float> tooLong(quarvine::kMaxSavedResponseSamples + 1, 0.0f);
    tooLong[0] = 1.0f;
    refused.push_back(quarvine::encodePluginState({state.parameters, quarvine::UserCabinet{"long", 384000.0, tooLong}}));
    cabinet.samples[5] = std::nanf("");
    refused.push_back(quarvine::encodePluginState({state.parameters, cabinet}));

    for (const Bytes& bytes : refused) {
        EXPECT_EQ(restore(*plugin, bytes), 0) << bytes.size();
        EXPECT_EQ(save(*plugin), good) << bytes.size();
    }
    EXPECT_EQ(play(*plugin), play(*reference));
}

std::vector<std::pair<VstInt32, float>> automatedByHost;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    if (opcode == audioMasterAutomate)
        automatedByHost.emplace_back(index, opt);
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A mono 32-bit float WAV, its 44-byte header spelled out.
void writeFloatWav(const std::filesystem::path& path, int rate, const std::vector<float>& samples)
{
    const auto dataBytes = static_cast<uint32_t>(4 * samples.size());
    const auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::ofstream file(path, std::ios::binary);
    file << "RIFF" << u32(36 + dataBytes) << "WAVEfmt " << u32(16) << u16(3) << u16(1) << u32(uint32_t(rate))
         << u32(uint32_t(rate) * 4) << u16(4) << u16(32) << "data" << u32(dataBytes);
    file.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(dataBytes));
}

TEST(DroppedResponse, IsLoadedSavedAndTheCabinetMovedToUserWhereTheHostSeesIt)
{
    const cabinet_test::TempFolder folder;
    const std::vector<float> taps = {0.75f, -0.25f, 0.125f};
    writeFloatWav(folder / "cab.wav", 96000, taps);
    std::ofstream(folder / "notes.txt") << "not a sound";

    automatedByHost.clear();
    Quarvine effect(recordingHost);
    effect.setParameter(quarvine::kCabinet, quarvine::cabinetValue(2));
    const auto saved = [&effect] {
        void* data = nullptr;
        const VstInt32 size = effect.getChunk(&data, false);
        return quarvine::decodePluginState({static_cast<const unsigned char*>(data), static_cast<std::size_t>(size)});
    };

    EXPECT_NE(effect.loadUserCabinetFile(cabinet_test::utf8(folder / "notes.txt")), "");
    EXPECT_EQ(effect.getParameter(quarvine::kCabinet), quarvine::cabinetValue(2));
    EXPECT_FALSE(saved().state->userCabinet);
    EXPECT_TRUE(automatedByHost.empty());

    EXPECT_EQ(effect.loadUserCabinetFile(cabinet_test::utf8(folder / "cab.wav")), "");
    EXPECT_EQ(effect.getParameter(quarvine::kCabinet), 1.0f);
    EXPECT_EQ(automatedByHost, (std::vector<std::pair<VstInt32, float>>{{quarvine::kCabinet, 1.0f}}));
    EXPECT_EQ(saved().state->userCabinet, (quarvine::UserCabinet{"cab.wav", 96000.0, taps}));
}

} // namespace
