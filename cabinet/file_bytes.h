// SPDX-License-Identifier: GPL-3.0-or-later
// The whole of a regular file. Anything else (a folder, a FIFO, a device) is refused from its
// type, before a read could wait on it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quarvine {

struct FileBytes {
    std::vector<unsigned char> bytes;
    std::string error; // empty when bytes holds the file
};

// Reads the file at a UTF-8 path, refusing one larger than maxBytes without reading it.
FileBytes readRegularFile(const std::string& utf8Path, size_t maxBytes);

// The refusal for a file larger than maxBytes.
inline std::string tooLarge(size_t maxBytes)
{
    return "larger than " + std::to_string(maxBytes >> 20) + " MiB";
}

} // namespace quarvine
