// SPDX-License-Identifier: GPL-3.0-or-later
// The real plug-in module, loaded and driven the way a host does it.
#include "loaded_module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

VstIntPtr VSTCALLBACK refusingHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

TEST_F(LoadedModule, EntryPointRefusesAHostWithoutVersion)
{
    EXPECT_EQ(module->entry()(refusingHost), nullptr);
    EXPECT_EQ(module->entry()(nullptr), nullptr);
}

TEST_F(LoadedModule, AsksTheHostVersionFirstWithoutARecord)
{
    vsthost::HostedPlugin plugin(*module);
    ASSERT_TRUE(plugin);
    auto calls = plugin.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterVersion);
    EXPECT_FALSE(calls.front().hadEffect);
}

TEST_F(LoadedModule, RecordDescribesTheEffect)
{
    vsthost::HostedPlugin plugin(*module);
    const AEffect* record = plugin.effect();
    ASSERT_NE(record, nullptr);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record->magic);
    EXPECT_EQ(bytes[0], 0x50);
    EXPECT_EQ(bytes[1], 0x74);
    EXPECT_EQ(bytes[2], 0x73);
    EXPECT_EQ(bytes[3], 0x56);
    EXPECT_EQ(record->numPrograms, 0);
    EXPECT_EQ(record->numParams, 8);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 1);
    EXPECT_EQ(record->flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks);
    EXPECT_EQ(record->uniqueID, 0x51756172);
    EXPECT_EQ(record->version, 1);
    EXPECT_EQ(record->initialDelay, 0);
    EXPECT_EQ(record->ioRatio, 1.0f);
    EXPECT_NE(record->object, nullptr);
    EXPECT_EQ(record->user, nullptr);
    EXPECT_EQ(record->resvd1, 0);
    EXPECT_EQ(record->resvd2, 0);
    EXPECT_EQ(record->realQualities, 0);
    EXPECT_EQ(record->offQualities, 0);
    for (char byte : record->future)
        EXPECT_EQ(byte, 0);
    EXPECT_NE(record->processReplacing, nullptr);
    EXPECT_NE(record->processDoubleReplacing, nullptr);
}

