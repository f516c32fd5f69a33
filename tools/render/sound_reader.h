// SPDX-License-Identifier: GPL-3.0-or-later
// A sound file read chunk by chunk through libsndfile, so memory stays the same for any length.
#pragma once

#include "frame_source.h"

#include <sndfile.h>

namespace render {

class SoundReader : public FrameSource {
public:
    // Opens and reads the header; throws RenderError.
    explicit SoundReader(const std::string& path);
    ~SoundReader() override;
    SoundReader(const SoundReader&) = delete;
    SoundReader& operator=(const SoundReader&) = delete;

    int sampleRate() const override { return info.samplerate; }
    int channels() const override { return info.channels; }
    std::uint64_t expectedFrames() const override;
    // Throws RenderError when the file cannot be read on.
    std::size_t read(float* interleaved, std::size_t frames) override;
    // Names a header that promises more frames than the file holds.
    std::string shortfall() const override;

private:
    // libsndfile trims a data chunk that runs past the end of the file to what is there, and
    // says so only in its log: "data : 352800 (should be 99912)".
    std::uint64_t framesTheHeaderPromised() const;

    std::string path;
    SF_INFO info{};
    SNDFILE* file = nullptr;
    std::uint64_t framesRead = 0;
};

} // namespace render
