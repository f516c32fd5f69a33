// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer and the screen belong to the whole display: test programs that ctest runs side by
// side on one server take turns, one fixture at a time.
#pragma once

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace x11_test {

class DisplayTurn {
public:
    DisplayTurn()
    {
        // The turn is a lock on the server's own lock file, /tmp/.X<n>-lock: it lives exactly as
        // long as the server, so taking turns leaves no file behind.
        const char* name = std::getenv("DISPLAY");
        const char* colon = name ? std::strchr(name, ':') : nullptr;
        if (!colon || !std::isdigit(static_cast<unsigned char>(colon[1])))
            return;
        const std::string path = "/tmp/.X" + std::to_string(std::atoi(colon + 1)) + "-lock";
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            ::flock(fd, LOCK_EX);
    }
    ~DisplayTurn()
    {
        if (fd >= 0)
            ::close(fd);
    }
    DisplayTurn(const DisplayTurn&) = delete;
    DisplayTurn& operator=(const DisplayTurn&) = delete;

private:
    int fd = -1;
};

} // namespace x11_test
