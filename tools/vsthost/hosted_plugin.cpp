// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst_host.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace vsthost {

namespace {

// Which host object answers for which record. Calls made while the entry point runs carry no
// record we know yet; they go to the instance being created on that thread.
std::mutex registryMutex;
std::map<const AEffect*, HostedPlugin*>& registry()
{
    static std::map<const AEffect*, HostedPlugin*> instances;
    return instances;
}
thread_local HostedPlugin* instanceBeingCreated = nullptr;
std::atomic<CallbackObserver> callbackObserver{nullptr};

// Brackets one host callback for the observer.
struct ObservedCallback {
    CallbackObserver observer = callbackObserver.load(std::memory_order_relaxed);
    ObservedCallback()
    {
        if (observer)
            observer(true);
    }
    ~ObservedCallback()
    {
        if (observer)
            observer(false);
    }
};

} // namespace

void setCallbackObserver(CallbackObserver observer)
{
    callbackObserver.store(observer, std::memory_order_relaxed);
}

HostedPlugin::HostedPlugin(const PluginModule& module, HostSettings settings) : hostSettings(std::move(settings))
{
    instanceBeingCreated = this;
    record = module.entry()(&HostedPlugin::hostCallback);
    instanceBeingCreated = nullptr;
    if (record && record->magic != kEffectMagic)
        record = nullptr;
    if (record) {
        std::lock_guard<std::mutex> lock(registryMutex);
        registry()[record] = this;
    }
}

HostedPlugin::~HostedPlugin()
{
    close();
}

VstIntPtr VSTCALLBACK HostedPlugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                 void* ptr, float opt)
{
    ObservedCallback observed;
    HostedPlugin* host = nullptr;
    if (effect) {
        std::lock_guard<std::mutex> lock(registryMutex);
        auto found = registry().find(effect);
        if (found != registry().end())
            host = found->second;
    }
    if (!host)
        host = instanceBeingCreated;
    if (!host)
        return opcode == audioMasterVersion ? 2400 : 0;
    HostCall call;
    call.opcode = opcode;
    call.index = index;
    call.value = value;
    call.opt = opt;
    call.hadEffect = effect != nullptr;
    if (opcode == audioMasterCanDo && ptr)
        call.text = static_cast<const char*>(ptr);
    {
        std::lock_guard<std::mutex> lock(host->callsMutex);
        host->recordedCalls.push_back(call);
    }
    return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr HostedPlugin::answer(VstInt32 opcode, VstInt32 /*index*/, VstIntPtr /*value*/, void* ptr, float /*opt*/)
{
    switch (opcode) {
    case audioMasterVersion:
        return hostSettings.version;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(hostSettings.sampleRate);
    case audioMasterGetBlockSize:
        return hostSettings.blockSize;
    case audioMasterCanDo: {
        if (!ptr)
            return 0;
        auto found = hostSettings.canDo.find(static_cast<const char*>(ptr));
        return found == hostSettings.canDo.end() ? 0 : found->second;
    }
    case audioMasterGetVendorString:
        if (!ptr)
            return 0;
        std::strncpy(static_cast<char*>(ptr), hostSettings.vendor.c_str(), 63);
        static_cast<char*>(ptr)[63] = 0;
        return 1;
    case audioMasterGetProductString:
        if (!ptr)
            return 0;
        std::strncpy(static_cast<char*>(ptr), hostSettings.product.c_str(), 63);
        static_cast<char*>(ptr)[63] = 0;
        return 1;
    case audioMasterGetVendorVersion:
        return 1;
    case audioMasterGetCurrentProcessLevel:
        return 0;
    default:
        return 0;
    }
}

VstIntPtr HostedPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!record)
        return 0;
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

void HostedPlugin::setParameter(VstInt32 index, float value)
{
    if (record)
        record->setParameter(record, index, value);
}

float HostedPlugin::getParameter(VstInt32 index)
{
    return record ? record->getParameter(record, index) : 0.0f;
}

