// SPDX-License-Identifier: GPL-3.0-or-later
// A folder of the test's own, removed whatever the test's end; and whole files in and out of it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cabinet_test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path / name; }

    std::filesystem::path path;
};

std::vector<unsigned char> fileBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// The path as the reader takes it, in UTF-8 on every system.
std::string utf8(const std::filesystem::path& path);

} // namespace cabinet_test
