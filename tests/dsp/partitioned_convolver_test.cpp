// SPDX-License-Identifier: GPL-3.0-or-later
// The partitioned convolver against a direct convolution in double precision, its zero latency, its
// reset, and that it allocates nothing while processing.
#include "dsp/partitioned_convolver.h"
#include "allocation_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

// Counts the allocations of this test program, so that a test can see process make none. Not
// inlined: GCC would then see malloc's memory freed by a delete expression and warn.
namespace {
std::atomic<long> allocations{0};
}
[[gnu::noinline]] void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

long allocationCount()
{
    return allocations.load();
}

namespace quarvine {
namespace {

std::vector<float> noise(int n, unsigned seed)
{
    std::vector<float> x(n);
    for (float& v : x) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(seed >> 8) - (1 << 23)) / static_cast<float>(1 << 23);
    }
    return x;
}

// Host blocks: one size throughout, or (size 0) a sequence that changes every call.
std::vector<float> run(PartitionedConvolver& c, const std::vector<float>& x, int block)
{
    static const int changing[] = {1, 64, 7, 333, 2, 4096, 63, 65, 8192, 5};
    std::vector<float> y(x.size());
    for (size_t done = 0, call = 0; done < x.size(); ++call) {
        const int n = std::min<int>(block > 0 ? block : changing[call % 10], static_cast<int>(x.size() - done));
        c.process(x.data() + done, y.data() + done, n);
        done += n;
    }
    return y;
}

constexpr int kBlocks[] = {1, 7, 32, 512, 8192, 0};

std::vector<double> directConvolution(const std::vector<float>& ir, const std::vector<float>& x)
{
    std::vector<double> y(x.size(), 0.0);
    for (size_t n = 0; n < x.size(); ++n)
        for (size_t k = 0; k < ir.size() && k <= n; ++k)
            y[n] += static_cast<double>(ir[k]) * x[n - k];
    return y;
}

// Largest error over the output's peak.
double errorOverPeak(const std::vector<double>& reference, const std::vector<float>& y)
{
    double peak = 0.0, error = 0.0;
    for (size_t n = 0; n < y.size(); ++n) {
        peak = std::max(peak, std::abs(reference[n]));
        error = std::max(error, std::abs(reference[n] - y[n]));
    }
    return error / peak;
}

// A small layout has every kind of edge within a few hundred taps: the head, a stage of three
// blocks, a stage cut short by the largest block, and a run of largest blocks whose products are
// spread over eight steps.
TEST(PartitionedConvolver, MatchesDirectConvolutionAroundEveryPartitionEdge)
{
    const ConvolverLayout small{.headLength = 4, .growth = 4, .largestBlock = 32};
    PartitionedConvolver c;
    const std::vector<float> longIr = noise(200, 7);
    c.prepare(longIr.data(), 200, small);
    const std::vector<int> starts = c.partitionStarts();
    const std::vector<int> expected = {0, 4, 8, 12, 16, 32, 64, 96, 128, 160, 192};
    ASSERT_EQ(starts, expected);
    for (int edge : starts) {
        for (int length = std::max(1, edge - 1); length <= edge + 1; ++length) {
            const std::vector<float> ir = noise(length, 11u + length), x = noise(2 * length + 300, 3);
            const std::vector<double> reference = directConvolution(ir, x);
            c.prepare(ir.data(), length, small);
            for (int block : kBlocks) {
                c.reset();
                EXPECT_LE(errorOverPeak(reference, run(c, x, block)), 1e-6) << "length " << length << ", block " << block;
            }
        }
    }
}

// The default layout: around the head's end and a 2048-tap cabinet's (fifteen blocks of 128), and
// two stages (6000 taps: three blocks of 128, then blocks of 512 from tap 512 on).
TEST(PartitionedConvolver, DefaultLayoutMatchesDirectConvolution)
{
    for (int length : {127, 128, 129, 2047, 2048, 2049, 6000}) {
        const std::vector<float> ir = noise(length, 5u + length), x = noise(length + 3000, 9);
        const std::vector<double> reference = directConvolution(ir, x);
        PartitionedConvolver c;
        c.prepare(ir.data(), length);
        for (int block : kBlocks) {
            c.reset();
            EXPECT_LE(errorOverPeak(reference, run(c, x, block)), 1e-6) << "length " << length << ", block " << block;
        }
    }
}

// A unit impulse, alone or followed by thousands of zero taps (whose FFT blocks then add exact
// zeros), gives the input back sample for sample; a single tap h0 gives x * h0.
TEST(PartitionedConvolver, UnitImpulseHasNoLatencyAtAnyBlockSize)
{
    const std::vector<float> x = noise(20000, 1);
    for (int length : {1, 5000}) {
        std::vector<float> ir(length, 0.0f);
        ir[0] = 1.0f;
        PartitionedConvolver c;
        c.prepare(ir.data(), length);
        for (int block : kBlocks) {
            c.reset();
            EXPECT_EQ(run(c, x, block), x) << "length " << length << ", block " << block;
        }
    }
    const float h0 = 0.375f;
    PartitionedConvolver c;
    c.prepare(&h0, 1);
    const std::vector<float> y = run(c, x, 33);
    for (size_t n = 0; n < x.size(); ++n)
        ASSERT_EQ(y[n], x[n] * h0) << n;
}

TEST(PartitionedConvolver, ResetClearsTheTailAndProcessAllocatesNothing)
{
    const std::vector<float> ir = noise(30000, 2), x = noise(40000, 4), silence(40000, 0.0f);
    PartitionedConvolver c;
    c.prepare(ir.data(), 30000);
    const long before = allocations.load();
    const std::vector<float> first = run(c, x, 0);
    c.reset();
    const std::vector<float> afterReset = run(c, silence, 0);
    c.reset();
    const std::vector<float> again = run(c, x, 0);
    // run's own output vectors are the only allocations.
    EXPECT_EQ(allocations.load() - before, 3);
    EXPECT_EQ(afterReset, silence);
    EXPECT_EQ(again, first); // as from a fresh start
}

} // namespace
} // namespace quarvine