TEST_F(LoadedModule, TextsThroughTheDispatcher)
{
    vsthost::HostedPlugin plugin(*module);
    EXPECT_EQ(plugin.effectName(), "Quarvine");
    EXPECT_EQ(plugin.vendorString(), "Orn");
    EXPECT_EQ(plugin.productString(), "Orn Quarvine");
    EXPECT_EQ(plugin.dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(plugin.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plugin.dispatch(effGetEffectName, 0, 0, std::vector<char>(64).data()), 1);
    const char* names[] = {"Master  ", "Drive   ", "Treble  ", "Middle  ", "Bass    ", "Volume  "};
    for (VstInt32 i = 0; i < 6; ++i) {
        EXPECT_EQ(plugin.parameterName(i), names[i]);
        EXPECT_EQ(plugin.parameterLabel(i), "        ");
        EXPECT_EQ(plugin.parameterDisplay(i), i == 5 ? "10.000" : "5.000");
        EXPECT_EQ(plugin.getParameter(i), i == 5 ? 1.0f : 0.5f);
    }
    VstPinProperties pin{};
    EXPECT_EQ(plugin.dispatch(effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Quarvine In 1");
    EXPECT_EQ(plugin.dispatch(effGetOutputProperties, 1, 0, &pin), 0);
    EXPECT_EQ(plugin.dispatch(effSetTotalSampleToProcess, 0, 4096), 4096);
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, const_cast<char*>("plugAsChannelInsert")), 0);
}

TEST_F(LoadedModule, ParametersRoundTripThroughTheRecord)
{
    vsthost::HostedPlugin plugin(*module);
    plugin.setParameter(3, 0.2f);
    EXPECT_EQ(plugin.getParameter(3), 0.2f);
    EXPECT_EQ(plugin.parameterDisplay(3), "2.000");
    plugin.setParameter(9, 0.7f);
    EXPECT_EQ(plugin.getParameter(9), 0.0f);
}

// The values a host offers and saves for a parameter from its properties: the integers from
// minInteger to maxInteger when it says it uses them (a host takes them as the value's range),
// otherwise steps of stepFloat across the 0..1 range.
std::vector<float> valuesAHostOffers(const VstParameterProperties& properties)
{
    std::vector<float> values;
    if (properties.flags & kVstParameterUsesIntegerMinMax) {
        for (VstInt32 v = properties.minInteger; v <= properties.maxInteger; ++v)
            values.push_back(static_cast<float>(v));
    } else if ((properties.flags & kVstParameterUsesFloatStep) && properties.stepFloat > 0.0f) {
        for (int k = 0; static_cast<float>(k) * properties.stepFloat <= 1.0f; ++k)
            values.push_back(static_cast<float>(k) * properties.stepFloat);
    }
    return values;
}

TEST_F(LoadedModule, AHostReadingTheOversamplingPropertiesOffersAndSavesItsThreeSettings)
{
    vsthost::HostedPlugin plugin(*module);
    VstParameterProperties properties{};
    ASSERT_EQ(plugin.dispatch(effGetParameterProperties, 6, 0, &properties), 1);
    EXPECT_STREQ(properties.label, "Oversampling");
    EXPECT_STREQ(properties.shortLabel, "Ovrsmpl");
    const std::vector<float> offered = valuesAHostOffers(properties);
    ASSERT_EQ(offered, (std::vector<float>{0.0f, 0.5f, 1.0f}));
    const char* shown[] = {"2x", "4x", "8x"};
    for (std::size_t k = 0; k < offered.size(); ++k) {
        plugin.setParameter(6, offered[k]);
        EXPECT_EQ(plugin.parameterDisplay(6), shown[k]);
        EXPECT_EQ(plugin.getParameter(6), offered[k]); // saved and loaded back as the same setting
    }
    // The knobs keep the plain 0..1 range: no properties.
    for (VstInt32 i = 0; i < 6; ++i)
        EXPECT_EQ(plugin.dispatch(effGetParameterProperties, i, 0, &properties), 0) << i;
}

TEST_F(LoadedModule, DoublePrecisionEntryLeavesTheOutputAlone)
{
    vsthost::HostedPlugin plugin(*module);
    AEffect* record = plugin.effect();
    std::vector<double> in(64, 0.5), out(64, 7.0);
    double* inputs[] = {in.data()};
    double* outputs[] = {out.data()};
    record->processDoubleReplacing(record, inputs, outputs, 64);
    for (double v : out)
        EXPECT_EQ(v, 7.0);
}

TEST_F(LoadedModule, AccumulatingEntryAddsWhatReplacingWrites)
{
    vsthost::HostedPlugin replacing(*module);
    vsthost::HostedPlugin accumulating(*module);
    std::vector<float> in(256);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = 0.3f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
    std::vector<float> replaced(256, 0.0f), added(256, 0.25f);
    float* inputs[] = {in.data()};
    float* outReplace[] = {replaced.data()};
    float* outAdd[] = {added.data()};
    replacing.effect()->processReplacing(replacing.effect(), inputs, outReplace, 256);
    accumulating.effect()->process(accumulating.effect(), inputs, outAdd, 256);
    for (std::size_t i = 0; i < in.size(); ++i)
        EXPECT_EQ(added[i], static_cast<float>(replaced[i] + 0.25f)) << i;
}

TEST_F(LoadedModule, CloseAnswersOneAndManyInstancesCoexist)
{
    std::vector<std::unique_ptr<vsthost::HostedPlugin>> plugins;
    for (int i = 0; i < 8; ++i) {
        plugins.push_back(std::make_unique<vsthost::HostedPlugin>(*module));
        plugins.back()->setParameter(0, 0.1f * static_cast<float>(i));
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(plugins[i]->getParameter(0), 0.1f * static_cast<float>(i));
    EXPECT_EQ(plugins[3]->close(), 1);
    EXPECT_EQ(plugins[3]->effect(), nullptr);
    EXPECT_EQ(plugins[4]->getParameter(0), 0.4f);
}

} // namespace
