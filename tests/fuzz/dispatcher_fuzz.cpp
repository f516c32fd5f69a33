// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in as a host sees it: the module's entry, then opcodes with random indices and values
// through the record's dispatcher, parameters and audio in between. Every pointer is one the
// interface allows: text buffers of the documented sizes (on the heap, so that a byte written past
// one is caught), valid records where one is read or written, null only where the opcode takes none.
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "host/aeffectx.h"
#include "host/plugin_main.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using fuzz::FuzzInput;

// An address rather than an X window id: the editor keeps its window in memory.
int parentStandIn;

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Records the plug-in only passes by (offline tasks, MIDI program names, patch chunk information,
// events, variable I/O): zeroed, and larger than any of them.
struct alignas(16) OpaqueRecord {
    std::array<unsigned char, 1024> bytes{};
};

constexpr int kMaxFrames = 512;

class DispatcherSession {
public:
    explicit DispatcherSession(FuzzInput& input) : in(input) { effect = createPluginRecord(hostCallback); }
    ~DispatcherSession() { closeEffect(); }

    void run()
    {
        FUZZ_CHECK(effect != nullptr, "a host that answers the version query gets a plug-in");
        while (!in.empty()) {
            if (!effect) {
                effect = createPluginRecord(hostCallback);
                FUZZ_CHECK(effect != nullptr, "a second instance after a close");
            }
            step();
        }
    }

private:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    void closeEffect()
    {
        if (effect)
            dispatch(effClose);
        effect = nullptr;
    }

    VstInt32 anyIndex()
    {
        // Mostly the parameters and pins there are, sometimes far off.
        return in.flag() ? in.between(-2, 9) : static_cast<VstInt32>(in.u32());
    }

    // Text a host hands in: random bytes, always terminated.
    std::vector<char> text(size_t longest)
    {
        std::vector<char> chars(in.below(static_cast<uint32_t>(longest)) + 1, 0);
        in.bytes(chars.data(), chars.size() - 1);
        return chars;
    }

    // Writes into a heap buffer of exactly capacity bytes, and the text must end inside it.
    void askForText(VstInt32 opcode, VstInt32 index, VstIntPtr value, size_t capacity, bool alwaysWritten)
    {
        std::vector<char> buffer(capacity, '\x55');
        const VstIntPtr answer = dispatch(opcode, index, value, buffer.data());
        if (alwaysWritten || answer != 0)
            FUZZ_CHECK(std::memchr(buffer.data(), 0, capacity) != nullptr, "opcode %d left its text unterminated",
                       opcode);
    }

    void process()
    {
        const int frames = in.between(0, kMaxFrames);
        std::vector<float> input(static_cast<size_t>(frames) + 1), output(static_cast<size_t>(frames) + 1);
        for (int i = 0; i < frames; ++i)
            input[static_cast<size_t>(i)] = static_cast<float>(static_cast<int8_t>(in.byte())) / 128.0f;
        float* inputs[] = {input.data()};
        float* outputs[] = {output.data()};
        if (in.flag()) {
            effect->processReplacing(effect, inputs, outputs, frames);
        } else {
            // The accumulating entry adds to what the buffer holds.
            effect->process(effect, inputs, outputs, frames);
        }
        for (int i = 0; i < frames; ++i)
            FUZZ_CHECK(std::isfinite(output[static_cast<size_t>(i)]), "frame %d of %d is not finite", i, frames);
    }

    void arrangements()
    {
        const auto make = [](VstInt32 channels) {
            const size_t size = kSpeakerArrangementHeadSize + sizeof(VstSpeakerProperties) * static_cast<size_t>(channels);
            auto* arrangement = static_cast<VstSpeakerArrangement*>(::operator new(size));
            std::memset(arrangement, 0, size);
            arrangement->numChannels = channels;
            return arrangement;
        };
        VstSpeakerArrangement* input = make(in.between(1, 2));
        VstSpeakerArrangement* output = make(in.between(1, 2));
        dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input), output);
        ::operator delete(input);
        ::operator delete(output);
        VstSpeakerArrangement* hostInput = nullptr;
        VstSpeakerArrangement* hostOutput = nullptr;
        dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&hostInput), &hostOutput);
        // What the plug-in hands out must be readable.
        for (const VstSpeakerArrangement* a : {hostInput, hostOutput})
            if (a)
                FUZZ_CHECK(a->numChannels >= 0, "a negative channel count");
    }

    void step()
    {
        OpaqueRecord opaque;
        const VstInt32 opcode = static_cast<VstInt32>(in.byte());
        switch (opcode) {
        case effClose:
            closeEffect();
            return;
        case effSetProgramName: {
            std::vector<char> name = text(kVstMaxProgNameLen);
            dispatch(opcode, 0, 0, name.data());
            return;
        }
        case effGetProgramName:
            askForText(opcode, 0, 0, kVstMaxProgNameLen + 1, true);
            return;
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
            askForText(opcode, anyIndex(), 0, kVstMaxParamStrLen + 1, true);
            return;
        case effSetSampleRate:
            dispatch(opcode, 0, 0, nullptr, in.flag() ? in.anyFloat() : static_cast<float>(in.between(8000, 400000)));
            return;
        case effSetBlockSize:
        case effSetProgram:
        case effSetBypass:
        case effSetTotalSampleToProcess:
        case effSetProcessPrecision:
        case effSetEditKnobMode:
            dispatch(opcode, 0, static_cast<VstIntPtr>(static_cast<int32_t>(in.u32())));
            return;
        case effMainsChanged:
            dispatch(opcode, 0, in.flag());
            return;
        case effEditGetRect: {
            ERect* rect = nullptr;
            if (dispatch(opcode, 0, 0, &rect) != 0)
                FUZZ_CHECK(rect && rect->right > rect->left && rect->bottom > rect->top, "an empty editor rectangle");
            return;
        }
        case effEditOpen:
            dispatch(opcode, 0, 0, &parentStandIn);
            return;
        case effGetChunk: {
            void* data = nullptr;
            const VstIntPtr size = dispatch(opcode, in.flag(), 0, &data);
            FUZZ_CHECK(size >= 0, "a negative chunk size");
            if (size > 0) {
                FUZZ_CHECK(data != nullptr, "a chunk size without chunk data");
                volatile unsigned char sum = 0;
                for (VstIntPtr i = 0; i < size; ++i)
                    sum = static_cast<unsigned char>(sum + static_cast<const unsigned char*>(data)[i]);
            }
            return;
        }
        case effSetChunk: {
            std::vector<unsigned char> chunk(in.below(4097) + 1);
            const size_t size = in.bytes(chunk.data(), chunk.size() - 1);
            dispatch(opcode, in.flag(), static_cast<VstIntPtr>(size), chunk.data());
            return;
        }
        case effString2Parameter:
        case effCanDo: {
            std::vector<char> words = text(64);
            dispatch(opcode, anyIndex(), 0, words.data());
            return;
        }
        case effGetProgramNameIndexed:
            askForText(opcode, anyIndex(), static_cast<VstInt32>(in.u32()), kVstMaxProgNameLen + 1, false);
            return;
        case effGetInputProperties:
        case effGetOutputProperties: {
            auto pin = std::make_unique<VstPinProperties>();
            if (dispatch(opcode, anyIndex(), 0, pin.get()) != 0)
                FUZZ_CHECK(std::memchr(pin->label, 0, sizeof pin->label) != nullptr, "an unterminated pin label");
            return;
        }
        case effSetSpeakerArrangement:
        case effGetSpeakerArrangement:
            arrangements();
            return;
        case effGetEffectName:
            askForText(opcode, 0, 0, kVstMaxEffectNameLen + 1, false);
            return;
        case effGetVendorString:
            askForText(opcode, 0, 0, kVstMaxVendorStrLen + 1, false);
            return;
        case effGetProductString:
            askForText(opcode, 0, 0, kVstMaxProductStrLen + 1, false);
            return;
        case effShellGetNextPlugin:
            askForText(opcode, 0, 0, kVstMaxProductStrLen + 1, false);
            return;
        case effGetParameterProperties: {
            auto properties = std::make_unique<VstParameterProperties>();
            if (dispatch(opcode, anyIndex(), 0, properties.get()) != 0) {
                FUZZ_CHECK(std::memchr(properties->label, 0, sizeof properties->label) != nullptr, "unterminated label");
                FUZZ_CHECK(std::memchr(properties->shortLabel, 0, sizeof properties->shortLabel) != nullptr,
                           "unterminated short label");
                FUZZ_CHECK(properties->minInteger <= properties->maxInteger, "an empty integer range");
            }
            return;
        }
        case effEditKeyDown:
        case effEditKeyUp:
            dispatch(opcode, static_cast<VstInt32>(in.u32()), in.byte(), nullptr, static_cast<float>(in.byte()));
            return;
        case effVendorSpecific:
            dispatch(opcode, static_cast<VstInt32>(in.u32()), static_cast<VstIntPtr>(in.u32()), nullptr, in.anyFloat());
            return;
        case effSetPanLaw:
            dispatch(opcode, 0, in.between(0, 2), nullptr, in.anyFloat());
            return;
        // Opcodes without a record: index, value and opt only.
        case effOpen:
        case effGetProgram:
        case effGetVu:
        case effEditClose:
        case effEditIdle:
        case effEditTop:
        case effEditSleep:
        case effIdentify:
        case effCanBeAutomated:
        case effGetNumProgramCategories:
        case effCopyProgram:
        case effConnectInput:
        case effConnectOutput:
        case effGetPlugCategory:
        case effGetCurrentPosition:
        case effSetBlockSizeAndSampleRate:
        case effGetVendorVersion:
        case effGetTailSize:
        case effIdle:
        case effKeysRequired:
        case effGetVstVersion:
        case effHasMidiProgramsChanged:
        case effBeginSetProgram:
        case effEndSetProgram:
        case effStartProcess:
        case effStopProcess:
        case effGetNumMidiInputChannels:
        case effGetNumMidiOutputChannels:
            dispatch(opcode, anyIndex(), static_cast<VstIntPtr>(in.u32()), nullptr, in.anyFloat());
            return;
        // Past the opcodes: the audio and parameter entries of the record.
        case 200:
        case 201:
            process();
            return;
        case 202: {
            const VstInt32 index = anyIndex();
            effect->setParameter(effect, index, in.parameterValue());
            const float value = effect->getParameter(effect, index);
            FUZZ_CHECK(fuzz::insideUnitRange(value), "parameter %d reads back %g", index, static_cast<double>(value));
            return;
        }
        default:
            // Records the plug-in passes by, and opcodes it does not know.
            dispatch(opcode, anyIndex(), static_cast<VstIntPtr>(in.u32()), &opaque, in.anyFloat());
            return;
        }
    }

    FuzzInput& in;
    AEffect* effect = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    DispatcherSession session(input);
    session.run();
    return 0;
}
