// SPDX-License-Identifier: GPL-3.0-or-later
// A small VST 2.4 module with known faults, for checking that the validator finds them: an
// over-long name for each of its 8 parameters, a gain parameter that lets NaN through, a tone
// parameter whose bottom end (0, inside the range) gives NaN, a last parameter that crashes on
// values outside [0, 1] (left out when FAULTY_PLUGIN_NO_CRASH is set, so that the cases a crash
// would cut short are reached), NaN input passed straight through, NaN out of a subnormal input
// sample, an allocation and a lock in processReplacing, and the thread left flushing subnormals
// after it. Everything else behaves.
#include "host/aeffect.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>
#include <xmmintrin.h>

namespace {

constexpr VstInt32 kParameters = 8;
constexpr VstInt32 kToneParameter = 1;
constexpr VstInt32 kCrashingParameter = kParameters - 1;

struct Faulty {
    AEffect record{};
    float gain = 0.5f;
    float tone = 0.5f;
    bool crashes = !std::getenv("FAULTY_PLUGIN_NO_CRASH");
    std::mutex lock;
};

Faulty* self(AEffect* effect)
{
    return static_cast<Faulty*>(effect->object);
}

VstIntPtr VSTCALLBACK dispatcher(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    case effClose:
        delete self(effect);
        return 1;
    case effGetParamName:
        std::strcpy(static_cast<char*>(ptr), "Gain amount");  // 12 bytes into a 9-byte field
        return 0;
    case effGetParamLabel:
        std::strcpy(static_cast<char*>(ptr), "");
        return 0;
    case effGetParamDisplay:
        std::strcpy(static_cast<char*>(ptr), "half");
        return 0;
    default:
        return 0;
    }
}

void VSTCALLBACK setParameter(AEffect* effect, VstInt32 index, float value)
{
    if (index == 0)
        self(effect)->gain = value;  // unchecked: NaN and 1e30 go straight to the output
    if (index == kToneParameter)
        self(effect)->tone = value;
    // Stands for a plug-in that indexes a table with the value unchecked.
    if (index == kCrashingParameter && self(effect)->crashes && !(value >= 0.0f && value <= 1.0f))
        std::raise(SIGSEGV);
}

float VSTCALLBACK getParameter(AEffect* effect, VstInt32 index)
{
    return index == 0 ? self(effect)->gain : index == kToneParameter ? self(effect)->tone : 0.0f;
}

void VSTCALLBACK processReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    Faulty* faulty = self(effect);
    _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);  // never restored
    std::lock_guard<std::mutex> guard(faulty->lock);
    std::vector<float> scratch(static_cast<std::size_t>(frames));
    for (VstInt32 i = 0; i < frames; ++i) {
        const float x = inputs[0][i];
        // Stand for a filter whose coefficient divides by the tone value, and a level detector
        // that divides by a subnormal level once flushing has made it 0.
        scratch[static_cast<std::size_t>(i)] =
            std::fpclassify(x) == FP_SUBNORMAL ? NAN : x * faulty->gain * faulty->tone / faulty->tone;
    }
    // Infinities from a huge gain are replaced, so only NaN (from the input, the gain or the tone) shows.
    for (VstInt32 i = 0; i < frames; ++i) {
        float x = scratch[static_cast<std::size_t>(i)];
        outputs[0][i] = x - x == 0.0f || x != x ? x : 0.0f;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    auto* faulty = new Faulty;
    AEffect& record = faulty->record;
    record.magic = kEffectMagic;
    record.dispatcher = dispatcher;
    record.setParameter = setParameter;
    record.getParameter = getParameter;
    record.processReplacing = processReplacing;
    record.numParams = kParameters;
    record.numInputs = 1;
    record.numOutputs = 1;
    record.flags = effFlagsCanReplacing;
    record.object = faulty;
    return &record;
}
