// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_file_writer.h"

#include <gtest/gtest.h>
#include <sndfile.h>


namespace cabinet_test {

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

} // namespace cabinet_test
