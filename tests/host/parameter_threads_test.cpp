// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters written from one thread while another processes: run under ThreadSanitizer, which
// reports any unsynchronised access to the shared fields.
#include "effect/quarvine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
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

// Two threads set one parameter at once, as an editor and a host's automation do. Whichever call
// lands last, the value reported (shown, saved) is the value the sound uses: the block after the
// race equals the block of a fresh core set to the reported value. On the core the VST effect and
// the LV2 plug-in share (a whole effect builds its editor too, too slow for this many races).
TEST(ParameterThreads, RacingSettersLeaveTheSoundAtTheReportedValue)
{
    using quarvine::AmpCore;
    constexpr int kTrials = 5000;
    constexpr int kFrames = 16;
    const float values[2] = {0.25f, 0.75f};
    const std::vector<float> in(kFrames, 0.5f);
    const auto firstBlock = [&](AmpCore& amp) {
        std::vector<float> out(kFrames);
        amp.process(in.data(), out.data(), kFrames, quarvine::ProcessMode::replace);
        return out;
    };
    std::vector<float> expected[2];
    for (int k = 0; k < 2; ++k) {
        AmpCore reference;
        reference.setParameter(quarvine::kDrive, values[k]);
        expected[k] = firstBlock(reference);
    }
    ASSERT_NE(expected[0], expected[1]);

    // Each race: a fresh core, both setters released together from a start line.
    std::optional<AmpCore> amp;
    std::atomic<int> trial{-1}, atStart{0}, finished{0};
    const auto setter = [&](float value) {
        for (int t = 0; t < kTrials; ++t) {
            while (trial.load() != t)
                std::this_thread::yield();
            atStart.fetch_add(1);
            while (atStart.load() < 2 * (t + 1)) {
            }
            amp->setParameter(quarvine::kDrive, value);
            finished.fetch_add(1);
        }
    };
    std::thread first(setter, values[0]), second(setter, values[1]);
    int parted = 0;
    for (int t = 0; t < kTrials; ++t) {
        amp.emplace();
        trial.store(t);
        while (finished.load() < 2 * (t + 1))
            std::this_thread::yield();
        const float reported = amp->parameter(quarvine::kDrive);
        EXPECT_TRUE(reported == values[0] || reported == values[1]) << reported;
        parted += firstBlock(*amp) != expected[reported == values[0] ? 0 : 1];
    }
    first.join();
    second.join();
    EXPECT_EQ(parted, 0) << "of " << kTrials << " races";
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
