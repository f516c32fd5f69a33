// SPDX-License-Identifier: GPL-3.0-or-later
// The cabinets one plug-in instance can play: the built-in ones and the player's own impulse
// response, made for the host's rate and offered to the cabinet stage as one bank. Everything here
// allocates and belongs to the host's other threads (set-up, state, the editor, a worker), never
// to the audio thread.
#pragma once

#include "dsp/cabinet_bank.h"
#include "effect/user_cabinet.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quarvine {

// The bank for `rate`: each built-in cabinet resampled to it, then the user's response (when
// given) resampled and scaled to the built-ins' loudness.
std::unique_ptr<CabinetBank> makeCabinetBank(double rate, const UserCabinet* user);

class CabinetLibrary {
public:
    // The stage starts with makeCabinetBank(rate, nullptr): nothing is offered until a change.
    CabinetLibrary(CabinetHandover& handover, double rate) : handover(handover), rate(rate) {}

    // Remakes the bank when the rate is new. Synchronous, so that the first block played at the
    // new rate already has it.
    void setSampleRate(double rate);
    // The player's response (nullopt for none), made at the current rate and offered; the message
    // the editor shows becomes its name. A response that passes next to nothing where a guitar
    // sounds (its loudness gain would exceed kMaxUserGain) is refused: the message says why, the
    // cabinet playing stays, and the refusal is returned (empty when taken).
    std::string setUserCabinet(std::optional<UserCabinet> user);
    static constexpr float kMaxUserGain = 1000.0f; // +60 dB
    // A load that was refused: the cabinet playing stays, the editor shows why.
    void refuse(const std::string& why);

    std::optional<UserCabinet> userCabinet() const;
    // What the editor's name plate says of the User position: the response's name, the last
    // refusal, or that none is loaded.
    std::string status() const;

private:
    // The bank for `rate` with `withUser` at the User position; null when memory ran out.
    std::unique_ptr<CabinetBank> makeBank(const UserCabinet* withUser) const;

    CabinetHandover& handover;
    mutable std::mutex lock;
    double rate = 0.0;
    std::optional<UserCabinet> user;
    std::string message;
};

} // namespace quarvine
