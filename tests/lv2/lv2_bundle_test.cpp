// SPDX-License-Identifier: GPL-3.0-or-later
// The bundle's Turtle, read with lilv, against the VST module's own parameter answers.
#include "lilv_plugin.h"

#include "host/aeffectx.h"
#include "tools/vsthost/vst_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <utility>
#include <string>

namespace {

using lv2test::BundleWorld;

std::string trimmed(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

struct BundleTest : ::testing::Test {
    void SetUp() override
    {
        module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH);
        ASSERT_TRUE(module);
        vst = std::make_unique<vsthost::HostedPlugin>(*module);
        ASSERT_TRUE(*vst);
        ASSERT_NE(world.plugin(), nullptr) << "no urn:orn:quarvine in " << QUARVINE_LV2_BUNDLE;
    }

    // The VST name a host shows: the full one from the parameter properties where there is one.
    std::string vstName(int index)
    {
        VstParameterProperties properties{};
        if (vst->dispatch(effGetParameterProperties, index, 0, &properties))
            return properties.label;
        return trimmed(vst->parameterName(index));
    }

    const LilvPort* port(int index) const { return lilv_plugin_get_port_by_index(world.plugin(), index); }
    bool is(const LilvPort* p, const char* classUri) const
    {
        LilvNode* node = world.uri(classUri);
        const bool result = lilv_port_is_a(world.plugin(), p, node);
        lilv_node_free(node);
        return result;
    }
    bool hasProperty(const LilvPort* p, const char* propertyUri) const
    {
        LilvNode* node = world.uri(propertyUri);
        const bool result = lilv_port_has_property(world.plugin(), p, node);
        lilv_node_free(node);
        return result;
    }

    BundleWorld world;
    std::unique_ptr<vsthost::PluginModule> module;
    std::unique_ptr<vsthost::HostedPlugin> vst;
};

constexpr const char* kLv2 = "http://lv2plug.in/ns/lv2core#";

TEST_F(BundleTest, DescribesOneAudioInputOneOutputAControlInputPerVstParameterAndTwoPatchMessagePorts)
{
    EXPECT_TRUE(lilv_plugin_verify(world.plugin()));
    const AEffect* effect = vst->effect();
    const int controls = effect->numParams;
    ASSERT_EQ(lilv_plugin_get_num_ports(world.plugin()), static_cast<uint32_t>(controls + 4));
    int audioIn = 0, audioOut = 0;
    for (int i = 0; i < controls + 2; ++i) {
        const LilvPort* p = port(i);
        // The audio ports keep the indices 7 and 8 of the release before the Cabinet port, which
        // came after them.
        if (i != 7 && i != 8) {
            EXPECT_TRUE(is(p, LILV_URI_CONTROL_PORT) && is(p, LILV_URI_INPUT_PORT)) << i;
            continue;
        }
        ASSERT_TRUE(is(p, LILV_URI_AUDIO_PORT)) << i;
        audioIn += is(p, LILV_URI_INPUT_PORT);
        audioOut += is(p, LILV_URI_OUTPUT_PORT);
    }
    EXPECT_EQ(audioIn, effect->numInputs);
    EXPECT_EQ(audioOut, effect->numOutputs);
    // Then the impulse response's messages in and out, the way hosts find a file property.
    LilvNode* message = world.uri("http://lv2plug.in/ns/ext/patch#Message");
    for (auto [index, direction] : {std::pair{controls + 2, LILV_URI_INPUT_PORT}, {controls + 3, LILV_URI_OUTPUT_PORT}}) {
        EXPECT_TRUE(is(port(index), LILV_URI_ATOM_PORT) && is(port(index), direction)) << index;
        EXPECT_TRUE(lilv_port_supports_event(world.plugin(), port(index), message)) << index;
    }
    lilv_node_free(message);
}

TEST_F(BundleTest, TheImpulseResponseIsAWritablePathParameter)
{
    LilvNode* writable = world.uri("http://lv2plug.in/ns/ext/patch#writable");
    LilvNodes* parameters = lilv_plugin_get_value(world.plugin(), writable);
    ASSERT_EQ(lilv_nodes_size(parameters), 1u);
    const LilvNode* parameter = lilv_nodes_get_first(parameters);
    EXPECT_STREQ(lilv_node_as_uri(parameter), "urn:orn:quarvine#impulse_response");
    LilvNode* range = world.uri("http://www.w3.org/2000/01/rdf-schema#range");
    LilvNode* label = world.uri("http://www.w3.org/2000/01/rdf-schema#label");
    LilvNode* rangeValue = lilv_world_get(world.world(), parameter, range, nullptr);
    LilvNode* labelValue = lilv_world_get(world.world(), parameter, label, nullptr);
    ASSERT_TRUE(rangeValue && labelValue);
    EXPECT_STREQ(lilv_node_as_uri(rangeValue), "http://lv2plug.in/ns/ext/atom#Path");
    EXPECT_STREQ(lilv_node_as_string(labelValue), "Impulse response");
    for (LilvNode* node : {writable, range, label, rangeValue, labelValue})
        lilv_node_free(node);
    lilv_nodes_free(parameters);
}

TEST_F(BundleTest, KnobPortsHaveTheVstNamesDefaultsRangesAndNoUnit)
{
    LilvNode* unit = world.uri("http://lv2plug.in/ns/extensions/units#unit");
    for (int i = 0; i < 6; ++i) {
        const LilvPort* p = port(i);
        LilvNode* name = lilv_port_get_name(world.plugin(), p);
        EXPECT_EQ(lilv_node_as_string(name), vstName(i));
        lilv_node_free(name);

        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(world.plugin(), p, &def, &min, &max);
        ASSERT_TRUE(def && min && max) << i;
        EXPECT_EQ(lilv_node_as_float(def), vst->getParameter(i)) << i;
        // The ends of the VST knob's travel: values beyond it read back there.
        vst->setParameter(i, -3.0f);
        EXPECT_EQ(lilv_node_as_float(min), vst->getParameter(i)) << i;
        vst->setParameter(i, 3.0f);
        EXPECT_EQ(lilv_node_as_float(max), vst->getParameter(i)) << i;
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);

        // The VST label is blank: no unit for a host to append either.
        EXPECT_EQ(trimmed(vst->parameterLabel(i)), "");
        LilvNodes* units = lilv_port_get_value(world.plugin(), p, unit);
        EXPECT_EQ(lilv_nodes_size(units), 0u) << i;
        lilv_nodes_free(units);
    }
    lilv_node_free(unit);
}

