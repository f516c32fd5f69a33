// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_reader.h"

#include "errors.h"

#include <filesystem>
#include <sstream>
#include <vector>

namespace render {

namespace {

// Bytes per sample of the uncompressed encodings; 0 for the others.
int bytesPerSample(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8: case SF_FORMAT_PCM_U8: case SF_FORMAT_ULAW: case SF_FORMAT_ALAW: return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32: case SF_FORMAT_FLOAT: return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
    }
}

} // namespace

SoundReader::SoundReader(const std::string& path) : path(path)
{
    if (std::filesystem::is_directory(path))
        throw RenderError(path + ": is a directory");
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        throw RenderError(path + ": " + sf_strerror(nullptr));
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(file);
        throw RenderError(path + ": no audio channels");
    }
}

SoundReader::~SoundReader()
{
    sf_close(file);
}

std::uint64_t SoundReader::expectedFrames() const
{
    // Formats that cannot tell their length say SF_COUNT_MAX.
    return info.frames > 0 && info.frames < SF_COUNT_MAX ? static_cast<std::uint64_t>(info.frames) : 0;
}

std::size_t SoundReader::read(float* interleaved, std::size_t frames)
{
    std::size_t done = 0;
    const auto channels = static_cast<std::size_t>(info.channels);
    while (done < frames) {
        sf_count_t got = sf_readf_float(file, interleaved + done * channels, static_cast<sf_count_t>(frames - done));
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    if (done < frames && sf_error(file) != SF_ERR_NO_ERROR)
        throw RenderError(path + ": " + sf_strerror(file));
    framesRead += done;
    return done;
}

std::uint64_t SoundReader::framesTheHeaderPromised() const
{
    const int bytes = bytesPerSample(info.format);
    if (bytes == 0)
        return 0;
    std::vector<char> log(16384);
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    std::istringstream lines(log.data());
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string chunk, colon, should, be;
        unsigned long long stated = 0, present = 0;
        if (!(words >> chunk >> colon >> stated >> should >> be) || (chunk != "data" && chunk != "SSND") ||
            colon != ":" || should != "(should" || be != "be")
            continue;
        words >> present;
        // 0 and 0xFFFFFFFF are how streaming writers mark a length they did not know.
        if (stated == 0 || stated == 0xFFFFFFFFull || stated <= present)
            continue;
        return stated / (static_cast<unsigned long long>(bytes) * static_cast<unsigned>(info.channels));
    }
    return 0;
}

std::string SoundReader::shortfall() const
{
    std::uint64_t promised = std::max(framesTheHeaderPromised(), expectedFrames());
    if (framesRead >= promised)
        return {};
    return path + " is truncated: its header promises " + std::to_string(promised) + " frames, the file holds " +
           std::to_string(framesRead) + " (rendered what is there)";
}

} // namespace render
