// SPDX-License-Identifier: GPL-3.0-or-later
// Creates the effect for a host: asks the host's version first, answers null on failure.
#pragma once

#include "host/aeffect.h"

class AudioEffect;

// Makes the concrete effect of this module (defined by the effect).
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

AEffect* createPluginRecord(audioMasterCallback audioMaster);
