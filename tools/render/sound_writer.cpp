// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_writer.h"

#include "errors.h"
#include "interrupt.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace render {

namespace fs = std::filesystem;

namespace {

// ".NAME.partial-PID", with a count added should a dead process of the same id have left one. A
// NAME too long for that keeps its start (whole UTF-8 characters) and gains a hash of all of it,
// so that the temporary fits the folder's longest name yet still tells which file it will be.
std::string temporaryLeaf(const std::string& name, const std::string& suffix, std::size_t longest)
{
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "." + string.
    std::string leaf = ".";
    if (name.size() + suffix.size() + 1 <= longest)
        return leaf.append(name).append(suffix);
    std::uint32_t hash = 2166136261u;  // 32-bit FNV-1a
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    char digits[16];
    std::snprintf(digits, sizeof digits, "~%08x", static_cast<unsigned>(hash));
    const std::size_t overhead = 1 + std::strlen(digits) + suffix.size();
    std::size_t keep = longest > overhead ? std::min(name.size(), longest - overhead) : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return leaf.append(name, 0, keep).append(digits).append(suffix);
}

int createTemporary(const fs::path& target, std::string& name)
{
    const fs::path directory = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const long limit = ::pathconf(directory.c_str(), _PC_NAME_MAX);
    const std::size_t longest = limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
    for (int attempt = 0;; ++attempt) {
        std::string suffix = ".partial-";
        suffix += std::to_string(::getpid());
        if (attempt > 0)
            suffix.append("-").append(std::to_string(attempt));
        name = (target.parent_path() / temporaryLeaf(target.filename().string(), suffix, longest)).string();
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
    // A new OUT gets the mode the umask gives; until the rename the file stays private, as OUT may be.
    struct stat created {};
    if (::fstat(descriptor, &created) != 0 || ::fchmod(descriptor, 0600) != 0)
        fail(std::strerror(errno));
    newFileMode = created.st_mode & 07777;
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

// An OUT being replaced keeps its mode, and its owner and group where the system lets this user
// give them (root; a group of the user's own otherwise).
void SoundWriter::takeOverAttributes()
{
    mode_t mode = newFileMode;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        // Failing both, the file is the user's, as one written anew would be.
        [[maybe_unused]] const bool kept = ::fchown(descriptor, existing.st_uid, existing.st_gid) == 0 ||
                                           ::fchown(descriptor, static_cast<uid_t>(-1), existing.st_gid) == 0;
        mode = existing.st_mode & 07777;
    }
    if (::fchmod(descriptor, mode) != 0)
        fail(std::strerror(errno));
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
    takeOverAttributes();
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
