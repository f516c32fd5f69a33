// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/partitioned_convolver.h"

#include "dsp/real_fft.h"

#include <algorithm>
#include <cstring>

namespace quarvine {

namespace {

int powerOfTwoAtLeast(std::int64_t n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

int clampPowerOfTwo(int n, int low, int high)
{
    return powerOfTwoAtLeast(std::clamp(n, low, high));
}

// Four floats as one value: SSE on x86, plain floats where there is no vector unit (GCC and clang).
using Float4 = float __attribute__((vector_size(16)));

Float4 load4(const float* p)
{
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void store4(float* p, Float4 v)
{
    std::memcpy(p, &v, sizeof v);
}

// y[0 .. 4 * Vectors) += the taps h[0 .. taps) over the inputs x[-k]. Each output keeps its own sum,
// in tap order, so that vectorising reorders no addition; several sums in flight hide the
// latency of each addition.
template <int Vectors>
void directForm(const float* h, int taps, const float* x, float* y)
{
    Float4 sum[Vectors];
    for (int v = 0; v < Vectors; ++v)
        sum[v] = load4(y + 4 * v);
    for (int k = 0; k < taps; ++k)
        for (int v = 0; v < Vectors; ++v)
            sum[v] += h[k] * load4(x + 4 * v - k);
    for (int v = 0; v < Vectors; ++v)
        store4(y + 4 * v, sum[v]);
}

} // namespace

// A run of equal blocks of `size` taps from tap `offset` on. Each block of input is transformed
// once (overlap-save, FFT size 2*size) and kept for `blocks` periods, so that one inverse
// transform gives the sum of all the run's products. The run's output is due `offset` samples
// after its input, and offset >= size: it can be computed when its input block is complete.
struct PartitionedConvolver::Stage {
    int size = 0;
    int offset = 0;
    int blocks = 0;
    int bins = 0; // the size + 1 bins of the half spectrum, rounded up to eight (zeros beyond)
    RealFft fft;  // of 2 * size points
    // Spectra as separate real and imaginary parts, blocks * bins each, so that the products
    // vectorise. The responses are scaled by 1 / (2 * size) for the unscaled inverse transform.
    std::vector<float> irReal, irImag;
    std::vector<float> inputReal, inputImag; // the last `blocks` input spectra, a ring
    int newest = 0;                          // the ring slot of the latest input spectrum
    // The products of the older input spectra with blocks 1 and on, due at the next block end;
    // summed a share at a time over the steps of the period before it.
    std::vector<float> pendingReal, pendingImag;
    int pendingBlocks = 0; // how many of blocks 1 .. blocks-1 are in pending
};

PartitionedConvolver::PartitionedConvolver() = default;
PartitionedConvolver::~PartitionedConvolver() = default;

void PartitionedConvolver::prepare(const float* ir, int length, const ConvolverLayout& layout)
{
    irLength = std::max(length, 0);
    headSize = clampPowerOfTwo(layout.headLength, 2, 1 << 14);
    const int growth = clampPowerOfTwo(layout.growth, 2, 1 << 10);
    const int largest = layout.largestBlock > 0 ? std::max(headSize, clampPowerOfTwo(layout.largestBlock, 2, 1 << 20))
                                                : std::clamp(powerOfTwoAtLeast(irLength / 16), headSize, 1 << 14);

    headTaps = std::min(irLength, headSize);
    headIr.assign(headSize, 0.0f);
    std::copy(ir, ir + headTaps, headIr.begin());
    headWindow.assign(2 * headSize, 0.0f);

    // Each stage runs until the next, `growth` times longer, block can start: a block of n taps
    // is computed as soon as its input is complete, so it must start at tap n or later.
    stages.clear();
    int offset = headSize;
    int size = headSize;
    while (offset < irLength) {
        const int next = std::min(size * growth, largest);
        const int end = size == largest ? irLength : std::min(std::max(next, offset + size), irLength);
        Stage stage;
        stage.size = size;
        stage.offset = offset;
        stage.blocks = (end - offset + size - 1) / size;
        stages.push_back(std::move(stage));
        offset += stages.back().blocks * size;
        size = next;
    }

    const int maxSize = stages.empty() ? 1 : stages.back().size;
    timeScratch.assign(2 * maxSize, 0.0f);
    std::vector<float> spectrumIn(2 * maxSize);
    for (Stage& s : stages) {
        s.bins = (s.size + 8) & ~7;
        s.fft = RealFft(2 * s.size);
        s.irReal.assign(static_cast<size_t>(s.blocks) * s.bins, 0.0f);
        s.irImag.assign(s.irReal.size(), 0.0f);
        const float scale = 1.0f / static_cast<float>(2 * s.size);
        for (int b = 0; b < s.blocks; ++b) {
            const int first = s.offset + b * s.size;
            const int taps = std::min(s.size, irLength - first);
            std::fill(spectrumIn.begin(), spectrumIn.begin() + 2 * s.size, 0.0f);
            for (int k = 0; k < taps; ++k)
                spectrumIn[k] = ir[first + k] * scale;
            s.fft.forward(spectrumIn.data(), s.irReal.data() + b * s.bins, s.irImag.data() + b * s.bins);
        }
        s.inputReal.assign(s.irReal.size(), 0.0f);
        s.inputImag.assign(s.irReal.size(), 0.0f);
        s.pendingReal.assign(s.bins, 0.0f);
        s.pendingImag.assign(s.bins, 0.0f);
    }
    // A stage reads the 2 * size inputs before its block end, and writes up to its offset ahead of
    // the next output to be read.
    history.assign(stages.empty() ? 0 : powerOfTwoAtLeast(2 * maxSize), 0.0f);
    tail.assign(stages.empty() ? 0 : powerOfTwoAtLeast(stages.back().offset), 0.0f);
    reset();
}

void PartitionedConvolver::reset()
{
    std::fill(headWindow.begin(), headWindow.end(), 0.0f);
    std::fill(history.begin(), history.end(), 0.0f);
    std::fill(tail.begin(), tail.end(), 0.0f);
    for (Stage& s : stages) {
        std::fill(s.inputReal.begin(), s.inputReal.end(), 0.0f);
        std::fill(s.inputImag.begin(), s.inputImag.end(), 0.0f);
        std::fill(s.pendingReal.begin(), s.pendingReal.end(), 0.0f);
        std::fill(s.pendingImag.begin(), s.pendingImag.end(), 0.0f);
        s.newest = 0;
        s.pendingBlocks = 0;
    }
    position = 0;
}

std::vector<int> PartitionedConvolver::partitionStarts() const
{
    std::vector<int> starts;
    if (headTaps > 0)
        starts.push_back(0);
    for (const Stage& s : stages)
        for (int b = 0; b < s.blocks; ++b)
            starts.push_back(s.offset + b * s.size);
    return starts;
}

void PartitionedConvolver::process(const float* in, float* out, int frames)
{
    if (headSize == 0) {
        std::fill(out, out + std::max(frames, 0), 0.0f);
        return;
    }
    const int historyMask = static_cast<int>(history.size()) - 1;
    const int tailMask = static_cast<int>(tail.size()) - 1;
    int done = 0;
    while (done < frames) {
        const int phase = static_cast<int>(position % headSize);
        const int n = std::min(frames - done, headSize - phase);
        // The input is stored before any output is written: out may be in.
        float* window = headWindow.data() + headSize + phase;
        // Both rings are whole numbers of steps long: a step's frames do not wrap round.
        std::memcpy(window, in + done, sizeof(float) * n);
        if (!history.empty())
            std::memcpy(history.data() + (position & historyMask), in + done, sizeof(float) * n);

        float* y = out + done;
        if (tail.empty()) {
            std::fill(y, y + n, 0.0f);
        } else {
            float* due = tail.data() + (position & tailMask);
            std::memcpy(y, due, sizeof(float) * n);
            std::fill(due, due + n, 0.0f);
        }
        const float* h = headIr.data();
        int i = 0;
        for (; i + 16 <= n; i += 16)
            directForm<4>(h, headTaps, window + i, y + i);
        for (; i + 4 <= n; i += 4)
            directForm<1>(h, headTaps, window + i, y + i);
        for (; i < n; ++i)
            for (int k = 0; k < headTaps; ++k)
                y[i] += h[k] * window[i - k];

        position += n;
        done += n;
        if (phase + n == headSize)
            blockBoundary();
    }
}

// Every headSize frames: the window moves on, each stage adds its share of products and the
// stages whose block is complete run their transforms.
void PartitionedConvolver::blockBoundary()
{
    std::memcpy(headWindow.data(), headWindow.data() + headSize, sizeof(float) * headSize);
    for (Stage& s : stages) {
        const int steps = s.size / headSize;
        const int step = static_cast<int>((position / headSize) % steps);
        // Blocks 1 .. blocks-1 spread evenly over the period's steps, the last share with block 0.
        if (step == 0)
            fire(s);
        else
            accumulatePending(s, static_cast<int>((std::int64_t{s.blocks - 1} * step + steps - 1) / steps));
    }
}

void PartitionedConvolver::accumulatePending(Stage& s, int target)
{
    // Block b meets the input spectrum b periods older than the one the next end brings.
    addProducts(s, s.pendingBlocks + 1, target, (s.newest + 1) % s.blocks);
    s.pendingBlocks = std::max(s.pendingBlocks, target);
}

// Adds to pending the products of blocks firstBlock .. lastBlock, block b with the input spectrum
// in slot latest - b, eight bins of all of them at a time: the sums stay in registers over the
// blocks.
void PartitionedConvolver::addProducts(Stage& s, int firstBlock, int lastBlock, int latest)
{
    if (firstBlock > lastBlock)
        return;
    const int firstSlot = (latest - firstBlock + s.blocks) % s.blocks;
    for (int k = 0; k < s.bins; k += 8) {
        Float4 yr0 = load4(s.pendingReal.data() + k), yr1 = load4(s.pendingReal.data() + k + 4);
        Float4 yi0 = load4(s.pendingImag.data() + k), yi1 = load4(s.pendingImag.data() + k + 4);
        for (int block = firstBlock, slot = firstSlot; block <= lastBlock; ++block) {
            const float* hr = s.irReal.data() + static_cast<size_t>(block) * s.bins + k;
            const float* hi = s.irImag.data() + static_cast<size_t>(block) * s.bins + k;
            const float* xr = s.inputReal.data() + static_cast<size_t>(slot) * s.bins + k;
            const float* xi = s.inputImag.data() + static_cast<size_t>(slot) * s.bins + k;
            yr0 += load4(hr) * load4(xr) - load4(hi) * load4(xi);
            yi0 += load4(hr) * load4(xi) + load4(hi) * load4(xr);
            yr1 += load4(hr + 4) * load4(xr + 4) - load4(hi + 4) * load4(xi + 4);
            yi1 += load4(hr + 4) * load4(xi + 4) + load4(hi + 4) * load4(xr + 4);
            slot = (slot == 0 ? s.blocks : slot) - 1;
        }
        store4(s.pendingReal.data() + k, yr0);
        store4(s.pendingReal.data() + k + 4, yr1);
        store4(s.pendingImag.data() + k, yi0);
        store4(s.pendingImag.data() + k + 4, yi1);
    }
}

// The block of `size` inputs just completed: transform the last 2 * size inputs, add its product
// with block 0 (and the older blocks' still left) to the pending sum, and add the inverse's second
// half to the output `offset` samples after that block's start.
void PartitionedConvolver::fire(Stage& s)
{
    const int historyMask = static_cast<int>(history.size()) - 1;
    const int frameLength = 2 * s.size;
    const std::int64_t first = position - frameLength;
    const int start = static_cast<int>(first & historyMask);
    const int part = std::min(frameLength, static_cast<int>(history.size()) - start);
    std::memcpy(timeScratch.data(), history.data() + start, sizeof(float) * part);
    std::memcpy(timeScratch.data() + part, history.data(), sizeof(float) * (frameLength - part));

    s.newest = (s.newest + 1) % s.blocks;
    float* xr = s.inputReal.data() + static_cast<size_t>(s.newest) * s.bins;
    float* xi = s.inputImag.data() + static_cast<size_t>(s.newest) * s.bins;
    s.fft.forward(timeScratch.data(), xr, xi);
    // Block 0 meets the new spectrum; with it the blocks not summed yet, in one pass if that is all.
    if (s.pendingBlocks == 0) {
        addProducts(s, 0, s.blocks - 1, s.newest);
    } else {
        addProducts(s, s.pendingBlocks + 1, s.blocks - 1, s.newest);
        addProducts(s, 0, 0, s.newest);
    }
    s.fft.inverse(s.pendingReal.data(), s.pendingImag.data(), timeScratch.data());
    std::fill(s.pendingReal.begin(), s.pendingReal.end(), 0.0f);
    std::fill(s.pendingImag.begin(), s.pendingImag.end(), 0.0f);
    s.pendingBlocks = 0;

    const int tailMask = static_cast<int>(tail.size()) - 1;
    const std::int64_t due = position - s.size + s.offset;
    const float* result = timeScratch.data() + s.size;
    for (int i = 0; i < s.size; ++i)
        tail[(due + i) & tailMask] += result[i];
}

} // namespace quarvine
