// Sound files through libsndfile: whole-file reads into per-channel buffers, and writes that
// never leave a partial file under the final name.
#pragma once

#include <sndfile.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace render {

struct AudioData {
    int sampleRate = 44100;
    std::vector<std::vector<float>> channels;  // one buffer per channel, all the same length

    std::size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

struct AudioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Owns one open SNDFILE handle.
class SoundFile {
public:
    SoundFile(const std::string& path, int mode, SF_INFO& info);
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    SNDFILE* get() const { return handle; }
    // Closes now, reporting a failure to flush (the destructor cannot).
    void close();

private:
    SNDFILE* handle = nullptr;
    std::string filePath;
};

// The libsndfile major format for an output name, from its extension; throws for unknown ones.
int formatForPath(const std::string& path);

// Throws unless a file could be created beside `path` (checked up front, before a long render).
void checkWritable(const std::string& path);

AudioData readAudio(const std::string& path);

// Writes beside the target under a temporary name and renames it into place; the temporary
// file is removed on any failure.
void writeAudio(const std::string& path, const AudioData& audio);

} // namespace render
