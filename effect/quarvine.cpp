// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/quarvine.h"

#include "cabinet/ir_file.h"
#include "editor/aeffguieditor.h"
#include "editor/parameter_display.h"
#include "editor/quarvine_editor.h"
#include "effect/cabinet_choice.h"
#include "effect/oversampling_choice.h"
#include "effect/plugin_state.h"
#include "host/plugin_main.h"

#include <cstdio>
#include <exception>
#include <cstring>
#include <new>

namespace {

// Eight characters, the most a host's name buffer is sure to hold; the full name of the seventh is
// in its parameter properties.
const char* const kParameterNames[quarvine::kNumParameters] = {"Master  ", "Drive   ", "Treble  ", "Middle  ",
                                                              "Bass    ", "Volume  ", "Oversamp", "Cabinet "};

// The switches' steps as values of the 0..1 range itself: hosts take integer bounds as the value's
// range (0..2 would save 4x as 1 and offer 2x/8x/8x), where a float step lands on the positions.
bool describeSwitch(VstParameterProperties* properties, const char* label, const char* shortLabel, int positions)
{
    std::memset(properties, 0, sizeof *properties);
    std::strcpy(properties->label, label);
    std::strcpy(properties->shortLabel, shortLabel);
    const float step = 1.0f / static_cast<float>(positions - 1);
    properties->flags = kVstParameterUsesFloatStep;
    properties->stepFloat = step;
    properties->smallStepFloat = step;
    properties->largeStepFloat = step;
    return true;
}

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
    if (master) {
        canProcessReplacing(true);
        setNumInputs(1);
        setNumOutputs(1);
        setUniqueID(quarvine::kUniqueId);
        programsAreChunks(true);
    }
    // The editor registers itself with the effect too; the effect owns it either way.
    // Its name plate says what was loaded for the User position; the other positions' names are
    // the editor's own.
    setEditor(new (std::nothrow) QuarvineEditor(
        this, {[this] {
                   const bool user = quarvine::cabinetPosition(amp.parameter(quarvine::kCabinet)) ==
                                     quarvine::kUserCabinetPosition;
                   return user || showRefusal.load(std::memory_order_relaxed) ? amp.cabinets().status()
                                                                                : std::string();
               },
               [this](const std::string& path) { loadUserCabinetFile(path); }}));
}

void Quarvine::cabinetStatusChanged(bool refused)
{
    showRefusal.store(refused, std::memory_order_relaxed);
    if (editor)
        static_cast<QuarvineEditor*>(editor)->cabinetStatusChanged();
}

VstIntPtr Quarvine::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    const VstIntPtr result = AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    // A parent that names no window (a pointer where an X window id belongs) leaves the editor in
    // memory, where nothing shows: the host hears of a failure, not of an empty editor.
    if (opcode == effEditOpen && result && ptr && editor && !static_cast<QuarvineEditor*>(editor)->showsWindow()) {
        editor->close();
        return 0;
    }
    return result;
}

void Quarvine::setSampleRate(float newSampleRate)
{
    // A set-up cannot be refused: a rate outside the accepted range keeps the last good one.
    if (!quarvine::acceptedSampleRate(static_cast<double>(newSampleRate)))
        return;
    AudioEffectX::setSampleRate(newSampleRate);
    amp.setSampleRate(static_cast<double>(newSampleRate));
}

void Quarvine::setParameter(VstInt32 index, float value)
{
    if (!amp.setParameter(index, value))
        return;
    if (index == quarvine::kCabinet)
        showRefusal.store(false, std::memory_order_relaxed);
    if (editor)
        static_cast<AEffGUIEditor*>(editor)->setParameter(index, value);
}

float Quarvine::getParameter(VstInt32 index)
{
    return amp.parameter(index);
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
    if (index == quarvine::kCabinet) {
        std::strcpy(text, quarvine::kCabinetDisplayTexts[quarvine::cabinetPosition(getParameter(index))]);
        return;
    }
    // At most the eight characters a host's buffer is sure to hold.
    const std::string formatted = knobDisplay(getParameter(index)).substr(0, 8);
    std::strcpy(text, formatted.c_str());
}

