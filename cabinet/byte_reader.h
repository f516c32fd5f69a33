// SPDX-License-Identifier: GPL-3.0-or-later
// Bounds-checked reading of a chunked file's fields. A read past the end returns zeros and leaves
// the reader overrun, so a parser reads a whole header and asks once whether it was all there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quarvine {

constexpr uint32_t fourCc(const char (&id)[5])
{
    return static_cast<uint32_t>(static_cast<unsigned char>(id[0])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(id[1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(id[2])) << 8 | static_cast<unsigned char>(id[3]);
}

class ByteReader {
public:
    explicit ByteReader(std::span<const unsigned char> bytes) : bytes(bytes) {}

    bool overrun() const { return failed; }
    size_t remaining() const { return bytes.size() - at; }

    std::span<const unsigned char> take(size_t count)
    {
        if (count > remaining()) {
            failed = true;
            at = bytes.size();
            return {};
        }
        const std::span<const unsigned char> part = bytes.subspan(at, count);
        at += count;
        return part;
    }
    void skip(size_t count) { take(count); }

    uint64_t little(size_t count)
    {
        uint64_t value = 0;
        const std::span<const unsigned char> part = take(count);
        for (size_t i = part.size(); i-- > 0;)
            value = value << 8 | part[i];
        return value;
    }
    uint64_t big(size_t count)
    {
        uint64_t value = 0;
        for (unsigned char byte : take(count))
            value = value << 8 | byte;
        return value;
    }
    uint32_t u16le() { return static_cast<uint32_t>(little(2)); }
    uint32_t u32le() { return static_cast<uint32_t>(little(4)); }
    uint32_t u16be() { return static_cast<uint32_t>(big(2)); }
    uint32_t u32be() { return static_cast<uint32_t>(big(4)); }
    uint32_t tag() { return u32be(); }

private:
    std::span<const unsigned char> bytes;
    size_t at = 0;
    bool failed = false;
};

} // namespace quarvine
