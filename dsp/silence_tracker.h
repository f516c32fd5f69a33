// SPDX-License-Identifier: GPL-3.0-or-later
// What the fast chain remembers about silence: once the input has been digital silence and the
// model's state has stopped moving, the chain sleeps (skips its work) until sound or a control
// change arrives. The state it wakes with is the settled state it fell asleep in.
#pragma once

namespace quarvine {

struct SilenceTracker {
    // The control values the settled state was reached with; a change wakes the chain.
    double drive = 0.0;
    double bass = 0.0;
    double middle = 0.0;
    double treble = 0.0;
    double fixedTone = 0.0;
    bool asleep = false;
    // Fills the last eight bytes: a model has no padding, whose bytes would be indeterminate
    // (models are compared byte for byte).
    bool reserved[7] = {};
};
static_assert(sizeof(SilenceTracker) == 6 * sizeof(double));

} // namespace quarvine
