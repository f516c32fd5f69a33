// SPDX-License-Identifier: GPL-3.0-or-later
// How a knob's value reads: ten times the 0..1 value with three decimals ("7.350"). The VST
// effect answers its host with it, and the panel shows it where the host has no display of its own.
#pragma once

#include <string>

std::string knobDisplay(float value);
