// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the demo phrase through quarvine.dll as the native renderer does (defaults, 44100 Hz,
// blocks of 512) and compares it sample by sample with the native plug-in's float WAV.
// Usage: win32_render_compare NATIVE.wav [OUTPUT.f32] [--dry DRY.wav]
// With --dry the input is the native renderer's own dry phrase (quarvine-render --dry), so that
// only the plug-in is compared: the phrase generated here goes through this platform's pow and,
// on 32-bit x86, x87 arithmetic, and need not equal the native one to the last bit.
#include "tools/render/demo_phrase.h"
#include "tools/vsthost/vst_host.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string windowsPath(std::string path)
{
    if (path.empty() || path[0] != '/')
        return path;
    path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

uint32_t read32(const std::vector<uint8_t>& d, size_t at)
{
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (uint32_t(d[at + 3]) << 24);
}

// The first channel of a 32-bit float WAV file; empty when the file is something else.
std::vector<float> readFloatWav(const std::string& path)
{
    std::ifstream file(windowsPath(path), std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<float> samples;
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0)
        return samples;
    unsigned channels = 0, bits = 0, format = 0;
    for (size_t at = 12; at + 8 <= d.size();) {
        const uint32_t size = read32(d, at + 4);
        const size_t body = at + 8;
        if (body + size > d.size())
            break;
        if (std::memcmp(d.data() + at, "fmt ", 4) == 0) {
            format = d[body] | (d[body + 1] << 8);
            channels = d[body + 2] | (d[body + 3] << 8);
            bits = d[body + 14] | (d[body + 15] << 8);
            if (format == 0xFFFE && size >= 26)
                format = d[body + 24] | (d[body + 25] << 8); // extensible: the sub-format
        } else if (std::memcmp(d.data() + at, "data", 4) == 0 && format == 3 && bits == 32 && channels > 0) {
            const size_t frames = size / (4 * channels);
            samples.resize(frames);
            for (size_t i = 0; i < frames; ++i)
                std::memcpy(&samples[i], d.data() + body + 4 * channels * i, 4);
            return samples;
        }
        at = body + size + (size & 1);
    }
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args;
    std::string dryPath;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--dry" && i + 1 < argc)
            dryPath = argv[++i];
        else
            args.push_back(argv[i]);
    }
    if (args.empty() || args.size() > 2) {
        std::fprintf(stderr, "usage: %s NATIVE.wav [OUTPUT.f32] [--dry DRY.wav]\n", argv[0]);
        return 2;
    }
    const std::vector<float> native = readFloatWav(args[0]);
    if (native.empty()) {
        std::fprintf(stderr, "%s: not a 32-bit float WAV file\n", args[0].c_str());
        return 2;
    }
    std::string error;
    auto module = vsthost::PluginModule::load(windowsPath(QUARVINE_MODULE_PATH), &error);
    if (!module) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    std::vector<float> dry = render::demoPhrase();
    if (!dryPath.empty()) {
        std::vector<float> given = readFloatWav(dryPath);
        if (given.empty()) {
            std::fprintf(stderr, "%s: not a 32-bit float WAV file\n", dryPath.c_str());
            return 2;
        }
        size_t differing = given.size() == dry.size() ? 0 : std::max(given.size(), dry.size());
        for (size_t i = 0; i < std::min(given.size(), dry.size()); ++i)
            differing += given[i] != dry[i] ? 1 : 0;
        std::printf("dry phrase from %s (%zu of its samples differ from the one generated here)\n",
                    dryPath.c_str(), differing);
        dry = std::move(given);
    }
    std::vector<float> wet(dry.size());
    {
        vsthost::HostedPlugin plugin(*module);
        if (!plugin) {
            std::fprintf(stderr, "the plug-in refused to start\n");
            return 2;
        }
        plugin.start(render::kDemoSampleRate, 512);
        plugin.processMono(dry.data(), wet.data(), dry.size(), 512);
        plugin.close();
    }
    if (args.size() > 1) {
        std::ofstream out(windowsPath(args[1]), std::ios::binary);
        out.write(reinterpret_cast<const char*>(wet.data()), static_cast<std::streamsize>(wet.size() * sizeof(float)));
    }
    if (native.size() != wet.size()) {
        std::printf("FAIL: native has %zu samples, Windows %zu\n", native.size(), wet.size());
        return 1;
    }
    double worst = 0.0;
    size_t worstAt = 0;
    size_t over = 0;
    for (size_t i = 0; i < wet.size(); ++i) {
        const double difference = std::fabs(static_cast<double>(wet[i]) - native[i]);
        if (!(difference <= 1e-6))
            ++over;
        if (difference > worst || std::isnan(difference)) {
            worst = difference;
            worstAt = i;
        }
    }
    std::printf("%zu samples compared, largest difference %.3g at sample %zu, %zu above 1e-6\n", wet.size(), worst,
                worstAt, over);
    return over == 0 ? 0 : 1;
}
