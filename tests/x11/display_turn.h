// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer and the screen belong to the whole display: test programs that ctest runs side by
// side on one server take turns, one fixture at a time.
#pragma once

#include <cctype>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace x11_test {

class DisplayTurn {
public:
    DisplayTurn()
    {
        const char* name = std::getenv("DISPLAY");
        std::string path = "/tmp/quarvine-x11-tests-";
        for (const char* c = name ? name : ""; *c; ++c)
            path += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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
