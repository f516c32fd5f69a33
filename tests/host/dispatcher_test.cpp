// SPDX-License-Identifier: GPL-3.0-or-later
// Opcode routing of the base and extended dispatchers, seen through a spy effect.
#include "host/aeffeditor.h"
#include "host/audioeffectx.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct SpyEditor : AEffEditor {
    explicit SpyEditor(AudioEffect* effect, bool* destroyed = nullptr) : AEffEditor(effect), destroyedFlag(destroyed) {}
    ~SpyEditor() override
    {
        if (destroyedFlag)
            *destroyedFlag = true;
    }
    bool getRect(ERect** rect) override
    {
        *rect = &size;
        return true;
    }
    bool open(void* parent) override
    {
        openedWith = parent;
        return true;
    }
    void close() override { ++closes; }
    void idle() override { ++idles; }
    bool onKeyDown(VstKeyCode& key) override
    {
        lastKey = key;
        return keyAnswer;
    }
    bool onKeyUp(VstKeyCode& key) override
    {
        lastKey = key;
        return false;
    }
    bool setKnobMode(VstInt32 mode) override
    {
        knobMode = mode;
        return true;
    }

    ERect size{0, 0, 120, 680};
    void* openedWith = nullptr;
    int closes = 0;
    int idles = 0;
    VstKeyCode lastKey{};
    bool keyAnswer = true;
    VstInt32 knobMode = -1;
    bool* destroyedFlag;
};

class SpyEffect : public AudioEffectX {
public:
    SpyEffect() : AudioEffectX(nullptr, 0, 6) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void open() override { log.push_back("open"); }
    void close() override { log.push_back("close"); }
    void suspend() override { log.push_back("suspend"); }
    void resume() override { log.push_back("resume"); }
    void setProgram(VstInt32 program) override
    {
        log.push_back("setProgram");
        AudioEffectX::setProgram(program);
    }
    std::vector<std::string> log;
};

VstIntPtr dispatch(AudioEffect& effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
    AEffect* record = effect.getAeffect();
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

TEST(BaseDispatcher, NotificationsReachTheirOperations)
{
    SpyEffect effect;
    EXPECT_EQ(dispatch(effect, effOpen), 0);
    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, 0), 0);
    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, 1), 0);
    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, -7), 0);
    EXPECT_EQ(effect.log, (std::vector<std::string>{"open", "suspend", "resume", "resume"}));
}

TEST(BaseDispatcher, SampleRateComesFromOptAndBlockSizeFromValue)
{
    SpyEffect effect;
    dispatch(effect, effSetSampleRate, 0, 96000, nullptr, 48000.0f);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    dispatch(effect, effSetBlockSize, 0, 256, nullptr, 4096.0f);
    EXPECT_EQ(effect.getBlockSize(), 256);
}

TEST(BaseDispatcher, ProgramsAreIgnoredWithoutPrograms)
{
    SpyEffect effect;
    dispatch(effect, effSetProgram, 0, 0);
    dispatch(effect, effSetProgram, 0, 5);
    EXPECT_TRUE(effect.log.empty());
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
    char name[32];
    std::memset(name, 'x', sizeof name);
    dispatch(effect, effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "");
    // A negative number is below the count and does reach the effect.
    dispatch(effect, effSetProgram, 0, -1);
    EXPECT_EQ(effect.log, std::vector<std::string>{"setProgram"});
}

TEST(BaseDispatcher, FixedAnswers)
{
    SpyEffect effect;
    EXPECT_EQ(dispatch(effect, effIdentify), 0x4E764566);
    void* chunk = nullptr;
    EXPECT_EQ(dispatch(effect, effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(dispatch(effect, effSetChunk, 0, 16, &chunk), 0);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsProgramChunks, 0);
    for (VstInt32 opcode : std::initializer_list<VstInt32>{effGetVu, effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep, 80, 1000, -1})
        EXPECT_EQ(dispatch(effect, opcode), 0) << opcode;
}

TEST(BaseDispatcher, EditorOpcodesNeedAnEditor)
{
    SpyEffect effect;
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 'a', 13, nullptr, 1.0f), 0);
    EXPECT_EQ(dispatch(effect, effSetEditKnobMode, 0, 2), 0);

    auto* editor = new SpyEditor(&effect);
    effect.setEditor(editor);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->size);
    int parent = 0;
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(editor->openedWith, &parent);
    dispatch(effect, effEditIdle);
    dispatch(effect, effEditClose);
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(editor->closes, 1);
}

TEST(ExtendedDispatcher, KeyRecordIsBuiltFromTheArguments)
{
    SpyEffect effect;
    auto* editor = new SpyEditor(&effect);
    effect.setEditor(editor);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 0x61, 13, nullptr, 1.9f), 1);
    EXPECT_EQ(editor->lastKey.character, 0x61);
    EXPECT_EQ(editor->lastKey.virt, 13);
    EXPECT_EQ(editor->lastKey.modifier, 1);
    // Only the low byte of value travels as the virtual key.
    EXPECT_EQ(dispatch(effect, effEditKeyUp, 7, 0x1FF, nullptr, 2.0f), 0);
    EXPECT_EQ(editor->lastKey.virt, 0xFF);
    EXPECT_EQ(editor->lastKey.modifier, 2);
    editor->keyAnswer = false;
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 1, 0), 0);
    EXPECT_EQ(dispatch(effect, effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
}

TEST(ExtendedDispatcher, DefaultAnswers)
{
    SpyEffect effect;
    char text[256] = "";
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, const_cast<char*>("receiveVstEvents")), 0);
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), 0);
    EXPECT_EQ(dispatch(effect, effGetTailSize), 0);
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, 0), 1);
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, 99), 1);
    EXPECT_EQ(dispatch(effect, effGetCurrentMidiProgram, 0, 0, text), -1);
    EXPECT_EQ(dispatch(effect, effSetTotalSampleToProcess, 0, 4096), 4096);
    EXPECT_EQ(dispatch(effect, effGetEffectName, 0, 0, text), 0);
    EXPECT_EQ(dispatch(effect, effGetVendorVersion), 0);
    // Unlisted opcodes inside the extended range fall through to the base and answer 0.
    for (VstInt32 opcode : {28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57})
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, text, 1.0f), 0) << opcode;

    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* in = &dummy;
    VstSpeakerArrangement* out = &dummy;
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);

    effect.isSynth(true);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), 2);
}

TEST(EffectLifetime, CloseThroughTheRecordDestroysEffectAndEditor)
{
    bool editorDestroyed = false;
    auto* effect = new SpyEffect;
    effect->setEditor(new SpyEditor(effect, &editorDestroyed));
    AEffect* record = effect->getAeffect();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(editorDestroyed);
}

TEST(EffectRecord, BaseConstructorFillsTheRecord)
{
    SpyEffect effect;
    const AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->magic, 0x56737450);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record->magic);
    EXPECT_EQ(bytes[0], 0x50);
    EXPECT_EQ(bytes[3], 0x56);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->numParams, 6);
    EXPECT_EQ(record->uniqueID, 0x4E6F4566);
    EXPECT_EQ(record->flags, effFlagsCanReplacing);
    EXPECT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->object, &effect);
    effect.setEditor(nullptr);
    EXPECT_EQ(record->flags & effFlagsHasEditor, 0);
    effect.canDoubleReplacing(true);
    effect.noTail(true);
    EXPECT_EQ(record->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsNoSoundInStop);
    effect.canProcessReplacing(false);
    EXPECT_EQ(record->flags & effFlagsCanReplacing, 0);
}

} // namespace
