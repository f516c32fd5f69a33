// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_file_writer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace cabinet_test {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quarvine-ir-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void writeSound(const std::filesystem::path& path, int format, const Sound& sound)
{
    SF_INFO info{};
    info.samplerate = sound.rate;
    info.channels = sound.channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const size_t count = sound.integers.empty() ? sound.reals.size() : sound.integers.size();
    const auto frames = static_cast<sf_count_t>(count / static_cast<size_t>(sound.channels));
    const sf_count_t written = sound.integers.empty() ? sf_writef_double(file, sound.reals.data(), frames)
                                                      : sf_writef_int(file, sound.integers.data(), frames);
    EXPECT_EQ(written, frames) << sf_strerror(file);
    sf_close(file);
}

std::vector<unsigned char> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace cabinet_test
