// SPDX-License-Identifier: GPL-3.0-or-later
// The state reader on any bytes: a host hands back whatever its project file holds. Promises
// checked: an answer (no crash, no read out of bounds under the sanitizers), either a state or a
// reason, never both or neither; what it accepts is inside the limits; and a state it accepts is
// written and read back as the same state.
#include "effect/plugin_state.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cmath>

namespace {

bool finite(const std::vector<float>& values)
{
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const quarvine::StateDecode decoded = quarvine::decodePluginState({data, size});
    FUZZ_CHECK(decoded.state.has_value() == decoded.error.empty(), "an answer with %s",
               decoded.state ? "a reason" : "no reason");
    if (!decoded.state)
        return 0;
    const quarvine::PluginState& state = *decoded.state;
    FUZZ_CHECK(state.parameters.size() <= quarvine::kMaxSavedParameters && finite(state.parameters),
               "%zu parameters, or one not finite", state.parameters.size());
    if (const auto& cabinet = state.userCabinet) {
        FUZZ_CHECK(cabinet->sampleRate >= 8000.0 && cabinet->sampleRate <= 384000.0, "a rate of %g Hz",
                   cabinet->sampleRate);
        FUZZ_CHECK(cabinet->name.size() <= quarvine::kMaxSavedNameBytes, "a name of %zu bytes", cabinet->name.size());
        FUZZ_CHECK(!cabinet->samples.empty() && cabinet->samples.size() <= quarvine::kMaxSavedResponseSamples &&
                       finite(cabinet->samples),
                   "%zu samples, or one not finite", cabinet->samples.size());
    }
    const quarvine::StateDecode again = quarvine::decodePluginState(quarvine::encodePluginState(state));
    FUZZ_CHECK(again.state && again.state->parameters == state.parameters &&
                   again.state->userCabinet == state.userCabinet,
               "a state that does not read back: %s", again.error.c_str());
    return 0;
}
