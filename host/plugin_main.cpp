// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/plugin_main.h"

#include "host/audioeffect.h"

AEffect* createPluginRecord(audioMasterCallback audioMaster)
{
    // A host that cannot answer the version query gets nothing.
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    if (!effect)
        return nullptr;
    return effect->getAeffect();
}