void Quarvine::getParameterLabel(VstInt32 /*index*/, char* text)
{
    std::memcpy(text, "        ", 9);
}

bool Quarvine::getParameterProperties(VstInt32 index, VstParameterProperties* properties)
{
    // The six knobs keep the plain 0..1 behaviour; the switches tell hosts their steps.
    if (!properties)
        return false;
    if (index == quarvine::kOversampling)
        return describeSwitch(properties, "Oversampling", "Ovrsmpl", quarvine::kOversamplingPositions);
    if (index == quarvine::kCabinet)
        return describeSwitch(properties, "Cabinet", "Cabinet", quarvine::kCabinetPositions);
    return false;
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
    amp.process(inputs[0], outputs[0], sampleFrames, quarvine::ProcessMode::replace);
}

void Quarvine::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    amp.process(inputs[0], outputs[0], sampleFrames, quarvine::ProcessMode::add);
}

VstInt32 Quarvine::getChunk(void** data, bool /*isPreset*/)
{
    if (!data)
        return 0;
    // A long response makes a chunk of megabytes: memory running out must not throw into the host,
    // which then saves nothing rather than crashing.
    try {
        quarvine::PluginState state;
        for (int index = 0; index < quarvine::kNumParameters; ++index)
            state.parameters.push_back(getParameter(index));
        state.userCabinet = amp.cabinets().userCabinet();
        savedChunk = quarvine::encodePluginState(state);
    } catch (const std::exception&) {
        savedChunk.clear();
        return 0;
    }
    *data = savedChunk.data();
    return static_cast<VstInt32>(savedChunk.size());
}

VstInt32 Quarvine::setChunk(void* data, VstInt32 byteSize, bool isPreset)
{
    try {
        return restoreChunk(data, byteSize, isPreset);
    } catch (const std::exception&) {
        amp.cabinets().refuse("not enough memory to load the saved state");
        cabinetStatusChanged(true);
        return 0;
    }
}

VstInt32 Quarvine::restoreChunk(void* data, VstInt32 byteSize, bool /*isPreset*/)
{
    const auto size = data && byteSize > 0 ? static_cast<std::size_t>(byteSize) : 0;
    quarvine::StateDecode decoded = quarvine::decodePluginState({static_cast<const unsigned char*>(data), size});
    if (!decoded.state) {
        amp.cabinets().refuse(decoded.error);
        cabinetStatusChanged(true);
        return 0;
    }
    quarvine::PluginState& state = *decoded.state;
    // Remaking the bank resamples the response and fades to it: only for a change.
    if (state.userCabinet != amp.cabinets().userCabinet())
        amp.cabinets().setUserCabinet(std::move(state.userCabinet));
    cabinetStatusChanged(false);
    // What the state lacks was saved before it existed, when it had its default.
    for (int index = 0; index < quarvine::kNumParameters; ++index)
        setParameter(index, static_cast<std::size_t>(index) < state.parameters.size() ? state.parameters[index]
                                                                                       : quarvine::kDefaultValues[index]);
    return 1;
}

std::string Quarvine::loadUserCabinetFile(const std::string& path)
{
    quarvine::IrLoad load = quarvine::readImpulseResponseFile(path);
    std::string refusal = load.error;
    if (load.ir) {
        quarvine::ImpulseResponseFile& file = *load.ir;
        refusal =
            amp.cabinets().setUserCabinet(quarvine::UserCabinet{file.name, file.sampleRate, std::move(file.samples)});
    } else {
        amp.cabinets().refuse(refusal);
    }
    cabinetStatusChanged(!refusal.empty());
    if (refusal.empty())
        setParameterAutomated(quarvine::kCabinet, quarvine::cabinetValue(quarvine::kUserCabinetPosition));
    return refusal;
}

AudioEffect* createEffectInstance(audioMasterCallback audioMaster)
{
    return new (std::nothrow) Quarvine(audioMaster);
}
