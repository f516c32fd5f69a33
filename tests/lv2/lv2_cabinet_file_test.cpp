// SPDX-License-Identifier: GPL-3.0-or-later
// The player's impulse response as an LV2 host drives it: a patch:Set through the control port,
// the worker run as a host runs it, the path told back, kept in the host's state; and the factory
// presets as hosts list and apply them.
#include "host_features.h"
#include "lilv_plugin.h"

#include "effect/factory_presets.h"
#include "tests/cabinet/sound_file_writer.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

using namespace lv2test;

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
constexpr float kUser = 5.0f; // the Cabinet port's User position
constexpr std::size_t kDelay = 32;

// Two silent blocks (the one that sends the path, the one after the worker), then a loud chord.
std::vector<float> signal()
{
    std::vector<float> samples(2 * kBlock + 44100);
    for (std::size_t i = 2 * kBlock; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        samples[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 110 * t) + 0.2 * std::sin(2 * M_PI * 1234 * t));
    }
    return samples;
}

// The output with no cabinet: a one-tap response plays it delayed by the tap's place.
std::vector<float> withoutCabinet()
{
    BundleWorld world;
    Instance lv2(world, kRate);
    setDefaults(world, lv2);
    lilv_instance_activate(lv2.get());
    return lv2.process(signal(), kBlock);
}

// The largest difference between out and the output without a cabinet delayed by `delay`, from
// sample `from` on.
float differenceFromDelayed(const std::vector<float>& out, std::size_t delay, std::size_t from)
{
    static const std::vector<float> dry = withoutCabinet();
    float largest = 0.0f;
    for (std::size_t i = from; i < out.size(); ++i)
        largest = std::fmax(largest, std::fabs(out[i] - (i >= delay ? dry[i - delay] : 0.0f)));
    return largest;
}

struct CabinetFile : ::testing::Test {
    cabinet_test::TempFolder folder;
    HostFeatures host;
    BundleWorld world;
    AtomBuffer control, notify;
    const std::string delayedTap = (folder / "delayed-tap.wav").string();

    void SetUp() override
    {
        // One tap of 0.5 after kDelay samples: brought to the built-ins' loudness (unit pink-noise
        // power) it becomes 1, and the cabinet a pure delay.
        cabinet_test::Sound tap;
        tap.reals.assign(kDelay + 1, 0.0);
        tap.reals[kDelay] = 0.5;
        cabinet_test::writeSound(delayedTap, SF_FORMAT_WAV | SF_FORMAT_FLOAT, tap);
    }

    // Activated at the defaults, Cabinet at User, the atom ports connected.
    std::unique_ptr<Instance> instance(bool withWorker = true)
    {
        auto lv2 = std::make_unique<Instance>(world, kRate, host.features(withWorker));
        EXPECT_TRUE(*lv2);
        setDefaults(world, *lv2);
        lv2->cabinet = kUser;
        control.clear(host);
        lilv_instance_connect_port(lv2->get(), 10, control.sequence());
        lilv_instance_connect_port(lv2->get(), 11, notify.sequence());
        lilv_instance_activate(lv2->get());
        return lv2;
    }

    // One block of `in` from `at`, with what the control port holds; the paths told.
    std::vector<std::string> block(Instance& lv2, const std::vector<float>& in, std::size_t at, std::vector<float>& out)
    {
        notify.offer(host);
        const auto played = lv2.process({in.begin() + at, in.begin() + at + kBlock}, kBlock);
        out.insert(out.end(), played.begin(), played.end());
        control.clear(host);
        return notify.pathsTold(host);
    }

    // The signal played with a path set in the first block and the worker run after it; the paths
    // told in the second.
    std::vector<std::string> playSetting(Instance& lv2, const std::string& path, std::vector<float>& out)
    {
        const auto in = signal();
        control.setPath(host, path);
        block(lv2, in, 0, out);
        host.runWorker(lv2.get());
        const auto told = block(lv2, in, kBlock, out);
        const auto rest = lv2.process({in.begin() + 2 * kBlock, in.end()}, kBlock);
        out.insert(out.end(), rest.begin(), rest.end());
        return told;
    }
};

// After the 20 ms fade to it: the tolerance is the convolution's rounding.
constexpr std::size_t kFaded = 4096;

TEST_F(CabinetFile, ASetPathPlaysTheFileAtTheBuiltInsLoudnessAndIsToldBack)
{
    auto lv2 = instance();
    std::vector<float> out;
    EXPECT_EQ(playSetting(*lv2, delayedTap, out), std::vector<std::string>{delayedTap});
    EXPECT_LT(differenceFromDelayed(out, kDelay, kFaded), 1e-5f);
    EXPECT_GT(differenceFromDelayed(out, 0, kFaded), 0.1f); // not the output without a cabinet
    control.getPath(host);
    EXPECT_EQ(block(*lv2, signal(), 0, out), std::vector<std::string>{delayedTap});
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(CabinetFile, AFileThatCannotBeReadIsLoggedAndTheCabinetPlayingStays)
{
    auto lv2 = instance();
    std::vector<float> first, second;
    playSetting(*lv2, delayedTap, first);
    // Activated again (the amplifier at rest), the response stays loaded.
    lilv_instance_deactivate(lv2->get());
    lilv_instance_activate(lv2->get());
    const std::string text = (folder / "notes.wav").string();
    std::ofstream(text) << "not a sound";
    // The host is told the path still playing, the log why the file was refused.
    EXPECT_EQ(playSetting(*lv2, text, second), std::vector<std::string>{delayedTap});
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find(text), std::string::npos) << host.errors[0];
    EXPECT_LT(differenceFromDelayed(second, kDelay, 0), 1e-5f);

    // A host without a worker: warned at instantiation, a path set is refused.
    EXPECT_TRUE(host.warnings.empty());
    auto alone = instance(false);
    EXPECT_EQ(host.warnings.size(), 1u);
    std::vector<float> out;
    EXPECT_TRUE(playSetting(*alone, delayedTap, out).empty());
    EXPECT_EQ(differenceFromDelayed(out, 0, 0), 0.0f);
}

