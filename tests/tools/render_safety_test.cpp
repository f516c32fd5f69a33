// SPDX-License-Identifier: GPL-3.0-or-later
// quarvine-render when things go wrong around it: a full disk, signals, a crash just after the
// rename (sync and close come first), OUT naming IN, an existing OUT (its mode, owner and links,
// no permission, a name at the length limit), and the chunked render against one uninterrupted run.
#include "tool_test_support.h"

#include "tools/vsthost/vst_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sstream>
#include <spawn.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tooltest::readSound;
using tooltest::Sound;
using tooltest::TempDir;

const std::string kRender = QUARVINE_RENDER_PATH;
const std::string kGainPlugin = FAULTY_PLUGIN_PATH;  // a plain gain: fast, so the tests stay short

Sound noise(int rate, int channels, double seconds)
{
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    Sound sound{rate, channels, {}};
    sound.samples.resize(static_cast<std::size_t>(seconds * rate) * static_cast<std::size_t>(channels));
    for (float& sample : sound.samples)
        sample = uniform(generator);
    return sound;
}

bool anyHidden(const fs::path& directory)
{
    for (const auto& entry : fs::directory_iterator(directory))
        if (entry.path().filename().string().front() == '.')
            return true;
    return false;
}

// A tmpfs (16 kB unless told) in a mount namespace of this process's own, so the host never sees it.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& where, const std::string& size = "16k") : mountPoint(where)
    {
        fs::create_directory(where);
        static bool privateNamespace = ::unshare(CLONE_NEWNS) == 0 &&
                                       ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        mounted = privateNamespace && ::mount("tmpfs", where.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
        if (!mounted)
            reason = std::string("cannot mount a small tmpfs here: ") + std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(mountPoint.c_str(), MNT_DETACH);
    }
    bool mounted = false;
    std::string reason;

private:
    fs::path mountPoint;
};

void expectCleanWriteFailure(const tooltest::RunResult& result, const fs::path& directory, const std::string& out,
                             const std::string& reason)
{
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find(out + ": " + reason), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << "no summary after a failed write";
    EXPECT_FALSE(fs::exists(directory / out));
    EXPECT_FALSE(anyHidden(directory)) << "the temporary file is removed";
}

class RenderWriteFailure : public ::testing::TestWithParam<const char*> {};

TEST_P(RenderWriteFailure, OnAFullDiskSaysSoAndLeavesNothing)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", noise(48000, 1, 5.0));
    SmallDisk disk(dir / "disk");
    if (!disk.mounted)
        GTEST_SKIP() << disk.reason << " (the file size limit case covers the same path)";
    const std::string out = std::string("out.") + GetParam();
    auto result = tooltest::run(kRender, {"in.wav", "disk/" + out, "--plugin", kGainPlugin}, dir.path());
    expectCleanWriteFailure(result, dir / "disk", "disk/" + out, std::strerror(ENOSPC));
}

TEST_P(RenderWriteFailure, BeyondTheFileSizeLimitSaysSoAndLeavesNothing)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", noise(48000, 1, 5.0));
    const std::string out = std::string("out.") + GetParam();
    // SIGXFSZ ignored: a write past the limit then fails with EFBIG instead of killing the program.
    auto result = tooltest::run("/bin/sh",
                                {"-c", "trap '' XFSZ; ulimit -f 16; exec \"$0\" \"$@\"", kRender, "in.wav", out,
                                 "--plugin", kGainPlugin},
                                dir.path());
    expectCleanWriteFailure(result, dir.path(), out, std::strerror(EFBIG));
}

INSTANTIATE_TEST_SUITE_P(Formats, RenderWriteFailure, ::testing::Values("wav", "flac", "ogg", "opus", "mp3"));

// The renderer with its output streams thrown away; -1 when it could not start.
pid_t spawnQuietly(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

bool waitForHidden(const fs::path& directory)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!anyHidden(directory) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return anyHidden(directory);
}

class RenderSignal : public ::testing::TestWithParam<int> {};

