// SPDX-License-Identifier: GPL-3.0-or-later
// The whole chain against an independent model of the circuit (reference_chain), sample by sample.
#include "dsp/circuit_model.h"
#include "network_solver.h"
#include "reference_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace quarvine {
namespace {

constexpr double kHostRate = 44100.0;

// Plucked strings: a sharp attack, then harmonics that die away faster the higher they are. The
// second pluck is hit well above full scale, hard enough to make even the first stage's grid
// conduct.
std::vector<float> pluckedStrings(int frames)
{
    struct Pluck {
        int start;
        double hz, level;
    };
    const Pluck plucks[] = {{0, 82.41, 0.8}, {2400, 196.0, 3.0}};
    std::vector<float> x(frames, 0.0f);
    for (const Pluck& p : plucks)
        for (int n = p.start; n < frames; ++n) {
            const double t = (n - p.start) / kHostRate;
            double sum = 0.0;
            for (int h = 1; h <= 12; ++h)
                sum += std::sin(2.0 * test::kPi * h * p.hz * t + 0.3 * h) * std::exp(-t * 8.0 * h) / h;
            x[n] += static_cast<float>(p.level * sum * (1.0 - std::exp(-t * 4000.0)));
        }
    return x;
}

struct KnobSetting {
    const char* name;
    double master, drive, treble, middle, bass, volume;
};

const KnobSetting kSettings[] = {
    {"defaults", 0.5, 0.5, 0.5, 0.5, 0.5, 1.0},
    {"knob extremes", 1.0, 1.0, 1.0, 0.0, 0.0, 0.7},
};

reference::Controls referenceControls(const KnobSetting& s)
{
    return {reference::taper(s.master), reference::taper(s.drive), s.treble, s.middle, reference::taper(s.bass),
            0.5, s.volume};
}

void store(AmpControls& to, const reference::Controls& c)
{
    AmpControls::store(to.masterLevel, c.master);
    AmpControls::store(to.driveLevel, c.drive);
    AmpControls::store(to.trebleSetting, c.treble);
    AmpControls::store(to.middleSetting, c.middle);
    AmpControls::store(to.bassLevel, c.bass);
    AmpControls::store(to.fixedToneSetting, c.fixedTone);
    AmpControls::store(to.outputVolume, c.volume);
    AmpControls::store(to.sampleRate, kHostRate);
}

TEST(ChainReference, FollowsAnIndependentModelOfTheCircuit)
{
    const std::vector<float> in = pluckedStrings(4096);
    for (const KnobSetting& s : kSettings) {
        SCOPED_TRACE(s.name);
        const reference::Controls c = referenceControls(s);
        reference::Chain reference(kHostRate);
        std::vector<double> expected(in.size());
        double peak = 0.0;
        for (size_t i = 0; i < in.size(); ++i) {
            expected[i] = reference.process(in[i], c);
            peak = std::max(peak, std::abs(expected[i]));
        }
        // The signal reaches every non-linear region of the chain.
        const reference::Coverage reached = reference.coverage();
        for (int stage = 0; stage < 3; ++stage)
            EXPECT_GT(reached.gridConduction[stage], 0) << "grid of stage " << stage + 1;
        EXPECT_GT(reached.cutoff[1], 0);
        EXPECT_GT(reached.cutoff[2], 0);
        EXPECT_GT(reached.limited, 0);
        if (s.master == 1.0) { // past tanh's knee: the output shaper saturates
            EXPECT_GT(reached.largestShaperDrive, 2.0);
        }
        EXPECT_GT(peak, 0.1);

        AmpControls controls;
        store(controls, c);
        auto model = std::make_unique<CircuitModel>();
        buildCircuitModel(*model, kHostRate);
        std::vector<float> out(in.size());
        processBlockExact(*model, controls, in.data(), out.data(), static_cast<int>(in.size()), ProcessMode::replace);
        for (size_t i = 0; i < in.size(); ++i)
            ASSERT_NEAR(out[i], expected[i], reference::kToleranceOfPeak * peak) << "frame " << i;
    }
}

// The same comparison in full precision, with the reference taking the two control-driven networks'
// coefficients from the model (their own tests check them against the circuits, and the test above
// checks them in the chain). Every other stage is the reference's own, so what is left is rounding:
// a stage out of place, a sign, a factor or the order of the sub-samples shows at once. (Two linear
// sections side by side commute, so swapping them is the one mistake no output can show.)
reference::NetworkSource networksOf(const CircuitModel& model)
{
    reference::NetworkSource source;
    source.drive = [&model](double drive) {
        InputNetworkFilter f = model.inputNetwork;
        refreshInputNetwork(f, drive);
        reference::Filter4 filter;
        for (int k = 0; k < 5; ++k) {
            filter.a[k] = f.networkCoefficients[k];
            filter.b[k] = f.networkCoefficients[5 + k];
        }
        return filter;
    };
    source.tone = [&model](const reference::Controls& c) {
        ToneStackFilter f = model.toneStack;
        refreshToneStack(f, c.bass, c.middle, c.treble, c.fixedTone);
        reference::Filter4 filter;
        filter.a[0] = 1.0;
        for (int k = 1; k < 5; ++k)
            filter.a[k] = f.runtimeCoefficients[k];
        for (int k = 0; k < 5; ++k)
            filter.b[k] = f.runtimeCoefficients[5 + k];
        return filter;
    };
    return source;
}

TEST(ChainReference, FollowsTheIndependentChainToRoundingGivenTheNetworksCoefficients)
{
    const std::vector<float> in = pluckedStrings(4096);
    for (const KnobSetting& s : kSettings) {
        SCOPED_TRACE(s.name);
        const reference::Controls c = referenceControls(s);
        AmpControls controls;
        store(controls, c);
        auto model = std::make_unique<CircuitModel>();
        buildCircuitModel(*model, kHostRate);
        const auto networkModel = std::make_unique<CircuitModel>(*model);
        reference::Chain reference(kHostRate, networksOf(*networkModel));
        std::vector<double> expected(in.size()), actual(in.size());
        double peak = 0.0, worst = 0.0;
        for (size_t i = 0; i < in.size(); ++i) {
            expected[i] = reference.process(in[i], c);
            actual[i] = processSampleExact(*model, controls, in[i]) * c.volume;
            peak = std::max(peak, std::abs(expected[i]));
            worst = std::max(worst, std::abs(actual[i] - expected[i]));
        }
        EXPECT_GT(peak, 0.1);
        // In full-scale units (1 is the largest float a host takes without clipping). Rounding
        // leaves about 3e-10 here; every mistake tried in the chain moved it by more than 0.01.
        EXPECT_LE(worst, 1e-9) << "largest difference " << worst << " with peak " << peak;
    }
}

} // namespace
} // namespace quarvine
