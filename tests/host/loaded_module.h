// SPDX-License-Identifier: GPL-3.0-or-later
// The real plug-in module, loaded once for a test suite, as a host loads it.
#pragma once

#include "vst_host.h"

#include <gtest/gtest.h>

class LoadedModule : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH, &error).release();
        ASSERT_NE(module, nullptr) << error;
    }
    static void TearDownTestSuite()
    {
        delete module;
        module = nullptr;
    }
    static inline vsthost::PluginModule* module = nullptr;
};