TEST_P(RenderSignal, RemovesTheTemporaryFileAndExitsWith128PlusTheSignal)
{
    TempDir dir;
    // Long enough at the amp's speed that the signal comes mid-render.
    tooltest::writeSound(dir / "in.wav", noise(48000, 1, 120.0));
    const std::string in = (dir / "in.wav").string(), out = (dir / "out.ogg").string();
    pid_t child = spawnQuietly({kRender, in, out, "--oversampling", "8"});
    ASSERT_GT(child, 0);

    const bool writing = waitForHidden(dir.path());
    ::kill(child, GetParam());
    int raw = 0;
    ASSERT_EQ(::waitpid(child, &raw, 0), child);
    ASSERT_TRUE(writing) << "no temporary output appeared";
    ASSERT_TRUE(WIFEXITED(raw)) << "killed by the signal instead of cleaning up";
    EXPECT_EQ(WEXITSTATUS(raw), 128 + GetParam());
    EXPECT_FALSE(anyHidden(dir.path()));
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(Signals, RenderSignal, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return std::string(info.param == SIGINT ? "SIGINT" : "SIGTERM"); });

// Any mix and timing of signals: while the program starts, mid-render, during the clean-up a first
// one begins, or a second on its heels (which ends the program at once).
TEST(RenderSignals, InBurstsOfAnyKindAndTimingLeaveNoTemporaryFile)
{
    TempDir dir;
    // The gain one sample per call: the minute takes seconds, a chunk about a tenth of one.
    tooltest::writeSound(dir / "in.wav", noise(48000, 1, 60.0));
    const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();
    const int kinds[] = {SIGINT, SIGTERM, SIGHUP}, gapsMs[] = {0, 1, 10, 40};
    for (int run = 0; run < 36; ++run) {
        std::vector<int> burst;
        for (int k = 0; k < 2 + run % 3; ++k)
            burst.push_back(kinds[(run / 3 + k) % 3]);
        pid_t child = spawnQuietly({kRender, in, out, "--plugin", kGainPlugin, "--block", "1"});
        ASSERT_GT(child, 0);
        const bool starting = run % 6 == 0;
        const bool writing = starting || waitForHidden(dir.path());
        for (int signal : burst) {
            ::kill(child, signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(gapsMs[run % 4]));
        }
        int raw = 0;
        ASSERT_EQ(::waitpid(child, &raw, 0), child);
        ASSERT_TRUE(writing) << "run " << run << ": no temporary output appeared";
        // Killed by the signal itself only before the handlers are in, with nothing yet to remove.
        EXPECT_TRUE(WIFEXITED(raw) || starting) << "run " << run << ": killed by signal " << WTERMSIG(raw);
        const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        EXPECT_TRUE(status == 128 + SIGINT || status == 128 + SIGTERM || status == 128 + SIGHUP)
            << "run " << run << ": status " << status;
        ASSERT_FALSE(anyHidden(dir.path())) << "run " << run;
        EXPECT_FALSE(fs::exists(out)) << "run " << run;
    }
}

// What a crash or a power cut leaves hinges on the system's order of calls, so strace watches
// them: the temporary reaches OUT's name only once it is synced and closed.
TEST(RenderCommit, SyncsAndClosesTheTemporaryBeforeRenamingIt)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", noise(44100, 1, 0.1));
    if (tooltest::run("strace", {"-o", "/dev/null", "true"}, dir.path()).status != 0)
        GTEST_SKIP() << "strace is missing or may not trace here";
    // LeakSanitizer stops the process with ptrace at exit, which a traced process cannot do.
    auto result = tooltest::run(
        "/bin/sh",
        {"-c", "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 exec strace -f -qq -y -o calls.txt "
               "-e trace=fsync,fdatasync,close,rename,renameat,renameat2 \"$0\" \"$@\"",
         kRender, "in.wav", "out.wav", "--plugin", kGainPlugin},
        dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    // Lines read "PID name(args...", the PID padded to a width: -y names each descriptor's file,
    // so a call on the temporary mentions its name whatever descriptor it has (line 0: none did).
    std::istringstream calls(tooltest::fileBytes(dir / "calls.txt"));
    int line = 0, synced = 0, closed = 0, renamed = 0;
    auto mark = [&line](int& first) { first = first ? first : line; };
    for (std::string text; std::getline(calls, text);) {
        ++line;
        const std::size_t start = text.find_first_not_of("0123456789 "), open = text.find('(', start);
        if (open == std::string::npos || text.find(".out.wav.partial-") == std::string::npos)
            continue;
        const std::string name = text.substr(start, open - start);
        if (name == "fsync" || name == "fdatasync")
            mark(synced);
        else if (name == "close")
            mark(closed);
        else if (name.rfind("rename", 0) == 0)
            mark(renamed);
    }
    ASSERT_NE(renamed, 0) << "the temporary is not renamed";
    EXPECT_TRUE(synced && synced < renamed) << "synced at line " << synced << ", renamed at " << renamed;
    EXPECT_TRUE(closed && closed < renamed) << "closed at line " << closed << ", renamed at " << renamed;
    EXPECT_EQ(tooltest::readSound(dir / "out.wav").frames(), 4410u);
}

