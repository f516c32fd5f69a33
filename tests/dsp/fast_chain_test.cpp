// SPDX-License-Identifier: GPL-3.0-or-later
// The fast chain against the exact one: every build the processor can run, the demo phrase, the
// knob extremes and three host rates; sleeping through silence and waking without a seam.
#include "chain_test_support.h"
#include "dsp/circuit_model.h"
#include "effect/parameter_taper.h"
#include "tools/render/demo_phrase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace quarvine {
namespace {

using namespace chain_test;

constexpr int kBlock = 512;

// Knob positions as the effect turns them into control values.
struct Knobs {
    const char* name;
    float master, drive, treble, middle, bass;
};

constexpr Knobs kKnobSets[] = {
    {"defaults", 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
    {"all at 10", 1.0f, 1.0f, 1.0f, 1.0f, 1.0f},
    {"all at 0", 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {"drive 10, master 0, tone mixed", 0.0f, 1.0f, 0.0f, 1.0f, 0.0f},
};

void setKnobs(AmpControls& c, const Knobs& k, double rate)
{
    AmpControls::store(c.masterLevel, parameterTaper(k.master));
    AmpControls::store(c.driveLevel, parameterTaper(k.drive));
    AmpControls::store(c.trebleSetting, k.treble);
    AmpControls::store(c.middleSetting, k.middle);
    AmpControls::store(c.bassLevel, parameterTaper(k.bass));
    AmpControls::store(c.fixedToneSetting, 0.5);
    AmpControls::store(c.outputVolume, 1.0);
    AmpControls::store(c.sampleRate, rate);
}

using BlockFunction = void (*)(CircuitModel&, const AmpControls&, const float*, float*, int, ProcessMode);

std::vector<float> runInBlocks(BlockFunction process, CircuitModel& m, const AmpControls& c,
                               const std::vector<float>& in)
{
    std::vector<float> out(in.size());
    for (size_t pos = 0; pos < in.size(); pos += kBlock) {
        const int n = static_cast<int>(std::min<size_t>(kBlock, in.size() - pos));
        process(m, c, in.data() + pos, out.data() + pos, n, ProcessMode::replace);
    }
    return out;
}

std::unique_ptr<CircuitModel> freshModel(ChainPath path)
{
    auto m = std::make_unique<CircuitModel>();
    buildCircuitModel(*m, 44100.0);
    m->chainPath = path;
    return m;
}

double largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double d = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::abs(static_cast<double>(a[i]) - b[i]));
    return d;
}

// The first seconds of the demo phrase: the softly picked line and the first strums.
std::vector<float> phrase(double seconds)
{
    std::vector<float> p = render::demoPhrase();
    p.resize(static_cast<size_t>(seconds * render::kDemoSampleRate));
    return p;
}

std::string pathName(ChainPath path)
{
    switch (path) {
    case ChainPath::baseline:
        return "baseline";
    case ChainPath::avx2:
        return "avx2";
    case ChainPath::avx512:
        return "avx512";
    }
    return "unknown";
}

class FastChain : public ::testing::TestWithParam<ChainPath> {
protected:
    void SetUp() override
    {
        if (!chainPathAvailable(GetParam()))
            GTEST_SKIP() << "this processor cannot run the " << pathName(GetParam()) << " build";
    }
};

TEST_P(FastChain, StaysWithinAMillionthOfThePeakOfTheExactChain)
{
    const std::vector<float> in = phrase(4.0);
    for (double rate : {44100.0, 96000.0, 192000.0}) {
        for (const Knobs& knobs : kKnobSets) {
            SCOPED_TRACE(std::string(knobs.name) + " at " + std::to_string(static_cast<int>(rate)) + " Hz");
            AmpControls c;
            setKnobs(c, knobs, rate);
            auto exactModel = freshModel(ChainPath::baseline);
            auto fastModel = freshModel(GetParam());
            const std::vector<float> exact = runInBlocks(processBlockExact, *exactModel, c, in);
            const std::vector<float> fast = runInBlocks(processBlock, *fastModel, c, in);
            const double peak = peakOf(exact);
            ASSERT_GT(peak, 1e-6); // the phrase does come through at these settings
            EXPECT_LE(largestDifference(exact, fast), 1e-6 * peak);
        }
    }
}

TEST_P(FastChain, ControlChangesBetweenBlocksActLikeTheExactChain)
{
    // Automation every block: both networks refresh their coefficients on the next block.
    const std::vector<float> in = phrase(2.0);
    AmpControls c;
    setKnobs(c, kKnobSets[0], 44100.0);
    auto exactModel = freshModel(ChainPath::baseline);
    auto fastModel = freshModel(GetParam());
    std::vector<float> exact(in.size()), fast(in.size());
    for (size_t pos = 0, step = 0; pos + 256 <= in.size(); pos += 256, ++step) {
        const float knob = static_cast<float>((step * 37) % 100) / 100.0f;
        AmpControls::store(c.driveLevel, parameterTaper(knob));
        AmpControls::store(c.trebleSetting, 1.0 - knob);
        AmpControls::store(c.bassLevel, parameterTaper(knob * 0.5f));
        AmpControls::store(c.masterLevel, parameterTaper(1.0f - knob));
        processBlockExact(*exactModel, c, in.data() + pos, exact.data() + pos, 256, ProcessMode::replace);
        processBlock(*fastModel, c, in.data() + pos, fast.data() + pos, 256, ProcessMode::replace);
    }
    EXPECT_LE(largestDifference(exact, fast), 1e-6 * peakOf(exact));
}

// At 4x and 8x, with every control moving in glides and the oversampling switched back and forth
// while the phrase plays (each switch fades through silence and rebuilds the model), the fast
// chain still follows the exact one; at 96 kHz too, where 8x is held to 4x (384 kHz).
TEST_P(FastChain, OversampledAndSwitchingWhileControlsGlideStaysWithinAMillionthOfThePeak)
{
    const std::vector<float> in = phrase(2.0);
    for (double rate : {44100.0, 96000.0}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(rate)) + " Hz");
        AmpControls c;
        setKnobs(c, kKnobSets[1], rate);
        auto exactModel = freshModel(ChainPath::baseline);
        auto fastModel = freshModel(GetParam());
        std::vector<float> exact(in.size()), fast(in.size());
        const double factors[] = {8.0, 4.0, 2.0, 8.0};
        for (size_t pos = 0, step = 0; pos + 300 <= in.size(); pos += 300, ++step) {
            const float knob = static_cast<float>((step * 37) % 100) / 100.0f;
            AmpControls::store(c.driveLevel, parameterTaper(knob));
            AmpControls::store(c.middleSetting, knob);
            AmpControls::store(c.masterLevel, parameterTaper(1.0f - knob));
            AmpControls::store(c.outputVolume, 0.5 + 0.5 * knob);
            AmpControls::store(c.oversampling, factors[step / 70 % 4]);
            processBlockExact(*exactModel, c, in.data() + pos, exact.data() + pos, 300, ProcessMode::replace);
            processBlock(*fastModel, c, in.data() + pos, fast.data() + pos, 300, ProcessMode::replace);
        }
        EXPECT_EQ(fastModel->oversampling, exactModel->oversampling);
        EXPECT_LE(largestDifference(exact, fast), 1e-6 * peakOf(exact));
    }
}

