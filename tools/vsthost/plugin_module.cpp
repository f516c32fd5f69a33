// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vsthost {

std::unique_ptr<PluginModule> PluginModule::load(const std::string& path, std::string* error)
{
    std::unique_ptr<PluginModule> module(new PluginModule);
    module->modulePath = path;
#if defined(_WIN32)
    HMODULE handle = LoadLibraryA(path.c_str());
    if (!handle) {
        if (error)
            *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    module->handle = handle;
    auto entry = reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(GetProcAddress(handle, "VSTPluginMain")));
    if (!entry)
        entry = reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(GetProcAddress(handle, "main")));
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error)
            *error = dlerror();
        return nullptr;
    }
    module->handle = handle;
    auto entry = reinterpret_cast<PluginEntry>(dlsym(handle, "VSTPluginMain"));
    if (!entry)
        entry = reinterpret_cast<PluginEntry>(dlsym(handle, "main"));
#endif
    if (!entry) {
        if (error)
            *error = path + " has no VSTPluginMain or main entry point";
        return nullptr;
    }
    module->entryPoint = entry;
    return module;
}

PluginModule::~PluginModule()
{
    if (!handle)
        return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

} // namespace vsthost
