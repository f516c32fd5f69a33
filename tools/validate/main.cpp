// quarvine-validate: runs a VST 2.4 module through a battery of host-side tests.
#include "validator.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace validate;

// Test outcome as it crosses from the child process: one tagged line per item.
std::string serialise(const Report& report)
{
    std::ostringstream text;
    if (!report.skipped.empty())
        text << "S " << report.skipped << "\n";
    for (const auto& note : report.notes)
        text << "N " << note << "\n";
    for (const auto& problem : report.problems)
        text << "P " << problem << "\n";
    text << "C " << report.problemCount() << "\n";
    return text.str();
}

Report deserialise(const std::string& text)
{
    Report report;
    std::istringstream lines(text);
    std::string line;
    std::size_t count = 0;
    std::vector<std::string> problems;
    while (std::getline(lines, line)) {
        if (line.size() < 2)
            continue;
        std::string body = line.substr(2);
        switch (line[0]) {
        case 'S': report.skip(body); break;
        case 'N': report.note(body); break;
        case 'P': problems.push_back(body); break;
        case 'C': count = std::stoul(body); break;
        }
    }
    for (std::size_t i = 0; i < std::max(count, problems.size()); ++i)
        report.fail(i < problems.size() ? problems[i] : std::string());
    report.problems = problems;
    return report;
}

void runInProcess(const Test& test, Context& context, Random& random, Report& report)
{
    try {
        test.run(context, random, report);
    } catch (const std::exception& exception) {
        report.fail(std::string("exception: ") + exception.what());
    }
}

// Runs the test in a child, so a crash or hang costs that test only.
Report runForked(const Test& test, Context& context, Random& random)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        Report report;
        runInProcess(test, context, random, report);
        return report;
    }
    std::cout.flush();
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::alarm(900);
        Report report;
        runInProcess(test, context, random, report);
        std::string text = serialise(report);
        for (std::size_t written = 0; written < text.size();) {
            ssize_t n = ::write(pipeEnds[1], text.data() + written, text.size() - written);
            if (n <= 0)
                break;
            written += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    Report report = deserialise(text);
    if (WIFSIGNALED(status)) {
        int signal = WTERMSIG(status);
        report.fail(signal == SIGALRM ? std::string("timed out")
                                      : std::string("crashed: ") + strsignal(signal) + " (signal " +
                                            std::to_string(signal) + ")");
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        report.fail("test process exited with status " + std::to_string(WEXITSTATUS(status)) +
                    " (a sanitizer report, if any, is above)");
    }
    return report;
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    std::string only;
    bool noFork = false;
    CLI::App app{"Checks a VST 2.4 plug-in module from the host side: identity and texts, processing at "
                 "every common rate and block size, automation, fuzzed parameters, bad input, lifecycle, "
                 "editor and real-time safety. Exit status 0 when every test passed.",
                 "quarvine-validate"};
    app.add_option("PATH", settings.path, "The plug-in module (.so)")->required();
    app.add_option("--strictness", settings.strictness, "Amount of work, 1 (quick) to 10 (thorough); default 5")
        ->check(CLI::Range(1, 10));
    app.add_option("--seed", settings.seed, "Seed for every random choice (default fixed)");
    app.add_flag("--skip-gui", settings.skipGui, "Do not open the editor");
    app.add_flag("--no-fork", noFork, "Run the tests in this process (for a debugger)");
    app.add_option("--only", only, "Run the one test of this name");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::cerr << "quarvine-validate: " << error.what() << " (see --help)\n";
        return 2;
    }
    settings.fork = !noFork;
    // dlopen searches the library path for a bare file name; the user means the file here.
    if (std::filesystem::exists(settings.path))
        settings.path = std::filesystem::absolute(settings.path).string();

    std::string error;
    auto module = vsthost::PluginModule::load(settings.path, &error);
    if (!module) {
        std::cout << "FAIL  load            " << error << "\nSummary: 0 passed, 1 failed, 0 skipped\n";
        return 1;
    }
    Context context(settings, *module);

    int passed = 0, failed = 0, skipped = 0;
    const auto& tests = allTests();
    for (std::size_t i = 0; i < tests.size(); ++i) {
        const Test& test = tests[i];
        if (!only.empty() && only != test.name)
            continue;
        Random random(settings.seed ^ (0x9E3779B97F4A7C15ull * (i + 1)));
        auto began = std::chrono::steady_clock::now();
        Report report;
        if (settings.fork)
            report = runForked(test, context, random);
        else
            runInProcess(test, context, random, report);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

        const char* verdict = !report.passed() ? "FAIL" : !report.skipped.empty() ? "SKIP" : "PASS";
        char head[64];
        std::snprintf(head, sizeof head, "%s  %-15s %6.2f s  ", verdict, test.name, seconds);
        std::string detail;
        if (!report.passed())
            detail = std::to_string(report.problemCount()) + " problem(s)";
        else if (!report.skipped.empty())
            detail = report.skipped;
        for (const auto& note : report.notes)
            detail += (detail.empty() ? "" : "; ") + note;
        std::cout << head << detail << "\n";
        for (const auto& problem : report.problems)
            std::cout << "      - " << problem << "\n";
        (report.passed() ? (report.skipped.empty() ? passed : skipped) : failed)++;
    }
    std::cout << "Summary: " << passed << " passed, " << failed << " failed, " << skipped << " skipped ("
              << settings.path << ", seed " << settings.seed << ", strictness " << settings.strictness << ")\n";
    return failed == 0 ? 0 : 1;
}