// A host's saved state: the values stored by key, and a state:mapPath that makes a path the name
// of a file in the session's folder ("session:NAME") and back.
struct SavedState {
    std::filesystem::path session;
    std::map<uint32_t, std::pair<uint32_t, std::string>> values; // key: type, bytes

    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t)
    {
        static_cast<SavedState*>(handle)->values[key] = {type, std::string(static_cast<const char*>(value), size)};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
    {
        const auto& values = static_cast<SavedState*>(handle)->values;
        const auto it = values.find(key);
        if (it == values.end())
            return nullptr;
        *size = it->second.second.size();
        *type = it->second.first;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return it->second.second.data();
    }
    static char* abstractPath(LV2_State_Map_Path_Handle, const char* path)
    {
        return strdup(("session:" + std::filesystem::path(path).filename().string()).c_str());
    }
    static char* absolutePath(LV2_State_Map_Path_Handle handle, const char* name)
    {
        return strdup((static_cast<SavedState*>(handle)->session / (name + std::strlen("session:"))).c_str());
    }
    LV2_State_Map_Path mapPath{this, abstractPath, absolutePath};
    LV2_Feature mapping{LV2_STATE__mapPath, &mapPath};
    const LV2_Feature* features[2] = {&mapping, nullptr};
};

TEST_F(CabinetFile, TheHostsStateKeepsTheAbstractPathAndAFreshInstanceRestoredFromItPlaysTheFile)
{
    auto lv2 = instance();
    const auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(lv2->get(), LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    SavedState none;
    state->save(lilv_instance_get_handle(lv2->get()), SavedState::store, &none, 0, none.features);
    EXPECT_TRUE(none.values.empty());
    std::vector<float> out;
    playSetting(*lv2, delayedTap, out);
    SavedState saved;
    saved.session = folder / "session";
    state->save(lilv_instance_get_handle(lv2->get()), SavedState::store, &saved, 0, saved.features);
    const std::pair<uint32_t, std::string> path = {host.urid(LV2_ATOM__Path), std::string("session:delayed-tap.wav", 24)};
    EXPECT_EQ(saved.values, (std::map<uint32_t, std::pair<uint32_t, std::string>>{
                                {host.urid("urn:orn:quarvine#impulse_response"), path}}));

    // The session has taken the file into its folder. Restored before activation, as hosts do: the
    // response plays from the first sample, with no fade.
    std::filesystem::create_directories(saved.session);
    std::filesystem::rename(delayedTap, saved.session / "delayed-tap.wav");
    Instance fresh(world, kRate, host.features());
    setDefaults(world, fresh);
    fresh.cabinet = kUser;
    state->restore(lilv_instance_get_handle(fresh.get()), SavedState::retrieve, &saved, 0, saved.features);
    lilv_instance_activate(fresh.get());
    EXPECT_LT(differenceFromDelayed(fresh.process(signal(), kBlock), kDelay, 0), 1e-5f);
    EXPECT_EQ(host.errors, std::vector<std::string>{});

    // A state without a response (the host resetting the plug-in) leaves none loaded.
    lilv_instance_deactivate(fresh.get());
    state->restore(lilv_instance_get_handle(fresh.get()), SavedState::retrieve, &none, 0, none.features);
    lilv_instance_activate(fresh.get());
    EXPECT_EQ(differenceFromDelayed(fresh.process(signal(), kBlock), 0, 0), 0.0f);
}

void keepValue(const char* symbol, void* values, const void* value, uint32_t size, uint32_t)
{
    if (size == sizeof(float))
        std::memcpy(&(*static_cast<std::map<std::string, float>*>(values))[symbol], value, sizeof(float));
}

TEST(Lv2Presets, HostsListTheFactoryPresetsByNameAndApplyingOneSetsAllButOversampling)
{
    HostFeatures host;
    BundleWorld world;
    LilvNode* presetClass = world.uri(LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(world.plugin(), presetClass);
    std::map<std::string, std::map<std::string, float>> applied;
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(world.world(), preset);
        LilvState* state = lilv_state_new_from_world(world.world(), host.map(), preset);
        ASSERT_TRUE(state && lilv_state_get_label(state)) << lilv_node_as_uri(preset);
        lilv_state_restore(state, nullptr, keepValue, &applied[lilv_state_get_label(state)], 0, nullptr);
        lilv_state_free(state);
    }
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);

    ASSERT_EQ(applied.size(), std::size(quarvine::kFactoryPresets));
    for (const auto& preset : quarvine::kFactoryPresets) {
        const auto& k = preset.knobs;
        const std::map<std::string, float> expected = {{"master", k[0]}, {"drive", k[1]}, {"treble", k[2]},
                                                       {"middle", k[3]}, {"bass", k[4]},  {"volume", k[5]},
                                                       {"cabinet", static_cast<float>(preset.cabinet)}};
        EXPECT_EQ(applied[std::string(preset.name)], expected) << preset.name;
    }
}

} // namespace
