// SPDX-License-Identifier: GPL-3.0-or-later
// The effect's saved state as bytes: what a VST host keeps in a project or a preset for us, and
// what the renderer hands the plug-in. No plug-in format here, so that tools and tests use it too.
//
// Layout, every number little-endian:
//   "QVST"                magic
//   u16 major, u16 minor  format version; a reader refuses a major above its own, reads any minor
//   u32 byte length       of the sections that follow, so that a chunk cut between two sections
//                         is still found cut short
//   sections, each { u32 tag, u32 byte length, that many bytes }:
//     "PARM"  u32 count, count f32 values in parameter order
//     "UCAB"  f64 sample rate, u32 name bytes, the name (UTF-8), u32 sample count, f32 samples
// A reader skips sections it does not know: a later addition (the editor's zoom, say) is a new
// tag under the same major version, and older readers load the rest as before.
#pragma once

#include "effect/user_cabinet.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarvine {

inline constexpr unsigned kStateMajorVersion = 1;
inline constexpr unsigned kStateMinorVersion = 0;

// What a reader accepts, far above anything real: the counts come from a file a host kept, which
// may be damaged or made to harm.
inline constexpr unsigned kMaxSavedParameters = 256;
inline constexpr unsigned kMaxSavedNameBytes = 1024;
inline constexpr double kMinSavedResponseRate = 8000.0;
inline constexpr double kMaxSavedResponseRate = 384000.0;
inline constexpr unsigned kMaxSavedResponseSamples = 10 * 384000;

struct PluginState {
    // In index order. Fewer than the effect has: saved before the later ones existed; more: saved
    // by a later version (the reader ignores the ones it does not have).
    std::vector<float> parameters;
    std::optional<UserCabinet> userCabinet;
};

std::vector<unsigned char> encodePluginState(const PluginState& state);

// Either a state (error empty) or why the bytes were refused, in words for the player.
struct StateDecode {
    std::optional<PluginState> state;
    std::string error;
};

StateDecode decodePluginState(std::span<const unsigned char> bytes);

} // namespace quarvine
