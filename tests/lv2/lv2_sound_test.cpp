// The LV2 plug-in, loaded with lilv, against the VST module: the same samples for the same input
// and the same control values at the same block boundaries, and the LV2 life cycle.
#include "lilv_plugin.h"

#include "demo_phrase.h"
#include "tools/vsthost/vst_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

using lv2test::BundleWorld;
using lv2test::Instance;

constexpr int kBlock = 256;
constexpr int kOversampling = 6;

// A control change before a block, in the LV2 port's units.
struct Change {
    std::size_t block;
    int index;
    float portValue;
};

// The VST parameter for a port value: the Oversampling port counts the integer steps the VST
// parameter announces (0, 1, 2), which sit at 0, 0.5 and 1.
float vstValue(int index, float portValue)
{
    return index == kOversampling ? portValue / 2.0f : portValue;
}

std::vector<float> throughVst(const std::vector<float>& input, double rate, const std::vector<Change>& changes)
{
    auto module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH);
    EXPECT_TRUE(module);
    vsthost::HostedPlugin vst(*module);
    vst.start(rate, kBlock);
    std::vector<float> output(input.size());
    for (std::size_t b = 0, done = 0; done < input.size(); ++b) {
        for (const Change& change : changes)
            if (change.block == b)
                vst.setParameter(change.index, vstValue(change.index, change.portValue));
        const int n = static_cast<int>(std::min<std::size_t>(kBlock, input.size() - done));
        float* in = const_cast<float*>(input.data() + done);
        float* out = output.data() + done;
        vst.processReplacing(&in, &out, n);
        done += static_cast<std::size_t>(n);
    }
    return output;
}

// Port values start at the bundle's defaults, as a host sets them.
void setDefaults(const BundleWorld& world, Instance& lv2)
{
    for (int i = 0; i < Instance::kControls; ++i) {
        LilvNode* def = nullptr;
        lilv_port_get_range(world.plugin(), lilv_plugin_get_port_by_index(world.plugin(), i), &def, nullptr, nullptr);
        lv2.controls[i] = lilv_node_as_float(def);
        lilv_node_free(def);
    }
}

std::vector<float> throughLv2(const std::vector<float>& input, double rate, const std::vector<Change>& changes)
{
    BundleWorld world;
    Instance lv2(world, rate);
    EXPECT_TRUE(lv2);
    setDefaults(world, lv2);
    lilv_instance_activate(lv2.get());
    std::vector<float> output;
    for (std::size_t b = 0, done = 0; done < input.size(); ++b) {
        for (const Change& change : changes)
            if (change.block == b)
                lv2.controls[change.index] = change.portValue;
        const std::size_t n = std::min<std::size_t>(kBlock, input.size() - done);
        const auto block = lv2.process({input.begin() + static_cast<std::ptrdiff_t>(done),
                                        input.begin() + static_cast<std::ptrdiff_t>(done + n)},
                                       kBlock);
        output.insert(output.end(), block.begin(), block.end());
        done += n;
    }
    lilv_instance_deactivate(lv2.get());
    return output;
}

float largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    EXPECT_EQ(a.size(), b.size());
    float largest = 0.0f;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        const float d = std::fabs(a[i] - b[i]);
        if (!(d <= largest)) // NaN counts as a difference
            largest = std::isnan(d) ? std::numeric_limits<float>::infinity() : d;
    }
    return largest;
}

const std::vector<float>& demo()
{
    static const std::vector<float> phrase = render::demoPhrase();
    return phrase;
}

class SameSound : public ::testing::TestWithParam<double> {};

