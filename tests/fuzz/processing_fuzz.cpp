// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters, audio and rate changes in random order through the plug-in's record. Promises
// checked: every output sample is finite whatever comes in (a non-finite value is replaced and
// the model goes back to its bias point); with every parameter on its travel, the output stays
// within the level the output stage can reach; and after non-finite input, parameters off their
// travel and overload, the amplifier plays on as a fresh one does.
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "effect/amp_core.h"
#include "host/aeffectx.h"
#include "host/plugin_main.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

using fuzz::FuzzInput;

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

constexpr int kNumParameters = 7;
constexpr int kOversampling = 6;
constexpr int kMaxBlock = 4096;
// Keeps one input to a few tenths of a second of audio, so that libFuzzer tries many.
constexpr int kFrameBudget = 48000;
// The output stage saturates at 1.14 before Volume; the filters behind it (rumble filter and the
// half-band decimators) may overshoot a saturated square by a little, never by this much.
constexpr float kLoudestOutput = 4.0f;
// Overload the amp takes 150 ms to recover from at most. Far beyond it (a million times full
// scale, say) the coupling capacitors charge so far that it stays quiet longer, as an amp blocks.
constexpr float kLoudestInput = 16.0f;
constexpr float kHostRates[] = {8000.0f,  11025.0f, 22050.0f,  44100.0f,  48000.0f, 88200.0f,
                                96000.0f, 176400.0f, 192000.0f, 352800.0f, 384000.0f};

// One plug-in instance through its record, as a host drives it.
class Instance {
public:
    Instance() : effect(createPluginRecord(hostCallback)) { FUZZ_CHECK(effect != nullptr, "no instance"); }
    ~Instance() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void setParameter(VstInt32 index, float value) { effect->setParameter(effect, index, value); }
    void mains(bool on) { effect->dispatcher(effect, effMainsChanged, 0, on ? 1 : 0, nullptr, 0.0f); }
    void setSampleRate(float rate) { effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate); }
    void setBlockSize(VstInt32 frames) { effect->dispatcher(effect, effSetBlockSize, 0, frames, nullptr, 0.0f); }
    void process(const float* input, float* output, int frames)
    {
        float* inputs[] = {const_cast<float*>(input)};
        float* outputs[] = {output};
        effect->processReplacing(effect, inputs, outputs, frames);
    }

private:
    AEffect* effect;
};

// Mean square of a 220 Hz sine at half scale through an instance, over the last third of
// frames; the first two thirds let glides, the oversampling fade and old state die away.
double settledSinePower(Instance& instance, float rate, int frames)
{
    std::vector<float> input(static_cast<size_t>(frames)), output(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        input[static_cast<size_t>(i)] =
            0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 220.0 * i / static_cast<double>(rate)));
    for (int done = 0; done < frames; done += kMaxBlock)
        instance.process(input.data() + done, output.data() + done, std::min(kMaxBlock, frames - done));
    double sum = 0.0;
    const int from = frames - frames / 3;
    for (int i = from; i < frames; ++i) {
        FUZZ_CHECK(std::isfinite(output[static_cast<size_t>(i)]), "the probe gave a non-finite sample");
        sum += static_cast<double>(output[static_cast<size_t>(i)]) * output[static_cast<size_t>(i)];
    }
    return sum / (frames - from);
}

class ProcessingSession {
public:
    explicit ProcessingSession(FuzzInput& input) : in(input)
    {
        for (int i = 0; i < kNumParameters; ++i)
            lastValues[i] = defaults[i];
    }

    void run()
    {
        instance.mains(true);
        while (!in.empty() && framesLeft > 0)
            step();
        // Only inputs that went through bad samples or a reset, and some others, pay for the probe.
        if (!oddRate && !hugeInput && (sawBadInput || in.flag()))
            checkRecovery();
    }

private:
    void setParameter(VstInt32 index, float value)
    {
        instance.setParameter(index, value);
        // The plug-in ignores non-finite values; a finite one off the travel is taken as it came.
        if (std::isfinite(value)) {
            lastValues[index] = value;
            if (!fuzz::insideUnitRange(value))
                offTravel = true;
        }
    }

    void changeRate()
    {
        float rate;
        switch (in.byte() % 5) {
        case 0:
            rate = kHostRates[in.below(sizeof kHostRates / sizeof kHostRates[0])];
            break;
        case 1:
            rate = static_cast<float>(in.between(8000, 400000));
            break;
        case 2: {
            // Not a rate: the plug-in must keep the one it has.
            constexpr float kNotRates[] = {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                                           std::numeric_limits<float>::infinity(),
                                           -std::numeric_limits<float>::infinity()};
            rate = kNotRates[in.below(sizeof kNotRates / sizeof kNotRates[0])];
            break;
        }
        case 3: {
            // Rates no audio interface runs at: the plug-in keeps its last rate for those outside
            // 1 kHz to 1.536 MHz, and promises nothing but finite output at the lowest it takes.
            constexpr float kOddRates[] = {1e-3f, 1.0f, 100.0f, 1000.0f, 4e6f, 1e12f, 1e30f,
                                           std::numeric_limits<float>::max()};
            rate = kOddRates[in.below(sizeof kOddRates / sizeof kOddRates[0])];
            oddRate = true;
            break;
        }
        default:
            rate = hostRate;
            break;
        }
        const bool suspend = in.flag();
        if (suspend)
            instance.mains(false);
        instance.setSampleRate(rate);
        instance.setBlockSize(in.between(-1, kMaxBlock));
        if (suspend)
            instance.mains(true);
        if (quarvine::acceptedSampleRate(rate))
            hostRate = rate;
    }

