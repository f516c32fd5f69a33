// SPDX-License-Identifier: GPL-3.0-or-later
// quarvine-render as a user runs it: files in, files out, messages and exit status.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numeric>
#include <sstream>

namespace {

using tooltest::readSound;
using tooltest::run;
using tooltest::Sound;
using tooltest::TempDir;

const std::string kRender = QUARVINE_RENDER_PATH;
constexpr double kPi = 3.14159265358979323846;

tooltest::RunResult render(const TempDir& dir, std::vector<std::string> args)
{
    return run(kRender, args, dir.path());
}

Sound sine(int rate, int channels, double frequency, double amplitude, double seconds)
{
    Sound sound;
    sound.sampleRate = rate;
    sound.channels = channels;
    auto frames = static_cast<std::size_t>(seconds * rate);
    for (std::size_t n = 0; n < frames; ++n)
        for (int c = 0; c < channels; ++c)
            sound.samples.push_back(
                static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * (c + 1) * static_cast<double>(n) / rate)));
    return sound;
}

int lineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Frames of 10 ms whose energy at least doubles over the 50 ms before, at most one per 50 ms.
int countOnsets(const std::vector<float>& samples, int rate)
{
    const std::size_t frame = static_cast<std::size_t>(rate / 100);
    std::vector<double> energy;
    for (std::size_t start = 0; start + frame <= samples.size(); start += frame) {
        double sum = 0.0;
        for (std::size_t i = start; i < start + frame; ++i)
            sum += double(samples[i]) * samples[i];
        energy.push_back(sum / static_cast<double>(frame));
    }
    int onsets = 0;
    std::size_t last = 0;
    for (std::size_t k = 5; k < energy.size(); ++k) {
        double before = std::accumulate(energy.begin() + static_cast<long>(k - 5), energy.begin() + static_cast<long>(k), 0.0) / 5.0;
        if (energy[k] > 1e-5 && energy[k] > 2.0 * before && (onsets == 0 || k - last >= 5)) {
            ++onsets;
            last = k;
        }
    }
    return onsets;
}

double peakOf(const std::vector<float>& samples)
{
    double peak = 0.0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(double(s)));
    return peak;
}

