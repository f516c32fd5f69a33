// SPDX-License-Identifier: GPL-3.0-or-later
// A tone control far outside its travel can make the tone stack's recursion unstable. The
// saturating output stage hides the runaway state, which would then take seconds to decay once
// the control is back: the amp would stay silent that long. Coming back, the model returns to its
// bias point, on the same frame in both chains.
#include "chain_test_support.h"
#include "dsp/circuit_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace quarvine {
namespace {

using namespace chain_test;

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

using BlockFunction = void (*)(CircuitModel&, const AmpControls&, const float*, float*, int, ProcessMode);

std::vector<float> run(BlockFunction process, CircuitModel& m, const AmpControls& c, const std::vector<float>& in)
{
    std::vector<float> out(in.size());
    for (size_t pos = 0; pos < in.size(); pos += kBlock) {
        const int n = static_cast<int>(std::min<size_t>(kBlock, in.size() - pos));
        process(m, c, in.data() + pos, out.data() + pos, n, ProcessMode::replace);
    }
    return out;
}

// 150 ms of a 220 Hz sine at half scale.
std::vector<float> sine()
{
    std::vector<float> x(6615);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 220.0 * static_cast<double>(i) / kRate));
    return x;
}

TEST(RunawayToneStack, TrebleBackFromFarOffItsTravelPlaysAsAFreshModelInBothChains)
{
    AmpControls fresh;
    setMiddleSettings(fresh);
    auto reference = std::make_unique<CircuitModel>();
    buildCircuitModel(*reference, kRate);
    const std::vector<float> expected = run(processBlockExact, *reference, fresh, sine());
    const double peak = peakOf(expected);
    ASSERT_GT(peak, 0.1);

    for (BlockFunction process : {processBlockExact, processBlock}) {
        SCOPED_TRACE(process == processBlock ? "fast chain" : "exact chain");
        AmpControls c;
        setMiddleSettings(c);
        auto model = std::make_unique<CircuitModel>();
        buildCircuitModel(*model, kRate);
        model->chainPath = ChainPath::baseline;
        // Treble at -1 makes the stack unstable: its state grows by about 1e3 every 1000 frames.
        AmpControls::store(c.trebleSetting, -1.0);
        run(process, *model, c, std::vector<float>(4096, 0.0f));
        ASSERT_GT(std::abs(model->toneStack.filterState[0]), 1e10) << "the setting no longer runs away";
        AmpControls::store(c.trebleSetting, 0.5);
        const std::vector<float> played = run(process, *model, c, sine());
        double difference = 0.0;
        for (size_t i = 0; i < played.size(); ++i)
            difference = std::max(difference, std::abs(static_cast<double>(played[i]) - expected[i]));
        EXPECT_LE(difference, 1e-6 * peak);
    }
}

} // namespace
} // namespace quarvine
