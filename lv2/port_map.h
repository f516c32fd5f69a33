// The LV2 ports: one control port per parameter at the parameter's own index, then the audio
// input and output. Knob ports carry the parameter value itself (0 to 1); the Oversampling port
// carries its switch position (0, 1, 2 for 2x, 4x, 8x), the integer steps the VST parameter
// announces, at the same normalised values 0, 0.5 and 1.
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

// Hosts may send a non-integer position: the nearest one counts, and values off the range stay at
// its ends. A non-finite value passes through, for the effect to ignore as the VST one does.
inline float parameterFromPort(int index, float portValue)
{
    if (index != kOversampling || !std::isfinite(portValue))
        return portValue;
    const float position = std::fmin(std::fmax(std::nearbyint(portValue), 0.0f), kLastOversamplingPosition);
    return position / kLastOversamplingPosition;
}

inline float portFromParameter(int index, float parameterValue)
{
    if (index != kOversampling)
        return parameterValue;
    return static_cast<float>(oversamplingPosition(parameterValue));
}

inline float portMaximum(int index)
{
    return index == kOversampling ? kLastOversamplingPosition : 1.0f;
}

inline float portDefault(int index)
{
    return portFromParameter(index, kDefaultValues[index]);
}

} // namespace quarvine::lv2