// Loud phrase, silence long enough to fall asleep, then the phrase again.
std::vector<float> phraseSilencePhrase(double rate, double silenceSeconds)
{
    const std::vector<float> loud = phrase(3.0);
    std::vector<float> in(loud.begin() + static_cast<long>(1.5 * 44100), loud.end()); // the strums
    const size_t silence = static_cast<size_t>(silenceSeconds * rate) / kBlock * kBlock;
    const size_t firstEnd = in.size() / kBlock * kBlock;
    in.resize(firstEnd);
    in.insert(in.end(), silence, 0.0f);
    in.insert(in.end(), loud.begin(), loud.end());
    return in;
}

TEST_P(FastChain, SettledSilenceSleepsAndWakingIsSeamless)
{
    for (double rate : {44100.0, 96000.0, 192000.0}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(rate)) + " Hz");
        AmpControls c;
        setKnobs(c, kKnobSets[1], rate); // driven hard: the longest tails
        const std::vector<float> in = phraseSilencePhrase(rate, 2.0);
        auto exactModel = freshModel(ChainPath::baseline);
        const std::vector<float> exact = runInBlocks(processBlockExact, *exactModel, c, in);

        auto m = freshModel(GetParam());
        std::vector<float> out(in.size());
        int asleepBlocks = 0;
        bool wokeOnSound = false;
        for (size_t pos = 0; pos < in.size(); pos += kBlock) {
            const int n = static_cast<int>(std::min<size_t>(kBlock, in.size() - pos));
            const bool wasAsleep = m->silence.asleep;
            processBlock(*m, c, in.data() + pos, out.data() + pos, n, ProcessMode::replace);
            asleepBlocks += m->silence.asleep ? 1 : 0;
            if (wasAsleep && !m->silence.asleep)
                wokeOnSound = true; // the controls stay put: only the returning phrase wakes it
        }
        // Two seconds of silence: asleep for most of the second one.
        EXPECT_GT(asleepBlocks, static_cast<int>(0.8 * rate / kBlock));
        EXPECT_TRUE(wokeOnSound);
        EXPECT_FALSE(m->silence.asleep);
        EXPECT_LE(largestDifference(exact, out), 1e-6 * peakOf(exact));
    }
}

