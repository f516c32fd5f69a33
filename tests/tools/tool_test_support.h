// SPDX-License-Identifier: GPL-3.0-or-later
// Running the command-line tools and reading what they wrote.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tooltest {

struct RunResult {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out, err;
};

// Runs program with args in directory, capturing both streams.
RunResult run(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& directory);

struct Sound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    std::size_t frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

Sound readSound(const std::filesystem::path& path);
void writeSound(const std::filesystem::path& path, const Sound& sound);  // 32-bit float WAV

std::string fileBytes(const std::filesystem::path& path);

// A fresh directory removed at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return directory; }
    std::filesystem::path operator/(const std::string& name) const { return directory / name; }
    std::vector<std::string> entries() const;

private:
    std::filesystem::path directory;
};

} // namespace tooltest
