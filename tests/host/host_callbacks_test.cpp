// SPDX-License-Identifier: GPL-3.0-or-later
// What the effect sends to the host, and what it makes of the answers.
#include "host/audioeffectx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SentCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

std::vector<SentCall> sent;
VstIntPtr nextAnswer = 0;
float parameterAtCallTime = -1.0f;

class RecordingEffect : public AudioEffectX {
public:
    explicit RecordingEffect(audioMasterCallback master) : AudioEffectX(master, 0, 6) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32, float value) override { stored = value; }
    float getParameter(VstInt32) override { return stored; }
    float stored = 0.0f;
};

RecordingEffect* current = nullptr;

VstIntPtr VSTCALLBACK recordingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt)
{
    sent.push_back({effect, opcode, index, value, ptr, opt});
    if (current)
        parameterAtCallTime = current->stored;
    return nextAnswer;
}

class HostCallbacks : public ::testing::Test {
protected:
    void SetUp() override
    {
        sent.clear();
        nextAnswer = 0;
        current = &effect;
    }
    void TearDown() override { current = nullptr; }
    const SentCall& only()
    {
        EXPECT_EQ(sent.size(), 1u);
        return sent.back();
    }
    RecordingEffect effect{recordingHost};
};

TEST_F(HostCallbacks, AutomationSetsFirstThenTellsTheHost)
{
    effect.setParameterAutomated(3, 0.25f);
    const SentCall& call = only();
    EXPECT_EQ(call.opcode, audioMasterAutomate);
    EXPECT_EQ(call.index, 3);
    EXPECT_EQ(call.opt, 0.25f);
    EXPECT_EQ(call.effect, effect.getAeffect());
    EXPECT_EQ(parameterAtCallTime, 0.25f);
}

TEST_F(HostCallbacks, BooleanAnswersAreNonZeroTests)
{
    nextAnswer = 5;
    EXPECT_TRUE(effect.beginEdit(2));
    EXPECT_EQ(sent.back().opcode, audioMasterBeginEdit);
    EXPECT_EQ(sent.back().index, 2);
    EXPECT_TRUE(effect.endEdit(4));
    EXPECT_EQ(sent.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(sent.back().index, 4);
    EXPECT_TRUE(effect.sizeWindow(680, 120));
    EXPECT_EQ(sent.back().opcode, audioMasterSizeWindow);
    EXPECT_EQ(sent.back().index, 680);
    EXPECT_EQ(sent.back().value, 120);
    EXPECT_EQ(effect.canHostDo(const_cast<char*>("sizeWindow")), 1);
    EXPECT_EQ(sent.back().opcode, audioMasterCanDo);
    EXPECT_STREQ(static_cast<const char*>(sent.back().ptr), "sizeWindow");
    nextAnswer = 0;
    EXPECT_FALSE(effect.ioChanged());
    EXPECT_EQ(sent.back().opcode, audioMasterIOChanged);
    EXPECT_FALSE(effect.needIdle());
    EXPECT_EQ(sent.back().opcode, audioMasterNeedIdle);
    EXPECT_FALSE(effect.updateDisplay());
    EXPECT_EQ(sent.back().opcode, audioMasterUpdateDisplay);
}

TEST_F(HostCallbacks, PinConnectedMeansAZeroAnswer)
{
    nextAnswer = 0;
    EXPECT_TRUE(effect.isInputConnected(1));
    EXPECT_EQ(sent.back().opcode, audioMasterPinConnected);
    EXPECT_EQ(sent.back().index, 1);
    EXPECT_EQ(sent.back().value, 0);
    nextAnswer = 1;
    EXPECT_FALSE(effect.isOutputConnected(0));
    EXPECT_EQ(sent.back().value, 1);
}

TEST_F(HostCallbacks, VersionOfZeroCountsAsOne)
{
    nextAnswer = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1);
    nextAnswer = 2400;
    EXPECT_EQ(effect.getMasterVersion(), 2400);
    EXPECT_EQ(sent.back().opcode, audioMasterVersion);
}