TEST_P(FastChain, ControlChangeWakesTheChainAndTheResultStaysExact)
{
    AmpControls c;
    setKnobs(c, kKnobSets[0], 44100.0);
    std::vector<float> in = phraseSilencePhrase(44100.0, 2.0);
    auto exactModel = freshModel(ChainPath::baseline);
    auto m = freshModel(GetParam());
    std::vector<float> exact(in.size()), out(in.size());
    bool changed = false;
    for (size_t pos = 0; pos < in.size(); pos += kBlock) {
        const int n = static_cast<int>(std::min<size_t>(kBlock, in.size() - pos));
        if (m->silence.asleep && !changed) {
            // Turned while asleep: the chain must run again with the new values.
            AmpControls::store(c.driveLevel, parameterTaper(0.9f));
            AmpControls::store(c.trebleSetting, 0.1);
            changed = true;
            processBlock(*m, c, in.data() + pos, out.data() + pos, n, ProcessMode::replace);
            EXPECT_FALSE(m->silence.asleep);
        } else {
            processBlock(*m, c, in.data() + pos, out.data() + pos, n, ProcessMode::replace);
        }
        processBlockExact(*exactModel, c, in.data() + pos, exact.data() + pos, n, ProcessMode::replace);
    }
    EXPECT_TRUE(changed);
    EXPECT_LE(largestDifference(exact, out), 1e-6 * peakOf(exact));
}

TEST_P(FastChain, QuietSoundIsNotSilence)
{
    // A constant -140 dBFS hum keeps the chain awake: only digital silence lets it sleep.
    AmpControls c;
    setKnobs(c, kKnobSets[0], 44100.0);
    auto m = freshModel(GetParam());
    std::vector<float> hum(kBlock), out(kBlock);
    for (int i = 0; i < kBlock; ++i)
        hum[i] = static_cast<float>(1e-7 * std::sin(0.05 * i));
    for (int block = 0; block < 400; ++block) {
        processBlock(*m, c, hum.data(), out.data(), kBlock, ProcessMode::replace);
        ASSERT_FALSE(m->silence.asleep) << block;
    }
}

