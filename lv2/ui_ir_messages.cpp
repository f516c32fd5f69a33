// SPDX-License-Identifier: GPL-3.0-or-later
#include "lv2/ui_ir_messages.h"

#include "lv2/port_map.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2_util.h>
#include <lv2/patch/patch.h>

#include <cstring>

namespace quarvine::lv2 {

UiImpulseResponseMessages::UiImpulseResponseMessages(const LV2_Feature* const* features)
{
    auto* map = static_cast<LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    if (!map)
        return;
    on = true;
    eventTransfer = map->map(map->handle, LV2_ATOM__eventTransfer);
    atomPath = map->map(map->handle, LV2_ATOM__Path);
    atomUrid = map->map(map->handle, LV2_ATOM__URID);
    atomObject = map->map(map->handle, LV2_ATOM__Object);
    patchSet = map->map(map->handle, LV2_PATCH__Set);
    patchGet = map->map(map->handle, LV2_PATCH__Get);
    patchProperty = map->map(map->handle, LV2_PATCH__property);
    patchValue = map->map(map->handle, LV2_PATCH__value);
    impulseResponse = map->map(map->handle, kImpulseResponseUri);
}

void UiImpulseResponseMessages::askForPath(LV2UI_Write_Function write, LV2UI_Controller controller) const
{
    if (!on)
        return;
    // An object of two properties, each a key and a URID atom.
    struct {
        LV2_Atom_Object object;
        LV2_Atom_Property_Body property;
        LV2_URID id;
        uint32_t pad;
    } get{};
    get.object.atom = {static_cast<uint32_t>(sizeof get - sizeof(LV2_Atom)), atomObject};
    get.object.body = {0, patchGet};
    get.property = {patchProperty, 0, {sizeof(LV2_URID), atomUrid}};
    get.id = impulseResponse;
    write(controller, kControlPort, sizeof get, eventTransfer, &get);
}

bool UiImpulseResponseMessages::read(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    if (!on || port != kNotifyPort || format != eventTransfer || !buffer || size < sizeof(LV2_Atom_Object))
        return false;
    const auto* object = static_cast<const LV2_Atom_Object*>(buffer);
    if (object->atom.type != atomObject || sizeof(LV2_Atom) + object->atom.size > size ||
        object->body.otype != patchSet)
        return false;
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    lv2_atom_object_get(object, patchProperty, &property, patchValue, &value, 0);
    if (!property || property->type != atomUrid ||
        reinterpret_cast<const LV2_Atom_URID*>(property)->body != impulseResponse || !value || value->type != atomPath)
        return false;
    const auto* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
    if (text + value->size > static_cast<const char*>(buffer) + size)
        return false;
    const std::string path(text, strnlen(text, value->size));
    name = path.substr(path.find_last_of('/') + 1);
    return true;
}

} // namespace quarvine::lv2
