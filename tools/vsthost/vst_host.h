// SPDX-License-Identifier: GPL-3.0-or-later
// A small VST 2.4 host: loads a module, answers the host callback, records every call, and
// drives the effect record. Used by the tests, the renderer and the validator.
#pragma once

#include "host/aeffectx.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vsthost {

using PluginEntry = AEffect*(VSTCALLBACK*)(audioMasterCallback);

// A loaded plug-in module and its entry point.
class PluginModule {
public:
    // Loads the module and finds "VSTPluginMain" (or "main"); null with a reason on failure.
    static std::unique_ptr<PluginModule> load(const std::string& path, std::string* error = nullptr);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    PluginEntry entry() const { return entryPoint; }
    const std::string& path() const { return modulePath; }

private:
    PluginModule() = default;
    void* handle = nullptr;
    PluginEntry entryPoint = nullptr;
    std::string modulePath;
};

// One call the plug-in made to the host.
struct HostCall {
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    float opt = 0.0f;
    bool hadEffect = false;  // whether the call carried an effect record
    std::string text;        // the text for audioMasterCanDo
};

struct HostSettings {
    VstIntPtr version = 2400;
    double sampleRate = 44100.0;
    VstInt32 blockSize = 1024;
    std::map<std::string, VstIntPtr> canDo;  // answers to audioMasterCanDo; others answer 0
    std::string vendor = "Quarvine test host";
    std::string product = "vsthost";
};

// One instance of a plug-in, created through the module's entry point.
class HostedPlugin {
public:
    // Calls the entry point; effect() is null when the plug-in refused.
    HostedPlugin(const PluginModule& module, HostSettings settings = {});
    ~HostedPlugin();
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    AEffect* effect() const { return record; }
    explicit operator bool() const { return record != nullptr; }
    HostSettings& settings() { return hostSettings; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);

    std::string parameterName(VstInt32 index);
    std::string parameterLabel(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);
    std::string effectName();
    std::string vendorString();
    std::string productString();

    // effOpen, sample rate, block size, then switched on.
    void start(double sampleRate, VstInt32 maxBlockSize);
    void resume() { dispatch(effMainsChanged, 0, 1); }
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    void setSampleRate(double sampleRate);

    // Runs channel buffers through processReplacing, one call.
    void processReplacing(float** inputs, float** outputs, VstInt32 frames);
    // Runs a whole mono signal through processReplacing in blocks of blockSize frames; every
    // further input/output channel the plug-in has is fed silence and discarded.
    void processMono(const float* input, float* output, std::size_t frames, VstInt32 blockSize);

    // effClose; the record is gone afterwards. Answers what the dispatcher answered (0 when
    // there was nothing to close).
    VstIntPtr close();

    std::vector<HostCall> calls() const;
    void clearCalls();
    // Calls with the given opcode, in order.
    std::vector<HostCall> callsWith(VstInt32 opcode) const;

private:
    static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                              void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    std::string textQuery(VstInt32 opcode, VstInt32 index, std::size_t bufferSize);

    AEffect* record = nullptr;
    HostSettings hostSettings;
    mutable std::mutex callsMutex;
    std::vector<HostCall> recordedCalls;
    std::vector<std::vector<float>> scratchIn;
    std::vector<std::vector<float>> scratchOut;
};

// Told on entry to (true) and exit from (false) every host callback, on the calling thread, so a
// tool can tell the plug-in's own work from the host's. Null (the default) for none.
using CallbackObserver = void (*)(bool entering);
void setCallbackObserver(CallbackObserver observer);

} // namespace vsthost
