// SPDX-License-Identifier: GPL-3.0-or-later
// Each reason a decoded file is refused, once, with the words the player reads on the name plate;
// and that nothing is allocated for a length a header only claims.
#include "cabinet/ir_file.h"
#include "hand_made_files.h"
#include "largest_allocation.h"
#include "sound_file_writer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <limits>

namespace cabinet_test {
namespace {

using quarvine::IrLoad;

std::string refusalOf(const std::filesystem::path& path)
{
    const IrLoad load = quarvine::readImpulseResponseFile(path.string());
    EXPECT_FALSE(load.ir) << path;
    return load.error;
}

std::string refusalOf(const std::vector<unsigned char>& bytes)
{
    const IrLoad load = quarvine::decodeImpulseResponse(bytes, "test");
    EXPECT_FALSE(load.ir);
    return load.error;
}

// A 16-bit WAV of the given shape holding a quiet tone.
std::filesystem::path toneFile(const TempFolder& folder, int channels, int rate, size_t frames, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16)
{
    Sound sound{channels, rate, {}, {}};
    for (size_t i = 0; i < frames * static_cast<size_t>(channels); ++i)
        sound.reals.push_back(0.25 * std::sin(0.01 * static_cast<double>(i)));
    const std::filesystem::path path = folder / ("tone" + std::to_string(channels) + "x" + std::to_string(rate) + "x" +
                                                 std::to_string(frames) + (format & SF_FORMAT_FLAC ? ".flac" : ".wav"));
    writeSound(path, format, sound);
    return path;
}

TEST(IrFileRefusals, ShapesOutsideTheLimitsAreRefusedAndTheLimitsThemselvesTaken)
{
    TempFolder folder;
    EXPECT_EQ(refusalOf(toneFile(folder, 3, 48000, 100)), "more than two channels");
    EXPECT_EQ(refusalOf(toneFile(folder, 1, 4000, 100)), "sample rate 4000 Hz not between 8 kHz and 384 kHz");
    EXPECT_EQ(refusalOf(toneFile(folder, 1, 384001, 100)), "sample rate 384001 Hz not between 8 kHz and 384 kHz");
    EXPECT_EQ(refusalOf(toneFile(folder, 2, 8000, 80001)), "more than 10 s");
    EXPECT_EQ(refusalOf(toneFile(folder, 1, 8000, 80001, SF_FORMAT_FLAC | SF_FORMAT_PCM_16)), "more than 10 s");
    const IrLoad tenSeconds = quarvine::readImpulseResponseFile(toneFile(folder, 2, 8000, 80000).string());
    ASSERT_TRUE(tenSeconds.ir) << tenSeconds.error;
    EXPECT_EQ(tenSeconds.ir->samples.size(), 80000u);
}

TEST(IrFileRefusals, SilenceAndSamplesThatAreNotNumbersAreRefused)
{
    TempFolder folder;
    const std::string silence = "the file holds no sound (empty or all zero)";
    EXPECT_EQ(refusalOf(toneFile(folder, 1, 48000, 0)), silence);
    writeSound(folder / "zeros.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, Sound{2, 48000, std::vector<int32_t>(512), {}});
    EXPECT_EQ(refusalOf(folder / "zeros.flac"), silence);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
        writeSound(folder / "bad.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, Sound{1, 48000, {}, {0.5, bad, 0.25}});
        EXPECT_EQ(refusalOf(folder / "bad.wav"), "samples that are not numbers (NaN or infinite)");
    }
}

TEST(IrFileRefusals, FilesCutShortOrDamagedAreRefused)
{
    TempFolder folder;
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_PCM_24, SF_FORMAT_FLAC | SF_FORMAT_PCM_16}) {
        const std::vector<unsigned char> whole = fileBytes(toneFile(folder, 2, 48000, 20000, format));
        ASSERT_TRUE(quarvine::decodeImpulseResponse(whole, "whole").ir);
        EXPECT_EQ(refusalOf(std::vector<unsigned char>(whole.begin(), whole.end() - 1)), "the file is cut short") << format;
    }
    // Bits flipped where decoding alone would not notice: a verbatim sample, under the frame's
    // CRC-16; the frame's number, under the header's CRC-8, with the CRC-16 made to match again.
    const WideFlac wide = wideMidSideFlac();
    std::vector<unsigned char> resampled = wide.bytes, renumbered = wide.bytes;
    resampled[wide.midSamplesAt + 2] ^= 0x01;
    renumbered[wide.frameNumberAt] ^= 0x01;
    const size_t frameStart = wide.frameNumberAt - 4, crcAt = renumbered.size() - 2;
    const unsigned resealed = flacCrc({renumbered.begin() + static_cast<long>(frameStart), renumbered.begin() + static_cast<long>(crcAt)}, 16, 0x8005);
    renumbered[crcAt] = static_cast<unsigned char>(resealed >> 8);
    renumbered[crcAt + 1] = static_cast<unsigned char>(resealed);
    EXPECT_EQ(refusalOf(resampled), "damaged FLAC data (a frame fails its checks)");
    EXPECT_EQ(refusalOf(renumbered), "damaged FLAC data (a frame fails its checks)");
}

// 2^31 frames at 8 kHz: about 74 hours, 8 GiB as floats. The header is refused, and nothing near
// that asked for, before the reader finds how little sound follows.
TEST(IrFileRefusals, HeadersClaimingBillionsOfFramesAreRefusedBeforeAllocating)
{
    constexpr uint64_t kClaimed = uint64_t{1} << 31;
    // 8000 Hz as an 80-bit extended number: 8000 = 0.9765625 * 2^13.
    const std::vector<unsigned char> rate8000 = {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<unsigned char> aiff = Bytes()
                                                .tag("FORM").big(46, 4).tag("AIFF")
                                                .tag("COMM").big(18, 4).big(1, 2).big(kClaimed, 4).big(16, 2).raw(rate8000)
                                                .tag("SSND").big(12, 4).big(0, 4).big(0, 4).big(0x1234, 2).big(0x5678, 2)
                                                .bytes;
    const std::vector<unsigned char> flac = Bytes().raw(flacStreamHeader(8000, 1, 16, kClaimed)).big(0xFFF8, 2).bytes;
    for (const std::vector<unsigned char>& file : {aiff, flac}) {
        std::string error;
        const size_t largest = largestAllocationDuring([&] { error = refusalOf(file); });
        EXPECT_EQ(error, "more than 10 s");
        EXPECT_LT(largest, size_t{1} << 20);
    }
}

} // namespace
} // namespace cabinet_test
