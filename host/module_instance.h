// SPDX-License-Identifier: GPL-3.0-or-later
// The module's instance handle, stored by the module entry on load; the GUI layer uses it to
// register its window class and load bitmap resources.
#pragma once

extern void* hInstance;
