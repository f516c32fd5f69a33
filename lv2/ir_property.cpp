// SPDX-License-Identifier: GPL-3.0-or-later
#include "lv2/ir_property.h"

#include "cabinet/ir_file.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2_util.h>
#include <lv2/patch/patch.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace quarvine::lv2 {

void ImpulseResponseProperty::setUp(const LV2_Feature* const* features)
{
    auto* map = static_cast<LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    lv2_log_logger_init(&logger, map, static_cast<LV2_Log_Log*>(lv2_features_data(features, LV2_LOG__log)));
    instantiationMapPath = static_cast<const LV2_State_Map_Path*>(lv2_features_data(features, LV2_STATE__mapPath));
    instantiationFreePath = static_cast<const LV2_State_Free_Path*>(lv2_features_data(features, LV2_STATE__freePath));
    if (!map)
        return;
    on = true;
    lv2_atom_forge_init(&forge, map);
    uris.atomPath = map->map(map->handle, LV2_ATOM__Path);
    uris.atomUrid = map->map(map->handle, LV2_ATOM__URID);
    uris.patchSet = map->map(map->handle, LV2_PATCH__Set);
    uris.patchGet = map->map(map->handle, LV2_PATCH__Get);
    uris.patchProperty = map->map(map->handle, LV2_PATCH__property);
    uris.patchValue = map->map(map->handle, LV2_PATCH__value);
    uris.impulseResponse = map->map(map->handle, kImpulseResponseUri);
    schedule = static_cast<const LV2_Worker_Schedule*>(lv2_features_data(features, LV2_WORKER__schedule));
    if (!schedule)
        lv2_log_warning(&logger, "Quarvine: the host offers no worker (work:schedule), so impulse-response "
                                 "files cannot be loaded while playing\n");
}

void ImpulseResponseProperty::run()
{
    if (!on)
        return;
    // The host sets the notify atom's size to the buffer's capacity; the forge writes the sequence
    // over it.
    LV2_Atom_Forge_Frame sequence{};
    bool telling = false;
    if (notify) {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(notify), notify->atom.size);
        telling = lv2_atom_forge_sequence_head(&forge, &sequence, 0) != 0;
    }
    if (control && control->atom.type == forge.Sequence) {
        LV2_ATOM_SEQUENCE_FOREACH (control, event) {
            if (lv2_atom_forge_is_object_type(&forge, event->body.type))
                readMessage(*reinterpret_cast<const LV2_Atom_Object*>(&event->body));
        }
    }
    if (telling) {
        if (pathToTell)
            tellPath();
        pathToTell = false;
        lv2_atom_forge_pop(&forge, &sequence);
    }
}

void ImpulseResponseProperty::readMessage(const LV2_Atom_Object& message)
{
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    lv2_atom_object_get(&message, uris.patchProperty, &property, uris.patchValue, &value, 0);
    const bool ours = property && property->type == uris.atomUrid &&
                      reinterpret_cast<const LV2_Atom_URID*>(property)->body == uris.impulseResponse;
    if (message.body.otype == uris.patchGet) {
        // No property asks for them all.
        pathToTell = pathToTell || !property || ours;
        return;
    }
    if (message.body.otype != uris.patchSet || !ours || !value || value->type != uris.atomPath)
        return;
    // A path too long, or no worker, or a full queue: the host is told the path still playing.
    const bool scheduled = schedule && value->size > 0 && value->size <= kMaxPathBytes &&
                           schedule->schedule_work(schedule->handle, value->size, LV2_ATOM_BODY_CONST(value)) ==
                               LV2_WORKER_SUCCESS;
    pathToTell = pathToTell || !scheduled;
}

// A patch:Set of the path playing; nothing while none is. A forge out of room writes no more.
void ImpulseResponseProperty::tellPath()
{
    if (playingLength == 0)
        return;
    LV2_Atom_Forge_Frame message{};
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &message, 0, uris.patchSet);
    lv2_atom_forge_key(&forge, uris.patchProperty);
    lv2_atom_forge_urid(&forge, uris.impulseResponse);
    lv2_atom_forge_key(&forge, uris.patchValue);
    lv2_atom_forge_path(&forge, playingPath.data(), static_cast<uint32_t>(playingLength));
    lv2_atom_forge_pop(&forge, &message);
}

