// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_report_amp.h"

#include <algorithm>

namespace soundreport {

std::unique_ptr<AmpUnderTest> AmpUnderTest::load(const std::string& path, std::string* error)
{
    auto module = vsthost::PluginModule::load(path, error);
    if (!module)
        return nullptr;
    auto amp = std::unique_ptr<AmpUnderTest>(new AmpUnderTest(std::move(module)));
    vsthost::HostedPlugin probe(*amp->module);
    const AEffect* effect = probe.effect();
    if (!effect || !(effect->flags & effFlagsCanReplacing) || effect->numInputs < 1 || effect->numOutputs < 1) {
        if (error)
            *error = path + ": no effect with processReplacing and audio in and out";
        return nullptr;
    }
    amp->parameters = effect->numParams;
    amp->effectName = probe.effectName();
    probe.close();
    return amp;
}

std::vector<float> AmpUnderTest::play(const std::vector<float>& input, const Settings& settings,
                                      const BlockHook& hook) const
{
    vsthost::HostSettings host;
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    vsthost::HostedPlugin plugin(*module, host);
    const AEffect* effect = plugin.effect();
    for (auto [index, value] : settings)
        if (index < effect->numParams)
            plugin.setParameter(index, value);
    plugin.start(kRate, kBlock);

    const auto inputs = static_cast<std::size_t>(effect->numInputs);
    const auto outputs = static_cast<std::size_t>(effect->numOutputs);
    std::vector<std::vector<float>> in(inputs, std::vector<float>(kBlock, 0.0f));
    std::vector<std::vector<float>> out(outputs, std::vector<float>(kBlock, 0.0f));
    std::vector<float*> inPointers, outPointers;
    for (auto& channel : in)
        inPointers.push_back(channel.data());
    for (auto& channel : out)
        outPointers.push_back(channel.data());

    std::vector<float> result(input.size(), 0.0f);
    for (std::size_t start = 0, block = 0; start < input.size(); start += kBlock, ++block) {
        const std::size_t count = std::min<std::size_t>(kBlock, input.size() - start);
        if (hook)
            hook(block, plugin);
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(start), count, in[0].begin());
        plugin.processReplacing(inPointers.data(), outPointers.data(), static_cast<VstInt32>(count));
        std::copy_n(out[0].begin(), count, result.begin() + static_cast<std::ptrdiff_t>(start));
    }
    plugin.suspend();
    plugin.close();
    return result;
}

float oversamplingValue(int factor)
{
    // The effect reads its three positions as equal thirds of the range.
    return factor >= 8 ? 1.0f : factor >= 4 ? 0.5f : 0.0f;
}

} // namespace soundreport
