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
    EXPECT_TRUE(hasLine(out, "FAIL  parameter-fuzz")) << out;
    EXPECT_NE(out.find("parameter 0 = nan"), std::string::npos) << out;
    EXPECT_TRUE(hasLine(out, "PASS  processing")) << out;
    EXPECT_TRUE(hasLine(out, "PASS  automation")) << out;
    EXPECT_TRUE(hasLine(out, "PASS  bad-audio")) << out;
    EXPECT_TRUE(hasLine(out, "PASS  lifecycle")) << out;
    EXPECT_TRUE(hasLine(out, "SKIP  editor")) << out;
    if (kSanitized) {
        EXPECT_TRUE(hasLine(out, "SKIP  real-time")) << out;
        EXPECT_TRUE(hasLine(out, "Summary: 4 passed, 2 failed, 2 skipped")) << out;
    } else {
        EXPECT_TRUE(hasLine(out, "FAIL  real-time")) << out;
        // One vector per call: an allocation and a free; one lock_guard: a lock.
        EXPECT_NE(out.find("1 allocations, 1 frees, 1 mutex locks"), std::string::npos) << out;
        EXPECT_TRUE(hasLine(out, "Summary: 4 passed, 3 failed, 1 skipped")) << out;
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