TEST_F(BundleTest, OversamplingIsAnIntegerEnumerationWhoseStepsShowAsTheVstDisplays)
{
    const int index = 6;
    const LilvPort* p = port(index);
    LilvNode* name = lilv_port_get_name(world.plugin(), p);
    EXPECT_EQ(lilv_node_as_string(name), vstName(index));
    lilv_node_free(name);
    EXPECT_TRUE(hasProperty(p, (std::string(kLv2) + "integer").c_str()));
    EXPECT_TRUE(hasProperty(p, (std::string(kLv2) + "enumeration").c_str()));

    // The VST parameter's steps: step k is the value k * stepFloat, across 0..1.
    VstParameterProperties properties{};
    ASSERT_TRUE(vst->dispatch(effGetParameterProperties, index, 0, &properties));
    ASSERT_TRUE(properties.flags & kVstParameterUsesFloatStep);
    ASSERT_GT(properties.stepFloat, 0.0f);
    const int steps = static_cast<int>(1.0f / properties.stepFloat) + 1;
    std::map<float, std::string> points;
    LilvScalePoints* scalePoints = lilv_port_get_scale_points(world.plugin(), p);
    LILV_FOREACH (scale_points, it, scalePoints) {
        const LilvScalePoint* point = lilv_scale_points_get(scalePoints, it);
        points[lilv_node_as_float(lilv_scale_point_get_value(point))] =
            lilv_node_as_string(lilv_scale_point_get_label(point));
    }
    lilv_scale_points_free(scalePoints);
    ASSERT_EQ(points.size(), static_cast<std::size_t>(steps));
    for (int k = 0; k < steps; ++k) {
        ASSERT_EQ(points.count(static_cast<float>(k)), 1u) << k;
        vst->setParameter(index, static_cast<float>(k) * properties.stepFloat);
        EXPECT_EQ(points[static_cast<float>(k)], vst->parameterDisplay(index)) << k;
    }

    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(world.plugin(), p, &def, &min, &max);
    ASSERT_TRUE(def && min && max);
    EXPECT_EQ(lilv_node_as_float(min), 0.0f);
    EXPECT_EQ(lilv_node_as_float(max), static_cast<float>(steps - 1));
    // The default step shows what a fresh VST instance shows.
    auto fresh = std::make_unique<vsthost::HostedPlugin>(*module);
    EXPECT_EQ(points[lilv_node_as_float(def)], fresh->parameterDisplay(index));
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);
}

TEST_F(BundleTest, OffersAnX11UiWhoseLibraryIsInTheBundle)
{
    LilvUIs* uis = lilv_plugin_get_uis(world.plugin());
    LilvNode* id = world.uri("urn:orn:quarvine#ui");
    const LilvUI* ui = lilv_uis_get_by_uri(uis, id);
    ASSERT_NE(ui, nullptr);
    LilvNode* x11 = world.uri("http://lv2plug.in/ns/extensions/ui#X11UI");
    EXPECT_TRUE(lilv_ui_is_a(ui, x11));
    char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    lilv_free(path);
    lilv_node_free(x11);
    lilv_node_free(id);
    lilv_uis_free(uis);
}

} // namespace
