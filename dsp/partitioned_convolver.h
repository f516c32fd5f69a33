// SPDX-License-Identifier: GPL-3.0-or-later
// Convolution with a long impulse response (a speaker cabinet's, or the player's own) without
// latency: the first taps run in direct form, the rest in FFT partitions that grow with their
// distance from the start (non-uniform partitioned convolution, W. G. Gardner, "Efficient
// convolution without input-output delay", JAES 43(3), 1995), so that a ten-second response costs
// little more per sample than a cabinet's few thousand taps.
//
// Set-up (prepare) allocates and belongs off the audio thread; process takes any number of frames,
// allocates nothing, locks nothing and makes no system call. The host block does not matter: the
// work runs in steps of the direct head's length, whatever the host hands over.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvine {

// How an impulse response is cut up. Lengths are powers of two, in taps (samples). The defaults
// were measured again with the convolver's own FFT (bench/convolver_bench.cpp, 512-frame blocks,
// convolver over 2x chain, four runs): against a 64-tap head, growth 8 and an eighth, they cost a
// built-in cabinet (1024 taps) 0.24-0.28 instead of 0.27-0.29, 2048 taps the same (0.28-0.32),
// 24000 taps 0.45-0.49 instead of 0.43-0.46; the built-in cabinets decide. A 2048-tap cabinet is
// the head and one stage of 15 blocks.
struct ConvolverLayout {
    // Taps in direct form: their cost for each output sample, and the smallest FFT block.
    int headLength = 128;
    // Each stage of FFT blocks is this many times longer than the one before it (a power of two).
    int growth = 16;
    // The longest block (the largest FFT is twice this); 0 picks a sixteenth of the response,
    // from headLength up to 16384. Longer responses add blocks of this size, whose products are
    // spread over the samples; their transforms are not (see README).
    int largestBlock = 0;
};

class PartitionedConvolver {
public:
    PartitionedConvolver();
    ~PartitionedConvolver();
    PartitionedConvolver(const PartitionedConvolver&) = delete;
    PartitionedConvolver& operator=(const PartitionedConvolver&) = delete;

    // Takes a copy of ir[0..length) and clears the state. Allocates. A length of 0 gives silence.
    void prepare(const float* ir, int length, const ConvolverLayout& layout = {});
    // Silence in, silence out from here: the input history and the pending tail are cleared.
    void reset();
    // out may be in. Before the first prepare, it writes silence.
    void process(const float* in, float* out, int frames);

    int length() const { return irLength; }
    // The tap at which each part begins: the direct head at 0, then each FFT block (for tests and
    // measurements; allocates).
    std::vector<int> partitionStarts() const;

private:
    struct Stage;

    void blockBoundary();
    void fire(Stage& stage);
    void accumulatePending(Stage& stage, int target);
    static void addProducts(Stage& stage, int firstBlock, int lastBlock, int latest);

    int irLength = 0;
    int headSize = 0; // steps of this many frames; the head's tap count is at most this
    int headTaps = 0;
    std::vector<float> headIr;     // headSize taps, zero beyond headTaps
    std::vector<float> headWindow; // the previous step's inputs, then the current step's
    std::vector<float> history;    // input ring for the FFT blocks, a power of two long
    std::vector<float> tail;       // output ring: the FFT blocks' sums for the samples to come
    std::vector<float> timeScratch;
    std::vector<Stage> stages;
    std::int64_t position = 0; // frames since the last reset
};

} // namespace quarvine
