// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 ports: one control port per parameter at the parameter's own index, then the audio
// input and output. Knob ports carry the parameter value itself (0 to 1); the Oversampling port
// carries its switch position (0, 1, 2 for 2x, 4x, 8x), the steps the VST parameter announces at
// the normalised values 0, 0.5 and 1.
#pragma once

#include "effect/oversampling_choice.h"
#include "effect/parameter_table.h"

#include <cmath>
#include <cstdint>

namespace quarvine::lv2 {

inline constexpr const char* kPluginUri = "urn:orn:quarvine";
inline constexpr const char* kUiUri = "urn:orn:quarvine#ui";

inline constexpr uint32_t kAudioInPort = kNumParameters;
inline constexpr uint32_t kAudioOutPort = kNumParameters + 1;
inline constexpr uint32_t kNumPorts = kNumParameters + 2;

inline constexpr const char* kPortSymbols[kNumParameters] = {"master", "drive",  "treble",      "middle",
                                                            "bass",   "volume", "oversampling"};

inline constexpr float kLastOversamplingPosition = kOversamplingPositions - 1;

inline float portMinimum(int)
{
    return 0.0f;
}

inline float portMaximum(int index)
{
    return index == kOversampling ? kLastOversamplingPosition : 1.0f;
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
    if (index != kOversampling)
        return value;
    int position = 0;
    while (position < kOversamplingPositions - 1 && !(value < static_cast<float>(position) + 0.5f))
        ++position;
    return static_cast<float>(position) / kLastOversamplingPosition;
}

inline float portFromParameter(int index, float parameterValue)
{
    if (index != kOversampling)
        return parameterValue;
    return static_cast<float>(oversamplingPosition(parameterValue));
}

inline float portDefault(int index)
{
    return portFromParameter(index, kDefaultValues[index]);
}

} // namespace quarvine::lv2
