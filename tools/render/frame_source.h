// SPDX-License-Identifier: GPL-3.0-or-later
// Where the frames to render come from: a sound file read chunk by chunk, or a signal in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace render {

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;
    // What the source says it holds before reading; 0 when it does not know.
    virtual std::uint64_t expectedFrames() const = 0;
    // Fills `interleaved` with up to `frames` frames; fewer only at the end.
    virtual std::size_t read(float* interleaved, std::size_t frames) = 0;
    // After the end: why fewer frames came than the source promised, or empty.
    virtual std::string shortfall() const { return {}; }
};

// A mono signal held in memory (the demo phrase).
class MemorySource : public FrameSource {
public:
    MemorySource(std::vector<float> samples, int sampleRate) : samples(std::move(samples)), rate(sampleRate) {}
    int sampleRate() const override { return rate; }
    int channels() const override { return 1; }
    std::uint64_t expectedFrames() const override { return samples.size(); }
    std::size_t read(float* interleaved, std::size_t frames) override;

private:
    std::vector<float> samples;
    int rate;
    std::size_t position = 0;
};

} // namespace render
