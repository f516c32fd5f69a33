// SPDX-License-Identifier: GPL-3.0-or-later
// A short guitar phrase made by plucked-string synthesis, so the renderer has something to play
// without an input file: single notes, strummed open chords and palm-muted chugs.
#pragma once

#include <vector>

namespace render {

constexpr int kDemoSampleRate = 44100;
constexpr double kDemoSeconds = 8.0;

// The dry phrase, mono at kDemoSampleRate; the same samples on every call and every run.
std::vector<float> demoPhrase();

} // namespace render
