#include "effect/quarvine.h"

#include "editor/aeffguieditor.h"
#include "editor/quarvine_editor.h"
#include "effect/oversampling_choice.h"
#include "effect/parameter_taper.h"
#include "host/plugin_main.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

using quarvine::AmpControls;

namespace {

// Eight characters, the most a host's name buffer is sure to hold; the full name of the seventh is
// in its parameter properties.
const char* const kParameterNames[quarvine::kNumParameters] = {"Master  ", "Drive   ", "Treble  ", "Middle  ",
                                                              "Bass    ", "Volume  ", "Oversamp"};

// One input and one output pin; any other index leaves the record untouched.
bool describePin(const char* format, VstInt32 index, VstPinProperties* properties)
{
    if (index >= 1)
        return false;
    std::snprintf(properties->label, sizeof properties->label, format, index + 1);
    properties->flags = kVstPinIsActive;
    return true;
}

} // namespace

Quarvine::Quarvine(audioMasterCallback master) : AudioEffectX(master, 0, quarvine::kNumParameters)
{
    for (auto& parameter : parameters)
        parameter.store(0.0f, std::memory_order_relaxed);
    AmpControls::store(ampControls.sampleRate, 44100.0);
    if (master) {
        canProcessReplacing(true);
        setNumInputs(1);
        setNumOutputs(1);
        setUniqueID(quarvine::kUniqueId);
    }
    // The order in which the defaults are set is part of the start-up sequence.
    const VstInt32 defaultOrder[] = {quarvine::kDrive,  quarvine::kMaster, quarvine::kTreble,    quarvine::kMiddle,
                                     quarvine::kBass,   quarvine::kVolume, quarvine::kOversampling};
    for (VstInt32 index : defaultOrder)
        setParameter(index, quarvine::kDefaultValues[index]);
    AmpControls::store(ampControls.fixedToneSetting, 0.5);
    quarvine::buildCircuitModel(circuitModel, AmpControls::load(ampControls.sampleRate));
    // The editor registers itself with the effect too; the effect owns it either way.
    setEditor(new (std::nothrow) QuarvineEditor(this));
}

void Quarvine::setSampleRate(float newSampleRate)
{
    AudioEffectX::setSampleRate(newSampleRate);
    // The model follows on the audio thread, before its next sample.
    if (std::isfinite(newSampleRate) && newSampleRate > 0.0f)
        AmpControls::store(ampControls.sampleRate, static_cast<double>(newSampleRate));
}

void Quarvine::setParameter(VstInt32 index, float value)
{
    if (!validIndex(index) || !std::isfinite(value))
        return;
    // What getParameter, the display text and the knobs show stays on the knob's travel: a finite
    // value far outside it would turn the knob angle infinite. The model fields below keep the
    // host's value as it came.
    parameters[index].store(std::clamp(value, 0.0f, 1.0f), std::memory_order_relaxed);
    switch (index) {
    case quarvine::kMaster:
        AmpControls::store(ampControls.masterLevel, quarvine::parameterTaper(value));
        break;
    case quarvine::kDrive:
        AmpControls::store(ampControls.driveLevel, quarvine::parameterTaper(value));
        break;
    case quarvine::kTreble:
        AmpControls::store(ampControls.trebleSetting, value);
        break;
    case quarvine::kMiddle:
        AmpControls::store(ampControls.middleSetting, value);
        break;
    case quarvine::kBass:
        AmpControls::store(ampControls.bassLevel, quarvine::parameterTaper(value));
        break;
    case quarvine::kVolume:
        AmpControls::store(ampControls.outputVolume, value);
        break;
    case quarvine::kOversampling:
        AmpControls::store(ampControls.oversampling, quarvine::oversamplingFactor(value));
        break;
    default:
        break;
    }
    if (editor)
        static_cast<AEffGUIEditor*>(editor)->setParameter(index, value);
}

float Quarvine::getParameter(VstInt32 index)
{
    if (!validIndex(index))
        return 0.0f;
    return parameters[index].load(std::memory_order_relaxed);
}

void Quarvine::getParameterName(VstInt32 index, char* text)
{
    std::memcpy(text, validIndex(index) ? kParameterNames[index] : "No Idea ", 9);
}

void Quarvine::getParameterDisplay(VstInt32 index, char* text)
{
    if (!validIndex(index)) {
        *text = 0;
        return;
    }
    if (index == quarvine::kOversampling) {
        std::strcpy(text, quarvine::kOversamplingTexts[quarvine::oversamplingPosition(getParameter(index))]);
        return;
    }
    char formatted[64];
    std::snprintf(formatted, sizeof formatted, "%2.3f", static_cast<double>(getParameter(index)) * 10.0);
    formatted[8] = 0;
    std::strcpy(text, formatted);
}

void Quarvine::getParameterLabel(VstInt32 /*index*/, char* text)
{
    std::memcpy(text, "        ", 9);
}

bool Quarvine::getParameterProperties(VstInt32 index, VstParameterProperties* properties)
{
    // The six knobs keep the plain 0..1 behaviour; the switch tells hosts its three steps.
    if (index != quarvine::kOversampling || !properties)
        return false;
    std::memset(properties, 0, sizeof *properties);
    std::strcpy(properties->label, "Oversampling");
    std::strcpy(properties->shortLabel, "Ovrsmpl");
    properties->flags = kVstParameterUsesIntegerMinMax | kVstParameterUsesIntStep;
    properties->minInteger = 0;
    properties->maxInteger = quarvine::kOversamplingPositions - 1;
    properties->stepInteger = 1;
    properties->largeStepInteger = 1;
    return true;
}

bool Quarvine::getEffectName(char* name)
{
    std::strcpy(name, "Quarvine");
    return true;
}

bool Quarvine::getVendorString(char* text)
{
    std::strcpy(text, "Orn");
    return true;
}

bool Quarvine::getProductString(char* text)
{
    std::strcpy(text, "Orn Quarvine");
    return true;
}

bool Quarvine::getInputProperties(VstInt32 index, VstPinProperties* properties)
{
    return describePin("Quarvine In %i", index, properties);
}

bool Quarvine::getOutputProperties(VstInt32 index, VstPinProperties* properties)
{
    return describePin("Quarvine Out %i", index, properties);
}

void Quarvine::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    quarvine::processBlock(circuitModel, ampControls, inputs[0], outputs[0], sampleFrames,
                           quarvine::ProcessMode::replace);
}

void Quarvine::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    quarvine::processBlock(circuitModel, ampControls, inputs[0], outputs[0], sampleFrames, quarvine::ProcessMode::add);
}

AudioEffect* createEffectInstance(audioMasterCallback audioMaster)
{
    return new (std::nothrow) Quarvine(audioMaster);
}
