// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a sound file under a temporary name beside its target, and renames it into place only
// once every byte is written, flushed to the disk and closed. Anything less (an error, a signal,
// an exception) removes the temporary and leaves the target as it was. A target replaced keeps its
// mode, and its owner and group where the system allows.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace render {

class SoundWriter {
public:
    // `format` as formatForPath gives it; the caller has checked it with checkOutputFormat.
    SoundWriter(const std::string& target, int format, int sampleRate, int channels);
    ~SoundWriter();
    SoundWriter(const SoundWriter&) = delete;
    SoundWriter& operator=(const SoundWriter&) = delete;

    // Throws RenderError naming the target and the system's reason ("No space left on device").
    void write(const float* interleaved, std::size_t frames);
    // Finishes the file and renames it into place; throws Interrupted if a signal came meanwhile.
    void commit();

private:
    // libsndfile's encoders do not all pass a failed write on (MP3 drops it silently), so every
    // byte goes through these, which keep the first error the system reported.
    static sf_count_t fileLength(void* self);
    static sf_count_t seek(sf_count_t offset, int whence, void* self);
    static sf_count_t read(void* buffer, sf_count_t count, void* self);
    static sf_count_t writeBytes(const void* buffer, sf_count_t count, void* self);
    static sf_count_t tell(void* self);

    [[noreturn]] void fail(const std::string& reason);
    void throwIfWriteFailed();
    void discard();
    void takeOverAttributes();

    std::string target, temporary;
    int descriptor = -1;
    int writeErrno = 0;
    mode_t newFileMode = 0644;
    SNDFILE* file = nullptr;
    bool committed = false;
};

} // namespace render
