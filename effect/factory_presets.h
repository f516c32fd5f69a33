// SPDX-License-Identifier: GPL-3.0-or-later
// The settings a guitarist reaches for first, each with a built-in cabinet: the LV2 bundle lists
// them as presets, the renderer plays them by name (--preset), the README shows them. The VST
// module keeps no programs: a VST host saves and recalls settings itself.
#pragma once

#include "effect/cabinet_choice.h"
#include "effect/parameter_table.h"

#include <array>
#include <string_view>

namespace quarvine {

struct FactoryPreset {
    std::string_view key;  // the renderer's --preset name and the LV2 preset's URI fragment
    std::string_view name; // as hosts list it
    // Master, Drive, Treble, Middle, Bass, Volume on the knobs' 0..1 travel
    std::array<float, 6> knobs;
    int cabinet; // position of the Cabinet parameter
};

// Drive sets how hard the preamp is pushed (a cubic taper: below 0.1 it stays nearly clean),
// Master the output stage and most of the level; Volume then brings each to about -20 dBFS RMS on
// the demo phrase (the clean ones a little under), so that stepping through them keeps the level.
inline constexpr FactoryPreset kFactoryPresets[] = {
    {"clean", "Clean", {0.90f, 0.035f, 0.60f, 0.50f, 0.50f, 1.00f}, 2},
    {"jazz", "Jazz", {0.90f, 0.03f, 0.30f, 0.55f, 0.60f, 1.00f}, 2},
    {"edge", "Edge of break-up", {0.80f, 0.08f, 0.55f, 0.55f, 0.50f, 1.00f}, 2},
    {"blues", "Blues", {0.70f, 0.12f, 0.45f, 0.65f, 0.45f, 1.00f}, 1},
    {"crunch", "Crunch", {0.65f, 0.25f, 0.60f, 0.60f, 0.50f, 0.70f}, 3},
    {"rhythm", "Heavy rhythm", {0.70f, 0.75f, 0.60f, 0.35f, 0.65f, 0.52f}, 3},
    {"lead", "Lead", {0.80f, 0.85f, 0.60f, 0.70f, 0.50f, 0.38f}, 4},
};

// A preset sets every parameter but Oversampling: the quality a player chose for their machine stays.
inline constexpr bool presetSets(int index)
{
    return index != kOversampling;
}

inline float presetValue(const FactoryPreset& preset, int index)
{
    return index == kCabinet ? cabinetValue(preset.cabinet) : index < 6 ? preset.knobs[index] : kDefaultValues[index];
}

} // namespace quarvine
