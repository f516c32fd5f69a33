// SPDX-License-Identifier: GPL-3.0-or-later
// The module's exported entry points. This file is linked only into the plug-in binaries.
#include "host/module_instance.h"
#include "host/plugin_main.h"

#if defined(_WIN32)
#include <windows.h>

extern "C" __declspec(dllexport) AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster)
{
    return createPluginRecord(audioMaster);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/)
{
    hInstance = instance;
    return 1;
}
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    return createPluginRecord(audioMaster);
}

// Older hosts look for "main"; a label keeps it from being the program's main function.
extern "C" __attribute__((visibility("default"))) AEffect* legacyPluginMain(audioMasterCallback audioMaster) asm("main");
extern "C" AEffect* legacyPluginMain(audioMasterCallback audioMaster)
{
    return createPluginRecord(audioMaster);
}

__attribute__((constructor)) static void storeModuleInstance()
{
    static int moduleAnchor;
    hInstance = &moduleAnchor;
}
#endif
