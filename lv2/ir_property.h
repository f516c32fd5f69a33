// SPDX-License-Identifier: GPL-3.0-or-later
// The player's impulse response as an LV2 file property: patch:Set and patch:Get arrive on the
// control port, the file is read by the host's worker, the path is told back on the notify port
// and kept in the host's saved state. The cabinet itself lives in the amplifier core's library;
// this class keeps the path and talks LV2.
#pragma once

#include "effect/amp_core.h"
#include "lv2/port_map.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/log/logger.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace quarvine::lv2 {

class ImpulseResponseProperty {
public:
    // Instantiation. Without urid:map the property is off (the atom ports are ignored); without
    // work:schedule a patch:Set is refused, which the log is told now.
    void setUp(const LV2_Feature* const* features);

    void connectControl(const LV2_Atom_Sequence* port) { control = port; }
    void connectNotify(LV2_Atom_Sequence* port) { notify = port; }

    // Audio thread: reads the control port's messages, schedules loads, writes the notify port.
    // Allocates nothing, takes no lock, makes no system call.
    void run();

    // The worker: loads the file a patch:Set named; the response is the path now playing.
    LV2_Worker_Status work(AmpCore& amp, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           uint32_t size, const void* data);
    // Audio thread, after run: the next run tells the host the path.
    LV2_Worker_Status workResponse(uint32_t size, const void* data);

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle, const LV2_Feature* const* features);
    // Loads the saved file at once (restore is never concurrent with run); a state without one
    // leaves no response loaded.
    LV2_State_Status restore(AmpCore& amp, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features);

private:
    struct Uris {
        LV2_URID atomPath = 0, atomUrid = 0, patchSet = 0, patchGet = 0, patchProperty = 0, patchValue = 0,
                 impulseResponse = 0;
    };

    // Off the audio thread: reads the file into the core's library, or logs why not and keeps the
    // cabinet playing.
    bool load(AmpCore& amp, const std::string& path);
    void setPlayingPath(const char* path, std::size_t length);
    void readMessage(const LV2_Atom_Object& message);
    void tellPath();
    // The host's state:mapPath and state:freePath, from the call's features or else instantiation's.
    const LV2_State_Map_Path* mapPath(const LV2_Feature* const* features) const;
    void freePath(const LV2_Feature* const* features, char* path) const;

    bool on = false; // urid:map was given
    Uris uris;
    LV2_Atom_Forge forge{};
    LV2_Log_Logger logger{};
    const LV2_Worker_Schedule* schedule = nullptr;
    const LV2_State_Map_Path* instantiationMapPath = nullptr;
    const LV2_State_Free_Path* instantiationFreePath = nullptr;

    const LV2_Atom_Sequence* control = nullptr;
    LV2_Atom_Sequence* notify = nullptr;

    // The audio thread's copy of the path playing, for patch:Get; run and workResponse only (and
    // restore, which nothing runs beside).
    std::array<char, kMaxPathBytes> playingPath{};
    std::size_t playingLength = 0;
    bool pathToTell = false;

    // The path loaded, as save stores it: written by the worker or restore, read by save, which
    // may run beside the worker.
    mutable std::mutex loadedLock;
    std::string loadedPath;
};

} // namespace quarvine::lv2
