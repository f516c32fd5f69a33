#include "audio_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace render {

namespace fs = std::filesystem;

SoundFile::SoundFile(const std::string& path, int mode, SF_INFO& info) : filePath(path)
{
    handle = sf_open(path.c_str(), mode, &info);
    if (!handle)
        throw AudioError(path + ": " + sf_strerror(nullptr));
}

SoundFile::~SoundFile()
{
    if (handle)
        sf_close(handle);
}

void SoundFile::close()
{
    if (!handle)
        return;
    int result = sf_close(handle);
    handle = nullptr;
    if (result != 0)
        throw AudioError(filePath + ": " + sf_error_number(result));
}

int formatForPath(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
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
    throw AudioError(path + ": unknown output format '" + extension +
                     "' (use .wav, .flac, .aiff, .ogg, .opus, .mp3, .caf, .w64, .rf64 or .au)");
}

void checkWritable(const std::string& path)
{
    fs::path directory = fs::path(path).parent_path();
    if (directory.empty())
        directory = ".";
    std::error_code error;
    if (!fs::is_directory(directory, error))
        throw AudioError(path + ": no such directory " + directory.string());
    if (::access(directory.c_str(), W_OK) != 0)
        throw AudioError(path + ": directory " + directory.string() + " is not writable");
    if (fs::is_directory(path, error))
        throw AudioError(path + ": is a directory");
}

AudioData readAudio(const std::string& path)
{
    if (fs::is_directory(path))
        throw AudioError(path + ": is a directory");
    SF_INFO info{};
    SoundFile file(path, SFM_READ, info);
    if (info.channels <= 0 || info.samplerate <= 0)
        throw AudioError(path + ": no audio channels");

    AudioData audio;
    audio.sampleRate = info.samplerate;
    auto channels = static_cast<std::size_t>(info.channels);
    audio.channels.assign(channels, {});
    // Read in slices: some formats do not know their length in advance.
    constexpr sf_count_t slice = 16384;
    std::vector<float> interleaved(static_cast<std::size_t>(slice) * channels);
    for (;;) {
        sf_count_t got = sf_readf_float(file.get(), interleaved.data(), slice);
        if (got <= 0)
            break;
        for (std::size_t c = 0; c < channels; ++c) {
            auto& channel = audio.channels[c];
            for (sf_count_t i = 0; i < got; ++i)
                channel.push_back(interleaved[static_cast<std::size_t>(i) * channels + c]);
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR)
        throw AudioError(path + ": " + sf_strerror(file.get()));
    return audio;
}

void writeAudio(const std::string& path, const AudioData& audio)
{
    int format = formatForPath(path);
    SF_INFO info{};
    info.samplerate = audio.sampleRate;
    info.channels = static_cast<int>(audio.channels.size());
    info.format = format;
    if (!sf_format_check(&info))
        throw AudioError(path + ": the format cannot hold " + std::to_string(info.channels) + " channels at " +
                         std::to_string(info.samplerate) + " Hz");

    fs::path target(path);
    // Built piece by piece: "." + std::string trips a false overlap warning of GCC 12 at -O3.
    std::string partialName = ".";
    partialName += target.filename().string();
    partialName += ".partial-";
    partialName += std::to_string(::getpid());
    fs::path temporary = target.parent_path() / partialName;
    try {
        SoundFile file(temporary.string(), SFM_WRITE, info);
        // Integer formats clip rather than wrap.
        sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
        // The PEAK chunk carries a time stamp; without it the same render gives the same bytes.
        sf_command(file.get(), SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
        const std::size_t channels = audio.channels.size();
        const std::size_t frames = audio.frames();
        constexpr std::size_t slice = 16384;
        std::vector<float> interleaved(slice * channels);
        for (std::size_t start = 0; start < frames; start += slice) {
            std::size_t count = std::min(slice, frames - start);
            for (std::size_t i = 0; i < count; ++i)
                for (std::size_t c = 0; c < channels; ++c)
                    interleaved[i * channels + c] = audio.channels[c][start + i];
            if (sf_writef_float(file.get(), interleaved.data(), static_cast<sf_count_t>(count)) !=
                static_cast<sf_count_t>(count))
                throw AudioError(path + ": " + sf_strerror(file.get()));
        }
        file.close();
        std::error_code error;
        fs::rename(temporary, target, error);
        if (error)
            throw AudioError(path + ": " + error.message());
    } catch (const AudioError& error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        std::string message = error.what();
        // Report the name the user asked for, not the temporary one.
        auto at = message.find(temporary.string());
        if (at != std::string::npos)
            message.replace(at, temporary.string().size(), path);
        throw AudioError(message);
    }
}

} // namespace render
