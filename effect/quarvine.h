// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier effect: identity, six parameters, and the processing entries into the model.
#pragma once

#include "effect/amp_core.h"
#include "effect/parameter_table.h"
#include "host/audioeffectx.h"

#include <atomic>

#include <string>
#include <vector>

namespace quarvine {

constexpr VstInt32 kUniqueId = fourCharCode('Q', 'u', 'a', 'r');
constexpr VstInt32 kVendorVersion = 1000;

} // namespace quarvine

class Quarvine : public AudioEffectX {
public:
    explicit Quarvine(audioMasterCallback audioMaster);

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
    void setSampleRate(float newSampleRate) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    bool getParameterProperties(VstInt32 index, VstParameterProperties* properties) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return quarvine::kVendorVersion; }
    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    // The whole state, the player's impulse response included, so that a project opened where
    // the file is missing sounds the same. A preset is saved and recalled alike.
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    // A response file the player dropped on the editor: loaded, and the Cabinet moved to User so
    // that the host records the change. Returns "" or why the file was refused (which the editor's
    // name plate shows as well). Not on the audio thread.
    std::string loadUserCabinetFile(const std::string& path);

    // Read access for tests and tools that link the class directly. The controls as the next
    // block hands them to the model; not while another thread processes.
    const quarvine::AmpControls& controls()
    {
        amp.applyParameters();
        return amp.controls();
    }
    const quarvine::CircuitModel& model() const { return amp.model(); }
    // The cabinets the player can load; who loads or refuses one tells the editor afterwards.
    quarvine::CabinetLibrary& cabinets() { return amp.cabinets(); }
    // Any thread: the editor's name plate shows the library's new status; a refusal shows whatever
    // the Cabinet parameter's position, until the position next changes.
    void cabinetStatusChanged(bool refused = false);
    double getSampleRateDouble() const { return amp.sampleRate(); }

private:
    static bool validIndex(VstInt32 index) { return quarvine::AmpCore::validIndex(index); }

    std::atomic<bool> showRefusal{false};
    // The parameters and the model, shared with the audio thread.
    quarvine::AmpCore amp;
    VstInt32 restoreChunk(void* data, VstInt32 byteSize, bool isPreset);

    // The bytes handed to the host by getChunk, kept until its next call.
    std::vector<unsigned char> savedChunk;
};
