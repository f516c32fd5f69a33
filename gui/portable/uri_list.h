// SPDX-License-Identifier: GPL-3.0-or-later
// The local files named by a text/uri-list, the form in which X drags carry files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace gui::portable {

// The paths of the list's file URIs on this machine (no host, "localhost" or hostName),
// percent-decoded, in the list's order. Comment lines, other schemes, other hosts and URIs that
// do not decode to a usable path are left out.
std::vector<std::string> localFilePaths(std::string_view uriList, std::string_view hostName);

} // namespace gui::portable
