// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a VST 2.4 module's editor in a window of its own on the X display and writes what the
// window shows as a binary PPM: the reference picture for checks of the same panel in other
// hosts.
// Usage: quarvine-editor-snapshot OUT.ppm [--plugin PATH] [--param INDEX=VALUE]...
#include "tools/vsthost/vst_host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

int usage(const char* program)
{
    std::fprintf(stderr, "usage: %s OUT.ppm [--plugin PATH] [--param INDEX=VALUE]...\n", program);
    return 2;
}

bool writePpm(const std::string& path, XImage* image, int width, int height)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const char rgb[3] = {static_cast<char>((pixel >> 16) & 0xff), static_cast<char>((pixel >> 8) & 0xff),
                                 static_cast<char>(pixel & 0xff)};
            out.write(rgb, 3);
        }
    out.close();
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage(argv[0]);
    const std::string output = argv[1];
    std::string pluginPath = QUARVINE_DEFAULT_PLUGIN;
    std::vector<std::pair<int, float>> parameters;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
            pluginPath = argv[++i];
        } else if (std::strcmp(argv[i], "--param") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const long index = std::strtol(argv[++i], &end, 10);
            if (*end != '=')
                return usage(argv[0]);
            parameters.emplace_back(static_cast<int>(index), std::strtof(end + 1, nullptr));
        } else {
            return usage(argv[0]);
        }
    }

    std::string error;
    auto module = vsthost::PluginModule::load(pluginPath, &error);
    if (!module) {
        std::fprintf(stderr, "quarvine-editor-snapshot: %s\n", error.c_str());
        return 1;
    }
    vsthost::HostedPlugin plugin(*module);
    if (!plugin || !(plugin.effect()->flags & effFlagsHasEditor)) {
        std::fprintf(stderr, "quarvine-editor-snapshot: %s has no editor\n", pluginPath.c_str());
        return 1;
    }
    for (auto [index, value] : parameters)
        plugin.setParameter(index, value);
    ERect* rect = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) {
        std::fprintf(stderr, "quarvine-editor-snapshot: the editor tells no size\n");
        return 1;
    }
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "quarvine-editor-snapshot: no X display\n");
        return 1;
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window parent =
        XCreateWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect, &attributes);
    XMapRaised(display, parent);
    XSync(display, False);
    int status = 1;
    if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) == 1) {
        // Enough idle passes for the window to be exposed and painted.
        for (int pass = 0; pass < 50; ++pass) {
            plugin.dispatch(effEditIdle);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (XImage* image = XGetImage(display, parent, 0, 0, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), AllPlanes, ZPixmap)) {
            status = writePpm(output, image, width, height) ? 0 : 1;
            XDestroyImage(image);
        }
        plugin.dispatch(effEditClose);
    } else {
        std::fprintf(stderr, "quarvine-editor-snapshot: the editor did not open\n");
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    return status;
}
