// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer and the screen belong to the whole display: test programs of one build that ctest
// runs side by side on one server take turns, one fixture at a time.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace x11_test {

class DisplayTurn {
public:
    DisplayTurn()
    {
        // A lock file of the build's own: it stays in the build folder, not in /tmp, and it exists
        // whatever server the display is (one started with -displayfd has no lock file to share).
        fd = ::open(QUARVINE_X11_TURN_FILE, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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
