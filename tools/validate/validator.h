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
    bool verbose = false;
};

// The problems one test found; the first few are shown.
class Report {
public:
    void fail(const std::string& problem);
    void note(const std::string& fact) { notes.push_back(fact); }
    void skip(const std::string& reason) { skipped = reason; }

    bool passed() const { return problems.empty(); }
    std::size_t problemCount() const { return total; }
    std::vector<std::string> problems;
    std::vector<std::string> notes;
    std::string skipped;

private:
    std::size_t total = 0;
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

// Output a healthy effect may produce: finite and below this magnitude.
constexpr double kOutputBound = 100.0;

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
void testAutomation(Context&, Random&, Report&);
void testParameterFuzz(Context&, Random&, Report&);
void testBadAudio(Context&, Random&, Report&);
void testLifecycle(Context&, Random&, Report&);
void testEditor(Context&, Random&, Report&);
void testRealTime(Context&, Random&, Report&);

} // namespace validate
