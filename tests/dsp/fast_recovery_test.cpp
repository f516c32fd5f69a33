// SPDX-License-Identifier: GPL-3.0-or-later
// The fast chain's recovery from a non-finite result in the middle of a block: the frames before
// it stand, the bad frame gives 0, and the model carries on from its bias point, exactly as the
// exact chain does. The chain itself hardly ever gets there, so a kernel that fails on cue stands in.
#include "chain_test_support.h"
#include "dsp/circuit_model.h"
#include "dsp/fast_chain_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace quarvine {
namespace {

using namespace chain_test;

constexpr float kPoison = 0.123456f;

// The baseline kernel, except that a frame whose input is kPoison comes out NaN, as if the circuit
// had blown up there. It depends on its input only, as a real failure depends on the state.
void failingKernel(CircuitModel& m, const ChainSettings& s, const float* in, double* result, int frames)
{
    baseline::runFastChain(m, s, in, result, frames);
    for (int i = 0; i < frames; ++i)
        if (in[i] == kPoison)
            result[i] = std::nan("");
}

std::unique_ptr<CircuitModel> freshModel()
{
    auto m = std::make_unique<CircuitModel>();
    buildCircuitModel(*m, 44100.0);
    m->chainPath = ChainPath::baseline; // the build the failing kernel runs
    return m;
}

TEST(FastChainRecovery, FramesBeforeAFailureStandAndTheModelRestartsAfterIt)
{
    AmpControls c;
    setMiddleSettings(c);
    // Failures inside the second chunk, right after one another, and in the fourth chunk.
    std::vector<float> in(1200);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.4 * std::sin(0.03 * static_cast<double>(i)));
    const size_t bad[] = {300, 301, 777};
    for (size_t b : bad)
        in[b] = kPoison;

    auto model = freshModel();
    std::vector<float> out(in.size(), 9.0f);
    processFramesWith(failingKernel, *model, c, in.data(), out.data(), static_cast<int>(in.size()),
                      ProcessMode::replace);

    // Expected: each stretch between failures as a model built afresh gives it, without the failing
    // kernel: bit for bit from the baseline build, and within the fast chain's bound from the exact
    // chain.
    std::vector<float> expected(in.size(), 0.0f), exact(in.size(), 0.0f);
    std::unique_ptr<CircuitModel> reference;
    size_t start = 0;
    for (size_t end : {size_t{300}, size_t{301}, size_t{777}, in.size()}) {
        reference = freshModel();
        processFrames(*reference, c, in.data() + start, expected.data() + start, static_cast<int>(end - start),
                      ProcessMode::replace);
        auto exactModel = freshModel();
        processFramesExact(*exactModel, c, in.data() + start, exact.data() + start, static_cast<int>(end - start),
                           ProcessMode::replace);
        start = end + 1;
    }
    for (size_t b : bad)
        EXPECT_EQ(out[b], 0.0f) << b;
    float peak = 0.0f;
    for (float v : exact)
        peak = std::max(peak, std::abs(v));
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(out[i], expected[i]) << i;
        ASSERT_NEAR(out[i], exact[i], 1e-6 * peak) << i;
    }
    // And the model ends where the last stretch left its fresh copy.
    EXPECT_EQ(std::memcmp(model.get(), reference.get(), sizeof(CircuitModel)), 0);
}

TEST(FastChainRecovery, AddModeAddsNothingForTheFailedFrame)
{
    AmpControls c;
    setMiddleSettings(c);
    std::vector<float> in(600, 0.1f);
    in[400] = kPoison;
    auto model = freshModel();
    std::vector<float> out(in.size(), 0.5f);
    processFramesWith(failingKernel, *model, c, in.data(), out.data(), static_cast<int>(in.size()), ProcessMode::add);
    EXPECT_EQ(out[400], 0.5f);
    EXPECT_NE(out[399], 0.5f);
}

} // namespace
} // namespace quarvine
