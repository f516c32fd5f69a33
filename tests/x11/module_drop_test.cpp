// SPDX-License-Identifier: GPL-3.0-or-later
// A response file dragged from a file manager onto the loaded module's editor, the whole way: the
// XDND exchange on a server of the test's own, the cabinet moved to User where the host sees it,
// the state the host saves, and the name plate on the screen; and a file that is not a sound.
#include "effect/plugin_state.h"
#include "private_x_server.h"
#include "tests/cabinet/hand_made_files.h"
#include "tests/cabinet/temp_folder.h"
#include "tests/host/plugin_chunk.h"

#include <gtest/gtest.h>

// After the test framework: Xlib defines macros such as None and Bool.
#include "window_pixels.h"
#include "xdnd_source.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr VstInt32 kCabinet = 7;
// The name plate's line of text in the editor, which sits at the host window's origin.
constexpr int kPlateLeft = 526, kPlateTop = 47, kPlateRight = 658, kPlateBottom = 57;

class ModuleDrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (server.name.empty())
            GTEST_SKIP() << "no Xvfb could be started";
        x = XOpenDisplay(server.name.c_str());
        ASSERT_NE(x, nullptr);
        host = XCreateSimpleWindow(x, DefaultRootWindow(x), 30, 40, 680, 120, 0, 0, 0);
        XMapWindow(x, host);
        XSync(x, False);
        module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH);
        ASSERT_TRUE(module);
        plugin = std::make_unique<vsthost::HostedPlugin>(*module);
        plugin->start(48000.0, 256);
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(host))), 1);
        // The editor's window is the host's only child.
        Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(x, host, &root, &up, &children, &count);
        source.target = count == 1 ? children[0] : 0;
        if (children)
            XFree(children);
        ASSERT_NE(source.target, 0u);
        ASSERT_EQ(source.awareVersion(source.target), 5);
    }
    void TearDown() override
    {
        if (plugin)
            plugin->dispatch(effEditClose);
        plugin.reset();
        if (x)
            XCloseDisplay(x);
    }

    bool idleUntil(const std::function<bool()>& condition)
    {
        return source.idleUntil([this] { plugin->dispatch(effEditIdle); }, condition);
    }
    std::vector<uint32_t> namePlate()
    {
        return x11_test::windowPixels(x, host, kPlateLeft, kPlateTop, kPlateRight - kPlateLeft, kPlateBottom - kPlateTop);
    }
    // The plate once the editor has drawn something other than the host's black there.
    std::vector<uint32_t> changedPlate(const std::vector<uint32_t>& before)
    {
        std::vector<uint32_t> plate;
        idleUntil([&] {
            plate = namePlate();
            return plate != before && std::any_of(plate.begin(), plate.end(), [](uint32_t p) { return p != 0; });
        });
        return plate;
    }
    // Drags a file of the folder over the editor and drops it; true once the source hears that
    // the drop is done. The name as a file manager sends it: percent-encoded.
    bool dropFile(const std::string& encodedName)
    {
        const size_t statuses = source.statuses.size(), finishes = source.finishes.size();
        source.uriList = "file://" + cabinet_test::utf8(folder.path) + "/" + encodedName + "\r\n";
        source.enter({"text/uri-list"});
        source.moveTo(300, 60);
        if (!idleUntil([&] { return source.statuses.size() > statuses; }))
            return false;
        source.drop();
        return idleUntil([&] { return source.finishes.size() > finishes; });
    }

    PrivateXServer server{"800x200x24", false};
    DisplayVariable display{server.name.c_str()}; // the plug-in connects to the server it names
    x11_test::XdndSource source{server.name};
    cabinet_test::TempFolder folder;
    Display* x = nullptr;
    Window host = 0;
    std::unique_ptr<vsthost::PluginModule> module;
    std::unique_ptr<vsthost::HostedPlugin> plugin;
};

TEST_F(ModuleDrop, AWavBecomesTheUserCabinetWhereHostStateAndPlateShowItAndTextIsRefused)
{
    // 0.5, -0.25 and 0.125 in 16 bits.
    cabinet_test::writeBytes(folder / "my cab.wav", cabinet_test::pcm16MonoWav(48000, {0x4000, -0x2000, 0x1000}));
    cabinet_test::writeBytes(folder / "notes.txt", {'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'u', 'n', 'd', '\n'});
    ASSERT_NE(plugin->getParameter(kCabinet), 1.0f) << "already at User";
    const std::vector<uint32_t> cabinetShown = changedPlate({});
    plugin->clearCalls();

    ASSERT_TRUE(dropFile("my%20cab.wav"));
    EXPECT_EQ(source.finishes.back().data.l[1] & 1, 1) << "the drop was not taken";
    const auto automated = plugin->callsWith(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, kCabinet);
    EXPECT_EQ(automated[0].opt, 1.0f);
    EXPECT_EQ(plugin->getParameter(kCabinet), 1.0f);
    const quarvine::StateDecode saved = quarvine::decodePluginState(chunkOf(*plugin));
    ASSERT_TRUE(saved.state) << saved.error;
    EXPECT_EQ(saved.state->userCabinet, (quarvine::UserCabinet{"my cab.wav", 48000.0, {0.5f, -0.25f, 0.125f}}));
    const std::vector<uint32_t> nameShown = changedPlate(cabinetShown);
    EXPECT_TRUE(nameShown != cabinetShown) << "the plate still shows the cabinet from before";

    // The host moves the cabinet off User; a file that is not a sound leaves it there.
    plugin->setParameter(kCabinet, 0.5f);
    const float chosen = plugin->getParameter(kCabinet);
    ASSERT_NE(chosen, 1.0f);
    const std::vector<uint32_t> chosenShown = changedPlate(nameShown);
    plugin->clearCalls();
    ASSERT_TRUE(dropFile("notes.txt"));
    EXPECT_EQ(plugin->getParameter(kCabinet), chosen);
    EXPECT_TRUE(plugin->callsWith(audioMasterAutomate).empty());
    EXPECT_TRUE(changedPlate(chosenShown) != chosenShown) << "the refusal is not shown";
}

} // namespace
