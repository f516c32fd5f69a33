// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/cabinet_library.h"

#include "dsp/ir_loudness.h"
#include "dsp/ir_resampler.h"
#include "effect/cabinet_choice.h"
#include "resources/cabinets.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>

namespace quarvine {
namespace {

using CabinetTaps = std::vector<std::vector<float>>;

// The built-in cabinets at `rate`, resampled once per rate for the whole process: every instance
// (and every fresh core a host makes) shares them, which keeps set-up to the convolvers' own.
std::shared_ptr<const CabinetTaps> builtInTapsAt(double rate)
{
    static std::mutex lock;
    static std::vector<std::pair<double, std::shared_ptr<const CabinetTaps>>> made; // newest last
    const std::lock_guard<std::mutex> guard(lock);
    for (const auto& [madeRate, taps] : made)
        if (madeRate == rate)
            return taps;
    auto taps = std::make_shared<CabinetTaps>();
    for (const CabinetResponse& cabinet : builtInCabinets())
        taps->push_back(resampleImpulseResponse(cabinet.taps, cabinet.sampleRate, rate));
    constexpr std::size_t kRatesKept = 4; // a session's rate or two, and a renderer's
    if (made.size() == kRatesKept)
        made.erase(made.begin());
    made.emplace_back(rate, taps);
    return taps;
}

std::unique_ptr<PartitionedConvolver> convolverFor(const std::vector<float>& taps)
{
    auto convolver = std::make_unique<PartitionedConvolver>();
    convolver->prepare(taps.data(), static_cast<int>(taps.size()));
    return convolver;
}

} // namespace

std::unique_ptr<CabinetBank> makeCabinetBank(double rate, const UserCabinet* user)
{
    auto bank = std::make_unique<CabinetBank>();
    bank->sampleRate = rate;
    for (const std::vector<float>& taps : *builtInTapsAt(rate))
        bank->convolvers.push_back(convolverFor(taps));
    if (user && !user->samples.empty()) {
        std::vector<float> taps = resampleImpulseResponse(user->samples, user->sampleRate, rate);
        const float gain = loudnessGain(taps, rate);
        for (float& tap : taps)
            tap *= gain;
        bank->convolvers.push_back(convolverFor(taps));
    } else {
        bank->convolvers.push_back(nullptr);
    }
    return bank;
}

void CabinetLibrary::setSampleRate(double newRate)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (newRate == rate)
        return;
    rate = newRate;
    if (auto bank = makeBank(user ? &*user : nullptr)) {
        handover.offer(std::move(bank));
    } else if (auto builtIns = makeBank(nullptr)) {
        // The response stays in the state, to play again where memory allows.
        message = user->name + ": not enough memory to play it at this rate";
        handover.offer(std::move(builtIns));
    }
}

std::string CabinetLibrary::setUserCabinet(std::optional<UserCabinet> newUser)
{
    std::string why;
    try {
        const float gain = newUser ? loudnessGain(newUser->samples, newUser->sampleRate) : 1.0f;
        if (!(gain > 0.0f && gain <= kMaxUserGain))
            why = newUser->name + ": almost silent from 80 Hz to 6 kHz";
    } catch (const std::exception&) {
        why = newUser->name + ": not enough memory to play it";
    }
    const std::lock_guard<std::mutex> guard(lock);
    std::unique_ptr<CabinetBank> bank;
    if (why.empty() && !(bank = makeBank(newUser ? &*newUser : nullptr)))
        why = newUser->name + ": not enough memory to play it";
    if (!why.empty()) {
        message = why;
        return why;
    }
    user = std::move(newUser);
    message = user ? user->name : std::string();
    handover.offer(std::move(bank));
    return {};
}

void CabinetLibrary::refuse(const std::string& why)
{
    const std::lock_guard<std::mutex> guard(lock);
    message = why;
}

std::optional<UserCabinet> CabinetLibrary::userCabinet() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return user;
}

std::string CabinetLibrary::status() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return message.empty() ? std::string("drop an IR file here") : message;
}

std::unique_ptr<CabinetBank> CabinetLibrary::makeBank(const UserCabinet* withUser) const
{
    // Memory can run out for a long response at a high rate: nothing may escape into the host.
    try {
        return makeCabinetBank(rate, withUser);
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace quarvine
