// SPDX-License-Identifier: GPL-3.0-or-later
// quarvine-validate: runs a VST 2.4 module through a battery of host-side tests.
#include "isolation.h"
#include "validator.h"

#include <CLI/CLI.hpp>
#include <quarvine_version.h>

#include <algorithm>
#include <cfenv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace {

using namespace validate;

constexpr std::size_t kShownPerKind = 6;

std::string testNames()
{
    std::string names;
    for (const Test& test : allTests())
        names += (names.empty() ? "" : ", ") + std::string(test.name);
    return names;
}

void printProblems(const char* kind, const std::vector<std::string>& problems, bool all)
{
    std::size_t shown = all ? problems.size() : std::min(problems.size(), kShownPerKind);
    for (std::size_t i = 0; i < shown; ++i)
        std::cout << "      - " << kind << ": " << problems[i] << "\n";
    if (shown < problems.size())
        std::cout << "      ... and " << problems.size() - shown << " more of this kind (--all-problems lists them)\n";
}

enum class Verdict { pass, warn, fail, skip };

Verdict judge(const Report& report, bool strict)
{
    if (report.hasFaults() || (strict && !report.advice.empty()))
        return Verdict::fail;
    if (!report.advice.empty())
        return Verdict::warn;
    return report.skipped.empty() ? Verdict::pass : Verdict::skip;
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    std::vector<std::string> only;
    bool noFork = false, showSteps = false;
    CLI::App app{"Checks a VST 2.4 plug-in module from the host side: identity and texts, processing at "
                 "every common rate and block size, automation, fuzzed parameters, bad input, lifecycle, "
                 "editor and real-time safety. Host-contract faults fail a test; advice warns. Exit status 0 "
                 "when no test failed, 1 when one did, 2 on a usage error.",
                 "quarvine-validate"};
    app.set_version_flag("--version", "quarvine-validate " QUARVINE_VERSION, "Print the version and exit");
    app.add_option("PATH", settings.path, "The plug-in module (.so)")->required();
    app.add_option("--strictness", settings.strictness, "Amount of work, 1 (quick) to 10 (thorough); default 5")
        ->check(CLI::Range(1, 10));
    app.add_option("--seed", settings.seed, "Seed for every random choice (default fixed)");
    app.add_flag("--skip-gui", settings.skipGui, "Do not open the editor");
    app.add_flag("--no-fork", noFork, "Run the tests in this process (for a debugger; a crash ends the run)");
    app.add_option("--only", only, "Run only these tests (comma-separated): " + testNames())
        ->delimiter(',')
        ->allow_extra_args(false);
    app.add_flag("--strict", settings.strict, "Advice fails too (the line Quarvine's own CI holds)");
    app.add_flag("--all-problems", settings.allProblems,
                 "List every problem, not the first " + std::to_string(kShownPerKind) + " of each kind");
    app.add_flag("--show-steps", showSteps, "Print each case to stderr as it starts");
    app.add_option("--timeout", settings.timeoutSeconds, "Seconds one test may run before it fails (default 900)")
        ->check(CLI::Range(1u, 86400u));
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        std::cerr << "quarvine-validate: " << error.what() << " (see --help)\n";
        return 2;
    }
    // A misspelt name must not pass by running nothing.
    for (const auto& name : only)
        if (std::none_of(allTests().begin(), allTests().end(), [&](const Test& t) { return name == t.name; })) {
            std::cerr << "quarvine-validate: no test named \"" << name << "\" for --only; the tests are "
                      << testNames() << "\n";
            return 2;
        }
    settings.fork = !noFork;
    // dlopen searches the library path for a bare file name; the user means the file here.
    if (std::filesystem::exists(settings.path))
        settings.path = std::filesystem::absolute(settings.path).string();

    // A module's static initialisers or its first instance may switch the thread to flushing
    // subnormals; every test forks from this thread and starts from the mode found here.
    std::fenv_t ordinary;
    std::fegetenv(&ordinary);
    std::string error;
    auto module = vsthost::PluginModule::load(settings.path, &error);
    if (!module) {
        std::cout << "FAIL  load            " << error << "\nSummary: 0 passed, 1 failed, 0 with advice, 0 skipped\n";
        return 1;
    }
    std::string flushingLeftBy = threadFlushesSubnormals() ? "loading the module" : "";
    std::fesetenv(&ordinary);
    Context context(settings, *module);
    if (flushingLeftBy.empty() && threadFlushesSubnormals())
        flushingLeftBy = "creating and closing an instance";
    context.flushingLeftBy = flushingLeftBy;
    std::fesetenv(&ordinary);

    int counts[4] = {};
    const auto& tests = allTests();
    for (std::size_t i = 0; i < tests.size(); ++i) {
        const Test& test = tests[i];
        if (!only.empty() && std::find(only.begin(), only.end(), test.name) == only.end())
            continue;
        std::cerr << "quarvine-validate: running " << test.name << std::endl;
        Random random(settings.seed ^ (0x9E3779B97F4A7C15ull * (i + 1)));
        auto began = std::chrono::steady_clock::now();
        Report report = settings.fork ? runIsolated(test, context, random, settings.timeoutSeconds, showSteps)
                                      : runInProcess(test, context, random);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

        Verdict verdict = judge(report, settings.strict);
        static const char* const kVerdictNames[] = {"PASS", "WARN", "FAIL", "SKIP"};
        char head[64];
        std::snprintf(head, sizeof head, "%s  %-15s %6.2f s  ", kVerdictNames[static_cast<int>(verdict)], test.name,
                      seconds);
        std::string detail;
        if (report.hasFaults())
            detail = std::to_string(report.faults.size()) + " fault(s)";
        if (!report.advice.empty())
            detail += (detail.empty() ? "" : ", ") + std::to_string(report.advice.size()) + " advice";
        if (!report.skipped.empty())
            detail += (detail.empty() ? "" : "; ") + report.skipped;
        for (const auto& note : report.notes)
            detail += (detail.empty() ? "" : "; ") + note;
        std::cout << head << detail << "\n";
        printProblems("fault", report.faults, settings.allProblems);
        printProblems("advice", report.advice, settings.allProblems);
        std::cout.flush();
        ++counts[static_cast<int>(verdict)];
    }
    const int failed = counts[static_cast<int>(Verdict::fail)];
    std::cout << "Summary: " << counts[static_cast<int>(Verdict::pass)] << " passed, " << failed << " failed, "
              << counts[static_cast<int>(Verdict::warn)] << " with advice, " << counts[static_cast<int>(Verdict::skip)]
              << " skipped (" << settings.path << ", seed " << settings.seed << ", strictness " << settings.strictness
              << (settings.strict ? ", strict" : "") << ")\n";
    return failed == 0 ? 0 : 1;
}
