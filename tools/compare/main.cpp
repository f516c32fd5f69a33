// Compares two sound files sample by sample, for checks that run a plug-in in another host
// against quarvine-render. Exits 0 when the largest difference is within the tolerance, 1 when
// it is not (or the files differ in rate, channels or length, or hold a non-finite sample where
// the other does not), 2 when a file cannot be read.
// Usage: quarvine-compare EXPECTED ACTUAL [TOLERANCE]   (default 0: identical samples)
#include "audio_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s EXPECTED ACTUAL [TOLERANCE]\n", argv[0]);
        return 2;
    }
    const double tolerance = argc == 4 ? std::strtod(argv[3], nullptr) : 0.0;
    render::AudioData expected, actual;
    try {
        expected = render::readAudio(argv[1]);
        actual = render::readAudio(argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quarvine-compare: %s\n", error.what());
        return 2;
    }
    if (expected.sampleRate != actual.sampleRate || expected.channels.size() != actual.channels.size() ||
        expected.frames() != actual.frames()) {
        std::printf("shapes differ: %d Hz, %zu channels, %zu frames against %d Hz, %zu channels, %zu frames\n",
                    expected.sampleRate, expected.channels.size(), expected.frames(), actual.sampleRate,
                    actual.channels.size(), actual.frames());
        return 1;
    }
    double largest = 0.0;
    std::size_t where = 0;
    for (std::size_t c = 0; c < expected.channels.size(); ++c)
        for (std::size_t i = 0; i < expected.frames(); ++i) {
            const double d = std::fabs(static_cast<double>(expected.channels[c][i]) - actual.channels[c][i]);
            // A NaN on either side is the largest difference there is.
            if (!(d <= largest)) {
                largest = std::isnan(d) ? INFINITY : d;
                where = i;
            }
        }
    std::printf("%zu frames, largest difference %.3g (frame %zu), tolerance %.3g\n", expected.frames(), largest,
                where, tolerance);
    return largest <= tolerance ? 0 : 1;
}
