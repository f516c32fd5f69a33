// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 ports: the first seven parameters' control ports at the parameters' own indices, the
// audio input and output, then the Cabinet port (ports keep their index from release to release:
// a port added later goes after the others). Knob ports carry the parameter value itself (0 to 1);
// the switch ports carry their position (Oversampling 0, 1, 2 for 2x, 4x, 8x; Cabinet 0 for none,
// then the cabinets in order), the steps the VST parameters announce on their 0..1 range. Last come
// the atom ports that carry the impulse-response file property (patch messages) each way.
#pragma once

#include "effect/cabinet_choice.h"
#include "effect/oversampling_choice.h"
#include "effect/parameter_table.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace quarvine::lv2 {

inline constexpr const char* kPluginUri = "urn:orn:quarvine";
inline constexpr const char* kUiUri = "urn:orn:quarvine#ui";
// The player's impulse response, a file property a host sets by patch:Set and saves in its state.
inline constexpr const char* kImpulseResponseUri = "urn:orn:quarvine#impulse_response";

inline constexpr uint32_t kAudioInPort = 7;
inline constexpr uint32_t kAudioOutPort = 8;
inline constexpr uint32_t kCabinetPort = 9;
inline constexpr uint32_t kControlPort = 10;
inline constexpr uint32_t kNotifyPort = 11;
inline constexpr uint32_t kNumPorts = 12;
inline constexpr int kNoParameter = -1;
// The longest impulse-response path, with its terminating null: longer ones are refused, so that
// the audio thread can keep the path playing in a buffer of this size.
inline constexpr std::size_t kMaxPathBytes = 4096;

inline constexpr uint32_t portOfParameter(int index)
{
    return index == kCabinet ? kCabinetPort : static_cast<uint32_t>(index);
}

// The parameter a control port carries, or kNoParameter.
inline constexpr int parameterOfPort(uint32_t port)
{
    return port < kAudioInPort ? static_cast<int>(port) : port == kCabinetPort ? kCabinet : kNoParameter;
}

inline constexpr const char* kPortSymbols[kNumParameters] = {"master", "drive",        "treble", "middle",
                                                            "bass",   "volume",       "oversampling",
                                                            "cabinet"};

// How many positions a switch parameter has; 0 for a knob.
inline constexpr int switchPositions(int index)
{
    return index == kOversampling ? kOversamplingPositions : index == kCabinet ? kCabinetPositions : 0;
}

inline float portMinimum(int)
{
    return 0.0f;
}

inline float portMaximum(int index)
{
    return switchPositions(index) ? static_cast<float>(switchPositions(index) - 1) : 1.0f;
}

// A host may send any value: it counts clamped to the port's declared range. A non-integer
// position counts as the nearest one, decided by fixed thresholds halfway between the positions
// so that no rounding mode moves it. A non-finite value passes through, for the core to ignore as
// the VST effect does.
inline float parameterFromPort(int index, float portValue)
{
    if (!std::isfinite(portValue))
        return portValue;
    const float value = std::fmin(std::fmax(portValue, portMinimum(index)), portMaximum(index));
    const int positions = switchPositions(index);
    if (!positions)
        return value;
    int position = 0;
    while (position < positions - 1 && !(value < static_cast<float>(position) + 0.5f))
        ++position;
    return static_cast<float>(position) / static_cast<float>(positions - 1);
}

inline float portFromParameter(int index, float parameterValue)
{
    if (index == kOversampling)
        return static_cast<float>(oversamplingPosition(parameterValue));
    if (index == kCabinet)
        return static_cast<float>(cabinetPosition(parameterValue));
    return parameterValue;
}

inline float portDefault(int index)
{
    return portFromParameter(index, kDefaultValues[index]);
}

} // namespace quarvine::lv2