LV2_Worker_Status ImpulseResponseProperty::work(AmpCore& amp, LV2_Worker_Respond_Function respond,
                                                LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
{
    const auto* text = static_cast<const char*>(data);
    const std::string path(text, strnlen(text, size));
    // Refused: an empty response, and the host hears of the path still playing.
    if (!load(amp, path))
        return respond(handle, 1, "");
    return respond(handle, static_cast<uint32_t>(path.size() + 1), path.c_str());
}

LV2_Worker_Status ImpulseResponseProperty::workResponse(uint32_t size, const void* data)
{
    const auto* text = static_cast<const char*>(data);
    if (const std::size_t length = strnlen(text, size))
        setPlayingPath(text, length);
    pathToTell = true;
    return LV2_WORKER_SUCCESS;
}

bool ImpulseResponseProperty::load(AmpCore& amp, const std::string& path)
{
    std::string error;
    if (path.size() >= kMaxPathBytes) {
        error = "the path is too long";
    } else {
        IrLoad loaded = readImpulseResponseFile(path);
        if (loaded.ir) {
            amp.cabinets().setUserCabinet(
                UserCabinet{std::move(loaded.ir->name), loaded.ir->sampleRate, std::move(loaded.ir->samples)});
            const std::lock_guard<std::mutex> guard(loadedLock);
            loadedPath = path;
            return true;
        }
        error = std::move(loaded.error);
    }
    lv2_log_error(&logger, "Quarvine: cannot load the impulse response %s: %s\n", path.c_str(), error.c_str());
    amp.cabinets().refuse(error);
    return false;
}

void ImpulseResponseProperty::setPlayingPath(const char* path, std::size_t length)
{
    playingLength = std::min(length, kMaxPathBytes - 1);
    std::memcpy(playingPath.data(), path, playingLength);
    playingPath[playingLength] = '\0';
}

LV2_State_Status ImpulseResponseProperty::save(LV2_State_Store_Function store, LV2_State_Handle handle,
                                               const LV2_Feature* const* features)
{
    std::string path;
    {
        const std::lock_guard<std::mutex> guard(loadedLock);
        path = loadedPath;
    }
    if (!on || path.empty())
        return LV2_STATE_SUCCESS;
    const LV2_State_Map_Path* map = mapPath(features);
    char* abstract = map ? map->abstract_path(map->handle, path.c_str()) : nullptr;
    const char* stored = abstract ? abstract : path.c_str();
    const LV2_State_Status status = store(handle, uris.impulseResponse, stored, std::strlen(stored) + 1,
                                          uris.atomPath, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    freePath(features, abstract);
    return status;
}

LV2_State_Status ImpulseResponseProperty::restore(AmpCore& amp, LV2_State_Retrieve_Function retrieve,
                                                  LV2_State_Handle handle, const LV2_Feature* const* features)
{
    if (!on)
        return LV2_STATE_SUCCESS;
    std::size_t size = 0;
    uint32_t type = 0, flags = 0;
    const auto* stored = static_cast<const char*>(retrieve(handle, uris.impulseResponse, &size, &type, &flags));
    if (!stored || type != uris.atomPath || strnlen(stored, size) == 0) {
        const std::lock_guard<std::mutex> guard(loadedLock);
        if (!loadedPath.empty())
            amp.cabinets().setUserCabinet(std::nullopt);
        loadedPath.clear();
        playingLength = 0;
        return LV2_STATE_SUCCESS;
    }
    const std::string abstract(stored, strnlen(stored, size));
    const LV2_State_Map_Path* map = mapPath(features);
    char* absolute = map ? map->absolute_path(map->handle, abstract.c_str()) : nullptr;
    const std::string path = absolute ? absolute : abstract;
    freePath(features, absolute);
    if (load(amp, path))
        setPlayingPath(path.c_str(), path.size());
    pathToTell = true;
    return LV2_STATE_SUCCESS;
}

const LV2_State_Map_Path* ImpulseResponseProperty::mapPath(const LV2_Feature* const* features) const
{
    const auto* given = static_cast<const LV2_State_Map_Path*>(lv2_features_data(features, LV2_STATE__mapPath));
    return given ? given : instantiationMapPath;
}

void ImpulseResponseProperty::freePath(const LV2_Feature* const* features, char* path) const
{
    if (!path)
        return;
    const auto* given = static_cast<const LV2_State_Free_Path*>(lv2_features_data(features, LV2_STATE__freePath));
    if (const LV2_State_Free_Path* host = given ? given : instantiationFreePath)
        host->free_path(host->handle, path);
    else
        std::free(path); // what the state extension asks for without state:freePath
}

} // namespace quarvine::lv2
