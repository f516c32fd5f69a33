// SPDX-License-Identifier: GPL-3.0-or-later
// Compares two sound files sample by sample, for checks that run a plug-in in another host
// against quarvine-render. Exits 0 when the largest difference is within the tolerance, 1 when
// it is not (or the files differ in rate, channels or length, or hold a non-finite sample where
// the other does not), 2 when a file cannot be read. Both files are read chunk by chunk.
// Usage: quarvine-compare EXPECTED ACTUAL [TOLERANCE]   (default 0: identical samples)
#include "errors.h"
#include "sound_reader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kChunkFrames = 65536;

struct Difference {
    double largest = 0.0;
    std::size_t where = 0;
    std::size_t frames = 0;
    bool sameLength = true;
};

Difference compare(render::SoundReader& expected, render::SoundReader& actual)
{
    const auto channels = static_cast<std::size_t>(expected.channels());
    std::vector<float> a(kChunkFrames * channels), b(kChunkFrames * channels);
    Difference d;
    for (;;) {
        const std::size_t got = expected.read(a.data(), kChunkFrames);
        const std::size_t other = actual.read(b.data(), kChunkFrames);
        const std::size_t both = got < other ? got : other;
        for (std::size_t i = 0; i < both * channels; ++i) {
            const double difference = std::fabs(static_cast<double>(a[i]) - b[i]);
            // A NaN on either side is the largest difference there is.
            if (!(difference <= d.largest)) {
                d.largest = std::isnan(difference) ? INFINITY : difference;
                d.where = d.frames + i / channels;
            }
        }
        d.frames += both;
        if (got != other) {
            d.sameLength = false;
            return d;
        }
        if (got < kChunkFrames)
            return d;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s EXPECTED ACTUAL [TOLERANCE]\n", argv[0]);
        return 2;
    }
    const double tolerance = argc == 4 ? std::strtod(argv[3], nullptr) : 0.0;
    std::unique_ptr<render::SoundReader> expected, actual;
    Difference d;
    try {
        expected = std::make_unique<render::SoundReader>(argv[1]);
        actual = std::make_unique<render::SoundReader>(argv[2]);
        if (expected->sampleRate() != actual->sampleRate() || expected->channels() != actual->channels()) {
            std::printf("shapes differ: %d Hz, %d channels against %d Hz, %d channels\n", expected->sampleRate(),
                        expected->channels(), actual->sampleRate(), actual->channels());
            return 1;
        }
        d = compare(*expected, *actual);
    } catch (const render::RenderError& error) {
        std::fprintf(stderr, "quarvine-compare: %s\n", error.what());
        return 2;
    }
    if (!d.sameLength) {
        std::printf("lengths differ: the files part after %zu frames\n", d.frames);
        return 1;
    }
    std::printf("%zu frames, largest difference %.3g (frame %zu), tolerance %.3g\n", d.frames, d.largest, d.where,
                tolerance);
    return d.largest <= tolerance ? 0 : 1;
}
