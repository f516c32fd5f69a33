// SPDX-License-Identifier: GPL-3.0-or-later
// quarvine-validate against a module with known faults: each fault is found by its test, and
// the tests the module should pass do pass.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

tooltest::RunResult validate(const std::vector<std::string>& args)
{
    return tooltest::run(QUARVINE_VALIDATE_PATH, args, std::filesystem::temp_directory_path());
}

bool hasLine(const std::string& out, const std::string& start)
{
    return out.rfind(start, 0) == 0 || out.find("\n" + start) != std::string::npos;
}

TEST(Validator, FindsEachFaultOfTheFaultyModule)
{
    auto result = validate({FAULTY_PLUGIN_PATH, "--strictness", "1"});
    EXPECT_NE(result.status, 0);
    const std::string& out = result.out;
    EXPECT_TRUE(hasLine(out, "FAIL  identity")) << out;
    EXPECT_NE(out.find("parameter 0 name \"Gain amount\" writes 12 bytes into a 9-byte buffer"), std::string::npos) << out;
    // The crash ends that test only, names it and the case it died in; the run goes on.
    EXPECT_TRUE(hasLine(out, "FAIL  parameter-fuzz")) << out;
    EXPECT_NE(out.find("fault: crashed: "), std::string::npos) << out;
    EXPECT_NE(out.find("during parameter 7 = "), std::string::npos) << out;
    // NaN input passed through is advice, where NaN out of a subnormal sample fails.
    EXPECT_TRUE(hasLine(out, "FAIL  bad-audio")) << out;
    EXPECT_NE(out.find("advice: input nan at "), std::string::npos) << out;
    EXPECT_TRUE(hasLine(out, "WARN  processing")) << out;
    EXPECT_NE(out.find("advice: after processReplacing the thread flushes subnormals"), std::string::npos) << out;
    EXPECT_TRUE(hasLine(out, "PASS  automation")) << out;
    EXPECT_TRUE(hasLine(out, "PASS  lifecycle")) << out;
    EXPECT_TRUE(hasLine(out, "SKIP  editor")) << out;
    // Each test announces itself as it starts, so the last line names a test that hangs.
    EXPECT_TRUE(hasLine(result.err, "quarvine-validate: running real-time")) << result.err;
    if (kSanitized) {
        EXPECT_TRUE(hasLine(out, "SKIP  real-time")) << out;
        EXPECT_TRUE(hasLine(out, "Summary: 2 passed, 3 failed, 1 with advice, 2 skipped")) << out;
    } else {
        EXPECT_TRUE(hasLine(out, "FAIL  real-time")) << out;
        // One vector per call: an allocation and a free; one lock_guard: a lock.
        EXPECT_NE(out.find("1 allocations, 1 frees, 1 mutex locks"), std::string::npos) << out;
        EXPECT_TRUE(hasLine(out, "Summary: 2 passed, 4 failed, 1 with advice, 1 skipped")) << out;
    }
}

// Each fault of the module, with its test alone: reported as a fault, failing the test and the run.
TEST(Validator, EachFaultFailsItsTestAndTheRun)
{
    struct Case {
        const char* test;
        const char* fault;
        bool crashSpared = false;  // the crash would end the test before this case
    };
    const Case cases[] = {
        {"identity", "parameter 0 name \"Gain amount\" writes 12 bytes into a 9-byte buffer"},
        {"parameter-fuzz", "crashed: "},
        // Inside [0, 1] a value owes finite output.
        {"parameter-fuzz", "parameter 1 = 0: ", true},
        // A subnormal is a legal input sample.
        {"bad-audio", "input 1.4e-45 (subnormal) at "},
        {"bad-audio", "input -1e-40 (subnormal) at "},
        {"real-time", "first processReplacing after resume: 1 allocations, 1 frees, 1 mutex locks"},
    };
    for (const Case& c : cases) {
        if (kSanitized && std::string(c.test) == "real-time")
            continue;
        SCOPED_TRACE(c.fault);
        std::vector<std::string> args = {QUARVINE_VALIDATE_PATH, FAULTY_PLUGIN_PATH, "--strictness", "1",
                                         "--only",               c.test,             "--all-problems"};
        if (c.crashSpared)
            args.insert(args.begin(), "FAULTY_PLUGIN_NO_CRASH=1");
        auto result = tooltest::run("env", args, std::filesystem::temp_directory_path());
        EXPECT_EQ(result.status, 1) << result.out;
        EXPECT_TRUE(hasLine(result.out, std::string("FAIL  ") + c.test)) << result.out;
        EXPECT_NE(result.out.find(std::string("- fault: ") + c.fault), std::string::npos) << result.out;
    }
}

