// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a VST 2.4 module's editor in a window of its own on the X display and writes what the
// window shows as a binary PPM: the reference picture for checks of the same panel in other
// hosts. --ir hands the plug-in an impulse response as a project would, for the name plate.
// Usage: quarvine-editor-snapshot OUT.ppm [--plugin PATH] [--param INDEX=VALUE]... [--ir FILE]
#include "cabinet/ir_file.h"
#include "tools/cabinet_handover/cabinet_handover.h"
#include "tools/vsthost/vst_host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
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
    std::fprintf(stderr, "usage: %s OUT.ppm [--plugin PATH] [--param INDEX=VALUE]... [--ir FILE]\n", program);
    return 2;
}

// The window's pixels, top row first; empty when it cannot be read.
std::vector<unsigned long> capture(Display* display, Window window, int width, int height)
{
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return pixels;
}

bool writePpm(const std::string& path, const std::vector<unsigned long>& pixels, int width, int height)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (const unsigned long pixel : pixels) {
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
    std::string irPath;
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
        } else if (std::strcmp(argv[i], "--ir") == 0 && i + 1 < argc) {
            irPath = argv[++i];
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
    if (!irPath.empty()) {
        quarvine::IrLoad load = quarvine::readImpulseResponseFile(irPath);
        const std::string refusal =
            load.ir ? tools::handOverUserCabinet(plugin, {load.ir->name, load.ir->sampleRate, std::move(load.ir->samples)})
                    : load.error;
        if (!refusal.empty()) {
            std::fprintf(stderr, "quarvine-editor-snapshot: %s: %s\n", irPath.c_str(), refusal.c_str());
            return 1;
        }
    }
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
    // Black until the editor paints over it.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    const Window parent =
        XCreateWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display, parent);
    XSync(display, False);
    int status = 1;
    if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) == 1) {
        // Idle passes until the editor has painted: the window no longer one flat colour, and
        // the same on two passes in a row. A loaded machine may take a while; at most 20 s.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::vector<unsigned long> previous, shown;
        bool painted = false;
        while (!painted && std::chrono::steady_clock::now() < deadline) {
            plugin.dispatch(effEditIdle);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            shown = capture(display, parent, width, height);
            painted = !shown.empty() && shown == previous &&
                      std::any_of(shown.begin(), shown.end(), [&](unsigned long p) { return p != shown[0]; });
            previous = std::move(shown);
        }
        if (painted)
            status = writePpm(output, previous, width, height) ? 0 : 1;
        else
            std::fprintf(stderr, "quarvine-editor-snapshot: the editor painted nothing within 20 s\n");
        plugin.dispatch(effEditClose);
    } else {
        std::fprintf(stderr, "quarvine-editor-snapshot: the editor did not open\n");
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    return status;
}
