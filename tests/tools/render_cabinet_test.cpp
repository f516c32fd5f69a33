// SPDX-License-Identifier: GPL-3.0-or-later
// quarvine-render's cabinet, impulse-response and preset options, judged by what it writes.
#include "tool_test_support.h"

#include "effect/factory_presets.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using tooltest::readSound;
using tooltest::Sound;
using tooltest::TempDir;

tooltest::RunResult render(const TempDir& dir, const std::vector<std::string>& args)
{
    return tooltest::run(QUARVINE_RENDER_PATH, args, dir.path());
}

// Half a second of a plucked 196 Hz note at 44.1 kHz.
Sound pluckedNote()
{
    Sound sound{44100, 1, {}};
    for (int n = 0; n < 22050; ++n)
        sound.samples.push_back(static_cast<float>(0.5 * std::exp(-n / 6000.0) * std::sin(2.0 * M_PI * 196.0 * n / 44100.0)));
    return sound;
}

TEST(RenderCabinet, AOneSampleResponseAtTheFilesRatePlaysTheAmplifierAtTheBuiltInsLoudness)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", pluckedNote());
    // A single tap of 0.25 has a flat response of power 0.0625 in every band: the loudness gain
    // that brings it to unit pink-noise power is 4, and the cabinet as a whole passes the signal
    // at gain 1, with no delay.
    tooltest::writeSound(dir / "tap.wav", Sound{44100, 1, {0.25f}});
    auto off = render(dir, {"in.wav", "off.wav", "--drive", "0.7", "--cabinet", "off"});
    ASSERT_EQ(off.status, 0) << off.err;
    auto user = render(dir, {"in.wav", "user.wav", "--drive", "0.7", "--ir", "tap.wav"});
    ASSERT_EQ(user.status, 0) << user.err;
    EXPECT_NE(user.out.find("User"), std::string::npos) << user.out;

    const Sound amplifier = readSound(dir / "off.wav"), cabinet = readSound(dir / "user.wav");
    ASSERT_EQ(cabinet.samples.size(), amplifier.samples.size());
    double peak = 0.0;
    for (float s : amplifier.samples)
        peak = std::max(peak, std::fabs(double(s)));
    ASSERT_GT(peak, 0.01);
    for (std::size_t i = 0; i < amplifier.samples.size(); ++i)
        ASSERT_NEAR(cabinet.samples[i], amplifier.samples[i], 1e-6 * peak) << "frame " << i;
}

TEST(RenderPresets, APresetIsItsSettingsGivenByHandAndTheOptionsOverrideIt)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", pluckedNote());
    // Crunch: Master 0.6, Drive 0.55, Treble 0.6, Middle 0.6, Bass 0.5, Volume 1, the closed 4x12.
    const struct {
        std::vector<std::string> preset, byHand;
    } cases[] = {
        {{"--preset", "crunch"},
         {"--master", "0.65", "--drive", "0.25", "--treble", "0.6", "--middle", "0.6", "--bass", "0.5", "--volume", "0.7",
          "--cabinet", "4x12"}},
        {{"--preset", "crunch", "--drive", "0.2", "--cabinet", "1x10"},
         {"--master", "0.65", "--drive", "0.2", "--treble", "0.6", "--middle", "0.6", "--bass", "0.5", "--volume", "0.7",
          "--cabinet", "1x10"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> preset = {"in.wav", "preset.wav"}, byHand = {"in.wav", "hand.wav"};
        preset.insert(preset.end(), c.preset.begin(), c.preset.end());
        byHand.insert(byHand.end(), c.byHand.begin(), c.byHand.end());
        ASSERT_EQ(render(dir, preset).status, 0);
        ASSERT_EQ(render(dir, byHand).status, 0);
        EXPECT_TRUE(tooltest::fileBytes(dir / "preset.wav") == tooltest::fileBytes(dir / "hand.wav")) << c.preset.size();
    }
}

TEST(RenderPresets, ListsEveryPresetByKeyAndName)
{
    TempDir dir;
    auto result = render(dir, {"--list-presets"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), std::ssize(quarvine::kFactoryPresets));
    for (const quarvine::FactoryPreset& preset : quarvine::kFactoryPresets) {
        const auto line = result.out.find(std::string(preset.key) + " ");
        ASSERT_NE(line, std::string::npos) << preset.key;
        EXPECT_EQ(result.out.substr(line, result.out.find('\n', line) - line).find(preset.name) != std::string::npos,
                  true)
            << preset.key;
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{});
}

} // namespace