    void fillInput(int frames)
    {
        const float level = in.flag() ? in.unit() : in.unit() * kLoudestInput;
        const double cycles = (1.0 + in.below(20000)) / static_cast<double>(hostRate);
        switch (in.byte() % 6) {
        case 0:
            std::fill_n(input.begin(), frames, 0.0f);
            break;
        case 1:
            for (int i = 0; i < frames; ++i)
                input[static_cast<size_t>(i)] =
                    level * static_cast<float>(std::sin(2.0 * std::numbers::pi * cycles * (phase + i)));
            phase += frames;
            break;
        case 2:
            for (int i = 0; i < frames; ++i)
                input[static_cast<size_t>(i)] = level * (static_cast<float>(static_cast<int8_t>(in.byte())) / 128.0f);
            break;
        case 3:
            std::fill_n(input.begin(), frames, level * (in.flag() ? 1.0f : -1.0f));
            break;
        case 4:
            // Finite but far beyond any signal.
            std::fill_n(input.begin(), frames, in.flag() ? std::numeric_limits<float>::max() : -1e30f);
            hugeInput = hugeInput || frames > 0;
            break;
        default:
            std::fill_n(input.begin(), frames, level * 0.5f);
            break;
        }
        // Sometimes a few non-finite or raw-bit samples among them.
        if (frames > 0 && in.byte() % 4 == 0) {
            const int count = 1 + static_cast<int>(in.below(4));
            for (int k = 0; k < count; ++k) {
                const float bad = in.anyFloat();
                input[in.below(static_cast<uint32_t>(frames))] = bad;
                if (!std::isfinite(bad))
                    sawBadInput = true;
                else if (std::abs(bad) > kLoudestInput)
                    hugeInput = true;
            }
        }
    }

    void processBlock()
    {
        // Small blocks are the common awkward case; large ones cost more time.
        int frames = in.flag() ? in.between(0, 64) : in.between(0, kMaxBlock);
        frames = std::min(frames, framesLeft);
        fillInput(frames);
        std::fill_n(output.begin(), frames, std::numeric_limits<float>::quiet_NaN());
        instance.process(input.data(), output.data(), frames);
        framesLeft -= std::max(frames, 1);
        for (int i = 0; i < frames; ++i) {
            const float y = output[static_cast<size_t>(i)];
            FUZZ_CHECK(std::isfinite(y), "frame %d of %d is %g", i, frames, static_cast<double>(y));
            if (!offTravel && !oddRate)
                FUZZ_CHECK(std::abs(y) <= kLoudestOutput, "frame %d of %d is %g with every control on its travel", i,
                           frames, static_cast<double>(y));
        }
    }

    void step()
    {
        switch (in.byte() % 8) {
        case 0:
        case 1:
            setParameter(static_cast<VstInt32>(in.below(kNumParameters)), in.parameterValue());
            break;
        case 2: {
            // The Oversampling switch's positions, or anywhere on its travel.
            constexpr float kPositions[] = {0.0f, 0.5f, 1.0f};
            setParameter(kOversampling, in.flag() ? kPositions[in.below(3)] : in.unit());
            break;
        }
        case 3:
            changeRate();
            break;
        case 4:
            instance.mains(false);
            instance.mains(true);
            break;
        default:
            processBlock();
            break;
        }
    }

    // With every control back on its travel, an instance that went through all of the above plays
    // a sine at the level a fresh one does.
    void checkRecovery()
    {
        for (int i = 0; i < kNumParameters; ++i) {
            const float value = i == kOversampling ? lastValues[i] : defaults[i];
            setParameter(i, fuzz::insideUnitRange(value) ? value : 0.0f);
        }
        Instance fresh;
        fresh.setSampleRate(hostRate);
        for (int i = 0; i < kNumParameters; ++i)
            fresh.setParameter(i, i == kOversampling ? lastValues[i] : defaults[i]);
        fresh.mains(true);
        const int frames = std::clamp(static_cast<int>(hostRate * 0.15f), 4096, 60000);
        const double played = settledSinePower(instance, hostRate, frames);
        const double expected = settledSinePower(fresh, hostRate, frames);
        FUZZ_CHECK(expected > 1e-6, "a fresh instance is silent at %g Hz", static_cast<double>(hostRate));
        FUZZ_CHECK(played > expected * 0.5 && played < expected * 2.0,
                   "after the sequence the sine plays at power %g, a fresh instance at %g (%g Hz)", played, expected,
                   static_cast<double>(hostRate));
    }

    static constexpr float defaults[kNumParameters] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 0.0f};

    FuzzInput& in;
    Instance instance;
    std::vector<float> input = std::vector<float>(kMaxBlock);
    std::vector<float> output = std::vector<float>(kMaxBlock);
    float lastValues[kNumParameters];
    float hostRate = 44100.0f;
    double phase = 0.0;
    int framesLeft = kFrameBudget;
    bool offTravel = false;
    bool sawBadInput = false;
    bool oddRate = false;
    bool hugeInput = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    ProcessingSession session(input);
    session.run();
    return 0;
}
