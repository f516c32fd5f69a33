// SPDX-License-Identifier: GPL-3.0-or-later
// Checks on where the output goes, made before any audio is read.
#pragma once

#include <string>

namespace render {

// RenderError unless a file could be created beside `path` and renamed over it.
void checkWritable(const std::string& path);

// UsageError when `output` is the input file itself: the same name, a symbolic link to it or a
// hard link (the same device and inode).
void refuseToReplaceInput(const std::string& input, const std::string& output);

} // namespace render
