// SPDX-License-Identifier: GPL-3.0-or-later
// Checks on where the output goes, made before any audio is read.
#pragma once

#include <string>

namespace render {

// The file to write for OUT: OUT itself or, when it is a symbolic link, the end of its chain (each
// relative link read against its own folder), so that links stay links. RenderError unless that
// file may be written and replaced: its folder writable by this user, and the file, if there is
// one, a regular file this user may write. A link to nothing is refused as cp refuses it, rather
// than creating a file wherever it happens to point.
std::string outputTarget(const std::string& out);

// UsageError when `output` is the input file itself: the same name, a symbolic link to it or a
// hard link (the same device and inode).
void refuseToReplaceInput(const std::string& input, const std::string& output);

} // namespace render
