// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_format.h"

#include "errors.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace render {

namespace {

std::string extensionOf(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::string listed(const std::vector<int>& values)
{
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i == 0 ? "" : i + 1 == values.size() ? " or " : ", ") + std::to_string(values[i]);
    return text;
}

// Limits of the codecs themselves, said plainly; libsndfile's own refusal of some is only
// "Format not recognised".
std::string codecLimit(int format, int sampleRate, int channels)
{
    const int major = format & SF_FORMAT_TYPEMASK, minor = format & SF_FORMAT_SUBMASK;
    auto rateIn = [sampleRate](const std::vector<int>& rates) {
        return std::find(rates.begin(), rates.end(), sampleRate) != rates.end();
    };
    if (minor == SF_FORMAT_OPUS) {
        const std::vector<int> rates = {8000, 12000, 16000, 24000, 48000};
        if (!rateIn(rates))
            return "Opus takes " + listed(rates) + " Hz only, not " + std::to_string(sampleRate) +
                   " (resample the input, or write .ogg)";
    }
    if (major == SF_FORMAT_MPEG) {
        const std::vector<int> rates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
        if (!rateIn(rates))
            return "MP3 takes " + listed(rates) + " Hz only, not " + std::to_string(sampleRate);
        if (channels > 2)
            return "MP3 holds 1 or 2 channels, not " + std::to_string(channels);
    }
    if (major == SF_FORMAT_FLAC) {
        // FLAC's stream header stores the rate in 20 bits; libsndfile takes up to 655350 Hz.
        if (sampleRate > 655350)
            return "FLAC holds rates up to 655350 Hz, not " + std::to_string(sampleRate);
        if (channels > 8)
            return "FLAC holds up to 8 channels, not " + std::to_string(channels);
    }
    return {};
}

// A sink that keeps nothing, for a trial encode.
struct Discard {
    sf_count_t position = 0, length = 0;
};

SF_VIRTUAL_IO discardIo()
{
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<Discard*>(user)->length; };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        auto* sink = static_cast<Discard*>(user);
        sink->position = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? sink->position : sink->length) + offset;
        return sink->position;
    };
    io.read = [](void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.write = [](const void*, sf_count_t count, void* user) {
        auto* sink = static_cast<Discard*>(user);
        sink->position += count;
        sink->length = std::max(sink->length, sink->position);
        return count;
    };
    io.tell = [](void* user) { return static_cast<Discard*>(user)->position; };
    return io;
}

// Some encoders (Vorbis) accept the header and refuse only the first samples.
std::string trialEncode(SF_INFO info)
{
    Discard sink;
    SF_VIRTUAL_IO io = discardIo();
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (!file)
        return sf_strerror(nullptr);
    std::vector<float> silence(static_cast<std::size_t>(info.channels), 0.0f);
    std::string problem;
    if (sf_writef_float(file, silence.data(), 1) != 1)
        problem = sf_strerror(file);
    sf_close(file);
    return problem;
}

} // namespace

int formatForPath(const std::string& path)
{
    const std::string extension = extensionOf(path);
    struct Entry {
        const char* extension;
        int format;
    };
    // Float where the container holds it, so the model's output is stored unrounded.
    static const Entry table[] = {
        {".wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},    {".w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT},
        {".rf64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT},  {".aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {".aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},   {".aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {".caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},    {".au", SF_FORMAT_AU | SF_FORMAT_FLOAT},
        {".snd", SF_FORMAT_AU | SF_FORMAT_FLOAT},     {".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},   {".oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},    {".mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
    };
    for (const auto& entry : table)
        if (extension == entry.extension)
            return entry.format;
    throw UsageError(path + ": unknown output format '" + extension +
                     "' (use .wav, .flac, .aiff, .ogg, .opus, .mp3, .caf, .w64, .rf64 or .au)");
}

void checkOutputFormat(const std::string& path, int sampleRate, int channels)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = formatForPath(path);
    const std::string what = std::to_string(channels) + " channel" + (channels == 1 ? "" : "s") + " at " +
                             std::to_string(sampleRate) + " Hz";
    if (auto limit = codecLimit(info.format, sampleRate, channels); !limit.empty())
        throw UsageError(path + ": " + limit);
    if (!sf_format_check(&info))
        throw UsageError(path + ": the " + extensionOf(path) + " format cannot hold " + what);
    if (auto problem = trialEncode(info); !problem.empty())
        throw UsageError(path + ": the " + extensionOf(path) + " encoder refuses " + what + " (" + problem + ")");
}

} // namespace render
