// SPDX-License-Identifier: GPL-3.0-or-later
// What an LV2 host gives a plug-in for its file property: URIDs, a log that keeps the messages, a
// worker the test runs by hand (the work, then the responses, as a host's two threads would), and
// atom sequences carrying patch messages.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lv2test {

class HostFeatures {
public:
    HostFeatures();
    HostFeatures(const HostFeatures&) = delete;
    HostFeatures& operator=(const HostFeatures&) = delete;

    // All of them, or all but the worker.
    const LV2_Feature* const* features(bool withWorker = true) const
    {
        return withWorker ? list.data() : list.data() + 1;
    }
    LV2_URID_Map* map() { return &mapFeature; }
    LV2_URID urid(const std::string& uri);

    // The scheduled work done and its responses delivered.
    void runWorker(LilvInstance* instance);

    std::vector<std::string> errors, warnings;

private:
    std::map<std::string, LV2_URID> ids;
    std::vector<std::vector<char>> scheduled;
    LV2_URID_Map mapFeature{};
    LV2_Log_Log log{};
    LV2_Worker_Schedule schedule{};
    LV2_Feature mapping{}, logging{}, scheduling{};
    std::vector<const LV2_Feature*> list;
    friend struct HostCallbacks;
};

// An atom port's buffer: an input sequence the test fills, or an output one the plug-in writes.
class AtomBuffer {
public:
    static constexpr uint32_t kCapacity = 16384;

    LV2_Atom_Sequence* sequence() { return reinterpret_cast<LV2_Atom_Sequence*>(words.data()); }
    // Input: a sequence with one patch:Set of the impulse response to path, or one patch:Get.
    void setPath(HostFeatures& host, const std::string& path);
    void getPath(HostFeatures& host);
    void clear(HostFeatures& host);
    // Output: the whole buffer offered to the plug-in, as a host does before each run.
    void offer(HostFeatures& host);
    // The paths of the patch:Set messages the plug-in wrote.
    std::vector<std::string> pathsTold(HostFeatures& host);

private:
    std::vector<uint64_t> words = std::vector<uint64_t>(kCapacity / sizeof(uint64_t));
};

} // namespace lv2test
