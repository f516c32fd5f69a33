// SPDX-License-Identifier: GPL-3.0-or-later
// A response too long for the memory left is refused with a reason, and nothing is thrown into the
// host: this program's operator new fails every request above a limit while the test wants it.
#include "effect/cabinet_library.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <utility>

namespace {
std::atomic<std::size_t> largestAllowed{static_cast<std::size_t>(-1)};
}
[[gnu::noinline]] void* operator new(std::size_t size)
{
    if (size > largestAllowed.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace quarvine {
namespace {

TEST(CabinetMemory, AResponseThatDoesNotFitIsRefusedAndTheOneBeforeStays)
{
    CabinetHandover handover;
    CabinetLibrary library(handover, 48000.0);
    ASSERT_EQ(library.setUserCabinet(UserCabinet{"small.wav", 48000.0, {0.5f, 0.25f}}), "");
    UserCabinet hall{"hall.wav", 48000.0, std::vector<float>(480000, 0.0f)};
    hall.samples[0] = 1.0f;
    largestAllowed = 1 << 20; // the 10 s response's convolver needs several MiB
    const std::string why = library.setUserCabinet(std::move(hall));
    largestAllowed = static_cast<std::size_t>(-1);
    EXPECT_NE(why.find("hall.wav: not enough memory"), std::string::npos) << why;
    ASSERT_TRUE(library.userCabinet());
    EXPECT_EQ(library.userCabinet()->name, "small.wav");
}

} // namespace
} // namespace quarvine
