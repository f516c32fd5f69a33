// Controls that glide and the oversampling switch, through the chain as the effect runs it.
#include "dsp/circuit_model.h"
#include "effect/parameter_taper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
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

// Volume acts after the circuit, so a stepped run divided by one that ran at the new value all along
// is the gain the chain applied over the new value: it must fall monotonically over 20 ms and then be the new value exactly.
TEST(ControlGlide, VolumeStepRampsMonotonicallyAndArrivesExactly)
{
    for (auto process : {processBlock, processBlockExact}) {
        AmpControls c;
        setClean(c);
        const std::vector<float> in = tone(4096);
        auto stepped = model(), atTarget = model();
        std::vector<float> a(in.size()), t(in.size());
        process(*stepped, c, in.data(), a.data(), 1024, ProcessMode::replace);
        AmpControls target;
        setClean(target);
        AmpControls::store(target.outputVolume, 0.3);
        process(*atTarget, target, in.data(), t.data(), 1024, ProcessMode::replace);
        AmpControls::store(c.outputVolume, 0.3);
        process(*stepped, c, in.data() + 1024, a.data() + 1024, 3072, ProcessMode::replace);
        process(*atTarget, target, in.data() + 1024, t.data() + 1024, 3072, ProcessMode::replace);
        double previous = 1.0;
        for (int i = 1024; i < 1024 + kGlideFrames; ++i) {
            if (std::abs(t[i]) < 1e-3)
                continue; // near a zero crossing the ratio says little
            const double gain = 0.3 * a[i] / t[i];
            EXPECT_LE(gain, previous + 1e-5) << i;
            EXPECT_LE(previous - gain, 0.7 / kGlideFrames * 1.5 + 1e-5) << i; // no jump
            previous = gain;
        }
        EXPECT_GT(0.3 * a[1024 + 10] / t[1024 + 10], 0.95); // not yet at the target
        for (size_t i = 1024 + kGlideFrames; i < in.size(); ++i)
            ASSERT_EQ(a[i], t[i]) << i;
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
        EXPECT_LE(switchJump, 2.0 * steadyJump);
    }
}

} // namespace
} // namespace quarvine
