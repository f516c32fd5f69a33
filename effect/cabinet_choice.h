// SPDX-License-Identifier: GPL-3.0-or-later
// The Cabinet parameter: no cabinet (the default: the amplifier's output as it always was), the
// built-in cabinets in their order, and the player's own impulse response.
#pragma once

namespace quarvine {

inline constexpr int kBuiltInCabinets = 4;
inline constexpr int kCabinetPositions = kBuiltInCabinets + 2;
inline constexpr int kUserCabinetPosition = kCabinetPositions - 1;

// As a player reads them (editor, LV2 hosts, the renderer's --cabinet takes the short names).
inline constexpr const char* kCabinetNames[kCabinetPositions] = {
    "Off", "1x10 open back", "1x12 open back", "4x12 closed back", "4x12 closed back, off axis", "User IR"};
// A VST host's display holds eight characters; "Ang" is the angled (off-axis) microphone.
inline constexpr const char* kCabinetDisplayTexts[kCabinetPositions] = {"Off",      "1x10 Opn", "1x12 Opn",
                                                                       "4x12 Cls", "4x12 Ang", "User"};
// For the command line and presets: one word each.
inline constexpr const char* kCabinetKeys[kCabinetPositions] = {"off", "1x10", "1x12", "4x12", "4x12-angled", "user"};

// Equal sixths of the range; the editor and hosts set position / (positions - 1). Compared, not
// converted, so that values far off the range stay at its ends.
inline int cabinetPosition(float value)
{
    int position = 0;
    while (position < kCabinetPositions - 1 && !(value * kCabinetPositions < static_cast<float>(position + 1)))
        ++position;
    return position;
}

inline float cabinetValue(int position)
{
    return static_cast<float>(position) / static_cast<float>(kCabinetPositions - 1);
}

} // namespace quarvine