double rmsOf(const std::vector<float>& samples)
{
    double sum = 0.0;
    for (float s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

// "<what> peak X dBFS   RMS Y dBFS" from the summary; -inf reads as -infinity.
bool levels(const std::string& summary, const std::string& what, double& peak, double& rms)
{
    auto at = summary.find(what);
    if (at == std::string::npos)
        return false;
    std::istringstream line(summary.substr(at + what.size(), summary.find('\n', at) - at - what.size()));
    std::string peakWord, peakText, peakUnit, rmsWord, rmsText, rmsUnit;
    line >> peakWord >> peakText >> peakUnit >> rmsWord >> rmsText >> rmsUnit;
    if (peakWord != "peak" || peakUnit != "dBFS" || rmsWord != "RMS" || rmsUnit != "dBFS")
        return false;
    peak = std::stod(peakText);
    rms = std::stod(rmsText);
    return true;
}

TEST(RenderDemo, WritesAnEightSecondPhraseAndItsDryTake)
{
    TempDir dir;
    auto result = render(dir, {"--dry", "dry.wav"});
    ASSERT_EQ(result.status, 0) << result.err;
    Sound wet = readSound(dir / "quarvine-demo.wav");
    Sound dry = readSound(dir / "dry.wav");
    EXPECT_EQ(wet.sampleRate, 44100);
    EXPECT_EQ(wet.channels, 1);
    EXPECT_NEAR(static_cast<double>(wet.frames()) / 44100.0, 8.0, 0.5);
    EXPECT_EQ(dry.frames(), wet.frames());
    EXPECT_EQ(dry.sampleRate, 44100);
    for (float s : wet.samples)
        ASSERT_TRUE(std::isfinite(s));
    EXPECT_NE(result.out.find("Speed"), std::string::npos);
    EXPECT_NE(result.out.find("Drive"), std::string::npos) << "the summary names the plug-in's parameters";
}

TEST(RenderDemo, DryPhraseIsDeterministicAndMusical)
{
    TempDir dir;
    ASSERT_EQ(render(dir, {"--dry", "a.wav", "--out", "wet-a.wav"}).status, 0);
    ASSERT_EQ(render(dir, {"--dry", "b.wav", "--out", "wet-b.wav"}).status, 0);
    EXPECT_TRUE(tooltest::fileBytes(dir / "a.wav") == tooltest::fileBytes(dir / "b.wav"));
    EXPECT_TRUE(tooltest::fileBytes(dir / "wet-a.wav") == tooltest::fileBytes(dir / "wet-b.wav"));

    Sound dry = readSound(dir / "a.wav");
    EXPECT_LT(peakOf(dry.samples), 1.0);
    EXPECT_GT(20.0 * std::log10(rmsOf(dry.samples)), -40.0);
    // Eight melody notes, twelve strums, four chugs and a last chord: plenty of attacks.
    EXPECT_GE(countOnsets(dry.samples, dry.sampleRate), 12);
    // Sounding throughout, not one pluck and a long decay: every second carries signal.
    for (std::size_t second = 0; second + 1 < dry.frames() / 44100; ++second) {
        std::vector<float> slice(dry.samples.begin() + static_cast<long>(second * 44100),
                                 dry.samples.begin() + static_cast<long>((second + 1) * 44100));
        EXPECT_GT(rmsOf(slice), 1e-3) << "second " << second;
    }
}

TEST(RenderFiles, MonoAndStereoKeepLayoutAndRate)
{
    TempDir dir;
    for (int channels : {1, 2}) {
        std::string in = "in" + std::to_string(channels) + ".wav";
        std::string out = "out" + std::to_string(channels) + ".flac";
        tooltest::writeSound(dir / in, sine(48000, channels, 440.0, 0.25, 1.5));
        auto result = render(dir, {in, out});
        ASSERT_EQ(result.status, 0) << result.err;
        Sound rendered = readSound(dir / out);
        EXPECT_EQ(rendered.channels, channels);
        EXPECT_EQ(rendered.sampleRate, 48000);
        EXPECT_EQ(rendered.frames(), static_cast<std::size_t>(1.5 * 48000));
    }
}

TEST(RenderFiles, VolumeZeroWritesExactZeros)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", sine(48000, 2, 220.0, 0.9, 1.0));
    auto result = render(dir, {"in.wav", "out.wav", "--volume", "0", "--drive", "1", "--block", "100"});
    ASSERT_EQ(result.status, 0) << result.err;
    Sound rendered = readSound(dir / "out.wav");
    ASSERT_EQ(rendered.frames(), 48000u);
    EXPECT_TRUE(std::all_of(rendered.samples.begin(), rendered.samples.end(), [](float s) { return s == 0.0f; }));
    double peak = 0.0, rms = 0.0;
    ASSERT_TRUE(levels(result.out, "Output level", peak, rms)) << result.out;
    EXPECT_TRUE(std::isinf(peak) && peak < 0.0) << result.out;
    EXPECT_TRUE(std::isinf(rms) && rms < 0.0) << result.out;
}

TEST(RenderSummary, ReportsSineLevelsAnalytically)
{
    TempDir dir;
    // 1 kHz at 48 kHz: whole cycles, and the crest falls exactly on a sample.
    struct Case {
        double amplitude;
        double peakDb;
        double rmsDb;
    };
    for (Case c : {Case{1.0, 0.0, 10.0 * std::log10(0.5)}, Case{0.5, 20.0 * std::log10(0.5), 10.0 * std::log10(0.125)}}) {
        tooltest::writeSound(dir / "sine.wav", sine(48000, 1, 1000.0, c.amplitude, 1.0));
        auto result = render(dir, {"sine.wav", "out.wav"});
        ASSERT_EQ(result.status, 0) << result.err;
        double peak = 0.0, rms = 0.0;
        ASSERT_TRUE(levels(result.out, "Input level", peak, rms)) << result.out;
        EXPECT_NEAR(peak, c.peakDb, 0.006);
        EXPECT_NEAR(rms, c.rmsDb, 0.006);
        // The output's levels are those of the written file.
        Sound rendered = readSound(dir / "out.wav");
        ASSERT_TRUE(levels(result.out, "Output level", peak, rms)) << result.out;
        EXPECT_NEAR(peak, 20.0 * std::log10(peakOf(rendered.samples)), 0.006);
        EXPECT_NEAR(rms, 20.0 * std::log10(rmsOf(rendered.samples)), 0.006);
    }
}

TEST(RenderOversampling, RefusesAnyFactorButTwoFourEightAsAUsageError)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", sine(44100, 1, 440.0, 0.5, 0.2));
    for (const char* factor : {"3", "16", "0", "4x"}) {
        auto result = render(dir, {"in.wav", "out.wav", "--oversampling", factor});
        EXPECT_EQ(result.status, 2) << factor << ": " << result.err;
        EXPECT_NE(result.err.find("--oversampling"), std::string::npos) << result.err;
    }
}

