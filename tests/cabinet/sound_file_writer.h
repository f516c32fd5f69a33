// SPDX-License-Identifier: GPL-3.0-or-later
// Test files written by libsndfile.
#pragma once

#include "temp_folder.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace cabinet_test {

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

} // namespace cabinet_test
