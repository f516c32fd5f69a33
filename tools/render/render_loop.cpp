// SPDX-License-Identifier: GPL-3.0-or-later
#include "render_loop.h"

#include "errors.h"
#include "interrupt.h"
#include "options.h"

#include "effect/amp_core.h"
#include "tools/cabinet_handover/cabinet_handover.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace render {

namespace {

float oversamplingValue(int factor)
{
    return factor == 8 ? 1.0f : factor == 4 ? 0.5f : 0.0f;
}

// The factor a value of the seventh parameter selects: equal thirds of the range, as the effect
// reads it.
int oversamplingFactor(float value)
{
    return value * 3.0f < 1.0f ? 2 : value * 3.0f < 2.0f ? 4 : 8;
}

constexpr VstInt32 kQuarvineId = ('Q' << 24) | ('u' << 16) | ('a' << 8) | 'r';

void checkAgainst(const std::string& modulePath, const AEffect& effect, const RenderSettings& settings)
{
    if (settings.userCabinet && !(effect.flags & effFlagsProgramChunks))
        throw UsageError(modulePath + ": the plug-in keeps no state chunk to take the impulse response of --ir");
    if (settings.needsQuarvine && effect.uniqueID != kQuarvineId)
        throw UsageError("--master ... --volume, --cabinet, --ir and --preset apply to Quarvine only; use --param "
                         "INDEX=VALUE");
    if (settings.oversampling && *settings.oversampling != 2 && effect.numParams <= kOversamplingParameter)
        throw UsageError(modulePath + ": the plug-in has " + std::to_string(effect.numParams) +
                         " parameters and no oversampling choice; --oversampling " +
                         std::to_string(*settings.oversampling) + " needs Quarvine's seventh parameter");
    for (auto [index, value] : settings.parameters)
        if (index >= effect.numParams)
            throw UsageError("parameter " + std::to_string(index) + " does not exist (the plug-in has " +
                             std::to_string(effect.numParams) + ", 0 to " + std::to_string(effect.numParams - 1) + ")");
}

std::unique_ptr<vsthost::HostedPlugin> startInstance(const vsthost::PluginModule& module, int sampleRate,
                                                     const RenderSettings& settings)
{
    vsthost::HostSettings host;
    host.sampleRate = sampleRate;
    host.blockSize = settings.blockSize;
    auto instance = std::make_unique<vsthost::HostedPlugin>(module, host);
    AEffect* effect = instance->effect();
    if (!effect)
        throw RenderError(module.path() + ": the plug-in refused to start");
    if (!(effect->flags & effFlagsCanReplacing) || !effect->processReplacing)
        throw RenderError(module.path() + ": the plug-in has no processReplacing");
    if (effect->numInputs < 1 || effect->numOutputs < 1)
        throw RenderError(module.path() + ": the plug-in has no audio input or output");
    checkAgainst(module.path(), *effect, settings);
    if (settings.userCabinet)
        if (const std::string refusal = tools::handOverUserCabinet(*instance, *settings.userCabinet); !refusal.empty())
            throw RenderError(module.path() + ": " + refusal);
    if (settings.oversampling && effect->numParams > kOversamplingParameter)
        instance->setParameter(kOversamplingParameter, oversamplingValue(*settings.oversampling));
    for (auto [index, value] : settings.parameters)
        instance->setParameter(index, value);
    instance->start(sampleRate, settings.blockSize);
    return instance;
}

} // namespace

void checkSettings(const vsthost::PluginModule& module, const RenderSettings& settings)
{
    vsthost::HostedPlugin probe(module);
    if (!probe.effect())
        throw RenderError(module.path() + ": the plug-in refused to start");
    checkAgainst(module.path(), *probe.effect(), settings);
}

void checkSampleRate(const vsthost::PluginModule& module, const std::string& inputName, int rate)
{
    vsthost::HostedPlugin probe(module);
    if (!probe.effect() || probe.effect()->uniqueID != kQuarvineId || quarvine::acceptedSampleRate(rate))
        return;
    throw RenderError(inputName + ": the plug-in takes " + std::to_string(int(quarvine::kMinSampleRate)) + " to " +
                      std::to_string(int(quarvine::kMaxSampleRate)) + " Hz, not " + std::to_string(rate) + " Hz");
}

RenderResult renderStream(const vsthost::PluginModule& module, FrameSource& source, SoundWriter& sink,
                          const RenderSettings& settings)
{
    const auto channels = static_cast<std::size_t>(source.channels());
    RenderResult result;
    std::vector<std::unique_ptr<vsthost::HostedPlugin>> instances;
    for (std::size_t c = 0; c < channels; ++c)
        instances.push_back(startInstance(module, source.sampleRate(), settings));

    auto& first = *instances.front();
    result.effectName = first.effectName();
    result.vendor = first.vendorString();
    for (VstInt32 i = 0; i < first.effect()->numParams; ++i)
        result.parameters.push_back(
            {i, first.getParameter(i), first.parameterName(i), first.parameterDisplay(i), first.parameterLabel(i)});
    // Read back, so that a later --param for the same index shows as what runs.
    if (settings.oversampling)
        result.oversampling = first.effect()->numParams > kOversamplingParameter
                                  ? oversamplingFactor(first.getParameter(kOversamplingParameter))
                                  : 2;

    // Chunks of whole blocks, so the block boundaries are those of one long run.
    const std::size_t block = static_cast<std::size_t>(settings.blockSize);
    const std::size_t chunk = block * std::max<std::size_t>(1, 65536 / block);
    std::vector<float> interleavedIn(chunk * channels), interleavedOut(chunk * channels);
    std::vector<float> channelIn(chunk), channelOut(chunk);
    const double expected = static_cast<double>(source.expectedFrames());
    std::chrono::steady_clock::duration busy{};
    for (;;) {
        throwIfInterrupted();
        const std::size_t count = source.read(interleavedIn.data(), chunk);
        if (count == 0)
            break;
        result.input.add(interleavedIn.data(), count * channels);
        for (std::size_t c = 0; c < channels; ++c) {
            for (std::size_t i = 0; i < count; ++i)
                channelIn[i] = interleavedIn[i * channels + c];
            auto began = std::chrono::steady_clock::now();
            instances[c]->processMono(channelIn.data(), channelOut.data(), count, settings.blockSize);
            busy += std::chrono::steady_clock::now() - began;
            for (std::size_t i = 0; i < count; ++i)
                interleavedOut[i * channels + c] = channelOut[i];
        }
        result.output.add(interleavedOut.data(), count * channels);
        sink.write(interleavedOut.data(), count);
        result.frames += count;
        if (settings.progress && expected > 0.0)
            settings.progress(std::min(1.0, static_cast<double>(result.frames) / expected));
    }
    result.processingSeconds = std::chrono::duration<double>(busy).count();
    for (auto& instance : instances) {
        instance->suspend();
        instance->close();
    }
    return result;
}

} // namespace render
