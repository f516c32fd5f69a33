// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/parameter_display.h"

#include <cstdio>

std::string knobDisplay(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%2.3f", static_cast<double>(value) * 10.0);
    return text;
}
