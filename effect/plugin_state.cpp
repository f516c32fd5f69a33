// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/plugin_state.h"

#include "cabinet/byte_reader.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace quarvine {
namespace {

constexpr uint32_t kMagic = fourCc("QVST");
constexpr uint32_t kParametersTag = fourCc("PARM");
constexpr uint32_t kUserCabinetTag = fourCc("UCAB");

class ByteWriter {
public:
    void little(uint64_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    void tag(uint32_t value) // first character first, as ByteReader::tag reads it
    {
        for (int i = 3; i >= 0; --i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    void f32(float value) { little(std::bit_cast<uint32_t>(value), 4); }

    // A section's length is known once its contents are written.
    size_t beginSection(uint32_t sectionTag)
    {
        tag(sectionTag);
        little(0, 4);
        return bytes.size();
    }
    void endSection(size_t start)
    {
        const uint64_t length = bytes.size() - start;
        for (int i = 0; i < 4; ++i)
            bytes[start - 4 + static_cast<size_t>(i)] = static_cast<unsigned char>(length >> (8 * i));
    }

    std::vector<unsigned char> bytes;
};

float f32(ByteReader& reader)
{
    return std::bit_cast<float>(reader.u32le());
}

StateDecode refused(std::string why)
{
    return {std::nullopt, std::move(why)};
}

StateDecode damaged(const std::string& what)
{
    return refused("the saved settings are damaged (" + what + ")");
}

// Reads one section's bytes whole; an empty error is success.
std::string readParameters(std::span<const unsigned char> body, std::vector<float>& parameters)
{
    ByteReader reader(body);
    const uint32_t count = reader.u32le();
    if (reader.overrun() || count > kMaxSavedParameters)
        return "parameter count";
    if (reader.remaining() != 4 * static_cast<size_t>(count))
        return "parameter section length";
    parameters.resize(count);
    for (float& value : parameters) {
        value = f32(reader);
        if (!std::isfinite(value))
            return "a parameter that is not a number";
    }
    return {};
}

std::string readUserCabinet(std::span<const unsigned char> body, UserCabinet& cabinet)
{
    ByteReader reader(body);
    cabinet.sampleRate = std::bit_cast<double>(reader.little(8));
    if (!(cabinet.sampleRate >= kMinSavedResponseRate && cabinet.sampleRate <= kMaxSavedResponseRate))
        return "the response's sample rate";
    const uint32_t nameBytes = reader.u32le();
    if (nameBytes > kMaxSavedNameBytes)
        return "the response's name length";
    const std::span<const unsigned char> name = reader.take(nameBytes);
    const uint32_t count = reader.u32le();
    if (reader.overrun())
        return "the response section is cut short";
    if (count == 0 || count > kMaxSavedResponseSamples)
        return "the response's sample count";
    if (reader.remaining() != 4 * static_cast<size_t>(count))
        return "the response section length";
    cabinet.name.assign(name.begin(), name.end());
    cabinet.samples.resize(count);
    for (float& sample : cabinet.samples) {
        sample = f32(reader);
        if (!std::isfinite(sample))
            return "a response sample that is not a number";
    }
    return {};
}

} // namespace

std::vector<unsigned char> encodePluginState(const PluginState& state)
{
    ByteWriter out;
    out.tag(kMagic);
    out.little(kStateMajorVersion, 2);
    out.little(kStateMinorVersion, 2);
    out.little(0, 4);
    const size_t sections = out.bytes.size();

    const size_t parameters = out.beginSection(kParametersTag);
    out.little(state.parameters.size(), 4);
    for (float value : state.parameters)
        out.f32(value);
    out.endSection(parameters);

    if (const auto& cabinet = state.userCabinet) {
        const size_t section = out.beginSection(kUserCabinetTag);
        out.little(std::bit_cast<uint64_t>(cabinet->sampleRate), 8);
        out.little(cabinet->name.size(), 4);
        out.bytes.insert(out.bytes.end(), cabinet->name.begin(), cabinet->name.end());
        out.little(cabinet->samples.size(), 4);
        for (float sample : cabinet->samples)
            out.f32(sample);
        out.endSection(section);
    }
    out.endSection(sections);
    return std::move(out.bytes);
}

StateDecode decodePluginState(std::span<const unsigned char> bytes)
{
    ByteReader reader(bytes);
    const uint32_t magic = reader.tag();
    const uint32_t major = reader.u16le();
    reader.u16le(); // any minor version of our major reads alike
    const uint32_t length = reader.u32le();
    if (bytes.size() >= 4 && magic != kMagic)
        return refused("these are not Quarvine's saved settings");
    if (major > kStateMajorVersion)
        return refused("the settings were saved by a newer version of Quarvine");
    if (reader.overrun() || length > reader.remaining())
        return refused("the saved settings are cut short");
    if (major == 0)
        return damaged("format version 0");

    reader = ByteReader(reader.take(length)); // a host may hand back more than it was given
    PluginState state;
    bool seenParameters = false, seenCabinet = false;
    while (reader.remaining() > 0) {
        const uint32_t tag = reader.tag();
        const uint32_t sectionLength = reader.u32le();
        const std::span<const unsigned char> body = reader.take(sectionLength);
        if (reader.overrun())
            return refused("the saved settings are cut short");
        std::string error;
        if (tag == kParametersTag) {
            error = seenParameters ? "parameters saved twice" : readParameters(body, state.parameters);
            seenParameters = true;
        } else if (tag == kUserCabinetTag) {
            state.userCabinet.emplace();
            error = seenCabinet ? "two responses" : readUserCabinet(body, *state.userCabinet);
            seenCabinet = true;
        }
        if (!error.empty())
            return damaged(error);
    }
    return {std::move(state), {}};
}

} // namespace quarvine