TEST_P(SameSound, DemoPhraseWithStillGlidingAndSwitchedControlsEqualsTheVstModule)
{
    // Settings set before the first block, knobs turned while it plays (gliding), the
    // oversampling switched up and back, and a turn beyond a knob's travel (a jump).
    const std::vector<Change> changes = {
        {0, 1, 0.8f},   {0, 4, 0.3f},  {0, 3, 0.65f}, {150, 1, 0.2f}, {150, 2, 0.9f}, {151, 0, 0.75f},
        {400, 6, 1.0f}, {420, 5, 0.6f}, {700, 6, 2.0f}, {900, 6, 0.0f}, {1000, 3, 1.5f}, {1200, 5, 0.0f},
        {1210, 5, 1.0f}};
    const auto vst = throughVst(demo(), GetParam(), changes);
    const auto lv2 = throughLv2(demo(), GetParam(), changes);
    EXPECT_EQ(largestDifference(vst, lv2), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Rates, SameSound, ::testing::Values(44100.0, 96000.0));

std::vector<float> firstSeconds(double seconds)
{
    return {demo().begin(), demo().begin() + static_cast<std::ptrdiff_t>(seconds * 44100)};
}

TEST(Lv2Input, NonFiniteSamplesAndControlValuesRecoverAsInTheVstModule)
{
    auto input = firstSeconds(2.0);
    input[1000] = std::numeric_limits<float>::quiet_NaN();
    input[20000] = std::numeric_limits<float>::infinity();
    input[20001] = -std::numeric_limits<float>::infinity();
    const std::vector<Change> changes = {{40, 1, std::numeric_limits<float>::quiet_NaN()},
                                         {60, 0, std::numeric_limits<float>::infinity()},
                                         {80, 0, 0.9f}};
    const auto vst = throughVst(input, 44100.0, changes);
    const auto lv2 = throughLv2(input, 44100.0, changes);
    EXPECT_TRUE(std::all_of(lv2.begin(), lv2.end(), [](float x) { return std::isfinite(x); }));
    EXPECT_EQ(largestDifference(vst, lv2), 0.0f);
}

TEST(Lv2Input, AFractionalOversamplingValueCountsAsTheNearestStep)
{
    const auto input = firstSeconds(1.0);
    const auto vst = throughVst(input, 44100.0, {{0, kOversampling, 1.0f}});
    const auto lv2 = throughLv2(input, 44100.0, {{0, kOversampling, 1.4f}});
    EXPECT_EQ(largestDifference(vst, lv2), 0.0f);
}

struct LifeCycle : ::testing::Test {
    BundleWorld world;
    Instance lv2{world, 44100.0};
    void SetUp() override
    {
        ASSERT_TRUE(lv2);
        setDefaults(world, lv2);
    }
};

TEST_F(LifeCycle, UnconnectedPortsAndEmptyRunsNeitherCrashNorChangeTheSound)
{
    // Nothing connected at all, then controls only.
    lilv_instance_activate(lv2.get());
    lilv_instance_run(lv2.get(), 64);
    // An input port never connected: the connected output is silent.
    std::vector<float> out(64, 1.0f);
    for (uint32_t port = 0; port < 8; ++port)
        lilv_instance_connect_port(lv2.get(), port, nullptr);
    lilv_instance_connect_port(lv2.get(), 8, out.data());
    lilv_instance_run(lv2.get(), 64);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float x) { return x == 0.0f; }));
    lilv_instance_run(lv2.get(), 0);
    lilv_instance_deactivate(lv2.get());

    // Re-activated: the state of a fresh instance, with every control connected again.
    lilv_instance_activate(lv2.get());
    const auto input = firstSeconds(1.0);
    const auto after = lv2.process(input, kBlock);
    EXPECT_EQ(largestDifference(after, throughVst(input, 44100.0, {})), 0.0f);
}

TEST_F(LifeCycle, ActivatingAgainStartsFromRestAsAFreshInstanceDoes)
{
    const auto input = firstSeconds(1.0);
    lilv_instance_activate(lv2.get());
    lv2.controls[1] = 1.0f;
    lv2.controls[kOversampling] = 2.0f;
    lv2.process(input, kBlock);
    lilv_instance_deactivate(lv2.get());
    lilv_instance_activate(lv2.get());
    lv2.controls[1] = 0.5f;
    lv2.controls[kOversampling] = 0.0f;
    const auto second = lv2.process(input, kBlock);
    EXPECT_EQ(largestDifference(second, throughVst(input, 44100.0, {})), 0.0f);
}

} // namespace
