// Parameters written from one thread while another processes: run under ThreadSanitizer, which
// reports any unsynchronised access to the shared fields.
#include "effect/quarvine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(ParameterThreads, HostThreadWritesWhileAudioThreadProcesses)
{
    Quarvine effect(quietHost);
    AEffect* record = effect.getAeffect();
    std::atomic<bool> done{false};

    std::thread control([&] {
        float value = 0.0f;
        while (!done.load()) {
            for (VstInt32 index = 0; index < 6; ++index)
                record->setParameter(record, index, value);
            record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, value < 0.5f ? 44100.0f : 48000.0f);
            value = value >= 1.0f ? 0.0f : value + 0.01f;
            (void)record->getParameter(record, 2);
        }
    });

    std::vector<float> in(32), out(32);
    float* inputs[] = {in.data()};
    float* outputs[] = {out.data()};
    bool finite = true;
    for (int block = 0; block < 500; ++block) {
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = 0.5f * static_cast<float>(std::sin(0.1 * static_cast<double>(block * 32 + static_cast<int>(i))));
        record->processReplacing(record, inputs, outputs, 32);
        for (float v : out)
            finite = finite && std::isfinite(v);
    }
    done.store(true);
    control.join();
    EXPECT_TRUE(finite);
}

// The editor is opened and closed on one thread while the host automates from another, as hosts do:
// the thread that owns the editor's views is recorded and read without a data race. Without a
// display the frame cannot open, but the editor still goes through open and close.
TEST(ParameterThreads, EditorOpensAndClosesWhileAnotherThreadAutomates)
{
    Quarvine effect(quietHost);
    AEffect* record = effect.getAeffect();
    std::atomic<bool> done{false};
    float lastWritten = -1.0f; // read after the join

    std::thread automation([&] {
        float value = 0.0f;
        while (!done.load()) {
            for (VstInt32 index = 0; index < 6; ++index)
                record->setParameter(record, index, value);
            lastWritten = value;
            value = value >= 1.0f ? 0.0f : value + 0.01f;
        }
    });
    for (int cycle = 0; cycle < 50; ++cycle) {
        record->dispatcher(record, effEditOpen, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
    }
    done.store(true);
    automation.join();
    // Opening and closing the editor neither lost nor rewrote the host's last value (the steps of
    // 0.01 may overshoot 1 by a rounding, which the parameter's travel clamps).
    ASSERT_GE(lastWritten, 0.0f);
    for (VstInt32 index = 0; index < 6; ++index)
        EXPECT_EQ(record->getParameter(record, index), std::min(lastWritten, 1.0f)) << index;
}

} // namespace
