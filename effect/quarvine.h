// The amplifier effect: identity, six parameters, and the processing entries into the model.
#pragma once

#include "dsp/amp_controls.h"
#include "dsp/circuit_model.h"
#include "host/audioeffectx.h"

#include <atomic>

namespace quarvine {

enum ParameterIndex : VstInt32 {
    kMaster = 0,
    kDrive,
    kTreble,
    kMiddle,
    kBass,
    kVolume,
    kOversampling, // appended after the six: a project saved with six values loads as before
    kNumParameters
};

constexpr VstInt32 kUniqueId = fourCharCode('Q', 'u', 'a', 'r');
constexpr VstInt32 kVendorVersion = 1000;
constexpr float kDefaultValues[kNumParameters] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 0.0f};

} // namespace quarvine

class Quarvine : public AudioEffectX {
public:
    explicit Quarvine(audioMasterCallback audioMaster);

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

    // Read access for tests and tools that link the class directly.
    const quarvine::AmpControls& controls() const { return ampControls; }
    const quarvine::CircuitModel& model() const { return circuitModel; }
    double getSampleRateDouble() const { return quarvine::AmpControls::load(ampControls.sampleRate); }

private:
    static bool validIndex(VstInt32 index) { return index >= 0 && index < quarvine::kNumParameters; }

    std::atomic<float> parameters[quarvine::kNumParameters];
    // sampleRateDouble and the derived control fields live here, shared with the audio thread.
    quarvine::AmpControls ampControls;
    quarvine::CircuitModel circuitModel;
};
