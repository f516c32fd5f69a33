// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_features.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>

#include <cstdarg>
#include <cstdio>

namespace lv2test {

constexpr const char* kImpulseResponse = "urn:orn:quarvine#impulse_response";

struct HostCallbacks {
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri)
    {
        return static_cast<HostFeatures*>(handle)->urid(uri);
    }
    static int vprintf(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list arguments)
    {
        char text[8192];
        const int length = std::vsnprintf(text, sizeof text, format, arguments);
        auto* host = static_cast<HostFeatures*>(handle);
        if (type == host->urid(LV2_LOG__Error))
            host->errors.push_back(text);
        else if (type == host->urid(LV2_LOG__Warning))
            host->warnings.push_back(text);
        return length;
    }
    static int printf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...)
    {
        va_list arguments;
        va_start(arguments, format);
        const int length = vprintf(handle, type, format, arguments);
        va_end(arguments);
        return length;
    }
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data)
    {
        const auto* bytes = static_cast<const char*>(data);
        static_cast<HostFeatures*>(handle)->scheduled.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
    {
        const auto* bytes = static_cast<const char*>(data);
        static_cast<std::vector<std::vector<char>>*>(handle)->emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
};

HostFeatures::HostFeatures()
{
    mapFeature = {this, HostCallbacks::map};
    log = {this, HostCallbacks::printf, HostCallbacks::vprintf};
    schedule = {this, HostCallbacks::schedule};
    mapping = {LV2_URID__map, &mapFeature};
    logging = {LV2_LOG__log, &log};
    scheduling = {LV2_WORKER__schedule, &schedule};
    list = {&scheduling, &mapping, &logging, nullptr};
}

LV2_URID HostFeatures::urid(const std::string& uri)
{
    return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
}

void HostFeatures::runWorker(LilvInstance* instance)
{
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
    std::vector<std::vector<char>> responses;
    for (const auto& work : scheduled)
        worker->work(lilv_instance_get_handle(instance), HostCallbacks::respond, &responses,
                     static_cast<uint32_t>(work.size()), work.data());
    scheduled.clear();
    for (const auto& response : responses)
        worker->work_response(lilv_instance_get_handle(instance), static_cast<uint32_t>(response.size()),
                              response.data());
}

namespace {

// A sequence holding one patch message, or none when otype is 0.
void writeMessage(AtomBuffer& buffer, HostFeatures& host, LV2_URID otype, const std::string* path)
{
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, host.map());
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer.sequence()), AtomBuffer::kCapacity);
    LV2_Atom_Forge_Frame sequence, message;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    if (otype) {
        lv2_atom_forge_frame_time(&forge, 0);
        lv2_atom_forge_object(&forge, &message, 0, otype);
        lv2_atom_forge_key(&forge, host.urid(LV2_PATCH__property));
        lv2_atom_forge_urid(&forge, host.urid(kImpulseResponse));
        if (path) {
            lv2_atom_forge_key(&forge, host.urid(LV2_PATCH__value));
            lv2_atom_forge_path(&forge, path->c_str(), static_cast<uint32_t>(path->size()));
        }
        lv2_atom_forge_pop(&forge, &message);
    }
    lv2_atom_forge_pop(&forge, &sequence);
}

} // namespace

void AtomBuffer::setPath(HostFeatures& host, const std::string& path)
{
    writeMessage(*this, host, host.urid(LV2_PATCH__Set), &path);
}

void AtomBuffer::getPath(HostFeatures& host)
{
    writeMessage(*this, host, host.urid(LV2_PATCH__Get), nullptr);
}

void AtomBuffer::clear(HostFeatures& host)
{
    writeMessage(*this, host, 0, nullptr);
}

void AtomBuffer::offer(HostFeatures& host)
{
    sequence()->atom = {kCapacity - static_cast<uint32_t>(sizeof(LV2_Atom)), host.urid(LV2_ATOM__Chunk)};
}

std::vector<std::string> AtomBuffer::pathsTold(HostFeatures& host)
{
    std::vector<std::string> paths;
    if (sequence()->atom.type != host.urid(LV2_ATOM__Sequence))
        return paths;
    LV2_ATOM_SEQUENCE_FOREACH (sequence(), event) {
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        const LV2_Atom* value = nullptr;
        if (object->body.otype == host.urid(LV2_PATCH__Set))
            lv2_atom_object_get(object, host.urid(LV2_PATCH__value), &value, 0);
        if (value && value->type == host.urid(LV2_ATOM__Path))
            paths.emplace_back(static_cast<const char*>(LV2_ATOM_BODY_CONST(value)));
    }
    return paths;
}

} // namespace lv2test