TEST(RenderOversampling, SummaryShowsTheFactorThePlugInReportsRunning)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", sine(44100, 1, 440.0, 0.5, 0.2));
    // The factor is shown on the speed line, and the plug-in's own display of its seventh parameter
    // must agree: the option has to reach every instance, not only the summary.
    for (std::string factor : {"2", "4", "8"}) {
        std::vector<std::string> args = {"in.wav", "out.wav"};
        if (factor != "2")
            args.insert(args.end(), {"--oversampling", factor});
        auto result = render(dir, args);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find("oversampling " + factor + "x"), std::string::npos) << result.out;
        auto row = result.out.find("\n   6 ");
        ASSERT_NE(row, std::string::npos) << result.out;
        std::string line = result.out.substr(row + 1, result.out.find('\n', row + 1) - row - 1);
        EXPECT_NE(line.find(factor + "x"), std::string::npos) << line;
    }
}

struct BadInvocation {
    const char* what;
    std::vector<std::string> args;
};

class RenderRefuses : public ::testing::TestWithParam<BadInvocation> {};

TEST_P(RenderRefuses, WithOneLineAndNoOutputFile)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", sine(44100, 1, 440.0, 0.5, 0.2));
    auto before = dir.entries();
    auto result = render(dir, GetParam().args);
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(lineCount(result.err), 1) << result.err;
    EXPECT_NE(result.err.find("quarvine-render"), std::string::npos) << result.err;
    EXPECT_EQ(dir.entries(), before) << "nothing written, not even a temporary file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderRefuses,
    ::testing::Values(BadInvocation{"missing input", {"absent.wav", "out.wav"}},
                      BadInvocation{"input not audio", {".", "out.wav"}},
                      BadInvocation{"output directory missing", {"in.wav", "no/such/dir/out.wav"}},
                      BadInvocation{"output is a directory", {"in.wav", "."}},
                      BadInvocation{"unknown output format", {"in.wav", "out.xyz"}},
                      BadInvocation{"unknown option", {"in.wav", "out.wav", "--frobnicate"}},
                      BadInvocation{"drive above range", {"in.wav", "out.wav", "--drive", "1.5"}},
                      BadInvocation{"drive not a number", {"in.wav", "out.wav", "--drive", "nan"}},
                      BadInvocation{"volume below range", {"in.wav", "out.wav", "--volume", "-0.1"}},
                      BadInvocation{"param value out of range", {"in.wav", "out.wav", "--param", "1=2"}},
                      BadInvocation{"param index unknown", {"in.wav", "out.wav", "--param", "8=0.5"}},
                      BadInvocation{"param malformed", {"in.wav", "out.wav", "--param", "drive"}},
                      BadInvocation{"missing plug-in", {"in.wav", "out.wav", "--plugin", "nothing.so"}},
                      BadInvocation{"demo output unwritable", {"--out", "no/such/dir/demo.wav"}},
                      BadInvocation{"demo output format refused", {"--dry", "dry.wav", "--out", "demo.opus"}}),
    [](const auto& info) {
        std::string name = info.param.what;
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

struct UsageCase {
    const char* what;
    int rate, channels;
    std::vector<std::string> args;
    const char* says;
};

class RenderUsageError : public ::testing::TestWithParam<UsageCase> {};

// Found before a frame is read: status 2 like any usage error, nothing written.
TEST_P(RenderUsageError, ExitsWithTwoBeforeAnyWork)
{
    const UsageCase& c = GetParam();
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", sine(c.rate, c.channels, 440.0, 0.5, 0.05));
    auto before = dir.entries();
    auto result = render(dir, c.args);
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_EQ(lineCount(result.err), 1) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(dir.entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderUsageError,
    ::testing::Values(
        UsageCase{"drive_nan", 44100, 1, {"in.wav", "out.wav", "--drive", "nan"}, "--drive"},
        UsageCase{"master_minus_nan", 44100, 1, {"in.wav", "out.wav", "--master", "-nan"}, "--master"},
        // The input does not even exist: the index is checked against the module first.
        UsageCase{"param_index_beyond_module", 44100, 1, {"absent.wav", "out.wav", "--param", "9=0.5"}, "parameter 9"},
        UsageCase{"unknown_preset", 44100, 1, {"in.wav", "out.wav", "--preset", "fuzzy"}, "fuzzy"},
        UsageCase{"unknown_cabinet", 44100, 1, {"in.wav", "out.wav", "--cabinet", "2x12"}, "2x12"},
        UsageCase{"response_not_a_file", 44100, 1, {"in.wav", "out.wav", "--ir", "."}, ".: a folder, not a file"},
        UsageCase{"response_to_a_plugin_without_chunks", 44100, 1,
                  {"in.wav", "out.wav", "--ir", "in.wav", "--plugin", FAULTY_PLUGIN_PATH}, "state chunk"},
        UsageCase{"opus_at_44100", 44100, 1, {"in.wav", "out.opus"}, "44100"},
        UsageCase{"mp3_with_8_channels", 44100, 8, {"in.wav", "out.mp3"}, "8"},
        UsageCase{"mp3_at_96000", 96000, 2, {"in.wav", "out.mp3"}, "96000"},
        UsageCase{"flac_at_768000", 768000, 1, {"in.wav", "out.flac"}, "768000"},
        UsageCase{"vorbis_at_768000", 768000, 1, {"in.wav", "out.ogg"}, "768000"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(RenderEncoders, WriteFilesThatDecodeToTheInputsLayoutAndLength)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", sine(48000, 2, 440.0, 0.5, 1.0));
    for (std::string extension : {"ogg", "opus", "mp3", "flac", "aiff"}) {
        auto result = render(dir, {"in.wav", "out." + extension});
        ASSERT_EQ(result.status, 0) << extension << ": " << result.err;
        Sound rendered = readSound(dir / ("out." + extension));
        EXPECT_EQ(rendered.channels, 2) << extension;
        EXPECT_EQ(rendered.sampleRate, 48000) << extension;
        // Lossy codecs pad to whole frames (MP3: 1152 samples) and may trim a priming delay.
        EXPECT_NEAR(static_cast<double>(rendered.frames()), 48000.0, 2400.0) << extension;
        EXPECT_GT(rmsOf(rendered.samples), 1e-3) << extension;
    }
}

TEST(RenderWarnings, NonFiniteInputIsCountedAndTheLevelIsThatOfTheFiniteSamples)
{
    TempDir dir;
    Sound input = sine(48000, 1, 1000.0, 0.5, 1.0);
    // Away from the crests (every 48 samples from sample 12), so the finite peak stays 0.5.
    input.samples[100] = std::numeric_limits<float>::quiet_NaN();
    input.samples[200] = std::numeric_limits<float>::infinity();
    input.samples[300] = -std::numeric_limits<float>::infinity();
    tooltest::writeSound(dir / "in.wav", input);
    auto result = render(dir, {"in.wav", "out.wav"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Warning       the input holds 3 samples that are NaN or infinite"), std::string::npos)
        << result.out;
    double peak = 0.0, rms = 0.0;
    ASSERT_TRUE(levels(result.out, "Input level", peak, rms)) << result.out;
    EXPECT_NEAR(peak, 20.0 * std::log10(0.5), 0.006);
    EXPECT_NEAR(rms, 10.0 * std::log10(0.125), 0.01);
}

TEST(RenderWarnings, ATruncatedInputSaysHowManyFramesItsHeaderPromised)
{
    TempDir dir;
    tooltest::writeSound(dir / "in.wav", sine(48000, 1, 440.0, 0.5, 1.0));
    // The samples are the file's last 48000 * 4 bytes; cut away 30000 frames of them.
    const auto size = std::filesystem::file_size(dir / "in.wav");
    std::filesystem::resize_file(dir / "in.wav", size - 30000 * 4);
    auto result = render(dir, {"in.wav", "out.wav"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("in.wav is truncated: its header promises 48000 frames, the file holds 18000"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(readSound(dir / "out.wav").frames(), 18000u);
}

// Outside 1 kHz to 1.536 MHz the plug-in keeps running at 44.1 kHz: a file voiced for another rate,
// so none is written. Within, a rate below 8 kHz is still worth a word.
TEST(RenderWarnings, ARateThePlugInRefusesStopsTheRenderAndOneNoRecordingUsesIsNamed)
{
    TempDir dir;
    for (int rate : {1, 1536001}) {
        tooltest::writeSound(dir / "in.wav", sine(rate, 1, rate / 100.0, 0.5, 8.0 / std::min(rate, 1000)));
        auto result = render(dir, {"in.wav", "out.wav"});
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_EQ(lineCount(result.err), 1) << result.err;
        EXPECT_NE(result.err.find(" " + std::to_string(rate) + " Hz"), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    }
    tooltest::writeSound(dir / "in.wav", sine(4000, 1, 440.0, 0.5, 0.5));
    auto result = render(dir, {"in.wav", "out.wav"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Warning       the input's rate of 4000 Hz is not an audio rate"), std::string::npos)
        << result.out;
    tooltest::writeSound(dir / "in.wav", sine(44100, 1, 440.0, 0.5, 0.1));
    EXPECT_EQ(render(dir, {"in.wav", "out.wav"}).out.find("Warning"), std::string::npos);
}

} // namespace
