// SPDX-License-Identifier: GPL-3.0-or-later
// The player's response is taken or refused as a whole: a refused one leaves the response loaded
// before and says why.
#include "effect/cabinet_library.h"

#include <gtest/gtest.h>

namespace quarvine {
namespace {

TEST(CabinetLibrary, ARefusedResponseKeepsTheOneBeforeAndSaysWhy)
{
    CabinetHandover handover;
    CabinetLibrary library(handover, 48000.0);
    EXPECT_EQ(library.setUserCabinet(UserCabinet{"room.wav", 48000.0, {0.5f, 0.25f}}), "");
    EXPECT_EQ(library.status(), "room.wav");
    // One tap of 1e-5 would need +100 dB to reach the built-ins' loudness.
    const std::string why = library.setUserCabinet(UserCabinet{"faint.wav", 48000.0, {1e-5f}});
    EXPECT_NE(why.find("faint.wav"), std::string::npos);
    EXPECT_EQ(library.status(), why);
    ASSERT_TRUE(library.userCabinet());
    EXPECT_EQ(library.userCabinet()->name, "room.wav");
}

} // namespace
} // namespace quarvine
