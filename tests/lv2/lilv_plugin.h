// SPDX-License-Identifier: GPL-3.0-or-later
// The built bundle loaded with lilv, as an LV2 host loads it, and one instance of the plug-in.
#pragma once

#include <lilv/lilv.h>

#include <array>
#include <string>
#include <vector>

namespace lv2test {

// A lilv world holding only the build tree's bundle.
class BundleWorld {
public:
    BundleWorld();
    ~BundleWorld();
    BundleWorld(const BundleWorld&) = delete;
    BundleWorld& operator=(const BundleWorld&) = delete;

    LilvWorld* world() const { return lilvWorld; }
    // Null when the bundle does not describe the plug-in.
    const LilvPlugin* plugin() const { return quarvine; }
    LilvNode* uri(const char* text) const;  // the caller frees it

private:
    LilvWorld* lilvWorld = nullptr;
    const LilvPlugin* quarvine = nullptr;
};

// One instance with its control values and audio buffers connected by port index.
class Instance {
public:
    static constexpr int kControls = 7;

    Instance(const BundleWorld& world, double sampleRate, const LV2_Feature* const* features = nullptr);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    explicit operator bool() const { return instance != nullptr; }
    LilvInstance* get() const { return instance; }
    void connectAll();
    // Runs a whole signal in blocks of blockSize frames.
    std::vector<float> process(const std::vector<float>& input, int blockSize);

    std::array<float, kControls> controls{};
    float cabinet = 0.0f; // the Cabinet port's position, after the audio ports

private:
    LilvInstance* instance = nullptr;
    std::vector<float> in, out;
};

// Port values at the bundle's defaults, as a host sets them.
void setDefaults(const BundleWorld& world, Instance& lv2);

// Index of the port with this symbol, or -1.
int portIndex(const BundleWorld& world, const char* symbol);

} // namespace lv2test