TEST(Validator, AdviceFailsOnlyUnderStrict)
{
    // The module's processing has advice only: the thread left flushing subnormals.
    auto lenient = validate({FAULTY_PLUGIN_PATH, "--strictness", "1", "--only", "processing"});
    EXPECT_EQ(lenient.status, 0) << lenient.out;
    EXPECT_TRUE(hasLine(lenient.out, "WARN  processing")) << lenient.out;
    auto strict = validate({FAULTY_PLUGIN_PATH, "--strictness", "1", "--only", "processing", "--strict"});
    EXPECT_EQ(strict.status, 1) << strict.out;
    EXPECT_TRUE(hasLine(strict.out, "FAIL  processing")) << strict.out;
}

TEST(Validator, AllProblemsListsWhatTheShortListHides)
{
    // Each of the module's 8 parameter names overruns its buffer.
    auto countNames = [](const std::string& out) {
        std::size_t count = 0;
        for (std::size_t at = 0; (at = out.find("name \"Gain amount\" writes", at)) != std::string::npos; ++at)
            ++count;
        return count;
    };
    auto brief = validate({FAULTY_PLUGIN_PATH, "--strictness", "1", "--only", "identity"});
    EXPECT_EQ(countNames(brief.out), 6u) << brief.out;
    EXPECT_NE(brief.out.find("... and 2 more of this kind (--all-problems lists them)"), std::string::npos) << brief.out;
    auto full = validate({FAULTY_PLUGIN_PATH, "--strictness", "1", "--only", "identity", "--all-problems"});
    EXPECT_EQ(countNames(full.out), 8u) << full.out;
    EXPECT_EQ(full.out.find("more of this kind"), std::string::npos) << full.out;
}

TEST(Validator, AnUnknownTestNameIsAUsageError)
{
    // A misspelt --only in a CI script must not pass by running nothing.
    for (const char* only : {"bogus", "identity,bogus"}) {
        auto result = validate({FAULTY_PLUGIN_PATH, "--only", only});
        EXPECT_EQ(result.status, 2) << only;
        EXPECT_EQ(result.out.find("Summary"), std::string::npos) << result.out;
        EXPECT_NE(result.err.find("\"bogus\""), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("parameter-fuzz"), std::string::npos) << "the valid names are listed: " << result.err;
    }
}

TEST(Validator, SameSeedSameFindings)
{
    auto first = validate({FAULTY_PLUGIN_PATH, "--strictness", "1", "--only", "parameter-fuzz", "--seed", "7"});
    auto second = validate({FAULTY_PLUGIN_PATH, "--strictness", "1", "--only", "parameter-fuzz", "--seed", "7"});
    // The problem lines list the fuzzed values in the seed's order.
    auto problems = [](const std::string& out) { return out.substr(out.find('\n')); };
    EXPECT_EQ(problems(first.out), problems(second.out));
}

TEST(Validator, RejectsAModuleItCannotLoad)
{
    auto result = validate({"/nonexistent/plugin.so"});
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(hasLine(result.out, "FAIL  load")) << result.out;
    auto usage = validate({FAULTY_PLUGIN_PATH, "--strictness", "11"});
    EXPECT_NE(usage.status, 0);
}

} // namespace
