// SPDX-License-Identifier: GPL-3.0-or-later
// Files that libsndfile writes, in every encoding the reader takes, decoded back to exactly what
// libsndfile was given: integers scaled by 2^(bits - 1), floats as stored, a stereo pair as its
// mean. The signal has sections that draw each of the FLAC encoder's choices: linear prediction
// on a tone, a constant for silence, verbatim samples for full-scale noise, wasted bits on a tone
// of coarse steps, and the stereo pairs (equal, opposite, one side quiet) that make it pick
// left/side, right/side or mid/side.
#include "cabinet/ir_file.h"
#include "hand_made_files.h"
#include "sound_file_writer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>

namespace cabinet_test {
namespace {

using quarvine::IrLoad;

constexpr int kFloat = -32, kDouble = -64; // in place of an integer bit depth
constexpr size_t kSection = 4096;           // libFLAC's block at its default level

struct Case {
    const char* fileName;
    int format;
    int channels;
    int bits;
    int rate;
};

// Uniform in [-1, 1), the same sequence on every run.
class Noise {
public:
    double next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * 0x1p-52 - 1.0;
    }

private:
    uint64_t state = 1;
};

// Interleaved, full scale 1, in [-1, 1).
std::vector<double> testSignal(int channels, int rate)
{
    Noise noise;
    std::vector<double> out;
    for (size_t section = 0; section < 7; ++section) {
        for (size_t n = 0; n < kSection; ++n) {
            const double tone = 0.6 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(n) / rate) *
                                std::exp(-static_cast<double>(n) / 3000.0);
            const double a = noise.next(), b = noise.next();
            double left = 0.0, right = 0.0;
            switch (section) {
            case 0: left = tone + 0.03 * a, right = 0.8 * tone + 0.02 * b; break; // 24 bits: Rice parameters over 14
            case 1: break; // silence
            case 2: left = n == 7 ? -1.0 : 0.999 * a, right = n == 7 ? 0.999999 : 0.999 * b; break;
            case 3: left = right = 0.5 * tone + 1e-3 * a; break;
            case 4: left = tone + 0.02 * a, right = tone; break;
            case 5: left = 0.4 * tone + 1e-4 * a, right = -left; break;
            default: left = right = std::round(tone * 64.0) / 128.0; break; // steps of 2^-7
            }
            out.push_back(left);
            if (channels == 2)
                out.push_back(right);
        }
    }
    return out;
}

Sound soundFor(const Case& c)
{
    Sound sound{c.channels, c.rate, {}, testSignal(c.channels, c.rate)};
    if (c.bits > 0) {
        // Integers of the file's depth, left-justified in 32 bits as libsndfile takes them.
        const uint32_t lowBits = c.bits == 32 ? 0u : (1u << (32 - c.bits)) - 1u;
        for (double v : sound.reals)
            sound.integers.push_back(static_cast<int32_t>(static_cast<uint32_t>(std::floor(v * 0x1p31)) & ~lowBits));
        sound.reals.clear();
    }
    return sound;
}

std::vector<float> expectedMono(const Case& c, const Sound& sound)
{
    std::vector<double> stored;
    if (c.bits > 0)
        for (int32_t v : sound.integers)
            stored.push_back(v * 0x1p-31);
    for (double v : sound.reals)
        stored.push_back(c.bits == kFloat ? static_cast<double>(static_cast<float>(v)) : v);
    std::vector<float> mono;
    for (size_t i = 0; i < stored.size(); i += static_cast<size_t>(c.channels))
        mono.push_back(static_cast<float>(c.channels == 2 ? 0.5 * (stored[i] + stored[i + 1]) : stored[i]));
    return mono;
}

class LibsndfileFiles : public testing::TestWithParam<Case> {};

