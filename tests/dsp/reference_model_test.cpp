// SPDX-License-Identifier: GPL-3.0-or-later
// The reference chain's parts against the circuit's stated figures, so that the whole-chain
// comparison rests on a reference that is right on its own.
#include "network_solver.h"
#include "reference_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace quarvine {
namespace {

TEST(ReferenceModel, TriodesSettleAtTheStatedBiasPoints)
{
    struct Bias {
        reference::TriodeParts parts;
        double plate, cathode;
    };
    const Bias stages[] = {{reference::firstTriode(), 190.3983, 1.32445},
                           {reference::secondTriode(), 276.8392, 2.10285},
                           {reference::thirdTriode(), 280.6947, 2.53437}};
    for (const Bias& b : stages) {
        reference::Triode t(b.parts, 88200.0);
        EXPECT_NEAR(t.biasPlateVoltage(), b.plate, 1e-4);
        EXPECT_NEAR(t.cathodeVoltage(), b.cathode, 1e-5);
        EXPECT_EQ(t.fit(0.0), b.parts.fit[0]);
        // Fed its quiescent grid voltage, the stage stays where it is.
        EXPECT_NEAR(t.step(0.0), b.plate, 1e-3);
    }
}

TEST(ReferenceModel, HalfBandImpulseAndDcGain)
{
    reference::HalfBand up;
    const auto first = up.up(1.0);
    EXPECT_NEAR(first[0], 0.0037350, 1e-7);
    EXPECT_NEAR(first[1], 0.030255, 1e-6);
    reference::HalfBand a, b;
    double out = 0.0;
    for (int i = 0; i < 2000; ++i) {
        const auto s = a.up(1.0);
        out = b.down(s[0], s[1]);
    }
    EXPECT_NEAR(out, 1.0, 1e-9);
}

double gainAt(reference::Biquad f, double hz, double rate)
{
    // Steady-state amplitude of a sine, read over the last whole periods.
    double peak = 0.0;
    const int n = static_cast<int>(rate);
    for (int i = 0; i < n; ++i) {
        const double y = f(std::sin(2.0 * test::kPi * hz * i / rate));
        if (i > n / 2)
            peak = std::max(peak, std::abs(y));
    }
    return peak;
}

TEST(ReferenceModel, FixedSectionsHaveTheirStatedGains)
{
    EXPECT_NEAR(gainAt(reference::midBoost(88200.0), 500.0, 88200.0), 1.585, 1e-3);
    EXPECT_NEAR(gainAt(reference::bleedShelf(88200.0), 10000.0, 88200.0), 0.9927, 1e-3);
    reference::Biquad bleed = reference::bleedShelf(88200.0);
    reference::Biquad rumble = reference::rumbleHighPass(88200.0);
    double dcBleed = 0.0, dcRumble = 1.0;
    for (int i = 0; i < 100000; ++i) {
        dcBleed = bleed(1.0);
        dcRumble = rumble(1.0);
    }
    EXPECT_NEAR(dcBleed, 0.0001 / 0.00011, 1e-9);
    EXPECT_NEAR(dcRumble, 0.0, 1e-9);
}

// Magnitude of the reference's digital network at the digital frequency that the bilinear
// transform maps onto hz: there it equals the analog network's magnitude exactly.
double analogMagnitude(const reference::Circuit& c, double hz)
{
    const double k = 2.0 * 88200.0;
    const reference::Filter4 f = reference::bilinearFilter(c, k);
    EXPECT_LT(f.residual, 1e-12);
    return test::digitalMagnitude(f.b.data(), f.a.data(), 5, test::prewarpedDigitalFrequency(hz, k));
}

TEST(ReferenceModel, NetworksHaveTheStatedResponses)
{
    struct Expect {
        double control, at100, at1k, at10k;
    };
    // The figures are stated to five significant digits.
    auto near = [](double got, double stated) { return std::abs(got - stated) <= 5e-5 * stated; };
    // Settings 0 and 1 put the pots at their end stops: zero-ohm legs join their nodes.
    for (Expect e : {Expect{0.5, 0.54093, 0.20386, 0.31240}, Expect{0.0, 0.18912, 0.13420, 0.021005},
                     Expect{1.0, 0.45680, 0.24355, 0.89884}}) {
        const reference::Circuit tone = reference::toneStackCircuit(e.control, e.control, e.control, 0.5);
        EXPECT_TRUE(near(analogMagnitude(tone, 100.0), e.at100)) << e.control << " at " << 100.0;
        EXPECT_TRUE(near(analogMagnitude(tone, 1000.0), e.at1k)) << e.control << " at " << 1000.0;
        EXPECT_TRUE(near(analogMagnitude(tone, 10000.0), e.at10k)) << e.control << " at " << 10000.0;
    }
    for (Expect e : {Expect{0.5, 0.35851, 0.81284, 0.83692}, Expect{0.9999, 0.71456, 0.97398, 0.85165},
                     Expect{0.0001, 7.553e-05, 0.00041474, 0.0035255}}) {
        const reference::Circuit drive = reference::driveNetworkCircuit(e.control);
        EXPECT_TRUE(near(analogMagnitude(drive, 100.0), e.at100)) << e.control << " at " << 100.0;
        EXPECT_TRUE(near(analogMagnitude(drive, 1000.0), e.at1k)) << e.control << " at " << 1000.0;
        EXPECT_TRUE(near(analogMagnitude(drive, 10000.0), e.at10k)) << e.control << " at " << 10000.0;
    }
}

TEST(ReferenceModel, KnobTaper)
{
    EXPECT_NEAR(reference::taper(0.5), 0.112725, 1e-12);
    EXPECT_EQ(reference::taper(0.0), 0.0001);
    EXPECT_NEAR(reference::taper(1.0), 0.9993, 1e-12);
}

} // namespace
} // namespace quarvine
