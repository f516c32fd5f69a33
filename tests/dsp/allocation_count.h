// SPDX-License-Identifier: GPL-3.0-or-later
// How many times this test program has allocated so far (operator new is counted).
#pragma once

long allocationCount();
