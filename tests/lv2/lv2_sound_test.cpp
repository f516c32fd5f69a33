// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 plug-in, loaded with lilv, against the VST module: the same samples for the same input
// and the same control values at the same block boundaries, and the LV2 life cycle.
#include "lilv_plugin.h"

#include "demo_phrase.h"
#include "tools/vsthost/vst_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace {

using lv2test::BundleWorld;
using lv2test::Instance;
using lv2test::setDefaults;

constexpr int kBlock = 256;
constexpr int kOversampling = 6;

// A control change before a block, in the LV2 port's units.
struct Change {
    std::size_t block;
    int index;
    float portValue;
};

// The VST parameter for a port value: a port counts its value clamped to its declared range (0..1,
// the Oversampling port's steps 0, 1, 2), and the Oversampling steps sit at 0, 0.5 and 1.
float vstValue(int index, float portValue)
{
    const float top = index == kOversampling ? 2.0f : 1.0f;
    const float value = std::isfinite(portValue) ? std::clamp(portValue, 0.0f, top) : portValue;
    return index == kOversampling ? value / 2.0f : value;
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

std::vector<float> throughLv2(const std::vector<float>& input, double rate, const std::vector<Change>& changes)
{
    BundleWorld world;
    Instance lv2(world, rate);
    EXPECT_TRUE(lv2);
    if (!lv2)
        return {};
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
    // oversampling switched up and back, and a turn beyond a knob's travel (counted at its end).
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

// A host may send any control value: every port counts it clamped to its declared range, so that a
// Volume of 1e30 plays as 1 (not as a peak of 1e29).
TEST(Lv2Input, ControlValuesBeyondAPortsRangeCountAsItsEnds)
{
    const auto input = firstSeconds(0.05);
    BundleWorld world;
    for (int i = 0; i < Instance::kControls; ++i) {
        LilvNode *min = nullptr, *max = nullptr;
        lilv_port_get_range(world.plugin(), lilv_plugin_get_port_by_index(world.plugin(), i), nullptr, &min, &max);
        ASSERT_TRUE(min && max) << i;
        const float low = lilv_node_as_float(min), high = lilv_node_as_float(max);
        lilv_node_free(min);
        lilv_node_free(max);
        for (auto [sent, end] : {std::pair{1e30f, high}, {high + 0.5f, high}, {-1e30f, low}, {low - 0.5f, low}})
            EXPECT_EQ(largestDifference(throughLv2(input, 44100.0, {{0, i, sent}}),
                                        throughLv2(input, 44100.0, {{0, i, end}})),
                      0.0f)
                << "port " << i << " at " << sent;
    }
}

// Sets the floating-point rounding mode for its lifetime.
class RoundingMode {
public:
    explicit RoundingMode(int mode) : saved(std::fegetround()) { std::fesetround(mode); }
    ~RoundingMode() { std::fesetround(saved); }
    RoundingMode(const RoundingMode&) = delete;
    RoundingMode& operator=(const RoundingMode&) = delete;

private:
    int saved;
};

// The Oversampling step comes from fixed thresholds halfway between the steps, whatever rounding
// mode the host runs in: below 0.5 is 2x, below 1.5 is 4x, from there on 8x.
TEST(Lv2Input, TheOversamplingStepIsTheSameInEveryRoundingMode)
{
    const auto input = firstSeconds(0.05);
    const std::pair<float, int> cases[] = {{0.1f, 0}, {0.4999f, 0}, {0.5f, 1}, {0.9f, 1},
                                           {1.4999f, 1}, {1.5f, 2}, {1.9f, 2}};
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        RoundingMode rounding(mode);
        std::vector<float> atStep[3];
        for (int step = 0; step < 3; ++step)
            atStep[step] = throughLv2(input, 44100.0, {{0, kOversampling, static_cast<float>(step)}});
        ASSERT_NE(atStep[0], atStep[1]);
        ASSERT_NE(atStep[1], atStep[2]);
        for (auto [value, step] : cases)
            EXPECT_EQ(largestDifference(throughLv2(input, 44100.0, {{0, kOversampling, value}}), atStep[step]), 0.0f)
                << "port value " << value << ", rounding mode " << mode;
    }
}

// Instances run from 1 kHz to 1.536 MHz, ends included: a host asking for another rate (or for no
// rate at all) gets none.
TEST(Lv2Rates, OnlyTheAcceptedRatesGiveAnInstance)
{
    BundleWorld world;
    const double inf = std::numeric_limits<double>::infinity();
    for (double rate : {0.0, -44100.0, std::nan(""), inf, -inf, 999.999, 1536000.001, 1e7, 1e9, 1e100})
        EXPECT_FALSE(Instance(world, rate)) << rate;
    for (double rate : {1000.0, 1536000.0})
        EXPECT_TRUE(Instance(world, rate)) << rate;
}

// At both ends of the range, at the lowest and highest step, silence stays silent and a loud tone
// stays finite. Silent: never above -80 dBFS (a real amplifier hisses louder), below -120 dBFS once
// the power-up has settled after 0.1 s. (At 10 MHz the model already hums near 0 dBFS on silence.)
TEST(Lv2Rates, AtTheEndsOfTheRangeSilenceStaysSilentAndSoundFinite)
{
    for (double rate : {1000.0, 1536000.0}) {
        const auto frames = static_cast<std::size_t>(rate * 0.2);
        const auto settled = static_cast<std::ptrdiff_t>(rate * 0.1);
        const std::vector<float> silence(frames, 0.0f);
        std::vector<float> tone(frames);
        for (std::size_t i = 0; i < frames; ++i)
            tone[i] = 0.8f * static_cast<float>(std::sin(2.0 * M_PI * 110.0 * static_cast<double>(i) / rate));
        for (float step : {0.0f, 2.0f}) {
            const auto quiet = throughLv2(silence, rate, {{0, kOversampling, step}});
            EXPECT_LT(largestDifference(quiet, silence), 1e-4f) << rate << " Hz, step " << step;
            EXPECT_LT(largestDifference({quiet.begin() + settled, quiet.end()}, {silence.begin() + settled, silence.end()}),
                      1e-6f)
                << rate << " Hz, step " << step;
            const auto loud = throughLv2(tone, rate, {{0, kOversampling, step}, {0, 1, 1.0f}});
            EXPECT_TRUE(std::all_of(loud.begin(), loud.end(), [](float x) { return std::isfinite(x); }))
                << rate << " Hz, step " << step;
            EXPECT_GT(largestDifference(loud, silence), 0.01f) << rate << " Hz, step " << step;
        }
    }
}

// The instance takes nothing from the descriptor, the bundle path or the features: a host passing
// null for them still gets one that plays. A null handle, as a refused instantiation returns, is
// harmless in every entry that takes a handle.
TEST(Lv2EntryPoints, NullsAHostCouldPassCrashNothing)
{
    BundleWorld world;
    Instance lv2(world, 44100.0);
    ASSERT_TRUE(lv2);
    setDefaults(world, lv2);
    const std::vector<float> input(64, 0.25f);
    const auto expected = lv2.process(input, 64);
    const LV2_Descriptor* descriptor = lilv_instance_get_descriptor(lv2.get());
    LV2_Descriptor withoutUri = *descriptor;
    withoutUri.URI = nullptr;
    for (const LV2_Descriptor* passed : {static_cast<const LV2_Descriptor*>(nullptr), static_cast<const LV2_Descriptor*>(&withoutUri)}) {
        LV2_Handle handle = descriptor->instantiate(passed, 44100.0, nullptr, nullptr);
        ASSERT_NE(handle, nullptr);
        std::array<float, Instance::kControls> controls = lv2.controls;
        std::vector<float> in = input, out(64, 7.0f);
        for (uint32_t port = 0; port < controls.size(); ++port)
            descriptor->connect_port(handle, port, &controls[port]);
        descriptor->connect_port(handle, Instance::kControls, in.data());
        descriptor->connect_port(handle, Instance::kControls + 1, out.data());
        descriptor->activate(handle);
        descriptor->run(handle, 64);
        descriptor->deactivate(handle);
        descriptor->cleanup(handle);
        EXPECT_EQ(out, expected);
    }
    float value = 0.5f;
    descriptor->connect_port(nullptr, 0, &value);
    descriptor->activate(nullptr);
    descriptor->run(nullptr, 64);
    descriptor->deactivate(nullptr);
    descriptor->cleanup(nullptr);
    EXPECT_EQ(descriptor->extension_data(nullptr), nullptr);
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
