// What the fast chain remembers about silence: once the input has been digital silence and the
// model's state has stopped moving, the chain sleeps (skips its work) until sound or a control
// change arrives. The state it wakes with is the settled state it fell asleep in.
#pragma once

namespace quarvine {

struct SilenceTracker {
    bool asleep = false;
    // The control values the settled state was reached with; a change wakes the chain.
    double drive = 0.0;
    double bass = 0.0;
    double middle = 0.0;
    double treble = 0.0;
    double fixedTone = 0.0;
};

} // namespace quarvine