TEST_F(HostCallbacks, SampleRateAndBlockSizeQueriesAdoptPositiveAnswers)
{
    nextAnswer = 96000;
    EXPECT_EQ(effect.updateSampleRate(), 96000.0);
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);
    nextAnswer = -5;
    EXPECT_EQ(effect.updateSampleRate(), 96000.0);
    nextAnswer = 512;
    EXPECT_EQ(effect.updateBlockSize(), 512);
    nextAnswer = 0;
    EXPECT_EQ(effect.updateBlockSize(), 512);
    EXPECT_EQ(sent.back().opcode, audioMasterGetBlockSize);
}

TEST_F(HostCallbacks, ArgumentsTravelInTheirPlaces)
{
    effect.wantEvents(7);
    EXPECT_EQ(sent.back().opcode, audioMasterWantMidi);
    EXPECT_EQ(sent.back().value, 7);
    effect.getTimeInfo(0x200);
    EXPECT_EQ(sent.back().opcode, audioMasterGetTime);
    EXPECT_EQ(sent.back().value, 0x200);
    effect.tempoAt(1234);
    EXPECT_EQ(sent.back().value, 1234);
    effect.setOutputSamplerate(22050.0f);
    EXPECT_EQ(sent.back().opcode, audioMasterSetOutputSampleRate);
    EXPECT_EQ(sent.back().opt, 22050.0f);
    int marker = 0;
    effect.hostVendorSpecific(3, 4, &marker, 0.5f);
    EXPECT_EQ(sent.back().opcode, audioMasterVendorSpecific);
    EXPECT_EQ(sent.back().index, 3);
    EXPECT_EQ(sent.back().value, 4);
    EXPECT_EQ(sent.back().ptr, &marker);
    EXPECT_EQ(sent.back().opt, 0.5f);
    effect.offlineRead(reinterpret_cast<VstOfflineTask*>(&marker), 9, true);
    EXPECT_EQ(sent.back().opcode, audioMasterOfflineRead);
    EXPECT_EQ(sent.back().index, 1);
    EXPECT_EQ(sent.back().value, 9);
    effect.offlineStart(nullptr, 5, 2);
    EXPECT_EQ(sent.back().index, 2);
    EXPECT_EQ(sent.back().value, 5);
    effect.getPreviousPlug(3);
    EXPECT_EQ(sent.back().opcode, audioMasterGetPreviousPlug);
    EXPECT_EQ(sent.back().index, 0);
    nextAnswer = 17;
    EXPECT_EQ(effect.offlineGetCurrentPass(), 1);
    EXPECT_EQ(effect.canHostDo(const_cast<char*>("x")), 1);
}

TEST_F(HostCallbacks, FileSelectorsNeedARecord)
{
    nextAnswer = 1;
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(sent.empty());
    int selector = 0;
    EXPECT_TRUE(effect.openFileSelector(reinterpret_cast<VstFileSelect*>(&selector)));
    EXPECT_EQ(sent.back().opcode, audioMasterOpenFileSelector);
}

TEST(HostCallbacksWithoutHost, EveryWrapperFallsBack)
{
    RecordingEffect effect(nullptr);
    char text[64] = "unchanged";
    effect.setParameterAutomated(1, 0.5f);
    EXPECT_EQ(effect.stored, 0.5f);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    effect.masterIdle();
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(0));
    EXPECT_FALSE(effect.beginEdit(0));
    EXPECT_FALSE(effect.endEdit(0));
    EXPECT_FALSE(effect.sizeWindow(1, 1));
    EXPECT_EQ(effect.canHostDo(text), 0);
    EXPECT_EQ(effect.getTimeInfo(0), nullptr);
    EXPECT_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    EXPECT_FALSE(effect.getHostVendorString(text));
    EXPECT_STREQ(text, "unchanged");
    EXPECT_EQ(effect.getHostVendorVersion(), 0);
    EXPECT_EQ(effect.getDirectory(), nullptr);
    EXPECT_EQ(effect.getNextPlug(0), nullptr);
    EXPECT_EQ(effect.getInputSpeakerArrangement(), nullptr);
    EXPECT_EQ(effect.offlineGetCurrentMetaPass(), 0);
    EXPECT_EQ(effect.openWindow(nullptr), nullptr);
    EXPECT_FALSE(effect.closeWindow(nullptr));
}

} // namespace
