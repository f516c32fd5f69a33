// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/audioeffect.h"

#include "host/aeffeditor.h"

#include <cmath>
#include <cstring>

namespace {

VstIntPtr VSTCALLBACK dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt)
{
    auto* effect = static_cast<AudioEffect*>(e->object);
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void VSTCALLBACK processEffectClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    static_cast<AudioEffect*>(e->object)->process(inputs, outputs, sampleFrames);
}

void VSTCALLBACK processReplacingEffectClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    static_cast<AudioEffect*>(e->object)->processReplacing(inputs, outputs, sampleFrames);
}

void VSTCALLBACK processDoubleReplacingEffectClass(AEffect* e, double** inputs, double** outputs,
                                                   VstInt32 sampleFrames)
{
    static_cast<AudioEffect*>(e->object)->processDoubleReplacing(inputs, outputs, sampleFrames);
}

void VSTCALLBACK setParameterEffectClass(AEffect* e, VstInt32 index, float value)
{
    static_cast<AudioEffect*>(e->object)->setParameter(index, value);
}

float VSTCALLBACK getParameterEffectClass(AEffect* e, VstInt32 index)
{
    return static_cast<AudioEffect*>(e->object)->getParameter(index);
}

} // namespace

void vst_strncpy(char* dst, const char* src, VstInt32 maxLen)
{
    VstInt32 i = 0;
    for (; i < maxLen && src[i] != 0; ++i)
        dst[i] = src[i];
    dst[i] = 0;
    if (maxLen >= 0)
        dst[maxLen] = 0;
}

void vst_strncat(char* dst, const char* src, VstInt32 maxLen)
{
    VstInt32 start = static_cast<VstInt32>(std::strlen(dst));
    VstInt32 i = start;
    for (; i < maxLen && src[i - start] != 0; ++i)
        dst[i] = src[i - start];
    if (i <= maxLen)
        dst[i] = 0;
    if (maxLen >= 0)
        dst[maxLen] = 0;
}

AudioEffect::AudioEffect(audioMasterCallback master, VstInt32 programs, VstInt32 params)
    : audioMaster(master), editor(nullptr), sampleRate(44100.0f), blockSize(1024), numPrograms(programs),
      numParams(params), curProgram(0)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processEffectClass;
    cEffect.setParameter = setParameterEffectClass;
    cEffect.getParameter = getParameterEffectClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEffectClass;
    cEffect.processDoubleReplacing = processDoubleReplacingEffectClass;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!audioMaster)
        return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < numPrograms)
            setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        return editor && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify:
        return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion()
{
    if (!audioMaster)
        return 1;
    VstInt32 version = static_cast<VstInt32>(callHost(audioMasterVersion));
    return version == 0 ? 1 : version;
}

VstInt32 AudioEffect::getCurrentUniqueId()
{
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

bool AudioEffect::isInputConnected(VstInt32 input)
{
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output)
{
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen)
{
    if (value <= 0.0f) {
        vst_strncpy(text, "-oo", maxLen);
        return;
    }
    float logValue = static_cast<float>(std::log10(static_cast<double>(value)));
    float2string(static_cast<float>(20.0f * logValue), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen)
{
    float rate = getSampleRate();
    if (samples == 0.0f)
        float2string(0.0f, text, maxLen);
    else
        float2string(rate / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen)
{
    float2string(static_cast<float>(static_cast<double>(samples) * 1000.0 / getSampleRate()), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    // Eight characters in all: sign, integer digits, point and truncated fraction digits.
    int count = 0;
    double v = value;
    bool negative = false;
    if (v < 0.0) {
        negative = true;
        count = 1;
        v = -v;
        if (v > 9999999.0) {
            vst_strncpy(text, "Huge!", maxLen);
            return;
        }
    } else if (v > 99999999.0) {
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }

    char integerDigits[12];
    int integerCount = 0;
    double ipart = std::floor(v);
    integerDigits[integerCount++] = static_cast<char>('0' + static_cast<int>(std::fmod(ipart, 10.0)));
    ipart /= 10.0;
    count += 2;
    while (ipart >= 1.0 && count < 8) {
        integerDigits[integerCount++] = static_cast<char>('0' + static_cast<int>(std::fmod(ipart, 10.0)));
        ipart /= 10.0;
        ++count;
    }
    if (ipart >= 1.0) {
        // An integer part that does not fit the eight characters would lose its leading digit.
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }

    char string[24];
    int length = 0;
    if (negative)
        string[length++] = '-';
    for (int i = integerCount - 1; i >= 0; --i)
        string[length++] = integerDigits[i];
    string[length++] = '.';

    if (count < 8) {
        int digits = 8 - count;
        double frac = std::fmod(v, 1.0) * std::pow(10.0, digits);
        char fractionDigits[8];
        for (int i = 0; i < digits; ++i) {
            int digit = 0;
            if (frac > 0.0) {
                digit = static_cast<int>(std::fmod(frac, 10.0));
                frac /= 10.0;
            }
            fractionDigits[i] = static_cast<char>('0' + digit);
        }
        for (int i = digits - 1; i >= 0; --i)
            string[length++] = fractionDigits[i];
    }
    string[length] = 0;
    vst_strncpy(text, string, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen)
{
    // Nine or more digits do not fit; negative ones included (their first digit would exceed 9).
    if (value >= 100000000 || value <= -100000000) {
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }
    // Widened so that the most negative value has a magnitude too.
    long long magnitude = value;
    if (value < 0) {
        vst_strncpy(text, "-", maxLen);
        magnitude = -magnitude;
    } else {
        vst_strncpy(text, "", maxLen);
    }
    bool seenDigit = false;
    for (long long divisor = 100000000; divisor >= 1; divisor /= 10) {
        long long digit = magnitude / divisor;
        magnitude %= divisor;
        if (digit != 0)
            seenDigit = true;
        // Zero prints as "0": the last digit is always written.
        if (seenDigit || divisor == 1) {
            char one[2] = {static_cast<char>('0' + digit), 0};
            vst_strncat(text, one, maxLen);
        }
    }
}
