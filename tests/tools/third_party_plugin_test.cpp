// SPDX-License-Identifier: GPL-3.0-or-later
// The host library and the renderer against a VST 2.4 plug-in we did not write.
#include "tool_test_support.h"
#include "tools/vsthost/vst_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

// A stereo three-band equaliser from Debian's dpf-plugins-vst package.
const char* kThirdParty = "/usr/lib/vst/3BandEQ-vst.so";

class ThirdPartyPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(kThirdParty))
            GTEST_SKIP() << kThirdParty << " is not installed (package dpf-plugins-vst)";
        std::string error;
        module = vsthost::PluginModule::load(kThirdParty, &error);
        ASSERT_TRUE(module) << error;
    }
    std::unique_ptr<vsthost::PluginModule> module;
};

TEST_F(ThirdPartyPlugin, ReportsItselfAndProcessesABlock)
{
    vsthost::HostedPlugin plugin(*module);
    ASSERT_TRUE(plugin);
    AEffect* effect = plugin.effect();
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_GT(effect->numParams, 0);
    EXPECT_TRUE(effect->flags & effFlagsCanReplacing);
    EXPECT_FALSE(plugin.effectName().empty());
    EXPECT_FALSE(plugin.vendorString().empty());
    for (VstInt32 i = 0; i < effect->numParams; ++i) {
        EXPECT_FALSE(plugin.parameterName(i).empty()) << "parameter " << i;
        float value = plugin.getParameter(i);
        EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << "parameter " << i << " = " << value;
    }

    plugin.start(48000.0, 256);
    std::vector<float> left(256), right(256), outLeft(256, NAN), outRight(256, NAN);
    for (std::size_t n = 0; n < left.size(); ++n) {
        left[n] = static_cast<float>(0.5 * std::sin(0.05 * static_cast<double>(n)));
        right[n] = -left[n];
    }
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    for (int block = 0; block < 8; ++block)
        plugin.processReplacing(inputs, outputs, 256);
    double energy = 0.0;
    for (std::size_t n = 0; n < 256; ++n) {
        ASSERT_TRUE(std::isfinite(outLeft[n]) && std::isfinite(outRight[n])) << "sample " << n;
        energy += double(outLeft[n]) * outLeft[n] + double(outRight[n]) * outRight[n];
    }
    EXPECT_GT(energy, 0.0) << "an equaliser at its defaults passes a tone";
    plugin.suspend();
    plugin.close();
}

TEST_F(ThirdPartyPlugin, RendersThroughTheRenderer)
{
    tooltest::TempDir dir;
    tooltest::Sound tone{48000, 1, std::vector<float>(24000, 0.25f)};
    tooltest::writeSound(dir / "in.wav", tone);
    auto result = tooltest::run(QUARVINE_RENDER_PATH, {"in.wav", "out.wav", "--plugin", kThirdParty, "--param", "0=0.5"},
                                dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(tooltest::readSound(dir / "out.wav").frames(), 24000u);
    // Quarvine's named controls mean nothing to another plug-in.
    auto refused = tooltest::run(QUARVINE_RENDER_PATH, {"in.wav", "out2.wav", "--plugin", kThirdParty, "--drive", "0.2"},
                                 dir.path());
    EXPECT_NE(refused.status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "out2.wav"));
}

// A reverb rings past any fixed decay limit and works in its own internal blocks: the validator
// warns about both and does not fail it for them.
TEST(ValidatorOnAPeer, JudgesAReverbsLongTailAsAdvice)
{
    const char* reverb = "/usr/lib/vst/MVerb-vst.so";
    if (!std::filesystem::exists(reverb))
        GTEST_SKIP() << reverb << " is not installed (package dpf-plugins-vst)";
    auto result = tooltest::run(QUARVINE_VALIDATE_PATH,
                                {reverb, "--only", "processing", "--strictness", "1", "--timeout", "300"},
                                std::filesystem::temp_directory_path());
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_TRUE(result.out.rfind("WARN  processing", 0) == 0) << result.out;
    EXPECT_NE(result.out.find("advice: 44.1 kHz, block 512: silence in still gives"), std::string::npos) << result.out;
}

} // namespace