TEST_P(FastChain, AsleepTheOutputIsSilentAndAddModeLeavesItAlone)
{
    AmpControls c;
    setKnobs(c, kKnobSets[0], 44100.0);
    auto m = freshModel(GetParam());
    std::vector<float> silence(kBlock, 0.0f), out(kBlock);
    std::vector<float> loud = phrase(2.0);
    runInBlocks(processBlock, *m, c, loud);
    for (int block = 0; block < 400 && !m->silence.asleep; ++block)
        processBlock(*m, c, silence.data(), out.data(), kBlock, ProcessMode::replace);
    ASSERT_TRUE(m->silence.asleep);
    std::fill(out.begin(), out.end(), 0.5f);
    processBlock(*m, c, silence.data(), out.data(), kBlock, ProcessMode::replace);
    for (float v : out)
        ASSERT_EQ(v, 0.0f);
    std::fill(out.begin(), out.end(), 0.25f);
    processBlock(*m, c, silence.data(), out.data(), kBlock, ProcessMode::add);
    for (float v : out)
        ASSERT_EQ(v, 0.25f);
    EXPECT_TRUE(m->silence.asleep);
    // A rebuild for a new rate starts awake.
    AmpControls::store(c.sampleRate, 48000.0);
    processBlock(*m, c, silence.data(), out.data(), kBlock, ProcessMode::replace);
    EXPECT_EQ(m->builtForSampleRate, 48000.0);
    EXPECT_FALSE(m->silence.asleep);
}

INSTANTIATE_TEST_SUITE_P(Builds, FastChain,
                         ::testing::Values(ChainPath::baseline, ChainPath::avx2, ChainPath::avx512),
                         [](const ::testing::TestParamInfo<ChainPath>& info) { return pathName(info.param); });

// One-frame blocks at 192 kHz make one-frame chunks, across which the state moves least: a loose
// settled rule would fall asleep there with the most still to decay. Against the same chain kept
// awake (the silence replaced by 1e-30, far below anything the output shows), sleeping may cost
// only what the rule leaves (under 50 chunks' worth of 1e-12 of each state value), which shows in
// the float output as a rounding or two: a few units of 2^-23 of the peak at most.
TEST(FastChainSleep, OneFrameBlocksAt192kHzSleepOnlyWhenSettled)
{
    constexpr double rate = 192000.0;
    AmpControls c;
    setKnobs(c, kKnobSets[1], rate);
    const std::vector<float> loud = phrase(2.0);
    std::vector<float> in(loud.begin() + static_cast<long>(1.5 * 44100), loud.end()); // a strum
    const size_t silenceStart = in.size();
    in.insert(in.end(), static_cast<size_t>(rate), 0.0f);
    const size_t silenceEnd = in.size();
    in.insert(in.end(), loud.begin() + static_cast<long>(1.5 * 44100), loud.begin() + static_cast<long>(1.6 * 44100));
    std::vector<float> kept = in;
    std::fill(kept.begin() + static_cast<long>(silenceStart), kept.begin() + static_cast<long>(silenceEnd), 1e-30f);

    auto sleeping = freshModel(ChainPath::baseline);
    auto awake = freshModel(ChainPath::baseline);
    std::vector<float> out(in.size()), reference(in.size());
    size_t asleepFrames = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        processBlock(*sleeping, c, &in[i], &out[i], 1, ProcessMode::replace);
        processBlock(*awake, c, &kept[i], &reference[i], 1, ProcessMode::replace);
        asleepFrames += sleeping->silence.asleep ? 1 : 0;
    }
    EXPECT_GT(asleepFrames, 0u);
    EXPECT_FALSE(awake->silence.asleep);
    EXPECT_LE(largestDifference(reference, out), 4.0 * 0x1p-23 * peakOf(reference));
}

TEST(ChainPaths, TheBaselineIsAlwaysThereAndTheFastestIsAvailable)
{
    EXPECT_TRUE(chainPathAvailable(ChainPath::baseline));
    EXPECT_TRUE(chainPathAvailable(fastestChainPath()));
    // A model starts on the fastest path.
    CircuitModel m;
    EXPECT_EQ(m.chainPath, fastestChainPath());
    // AVX-512 implies AVX2 and FMA, which its build also uses.
    if (chainPathAvailable(ChainPath::avx512)) {
        EXPECT_TRUE(chainPathAvailable(ChainPath::avx2));
    }
}

} // namespace
} // namespace quarvine