TEST_P(LibsndfileFiles, DecodeToWhatWasWrittenMixedToMono)
{
    const Case& c = GetParam();
    TempFolder folder;
    const Sound sound = soundFor(c);
    writeSound(folder / c.fileName, c.format, sound);
    const IrLoad load = quarvine::readImpulseResponseFile((folder / c.fileName).string());
    ASSERT_TRUE(load.ir) << load.error;
    EXPECT_EQ(load.error, "");
    EXPECT_EQ(load.ir->name, c.fileName);
    EXPECT_EQ(load.ir->sampleRate, c.rate);
    EXPECT_EQ(load.ir->sourceChannels, c.channels);
    const std::vector<float> expected = expectedMono(c, sound);
    const std::vector<float>& got = load.ir->samples;
    ASSERT_EQ(got.size(), expected.size());
    size_t wrong = 0, first = 0;
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != expected[i] && wrong++ == 0)
            first = i;
    EXPECT_EQ(wrong, 0u) << "first at frame " << first << " (section " << first / kSection << "): " << got[first]
                         << " instead of " << expected[first];
}

// The AIFF rates cover the 80-bit extended number's exponents from 2^12 to 2^18.
INSTANTIATE_TEST_SUITE_P(
    EveryEncoding, LibsndfileFiles,
    testing::Values(Case{"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8, 8000},
                    Case{"16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 16, 44100},
                    Case{"24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 24, 48000},
                    Case{"32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2, 32, 96000},
                    Case{"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kFloat, 44100},
                    Case{"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1, kDouble, 44100},
                    Case{"24-extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 2, 24, 88200},
                    Case{"float-extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 1, kFloat, 384000},
                    Case{"s8.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 1, 8, 8000},
                    Case{"16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 16, 22050},
                    Case{"24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1, 24, 11025},
                    Case{"32.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_32, 2, 32, 384000},
                    Case{"sowt.aifc", SF_FORMAT_AIFF | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE, 2, 16, 44100},
                    Case{"float.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 1, kFloat, 48000},
                    Case{"double.aifc", SF_FORMAT_AIFF | SF_FORMAT_DOUBLE, 2, kDouble, 96000},
                    Case{"16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 16, 44100},
                    Case{"24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 24, 96000},
                    Case{"16-mono.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 16, 384000},
                    Case{"8.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_S8, 1, 8, 8000}),
    [](const testing::TestParamInfo<Case>& info) {
        std::string name = info.param.fileName;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(HandMadeFiles, WavChunksComeInAnyOrderAroundAnOddSizedUnknownOne)
{
    const std::vector<unsigned char> wav = Bytes()
                                               .tag("RIFF").little(0, 4).tag("WAVE")
                                               .tag("data").little(6, 4).little(0x4000, 2).little(0xC000, 2).little(1, 2)
                                               .tag("junk").little(3, 4).raw({1, 2, 3, 0}) // and its pad byte
                                               .tag("fmt ").little(16, 4).little(1, 2).little(1, 2).little(8000, 4)
                                               .little(16000, 4).little(2, 2).little(16, 2)
                                               .bytes;
    const IrLoad load = quarvine::decodeImpulseResponse(wav, "odd.wav");
    ASSERT_TRUE(load.ir) << load.error;
    EXPECT_EQ(load.ir->samples, (std::vector<float>{0.5f, -0.5f, 0x1p-15f}));
    EXPECT_EQ(load.ir->name, "odd.wav");
}

TEST(HandMadeFiles, FlacThirtyTwoBitMidSideFrameWithAnEscapedPartition)
{
    const IrLoad load = quarvine::decodeImpulseResponse(wideMidSideFlac().bytes, "wide.flac");
    ASSERT_TRUE(load.ir) << load.error;
    std::vector<float> expected;
    for (size_t i = 0; i < 4; ++i)
        expected.push_back(static_cast<float>(0.5 * (kWideLeft[i] * 0x1p-31 + kWideRight[i] * 0x1p-31)));
    EXPECT_EQ(load.ir->samples, expected);
    EXPECT_EQ(load.ir->sampleRate, 48000.0);
}

} // namespace
} // namespace cabinet_test
