// SPDX-License-Identifier: GPL-3.0-or-later
// The output format, chosen by OUT's extension, and whether it can hold the render: checked
// before any audio is read, so a long render never ends in a refusal.
#pragma once

#include <string>

namespace render {

// The libsndfile format for an output name, from its extension; UsageError for unknown ones.
int formatForPath(const std::string& path);

// UsageError unless `path`'s format can be written at this rate and channel count.
void checkOutputFormat(const std::string& path, int sampleRate, int channels);

} // namespace render
