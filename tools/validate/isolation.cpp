// SPDX-License-Identifier: GPL-3.0-or-later
#include "isolation.h"

#include <csignal>
#include <cstring>
#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

namespace validate {

namespace {

int childPipe = -1;

void writeAll(int fd, const std::string& text)
{
    for (std::size_t written = 0; written < text.size();) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0)
            return;
        written += static_cast<std::size_t>(n);
    }
}

// One tagged line per item crosses the pipe; a plug-in's texts may hold line breaks.
std::string line(char tag, std::string body)
{
    for (char& c : body)
        if (c == '\n' || c == '\r')
            c = ' ';
    return std::string(1, tag) + ' ' + body + '\n';
}

// Sent at once: if the child dies, the parent still has everything found before, and the case
// it died in.
void send(char tag, const std::string& text)
{
    writeAll(childPipe, line(tag, text));
}

void take(Report& report, const std::string& line, bool showSteps, const char* testName)
{
    if (line.size() < 2)
        return;
    std::string body = line.substr(2);
    if (line[0] == 'W' && showSteps)
        std::cerr << "quarvine-validate:   " << testName << ": " << body << std::endl;
    switch (line[0]) {
    case 'S': report.skip(body); break;
    case 'N': report.note(body); break;
    case 'F': report.fail(body); break;
    case 'A': report.advise(body); break;
    case 'W': report.step(body); break;
    }
}

std::string during(const Report& report)
{
    return report.lastStep.empty() ? std::string() : " during " + report.lastStep;
}

void runInto(const Test& test, Context& context, Random& random, Report& report)
{
    try {
        test.run(context, random, report);
    } catch (const std::exception& exception) {
        report.fail("exception" + during(report) + ": " + exception.what());
    }
}

} // namespace

Report runInProcess(const Test& test, Context& context, Random& random)
{
    Report report;
    runInto(test, context, random, report);
    return report;
}

Report runIsolated(const Test& test, Context& context, Random& random, unsigned timeoutSeconds, bool showSteps)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return runInProcess(test, context, random);
    std::cout.flush();
    std::cerr.flush();
    pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return runInProcess(test, context, random);
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        childPipe = pipeEnds[1];
        ::alarm(timeoutSeconds);
        Report report;
        report.forwardTo(send);
        runInto(test, context, random, report);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    // Read line by line as the child writes, so steps show while the test runs.
    Report report;
    std::string pending;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            take(report, pending.substr(0, end), showSteps, test.name);
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        int signal = WTERMSIG(status);
        report.fail(signal == SIGALRM ? "timed out after " + std::to_string(timeoutSeconds) + " s" + during(report)
                                      : std::string("crashed: ") + strsignal(signal) + " (signal " +
                                            std::to_string(signal) + ")" + during(report));
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        // A sanitizer that caught a crash or a memory fault ends the child this way.
        report.fail("crashed: the test process exited with status " + std::to_string(WEXITSTATUS(status)) +
                    during(report) + " (a sanitizer's report, if any, is above)");
    }
    return report;
}

} // namespace validate
