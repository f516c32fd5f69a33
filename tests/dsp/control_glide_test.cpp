// SPDX-License-Identifier: GPL-3.0-or-later
// Controls that glide and the oversampling switch, through the chain as the effect runs it.
#include "chain_test_support.h"
#include "dsp/circuit_model.h"
#include "effect/parameter_taper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <set>
#include <vector>

namespace quarvine {
namespace {

constexpr double kRate = 44100.0;
constexpr int kGlideFrames = 882; // 20 ms at 44.1 kHz

void setClean(AmpControls& c)
{
    AmpControls::store(c.masterLevel, parameterTaper(0.1f));
    AmpControls::store(c.driveLevel, parameterTaper(0.0f));
    AmpControls::store(c.trebleSetting, 0.5);
    AmpControls::store(c.middleSetting, 0.5);
    AmpControls::store(c.bassLevel, parameterTaper(0.5f));
    AmpControls::store(c.fixedToneSetting, 0.5);
    AmpControls::store(c.outputVolume, 1.0);
    AmpControls::store(c.sampleRate, kRate);
}

std::vector<float> tone(int frames, double level = 0.1)
{
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = static_cast<float>(level * std::sin(2.0 * 3.14159265358979 * 220.0 * n / kRate));
    return x;
}

std::unique_ptr<CircuitModel> model()
{
    auto m = std::make_unique<CircuitModel>();
    buildCircuitModel(*m, kRate);
    return m;
}

using Process = void (*)(CircuitModel&, const AmpControls&, const float*, float*, int, ProcessMode);

// A tone at Volume 1 for 1024 frames, then with the host at rate (as the effect passes it on) for
// 1024 more, then at Volume 0.3; beside it the same run at 0.3 throughout. Volume acts after the
// circuit, so 0.3 * stepped / atTarget is the gain the chain applied: a straight line from 1 towards
// 0.3 over 20 ms at rate, then 0.3 exactly.
void expectVolumeGlide(Process process, double rate)
{
    const int glideFrames = static_cast<int>(std::lround(0.02 * rate)); // 20 ms
    AmpControls c, target;
    setClean(c);
    setClean(target);
    AmpControls::store(target.outputVolume, 0.3);
    const std::vector<float> in = tone(2048 + 2 * glideFrames);
    auto stepped = model(), atTarget = model();
    std::vector<float> a(in.size()), t(in.size());
    auto run = [&](int from, int frames) {
        process(*stepped, c, in.data() + from, a.data() + from, frames, ProcessMode::replace);
        process(*atTarget, target, in.data() + from, t.data() + from, frames, ProcessMode::replace);
    };
    run(0, 1024);
    AmpControls::store(c.sampleRate, rate);
    AmpControls::store(target.sampleRate, rate);
    run(1024, 1024);
    AmpControls::store(c.outputVolume, 0.3);
    run(2048, 2 * glideFrames);
    const double peak = chain_test::peakOf(t);
    double worst = 0.0;
    int examined = 0;
    for (int k = 0; k < glideFrames; ++k) {
        if (std::abs(t[2048 + k]) < 0.1 * peak)
            continue; // near a zero crossing the ratio says little
        worst = std::max(worst, std::abs(0.3 * a[2048 + k] / t[2048 + k] - (1.0 - 0.7 * k / glideFrames)));
        ++examined;
    }
    EXPECT_GT(examined, glideFrames / 2);
    EXPECT_LT(worst, 1e-5) << (process == processBlock ? "fast" : "exact");
    for (size_t i = 2048 + glideFrames; i < in.size(); ++i)
        ASSERT_EQ(a[i], t[i]) << i;
}

TEST(ControlGlide, VolumeStepRampsStraightOverTwentyMsAndArrivesExactly)
{
    expectVolumeGlide(processBlock, kRate);
    expectVolumeGlide(processBlockExact, kRate);
}

// After the host changes the rate the glides take 20 ms at the new one, not 882 frames (9.2 ms).
TEST(ControlGlide, AfterARateChangeTheGlideTakesTwentyMsAtTheNewRate)
{
    expectVolumeGlide(processBlock, 96000.0);
    expectVolumeGlide(processBlockExact, 96000.0);
}

// Treble glides from 0.5 to 1. A second computation moves Treble frame by frame along the same
// 20 ms line, the tone stack refreshed on every frame: the chains' coefficient ramp stays within 1 %
// of the peak of it, where coefficients that jumped at every 32-frame update point stray by 7 %.
TEST(ControlGlide, TrebleStepFollowsTrebleMovedFrameByFrame)
{
    for (auto process : {processBlock, processBlockExact}) {
        AmpControls c, swept;
        setClean(c);
        setClean(swept);
        const std::vector<float> in = tone(1024 + 2 * kGlideFrames);
        auto chain = model(), reference = model();
        std::vector<float> out(in.size());
        process(*chain, c, in.data(), out.data(), 1024, ProcessMode::replace);
        AmpControls::store(c.trebleSetting, 1.0);
        process(*chain, c, in.data() + 1024, out.data() + 1024, 2 * kGlideFrames, ProcessMode::replace);
        double worst = 0.0;
        for (size_t i = 0; i < in.size(); ++i) {
            const double along = std::clamp((static_cast<double>(i) - 1024.0) / kGlideFrames, 0.0, 1.0);
            AmpControls::store(swept.trebleSetting, 0.5 + 0.5 * along);
            worst = std::max(worst, std::abs(processSampleExact(*reference, swept, in[i]) - out[i]));
        }
        EXPECT_LT(worst, 0.01 * chain_test::peakOf(out)) << (process == processBlock ? "fast" : "exact");
    }
}

// The networks follow the glide in steps of 32 frames between the old and the new value, and end
// on the new value itself.
TEST(ControlGlide, DriveNetworkRefreshesEveryThirtyTwoFramesOnTheWayAndEndsOnTheTarget)
{
    AmpControls c;
    setClean(c);
    auto m = model();
    const std::vector<float> in = tone(2048);
    std::vector<float> out(in.size());
    processBlock(*m, c, in.data(), out.data(), 512, ProcessMode::replace);
    const double from = m->inputNetwork.cachedDrive, to = parameterTaper(1.0f);
    AmpControls::store(c.driveLevel, to);
    std::set<double> seen;
    for (int i = 512; i < 512 + kGlideFrames + 64; ++i) {
        processBlock(*m, c, in.data() + i, out.data() + i, 1, ProcessMode::replace);
        const double d = m->inputNetwork.cachedDrive;
        EXPECT_TRUE(d >= from && d <= to) << i;
        seen.insert(d);
    }
    EXPECT_EQ(m->inputNetwork.cachedDrive, to);
    EXPECT_EQ(seen.size(), static_cast<size_t>((kGlideFrames + 31) / 32 + 1));
}


// A host automating Master in even knob steps, one per 512-frame block, 0.2 to 1 over 172 blocks.
// Gliding along the knob's travel, the level bends only as the cubic law does once the ramp has
// caught up: at most law''(1) * (0.8 / 88064)^2 = 5.4e-10 per frame squared. A straight line
// between the steps' levels would bend at every block edge by about law'' * (0.8 / 172)^2 / 882,
// 6e-8 and more: the zipper a sweep makes audible.
TEST(ControlGlide, MasterAutomatedInEvenStepsRisesWithoutBendsAndEndsOnTheTarget)
{
    ControlGlide g;
    auto targets = [](float knob) {
        ControlValues v;
        v.master = parameterTaper(knob);
        return v;
    };
    retarget(g, targets(0.2f), kRate);
    std::vector<double> level;
    for (int block = 0; block < 172 + 2; ++block) {
        const float knob = 0.2f + 0.8f * std::min(1.0f, static_cast<float>(block) / 172.0f);
        retarget(g, targets(knob), kRate);
        for (int i = 0; i < 512; ++i) {
            level.push_back(frameValues(g).master);
            advanceGlide(g, 1);
        }
    }
    for (size_t n = 1; n < level.size(); ++n)
        ASSERT_GE(level[n], level[n - 1]) << n;
    double largestBend = 0.0;
    for (size_t n = 20 * 512; n + 2 < 172 * 512; ++n)
        largestBend = std::max(largestBend, std::abs(level[n + 2] - 2.0 * level[n + 1] + level[n]));
    EXPECT_LT(largestBend, 1e-8);
    EXPECT_EQ(level.back(), parameterTaper(1.0f));
}
// Switching the oversampling while a tone plays: finite, through silence, without a click, and
// then at the new rate.
TEST(OversamplingSwitch, FadesThroughSilenceWithoutAClickAndRebuildsAtTheNewRate)
{
    for (auto process : {processBlock, processBlockExact}) {
        AmpControls c;
        setClean(c);
        auto m = model();
        const std::vector<float> in = tone(44100);
        std::vector<float> out(in.size());
        process(*m, c, in.data(), out.data(), 22050, ProcessMode::replace);
        AmpControls::store(c.oversampling, 8.0);
        for (int pos = 22050; pos < 44100; pos += 512)
            process(*m, c, in.data() + pos, out.data() + pos, std::min(512, 44100 - pos), ProcessMode::replace);
        EXPECT_EQ(m->oversampling, 8);
        EXPECT_EQ(m->internalRate, 8.0 * kRate);
        double steadyJump = 0.0, switchJump = 0.0;
        for (int i = 11025; i < 22050; ++i)
            steadyJump = std::max(steadyJump, std::abs(static_cast<double>(out[i]) - out[i - 1]));
        bool silentFrame = false;
        for (int i = 22050; i < 22050 + 2 * 441 + 10; ++i) {
            ASSERT_TRUE(std::isfinite(out[i]));
            switchJump = std::max(switchJump, std::abs(static_cast<double>(out[i]) - out[i - 1]));
            silentFrame = silentFrame || out[i] == 0.0f;
        }
        EXPECT_TRUE(silentFrame);
        // Below -40 dB of the steady peak for at least 1.28 ms: the raised cosines alone keep the gain
        // under 0.01 for acos(0.98) / pi of each 10 ms fade at its silent end. The rebuilt chain,
        // still settling, and the tone's next zero crossing add more (1.6 ms for this tone), by an
        // amount that depends on the tone and the moment, so only the fades' share is held.
        const double quietLevel = 0.01 * chain_test::peakOf({out.begin() + 22050 - 2205, out.begin() + 22050});
        int quiet = 0, longestQuiet = 0;
        for (int i = 22050; i < 22050 + 4410; ++i) {
            quiet = std::abs(out[i]) < quietLevel ? quiet + 1 : 0;
            longestQuiet = std::max(longestQuiet, quiet);
        }
        EXPECT_GE(longestQuiet, 2.0 * std::acos(0.98) / std::numbers::pi * 0.01 * kRate);
        EXPECT_LE(switchJump, 2.0 * steadyJump);
    }
}

} // namespace
} // namespace quarvine
