#include "render_loop.h"

#include "options.h"

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

} // namespace

RenderResult renderAudio(const vsthost::PluginModule& module, const AudioData& input, const RenderSettings& settings)
{
    const std::size_t channels = input.channels.size();
    const std::size_t frames = input.frames();
    RenderResult result;
    result.output.sampleRate = input.sampleRate;
    result.output.channels.assign(channels, std::vector<float>(frames, 0.0f));

    std::vector<std::unique_ptr<vsthost::HostedPlugin>> instances;
    for (std::size_t c = 0; c < channels; ++c) {
        vsthost::HostSettings host;
        host.sampleRate = input.sampleRate;
        host.blockSize = settings.blockSize;
        auto instance = std::make_unique<vsthost::HostedPlugin>(module, host);
        AEffect* effect = instance->effect();
        if (!effect)
            throw RenderError(module.path() + ": the plug-in refused to start");
        if (!(effect->flags & effFlagsCanReplacing) || !effect->processReplacing)
            throw RenderError(module.path() + ": the plug-in has no processReplacing");
        if (effect->numInputs < 1 || effect->numOutputs < 1)
            throw RenderError(module.path() + ": the plug-in has no audio input or output");
        if (settings.oversampling) {
            if (effect->numParams > kOversamplingParameter)
                instance->setParameter(kOversamplingParameter, oversamplingValue(*settings.oversampling));
            else if (*settings.oversampling != 2)
                throw RenderError(module.path() + ": the plug-in has " + std::to_string(effect->numParams) +
                                  " parameters and no oversampling choice; --oversampling " +
                                  std::to_string(*settings.oversampling) + " needs Quarvine's seventh parameter");
        }
        for (auto [index, value] : settings.parameters) {
            if (index >= effect->numParams)
                throw RenderError("parameter " + std::to_string(index) + " does not exist (the plug-in has " +
                                  std::to_string(effect->numParams) + ")");
            instance->setParameter(index, value);
        }
        instance->start(input.sampleRate, settings.blockSize);
        instances.push_back(std::move(instance));
    }

    if (!instances.empty()) {
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
    }

    // Slices of whole blocks, so the block boundaries are those of one long run.
    const std::size_t block = static_cast<std::size_t>(settings.blockSize);
    const std::size_t slice = block * std::max<std::size_t>(1, 65536 / block);
    const double total = static_cast<double>(frames * channels);
    std::chrono::steady_clock::duration busy{};
    for (std::size_t c = 0; c < channels; ++c) {
        for (std::size_t start = 0; start < frames; start += slice) {
            std::size_t count = std::min(slice, frames - start);
            auto began = std::chrono::steady_clock::now();
            instances[c]->processMono(input.channels[c].data() + start, result.output.channels[c].data() + start,
                                      count, settings.blockSize);
            busy += std::chrono::steady_clock::now() - began;
            if (settings.progress)
                settings.progress(static_cast<double>(c * frames + start + count) / total);
        }
    }
    result.processingSeconds = std::chrono::duration<double>(busy).count();
    for (auto& instance : instances) {
        instance->suspend();
        instance->close();
    }
    return result;
}

} // namespace render
