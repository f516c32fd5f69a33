// SPDX-License-Identifier: GPL-3.0-or-later
// Test files written by libsndfile, and a folder of them that is removed whatever the test's end.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Interleaved samples given either as 32-bit integers (full scale 2^31, which libsndfile shifts
// down to the file's depth) or as doubles (full scale 1).
struct Sound {
    int channels = 1;
    int rate = 44100;
    std::vector<int32_t> integers;
    std::vector<double> reals;
};

// Writes sound with libsndfile in an SF_FORMAT_* format; fails the test when libsndfile refuses.
void writeSound(const std::filesystem::path& path, int format, const Sound& sound);

std::vector<unsigned char> fileBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

} // namespace cabinet_test
