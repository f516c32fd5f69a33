// SPDX-License-Identifier: GPL-3.0-or-later
// An X server of a test's own: no other program's window covers the test's, no other client
// leaving resets it, and it can be killed under the plug-in. Xvfb picks a free display itself and
// writes its number to the pipe once it accepts connections, so no number guessed here can be
// taken by another server starting at the same time. DisplayVariable points the code under test,
// which connects to the DISPLAY it finds, at the server.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

class PrivateXServer {
public:
    // screen: "WIDTHxHEIGHTxDEPTH"; blackRoot: a black root window (-br), so that an undrawn
    // window shows one flat colour.
    PrivateXServer(const char* screen, bool blackRoot)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", screen,
                              blackRoot ? "-br" : nullptr, nullptr};
        if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        // A server that fails to start closes the pipe; one that hangs is given 20 s.
        pollfd readable{ends[0], POLLIN, 0};
        std::string number;
        char c = 0;
        while (pid > 0 && ::poll(&readable, 1, 20000) > 0 && ::read(ends[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(ends[0]);
        if (c == '\n' && !number.empty())
            name = ":" + number;
        else
            kill();
    }
    ~PrivateXServer() { kill(); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // Ends the server as a crash would for its clients: their connections drop. SIGTERM rather
    // than SIGKILL, so that it removes its socket and lock file and leaves no display behind.
    void kill()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }

    std::string name; // empty when no server came up

private:
    pid_t pid = -1;
};

// Keeps DISPLAY for the scope and puts it back afterwards.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value)
    {
        const char* old = std::getenv("DISPLAY");
        had = old != nullptr;
        saved = old ? old : "";
        if (value)
            setenv("DISPLAY", value, 1);
        else
            unsetenv("DISPLAY");
    }
    ~DisplayVariable()
    {
        if (had)
            setenv("DISPLAY", saved.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    bool had = false;
    std::string saved;
};
