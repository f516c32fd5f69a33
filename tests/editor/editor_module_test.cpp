// SPDX-License-Identifier: GPL-3.0-or-later
// The editor through the built plug-in module, as a host sees it.
#include "tools/vsthost/vst_host.h"

#include <gtest/gtest.h>

namespace {

TEST(EditorModuleTest, RectKnobModeOpenIdleAndClose)
{
    auto module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH);
    ASSERT_TRUE(module);
    vsthost::HostedPlugin plugin(*module);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin.effect()->flags, 0x31); // an editor, processReplacing, state as a chunk

    ERect* rect = nullptr;
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 680);
    EXPECT_EQ(rect->bottom - rect->top, 120);

    EXPECT_EQ(plugin.dispatch(effSetEditKnobMode, 0, 2), 1);
    // An address where a window belongs: no window shows, so the host hears of a failure.
    int parent = 0;
    EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, &parent), 0);
    plugin.setParameter(1, 0.25f);
    plugin.dispatch(effEditIdle);
    // No view holds the focus yet and 'a' is no navigation key: not handled.
    EXPECT_EQ(plugin.dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    plugin.dispatch(effEditClose);
    plugin.dispatch(effSetEditKnobMode, 0, 0);
    // Opening with no parent window builds the view tree without a window.
    EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, nullptr), 1);
    plugin.dispatch(effEditIdle);
    plugin.dispatch(effEditClose);
    EXPECT_EQ(plugin.getParameter(1), 0.25f);
}

} // namespace
