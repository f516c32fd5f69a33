// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_bytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvine {
namespace {

std::string typeRefusal(const struct stat& status)
{
    if (S_ISDIR(status.st_mode))
        return "a folder, not a file";
    if (!S_ISREG(status.st_mode))
        return "not a regular file";
    return {};
}

} // namespace

FileBytes readRegularFile(const std::string& utf8Path, size_t maxBytes)
{
    FileBytes file;
    struct stat status {};
    if (::stat(utf8Path.c_str(), &status) != 0) {
        file.error = std::string("cannot open: ") + std::strerror(errno);
        return file;
    }
    if (file.error = typeRefusal(status); !file.error.empty())
        return file;
    // Non-blocking in case the path became a FIFO since: the open must not wait for a writer.
    const int fd = ::open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        file.error = std::string("cannot open: ") + std::strerror(errno);
        return file;
    }
    if (::fstat(fd, &status) != 0)
        file.error = std::string("cannot open: ") + std::strerror(errno);
    else
        file.error = typeRefusal(status);
    if (file.error.empty() && static_cast<unsigned long long>(status.st_size) > maxBytes)
        file.error = tooLarge(maxBytes);
    if (file.error.empty()) {
        // The file as long as it was when opened: what is appended meanwhile is not read.
        file.bytes.resize(static_cast<size_t>(status.st_size));
        size_t got = 0;
        while (got < file.bytes.size()) {
            const ssize_t n = ::read(fd, file.bytes.data() + got, file.bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                file.error = std::string("cannot read: ") + std::strerror(errno);
                break;
            }
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        file.bytes.resize(got);
    }
    ::close(fd);
    if (!file.error.empty())
        file.bytes.clear();
    return file;
}

} // namespace quarvine
