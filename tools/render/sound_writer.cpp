#include "sound_writer.h"

#include "errors.h"
#include "interrupt.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace render {

namespace fs = std::filesystem;

namespace {

// ".NAME.partial-PID", with a count added should a dead process of the same id have left one.
int createTemporary(const fs::path& target, std::string& name)
{
    for (int attempt = 0;; ++attempt) {
        std::string leaf = ".";
        leaf += target.filename().string();
        leaf += ".partial-";
        leaf += std::to_string(::getpid());
        if (attempt > 0)
            leaf += "-" + std::to_string(attempt);
        name = (target.parent_path() / leaf).string();
        int descriptor = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST || attempt >= 100)
            return descriptor;
    }
}

} // namespace

SoundWriter::SoundWriter(const std::string& target, int format, int sampleRate, int channels) : target(target)
{
    {
        HeldSignals held;
        descriptor = createTemporary(fs::path(target), temporary);
        if (descriptor < 0)
            throw RenderError(target + ": " + std::strerror(errno));
        trackTemporary(temporary.c_str());
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    SF_VIRTUAL_IO io{&SoundWriter::fileLength, &SoundWriter::seek, &SoundWriter::read, &SoundWriter::writeBytes,
                     &SoundWriter::tell};
    file = sf_open_virtual(&io, SFM_WRITE, &info, this);
    if (!file) {
        std::string reason = writeErrno ? std::strerror(writeErrno) : sf_strerror(nullptr);
        discard();
        throw RenderError(target + ": " + reason);
    }
    // Integer formats clip rather than wrap.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The PEAK chunk carries a time stamp; without it the same render gives the same bytes.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

SoundWriter::~SoundWriter()
{
    if (!committed)
        discard();
}

void SoundWriter::discard()
{
    HeldSignals held;
    if (file)
        sf_close(file);
    file = nullptr;
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
    if (!temporary.empty() && claimTemporary()) {
        ::unlink(temporary.c_str());
        releaseTemporary();
    }
    temporary.clear();
}

void SoundWriter::fail(const std::string& reason)
{
    discard();
    throw RenderError(target + ": " + reason);
}

void SoundWriter::throwIfWriteFailed()
{
    if (writeErrno)
        fail(std::strerror(writeErrno));
}

void SoundWriter::write(const float* interleaved, std::size_t frames)
{
    const auto count = static_cast<sf_count_t>(frames);
    const sf_count_t written = sf_writef_float(file, interleaved, count);
    throwIfWriteFailed();
    if (written != count)
        fail(sf_strerror(file));
}

void SoundWriter::commit()
{
    // Closing flushes the encoders' last pages and the header's final sizes.
    const int closed = sf_close(file);
    file = nullptr;
    throwIfWriteFailed();
    if (closed != 0)
        fail(sf_error_number(closed));
    if (::fsync(descriptor) != 0)
        fail(std::strerror(errno));
    const int result = ::close(descriptor);
    descriptor = -1;
    if (result != 0)
        fail(std::strerror(errno));
    {
        HeldSignals held;
        throwIfInterrupted();
        // Refused only once a second signal's handler, on another thread, has removed the file.
        if (!claimTemporary())
            throw Interrupted(arrivedSignal());
        const int renamed = ::rename(temporary.c_str(), target.c_str());
        const int reason = errno;
        if (renamed != 0)
            ::unlink(temporary.c_str());
        releaseTemporary();
        temporary.clear();
        if (renamed != 0)
            fail(std::strerror(reason));
    }
    committed = true;
    // The new name lasts a crash only once the directory is on the disk too; best effort.
    fs::path directory = fs::path(target).parent_path();
    int directoryDescriptor = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryDescriptor >= 0) {
        ::fsync(directoryDescriptor);
        ::close(directoryDescriptor);
    }
}

sf_count_t SoundWriter::fileLength(void* self)
{
    struct stat status {};
    return ::fstat(static_cast<SoundWriter*>(self)->descriptor, &status) == 0 ? status.st_size : -1;
}

sf_count_t SoundWriter::seek(sf_count_t offset, int whence, void* self)
{
    return ::lseek(static_cast<SoundWriter*>(self)->descriptor, offset, whence);
}

sf_count_t SoundWriter::read(void* buffer, sf_count_t count, void* self)
{
    sf_count_t done = 0;
    while (done < count) {
        ssize_t got = ::read(static_cast<SoundWriter*>(self)->descriptor, static_cast<char*>(buffer) + done,
                             static_cast<std::size_t>(count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

sf_count_t SoundWriter::writeBytes(const void* buffer, sf_count_t count, void* self)
{
    auto* writer = static_cast<SoundWriter*>(self);
    sf_count_t done = 0;
    while (done < count) {
        ssize_t put = ::write(writer->descriptor, static_cast<const char*>(buffer) + done,
                              static_cast<std::size_t>(count - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (!writer->writeErrno)
                writer->writeErrno = put < 0 ? errno : EIO;
            break;
        }
        done += put;
    }
    return done;
}

sf_count_t SoundWriter::tell(void* self)
{
    return ::lseek(static_cast<SoundWriter*>(self)->descriptor, 0, SEEK_CUR);
}

} // namespace render
