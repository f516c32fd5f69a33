// SPDX-License-Identifier: GPL-3.0-or-later
// The saved state's bytes against the layout written out by hand, and what a reader refuses.
#include "effect/plugin_state.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

using Bytes = std::vector<unsigned char>;
static_assert(std::endian::native == std::endian::little, "the expected bytes are the machine's own");

void append(Bytes& bytes, const void* data, std::size_t size)
{
    // Byte by byte: GCC 12 warns falsely of an overflow when a range goes into an empty vector.
    const auto* first = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        bytes.push_back(first[i]);
}
template <typename T> void put(Bytes& bytes, T value)
{
    append(bytes, &value, sizeof value);
}
void putTag(Bytes& bytes, const char* tag)
{
    append(bytes, tag, 4);
}
void putSection(Bytes& bytes, const char* tag, const Bytes& body)
{
    putTag(bytes, tag);
    put<uint32_t>(bytes, static_cast<uint32_t>(body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());
}

Bytes chunk(const std::vector<Bytes>& sections, uint16_t major = 1)
{
    Bytes all;
    for (const Bytes& section : sections)
        all.insert(all.end(), section.begin(), section.end());
    Bytes bytes;
    putTag(bytes, "QVST");
    put<uint16_t>(bytes, major);
    put<uint16_t>(bytes, 0);
    put<uint32_t>(bytes, static_cast<uint32_t>(all.size()));
    bytes.insert(bytes.end(), all.begin(), all.end());
    return bytes;
}

Bytes parameters(const std::vector<float>& values, uint32_t count)
{
    Bytes body, section;
    put<uint32_t>(body, count);
    for (float value : values)
        put<float>(body, value);
    putSection(section, "PARM", body);
    return section;
}

Bytes response(double rate, const std::string& name, const std::vector<float>& samples, uint32_t count)
{
    Bytes body, section;
    put<double>(body, rate);
    put<uint32_t>(body, static_cast<uint32_t>(name.size()));
    append(body, name.data(), name.size());
    put<uint32_t>(body, count);
    for (float sample : samples)
        put<float>(body, sample);
    putSection(section, "UCAB", body);
    return section;
}

const std::vector<float> kValues = {0.25f, 1.0f, 0.0f};
const std::vector<float> kSamples = {0.5f, -1.0f};

Bytes handMade()
{
    return chunk({parameters(kValues, 3), response(48000.0, "ab", kSamples, 2)});
}

TEST(PluginStateBytes, AreTheLayoutWrittenOutByHandAndReadBackWithUnknownSectionsSkipped)
{
    quarvine::PluginState state{kValues, quarvine::UserCabinet{"ab", 48000.0, kSamples}};
    EXPECT_EQ(quarvine::encodePluginState(state), handMade());

    Bytes zoom, unknown;
    putSection(zoom, "ZOOM", {1, 2, 3});
    putSection(unknown, "ZZZZ", {});
    const Bytes later = chunk({parameters(kValues, 3), zoom, response(48000.0, "ab", kSamples, 2), unknown});
    const quarvine::StateDecode decoded = quarvine::decodePluginState(later);
    ASSERT_TRUE(decoded.state) << decoded.error;
    EXPECT_EQ(decoded.state->parameters, kValues);
    EXPECT_EQ(decoded.state->userCabinet, state.userCabinet);

    const quarvine::StateDecode bare = quarvine::decodePluginState(chunk({parameters({0.5f}, 1)}));
    ASSERT_TRUE(bare.state) << bare.error;
    EXPECT_FALSE(bare.state->userCabinet);
}

TEST(PluginStateBytes, RefusesEveryTruncationAnotherFormatAndANewerMajorVersion)
{
    const Bytes whole = handMade();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const quarvine::StateDecode decoded = quarvine::decodePluginState({whole.data(), size});
        EXPECT_FALSE(decoded.state) << size;
        EXPECT_NE(decoded.error.find("cut short"), std::string::npos) << size << ": " << decoded.error;
    }
    Bytes other = whole;
    other[3] = 'X';
    EXPECT_NE(quarvine::decodePluginState(other).error.find("not Quarvine's"), std::string::npos);
    EXPECT_NE(quarvine::decodePluginState(chunk({parameters(kValues, 3)}, 2)).error.find("newer version of Quarvine"),
              std::string::npos);
}

TEST(PluginStateBytes, RefusesHostileCountsAndValuesAsDamaged)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::vector<float> tooMany(quarvine::kMaxSavedResponseSamples + 1, 0.1f);
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"257 parameters", chunk({parameters(std::vector<float>(257, 0.5f), 257)})},
        {"a count beyond the section", chunk({parameters(kValues, 0xFFFFFFFFu)})},
        {"an infinite parameter", chunk({parameters({0.5f, inf}, 2)})},
        {"a rate below 8 kHz", chunk({response(7999.0, "ab", kSamples, 2)})},
        {"a rate above 384 kHz", chunk({response(384001.0, "ab", kSamples, 2)})},
        {"a NaN rate", chunk({response(std::nan(""), "ab", kSamples, 2)})},
        {"a name of 1025 bytes", chunk({response(48000.0, std::string(1025, 'n'), kSamples, 2)})},
        {"more than 10 s at 384 kHz", chunk({response(384000.0, "ab", tooMany, static_cast<uint32_t>(tooMany.size()))})},
        {"a sample count beyond the section", chunk({response(48000.0, "ab", kSamples, 0x40000000u)})},
        {"no samples", chunk({response(48000.0, "ab", {}, 0)})},
        {"a NaN sample", chunk({response(48000.0, "ab", {0.5f, nan}, 2)})},
        {"two responses", chunk({response(48000.0, "ab", kSamples, 2), response(48000.0, "ab", kSamples, 2)})},
    };
    for (const auto& c : cases) {
        const quarvine::StateDecode decoded = quarvine::decodePluginState(c.bytes);
        EXPECT_FALSE(decoded.state) << c.what;
        EXPECT_NE(decoded.error.find("damaged"), std::string::npos) << c.what << ": " << decoded.error;
    }
}

} // namespace
