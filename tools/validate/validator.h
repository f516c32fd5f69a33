// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the plug-in validator: the run context, failure reports, audio buffers and
// the checks every test applies to a plug-in's output.
#pragma once

#include "tools/common/split_mix64.h"
#include "tools/vsthost/vst_host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace validate {

// Every random choice derives from --seed, so a failing run can be repeated.
class Random {
public:
    explicit Random(std::uint64_t seed) : generator(seed) {}
    std::uint64_t next() { return generator.next(); }
    double unit() { return generator.unit(); }  // [0, 1)
    float uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(unit()); }
    std::size_t below(std::size_t n) { return n ? static_cast<std::size_t>(next() % n) : 0; }
    template <typename T>
    void shuffle(std::vector<T>& items)
    {
        for (std::size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[below(i)]);
    }

private:
    tools::SplitMix64 generator;
};

struct Settings {
    std::string path;
    std::uint64_t seed = 0x51756172ull;
    int strictness = 5;
    bool skipGui = false;
    bool fork = true;  // each test in its own process, so a crash fails one test only
    bool strict = false;  // advice fails too: the line our own plug-in is held to
    bool allProblems = false;
    unsigned timeoutSeconds = 900;  // per test, forked runs only
};

// What one test found. A fault breaks the host contract (a crash, non-finite output from finite
// input with parameters inside [0, 1], writing past a host buffer, allocating on the audio
// thread): any host may suffer it. Advice is behaviour a host survives but a user may not want
// (a long tail, a high level, block-size dependence, NaN passing through or sticking after
// extreme input): other plug-ins are not failed for it.
class Report {
public:
    void fail(const std::string& problem);
    void advise(const std::string& problem);
    void find(bool isFault, const std::string& problem) { isFault ? fail(problem) : advise(problem); }
    void note(const std::string& fact);
    void skip(const std::string& reason);
    // Names the case about to run, so a crash in it can be reported with it.
    void step(const std::string& what);

    // With a sink, every item goes there the moment it is found ('F' fault, 'A' advice, 'N' note,
    // 'S' skip, 'W' step) instead of into this report: a test process that crashes later has
    // already told its parent what it found.
    using Sink = void (*)(char tag, const std::string& text);
    void forwardTo(Sink target) { sink = target; }

    bool hasFaults() const { return !faults.empty(); }
    std::vector<std::string> faults;
    std::vector<std::string> advice;
    std::vector<std::string> notes;
    std::string skipped;
    std::string lastStep;

private:
    Sink sink = nullptr;
};

// Channel buffers for one side of processReplacing.
class Bus {
public:
    Bus(int channels, std::size_t frames);
    float** at(std::size_t offset);
    std::vector<float>& operator[](std::size_t channel) { return data[channel]; }
    const std::vector<float>& operator[](std::size_t channel) const { return data[channel]; }
    std::size_t channels() const { return data.size(); }
    std::size_t frames() const { return data.empty() ? 0 : data.front().size(); }
    void fill(float value);
    void noise(Random& random, float amplitude);

private:
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
};

// What a stretch of output holds.
struct Scan {
    std::size_t nonFinite = 0;
    std::size_t subnormal = 0;
    double peak = 0.0;  // of the finite samples
    bool finite() const { return nonFinite == 0; }
};

Scan scan(const Bus& bus, std::size_t offset, std::size_t frames);

// Above this output magnitude (+40 dBFS) a level is worth a warning; gain stages and equalisers
// legitimately go past any fixed line, so it is advice.
constexpr double kLoudOutput = 100.0;
// Input samples this large are beyond any real signal: what a plug-in does with them is advice.
constexpr float kExtremeInput = 1e30f;

class Context {
public:
    Context(const Settings& settings, const vsthost::PluginModule& module);

    const Settings& settings;
    const vsthost::PluginModule& module;
    int inputs = 0, outputs = 0, parameters = 0;
    VstInt32 flags = 0;

    // An instance opened, set to the rate and block size and switched on; null if refused.
    std::unique_ptr<vsthost::HostedPlugin> open(double sampleRate, int blockSize) const;
    std::unique_ptr<vsthost::HostedPlugin> create() const;  // entry point only
    Bus inputBus(std::size_t frames) const { return Bus(inputs, frames); }
    Bus outputBus(std::size_t frames) const { return Bus(outputs, frames); }
    // Work scaled by --strictness; `atDefault` is the amount at strictness 5.
    std::size_t scaled(std::size_t atDefault) const;
    // Set when loading the module or probing an instance left this thread flushing subnormals
    // (the mode is put back before any test runs).
    std::string flushingLeftBy;
};

std::string describe(const Scan& scan);

// The tests, in the order they run.
struct Test {
    const char* name;
    void (*run)(Context&, Random&, Report&);
};
const std::vector<Test>& allTests();

void testIdentity(Context&, Random&, Report&);
void testProcessing(Context&, Random&, Report&);
void checkFloatingPointMode(Context&, Random&, Report&);  // part of testProcessing
bool threadFlushesSubnormals();
void testAutomation(Context&, Random&, Report&);
void testParameterFuzz(Context&, Random&, Report&);
void testBadAudio(Context&, Random&, Report&);
void testLifecycle(Context&, Random&, Report&);
void testEditor(Context&, Random&, Report&);
void testRealTime(Context&, Random&, Report&);

} // namespace validate