TEST(RenderOntoItsInput, IsRefusedForTheSameFileAnyLinkToItUnlessOverwriteIsGiven)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", noise(44100, 1, 0.3));
    const std::string original = tooltest::fileBytes(dir / "in.wav");
    fs::create_symlink("in.wav", dir / "symlink.wav");
    fs::create_hard_link(dir / "in.wav", dir / "hardlink.wav");
    for (std::string out : {"in.wav", "./in.wav", "symlink.wav", "hardlink.wav"}) {
        auto result = tooltest::run(kRender, {"in.wav", out, "--plugin", kGainPlugin}, dir.path());
        EXPECT_EQ(result.status, 2) << out << ": " << result.err;
        EXPECT_NE(result.err.find("--overwrite"), std::string::npos) << result.err;
        EXPECT_EQ(tooltest::fileBytes(dir / "in.wav"), original) << out;
    }
    // Allowed, it gives what rendering to another file gives: the input is read to the end first.
    ASSERT_EQ(tooltest::run(kRender, {"in.wav", "elsewhere.wav", "--plugin", kGainPlugin}, dir.path()).status, 0);
    auto result = tooltest::run(kRender, {"in.wav", "in.wav", "--overwrite", "--plugin", kGainPlugin}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(tooltest::fileBytes(dir / "in.wav"), tooltest::fileBytes(dir / "elsewhere.wav"));
    EXPECT_NE(tooltest::fileBytes(dir / "in.wav"), original);
}

// OUT as the user left it: a link stays a link, the file at the end of its chain taking the render
// with its mode and, as root, its owner; written beside that file (here on a file system of its
// own, where a temporary from beside the link could not be renamed). And NAME_MAX bounds OUT's
// name, not the longer one of its temporary.
TEST(RenderOntoAnExistingFile, KeepsItsModeAndOwnerWritesThroughLinksAndTakesAnyLegalName)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", noise(44100, 1, 0.1));
    SmallDisk disk(dir / "disk", "4m");
    fs::create_directory(dir / "disk/sub");
    const fs::path end = dir / "disk/sub/end.wav";
    tooltest::writeSound(end, noise(8000, 2, 0.1));
    ::chmod(end.c_str(), 0600);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(end.c_str(), 4242, 4343), 0);
    }
    // Each relative link read against its own folder.
    fs::create_symlink("disk/link.wav", dir / "out.wav");
    fs::create_symlink("sub/end.wav", dir / "disk/link.wav");
    const long longest = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
    const std::string longName =
        std::string(static_cast<std::size_t>(longest > 0 && longest < 255 ? longest : 255) - 4, 'n') + ".wav";
    for (const std::string& out : {std::string("out.wav"), longName}) {
        auto result = tooltest::run(kRender, {"in.wav", out, "--plugin", kGainPlugin}, dir.path());
        ASSERT_EQ(result.status, 0) << out.size() << " bytes: " << result.err;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "out.wav") && fs::is_symlink(dir / "disk/link.wav"));
    struct stat kept {};
    ASSERT_EQ(::stat(end.c_str(), &kept), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_TRUE(kept.st_uid == 4242 && kept.st_gid == 4343) << kept.st_uid << ":" << kept.st_gid;
    }
    EXPECT_EQ(readSound(end).frames(), 4410u);
    EXPECT_EQ(readSound(dir / longName).frames(), 4410u);
    EXPECT_FALSE(anyHidden(dir.path()) || anyHidden(dir / "disk/sub"));
}

