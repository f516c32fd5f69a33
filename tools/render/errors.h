// SPDX-License-Identifier: GPL-3.0-or-later
// What can end a render early, each kind with its exit status.
#pragma once

#include <stdexcept>

namespace render {

// Files, the plug-in or the system failed: exit status 1.
struct RenderError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The command cannot work as given (found before any audio is read): exit status 2.
struct UsageError : RenderError {
    using RenderError::RenderError;
};

} // namespace render
