// SPDX-License-Identifier: GPL-3.0-or-later
#include "largest_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<size_t> largest{0};
}

void* operator new(size_t size)
{
    size_t seen = largest.load();
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
    if (size > cabinet_test::kRefusedAbove)
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

namespace cabinet_test {

size_t largestAllocationDuring(const std::function<void()>& work)
{
    largest = 0;
    work();
    return largest.load();
}

} // namespace cabinet_test