// Status 1, one line, everything as it was: a file or folder the user may not write (as root, tried
// as nobody, root being allowed to write anything), and a link to nothing (refused, as cp does).
TEST(RenderOntoAnExistingFile, IsRefusedWhenTheUserMayNotWriteItOrItLinksToNothing)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", noise(44100, 1, 0.1));
    tooltest::writeSound(dir / "readonly.wav", noise(8000, 1, 0.1));
    fs::create_directory(dir / "locked");
    fs::create_symlink("gone.wav", dir / "dangling.wav");
    ::chmod(dir.path().c_str(), 0777);
    ::chmod((dir / "readonly.wav").c_str(), 0444);
    ::chmod((dir / "locked").c_str(), 0555);
    const std::string readonly = tooltest::fileBytes(dir / "readonly.wav");
    std::vector<std::string> command;
    if (::geteuid() == 0)
        command = {"--reuid=65534", "--regid=65534", "--clear-groups", kRender};
    for (std::string out : {"readonly.wav", "locked/out.wav", "dangling.wav"}) {
        auto args = command;
        args.insert(args.end(), {"in.wav", out, "--plugin", kGainPlugin});
        auto result = tooltest::run(command.empty() ? kRender : "setpriv", args, dir.path());
        EXPECT_EQ(result.status, 1) << out << ": " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(result.err.rfind("quarvine-render: " + out, 0), 0u) << result.err;
    }
    EXPECT_TRUE(tooltest::fileBytes(dir / "readonly.wav") == readonly) << "the read-only file changed";
    EXPECT_EQ(fs::status(dir / "readonly.wav").permissions(), fs::perms(0444));
    EXPECT_TRUE(fs::is_empty(dir / "locked"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.wav") && !fs::exists(dir / "gone.wav"));
    EXPECT_FALSE(anyHidden(dir.path()));
}

TEST(RenderOntoAPipe, IsRefusedRatherThanReplacingIt)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", noise(44100, 1, 0.1));
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    auto result = tooltest::run(kRender, {"in.wav", "pipe.wav", "--plugin", kGainPlugin}, dir.path());
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.wav"));
}

TEST(RenderChunks, GiveExactlyWhatOneUninterruptedRunGives)
{
    TempDir dir;
    // More frames than one chunk, and a block size that divides neither 65536 nor the length.
    Sound input = noise(44100, 2, 1.7);
    tooltest::writeSound(dir / "in.wav", input);
    auto result = tooltest::run(kRender, {"in.wav", "out.wav", "--plugin", QUARVINE_MODULE_PATH, "--block", "100"},
                                dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    Sound rendered = readSound(dir / "out.wav");
    ASSERT_EQ(rendered.frames(), input.frames());

    std::string error;
    auto module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH, &error);
    ASSERT_TRUE(module) << error;
    for (int c = 0; c < 2; ++c) {
        std::vector<float> channel(input.frames()), expected(input.frames());
        for (std::size_t i = 0; i < input.frames(); ++i)
            channel[i] = input.samples[i * 2 + static_cast<std::size_t>(c)];
        vsthost::HostSettings host;
        host.sampleRate = 44100;
        host.blockSize = 100;
        vsthost::HostedPlugin plugin(*module, host);
        plugin.start(44100, 100);
        plugin.processMono(channel.data(), expected.data(), channel.size(), 100);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < input.frames(); ++i)
            differing += rendered.samples[i * 2 + static_cast<std::size_t>(c)] != expected[i];
        EXPECT_EQ(differing, 0u) << "channel " << c;
    }
}

} // namespace
