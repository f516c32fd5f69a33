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
    const KnobSetting settings[] = {
        {"defaults", 0.5, 0.5, 0.5, 0.5, 0.5, 1.0},
        {"knob extremes", 1.0, 1.0, 1.0, 0.0, 0.0, 0.7},
    };
    const std::vector<float> in = pluckedStrings(4096);
    for (const KnobSetting& s : settings) {
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
        processBlock(*model, controls, in.data(), out.data(), static_cast<int>(in.size()), ProcessMode::replace);
        for (size_t i = 0; i < in.size(); ++i)
            ASSERT_NEAR(out[i], expected[i], reference::kToleranceOfPeak * peak) << "frame " << i;
    }
}

} // namespace
} // namespace quarvine
