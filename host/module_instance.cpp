// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/module_instance.h"

void* hInstance = nullptr;
