// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_test_support.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace tooltest {

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text) {
        if (c == '\'')
            result += "'\\''";
        else
            result += c;
    }
    return result + "'";
}

} // namespace

std::string fileBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

RunResult run(const std::string& program, const std::vector<std::string>& args, const fs::path& directory)
{
    static std::atomic<int> counter{0};
    std::string tag = std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fs::path outFile = fs::temp_directory_path() / ("quarvine-run-" + tag + ".out");
    fs::path errFile = fs::temp_directory_path() / ("quarvine-run-" + tag + ".err");
    std::string command = "cd " + quoted(directory.string()) + " && " + quoted(program);
    for (const auto& arg : args)
        command += " " + quoted(arg);
    command += " >" + quoted(outFile.string()) + " 2>" + quoted(errFile.string()) + " </dev/null";
    int raw = std::system(command.c_str());
    RunResult result;
    result.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    result.out = fileBytes(outFile);
    result.err = fileBytes(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

Sound readSound(const fs::path& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        throw std::runtime_error("cannot read " + path.string());
    Sound sound;
    sound.sampleRate = info.samplerate;
    sound.channels = info.channels;
    sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, sound.samples.data(), info.frames);
    sf_close(file);
    return sound;
}

void writeSound(const fs::path& path, const Sound& sound)
{
    SF_INFO info{};
    info.samplerate = sound.sampleRate;
    info.channels = sound.channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
    sf_writef_float(file, sound.samples.data(), static_cast<sf_count_t>(sound.frames()));
    sf_close(file);
}

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "quarvine-tools-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    directory = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

std::vector<std::string> TempDir::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tooltest
