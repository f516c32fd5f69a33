// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 plug-in: the amplifier core behind the LV2 port interface. Control ports are read at
// the start of every run, like a VST host's parameter calls before a block, so that the same
// values at the same block boundaries give the same samples. The player's impulse response is a
// file property (lv2/ir_property.h), loaded by the host's worker and kept in the host's state.
#include "effect/amp_core.h"
#include "lv2/ir_property.h"
#include "lv2/port_map.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

namespace {

using quarvine::AmpCore;
using quarvine::kNumParameters;
namespace ports = quarvine::lv2;

struct Instance {
    double sampleRate = 44100.0;
    std::optional<AmpCore> amp;
    const float* controls[kNumParameters] = {};
    // The port values last handed to the core; NaN forces the next run to hand each on.
    float applied[kNumParameters] = {};
    const float* input = nullptr;
    float* output = nullptr;
    ports::ImpulseResponseProperty impulseResponse;

    // A fresh core for the host's rate: the state right after instantiation, but for the player's
    // impulse response, which belongs to the host's saved state rather than to the sound's.
    void restart()
    {
        std::optional<quarvine::UserCabinet> user;
        if (amp)
            user = amp->cabinets().userCabinet();
        amp.emplace();
        amp->setSampleRate(sampleRate);
        if (user)
            amp->cabinets().setUserCabinet(std::move(user));
        std::fill(std::begin(applied), std::end(applied), __builtin_nanf(""));
    }

    void applyControls()
    {
        for (int i = 0; i < kNumParameters; ++i) {
            if (!controls[i])
                continue;
            const float value = *controls[i];
            // Unchanged values are not handed on again; a non-finite one never sticks.
            if (std::memcmp(&value, &applied[i], sizeof value) == 0)
                continue;
            applied[i] = value;
            amp->setParameter(i, ports::parameterFromPort(i, value));
        }
    }
};

// Takes nothing from the descriptor or the bundle path and needs no feature, so a host passing null
// for any of them still gets an instance (without urid:map, one without the file property); a rate
// outside the accepted range gets none.
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    if (!quarvine::acceptedSampleRate(rate))
        return nullptr;
    auto* instance = new (std::nothrow) Instance;
    if (!instance)
        return nullptr;
    instance->sampleRate = rate;
    instance->restart();
    instance->impulseResponse.setUp(features);
    return instance;
}

// A host that goes on with the null a refused instantiation returned must not crash: every entry
// taking a handle checks it.
void connectPort(LV2_Handle handle, uint32_t port, void* data)
{
    auto* instance = static_cast<Instance*>(handle);
    if (!instance)
        return;
    if (const int index = ports::parameterOfPort(port); index != ports::kNoParameter)
        instance->controls[index] = static_cast<const float*>(data);
    else if (port == ports::kAudioInPort)
        instance->input = static_cast<const float*>(data);
    else if (port == ports::kAudioOutPort)
        instance->output = static_cast<float*>(data);
    else if (port == ports::kControlPort)
        instance->impulseResponse.connectControl(static_cast<const LV2_Atom_Sequence*>(data));
    else if (port == ports::kNotifyPort)
        instance->impulseResponse.connectNotify(static_cast<LV2_Atom_Sequence*>(data));
}

void activate(LV2_Handle handle)
{
    if (handle)
        static_cast<Instance*>(handle)->restart();
}

void run(LV2_Handle handle, uint32_t frames)
{
    auto* instance = static_cast<Instance*>(handle);
    if (!instance)
        return;
    instance->applyControls();
    instance->impulseResponse.run();
    if (!instance->output || frames == 0)
        return;
    if (!instance->input) {
        std::fill_n(instance->output, frames, 0.0f);
        return;
    }
    // The core counts frames in an int.
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min<uint32_t>(frames - done, INT_MAX);
        instance->amp->process(instance->input + done, instance->output + done, static_cast<int>(n),
                               quarvine::ProcessMode::replace);
        done += n;
    }
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle)
{
    delete static_cast<Instance*>(handle);
}

LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle respondHandle,
                       uint32_t size, const void* data)
{
    auto* instance = static_cast<Instance*>(handle);
    if (!instance || !data)
        return LV2_WORKER_ERR_UNKNOWN;
    return instance->impulseResponse.work(*instance->amp, respond, respondHandle, size, data);
}

LV2_Worker_Status workResponse(LV2_Handle handle, uint32_t size, const void* data)
{
    auto* instance = static_cast<Instance*>(handle);
    if (!instance || !data)
        return LV2_WORKER_ERR_UNKNOWN;
    return instance->impulseResponse.workResponse(size, data);
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle storeHandle, uint32_t,
                      const LV2_Feature* const* features)
{
    auto* instance = static_cast<Instance*>(handle);
    if (!instance)
        return LV2_STATE_ERR_UNKNOWN;
    return instance->impulseResponse.save(store, storeHandle, features);
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle retrieveHandle,
                         uint32_t, const LV2_Feature* const* features)
{
    auto* instance = static_cast<Instance*>(handle);
    if (!instance)
        return LV2_STATE_ERR_UNKNOWN;
    return instance->impulseResponse.restore(*instance->amp, retrieve, retrieveHandle, features);
}

const LV2_Worker_Interface kWorker = {work, workResponse, nullptr};
const LV2_State_Interface kState = {save, restore};

const void* extensionData(const char* uri)
{
    if (uri && std::strcmp(uri, LV2_WORKER__interface) == 0)
        return &kWorker;
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0)
        return &kState;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {ports::kPluginUri, instantiate, connectPort, activate, run,
                                    deactivate,        cleanup,     extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