std::string HostedPlugin::textQuery(VstInt32 opcode, VstInt32 index, std::size_t bufferSize)
{
    // Generous buffer: plug-ins in the wild overrun the nominal limits.
    std::vector<char> buffer(std::max<std::size_t>(bufferSize, 256) + 1, 0);
    dispatch(opcode, index, 0, buffer.data());
    buffer.back() = 0;
    return buffer.data();
}

std::string HostedPlugin::parameterName(VstInt32 index)
{
    return textQuery(effGetParamName, index, kVstMaxParamStrLen);
}

std::string HostedPlugin::parameterLabel(VstInt32 index)
{
    return textQuery(effGetParamLabel, index, kVstMaxParamStrLen);
}

std::string HostedPlugin::parameterDisplay(VstInt32 index)
{
    return textQuery(effGetParamDisplay, index, kVstMaxParamStrLen);
}

std::string HostedPlugin::effectName()
{
    return textQuery(effGetEffectName, 0, kVstMaxEffectNameLen);
}

std::string HostedPlugin::vendorString()
{
    return textQuery(effGetVendorString, 0, kVstMaxVendorStrLen);
}

std::string HostedPlugin::productString()
{
    return textQuery(effGetProductString, 0, kVstMaxProductStrLen);
}

void HostedPlugin::start(double sampleRate, VstInt32 maxBlockSize)
{
    hostSettings.sampleRate = sampleRate;
    hostSettings.blockSize = maxBlockSize;
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, maxBlockSize);
    resume();
}

void HostedPlugin::setSampleRate(double sampleRate)
{
    hostSettings.sampleRate = sampleRate;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
}

void HostedPlugin::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    if (record)
        record->processReplacing(record, inputs, outputs, frames);
}

void HostedPlugin::processMono(const float* input, float* output, std::size_t frames, VstInt32 blockSize)
{
    if (!record || blockSize <= 0)
        return;
    std::size_t block = static_cast<std::size_t>(blockSize);
    std::size_t inputs = static_cast<std::size_t>(std::max(record->numInputs, 1));
    std::size_t outputs = static_cast<std::size_t>(std::max(record->numOutputs, 1));
    scratchIn.resize(inputs);
    scratchOut.resize(outputs);
    for (auto& channel : scratchIn)
        channel.assign(block, 0.0f);
    for (auto& channel : scratchOut)
        channel.assign(block, 0.0f);
    std::vector<float*> inPointers(inputs), outPointers(outputs);
    for (std::size_t c = 0; c < inputs; ++c)
        inPointers[c] = scratchIn[c].data();
    for (std::size_t c = 0; c < outputs; ++c)
        outPointers[c] = scratchOut[c].data();

    for (std::size_t start = 0; start < frames; start += block) {
        std::size_t count = std::min(block, frames - start);
        std::copy(input + start, input + start + count, scratchIn[0].begin());
        record->processReplacing(record, inPointers.data(), outPointers.data(), static_cast<VstInt32>(count));
        std::copy(scratchOut[0].begin(), scratchOut[0].begin() + static_cast<std::ptrdiff_t>(count), output + start);
    }
}

VstIntPtr HostedPlugin::close()
{
    if (!record)
        return 0;
    AEffect* closing = record;
    VstIntPtr answer = closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
    std::lock_guard<std::mutex> lock(registryMutex);
    registry().erase(closing);
    record = nullptr;
    return answer;
}

std::vector<HostCall> HostedPlugin::calls() const
{
    std::lock_guard<std::mutex> lock(callsMutex);
    return recordedCalls;
}

void HostedPlugin::clearCalls()
{
    std::lock_guard<std::mutex> lock(callsMutex);
    recordedCalls.clear();
}

std::vector<HostCall> HostedPlugin::callsWith(VstInt32 opcode) const
{
    std::vector<HostCall> matching;
    std::lock_guard<std::mutex> lock(callsMutex);
    for (const auto& call : recordedCalls)
        if (call.opcode == opcode)
            matching.push_back(call);
    return matching;
}

} // namespace vsthost
