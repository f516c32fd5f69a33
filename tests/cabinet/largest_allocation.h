// SPDX-License-Identifier: GPL-3.0-or-later
// The largest single request to operator new while a piece of code ran. The test program's
// operator new refuses (std::bad_alloc) any request over kRefusedAbove rather than let a reader
// that trusts a hostile header take gigabytes.
#pragma once

#include <cstddef>
#include <functional>

namespace cabinet_test {

inline constexpr size_t kRefusedAbove = size_t{1} << 30;

size_t largestAllocationDuring(const std::function<void()>& work);

} // namespace cabinet_test
